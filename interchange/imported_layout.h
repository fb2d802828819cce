#pragma once
// What the GDSII and CIF readers give back: boxes and texts in lambda, ready
// to be added to a layout, and an account of everything in the file that
// could not be represented exactly and was left out.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/geometry.h"

namespace tarnisk {

struct ImportedBox {
  Rect r;             // lambda, xmin < xmax and ymin < ymax
  uint8_t layer = 0;  // 1..20, never the generated gate layers
  friend bool operator==(const ImportedBox&, const ImportedBox&) = default;
};

struct ImportedText {
  int32_t x = 0, y = 0;  // lambda
  std::string text;      // 1 to kMaxTextLength bytes, no line ends or NULs
  friend bool operator==(const ImportedText&, const ImportedText&) = default;
};

struct ImportedLayout {
  std::vector<ImportedBox> boxes;
  std::vector<ImportedText> texts;
  // Shapes, texts and references left out, by kind (one count per flattened
  // occurrence, or per reference for references that cannot be followed).
  std::map<std::string, int> dropped;
  std::vector<std::string> warnings;
  // Set when the input is not a file of the format at all, or is cut short;
  // boxes and texts are then empty.
  std::string error;
};

// Kinds of the `dropped` map, one spelling for both readers.
namespace drop {
inline constexpr const char* kNonManhattan = "non_manhattan";
inline constexpr const char* kOffGrid = "off_grid";
inline constexpr const char* kOffGridText = "off_grid_text";
inline constexpr const char* kOutOfRange = "out_of_range";
inline constexpr const char* kUnknownLayer = "unknown_layer";
inline constexpr const char* kGeneratedLayer = "generated_layer";
inline constexpr const char* kRotation = "rotation";
inline constexpr const char* kMagnification = "magnification";
inline constexpr const char* kDegenerate = "degenerate";
inline constexpr const char* kSelfIntersecting = "self_intersecting";
inline constexpr const char* kRoundShape = "round_shape";
inline constexpr const char* kUnsupportedRecord = "unsupported_record";
inline constexpr const char* kMissingCell = "missing_cell";
inline constexpr const char* kRecursiveReference = "recursive_reference";
inline constexpr const char* kTooDeep = "too_deep";
inline constexpr const char* kShapeLimit = "shape_limit";
inline constexpr const char* kEmptyText = "empty_text";
inline constexpr const char* kLongText = "long_text";
inline constexpr const char* kSelectWithoutActive = "select_without_active";
inline constexpr const char* kTableFull = "table_full";
}  // namespace drop

// Adds `count` to a kind, saturating at the int range.
void AddDropped(std::map<std::string, int>& dropped, const std::string& kind, int64_t count = 1);

// Makes a text read from a file one the layout can hold: NULs and line ends
// become blanks, trailing blanks go (GDSII pads strings with NULs). Returns
// the kind it is left out as (empty, or longer than kMaxTextLength), or
// nullptr when it is kept.
const char* NormaliseText(std::string& text);

}  // namespace tarnisk
