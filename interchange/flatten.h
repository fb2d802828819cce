#pragma once
// The cell hierarchy both readers build, and its flattening into lambda.
//
// Coordinates inside a cell are kept in half file units (every file
// coordinate doubled), so that box centres and path half-widths of odd
// widths stay integers. Placements are exact rational transforms: a signed
// permutation (the eight orientations of 90-degree rotations and mirrors)
// times a scale, plus a translation, over one denominator. Whether a shape
// lands on whole lambda is decided on the exact result, never by rounding.

#include <algorithm>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/layout.h"
#include "interchange/imported_layout.h"

namespace tarnisk {

__extension__ typedef __int128 Int128;

// p -> (scale * Q p + t) / den, with Q = [a b; c d] a signed permutation and
// scale, den > 0. Every member stays within kTransformLimit so that products
// of two members fit in 128 bits.
struct Transform {
  int a = 1, b = 0, c = 0, d = 1;
  Int128 scale = 1, tx = 0, ty = 0, den = 1;
};

inline constexpr Int128 kTransformLimit = Int128{1} << 62;

// outer after inner, reduced to lowest terms; false when a member would
// exceed kTransformLimit.
bool Compose(const Transform& outer, const Transform& inner, Transform& result);

// The orientation turned counter-clockwise by quarterTurns * 90 degrees.
Transform QuarterTurns(int quarterTurns);
// y -> -y (mirror in the x axis) and x -> -x (mirror in the y axis).
Transform MirrorY();
Transform MirrorX();
// p -> p * num / den (both > 0), and p -> p + (tx, ty) / den.
Transform Scaling(Int128 num, Int128 den);
Transform Translation(Int128 tx, Int128 ty, Int128 den = 1);

struct LocalBox {
  int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // half file units, x1 < x2, y1 < y2
};

// A run of boxes that together make one shape of the file (a polygon cut
// into boxes, a path, a box): it is taken or left out as a whole.
struct CellShape {
  uint8_t layer = 0;
  uint32_t first = 0, count = 0;
};

struct CellText {
  int64_t x = 0, y = 0;  // half file units
  std::string text;      // already checked
};

// A placement of another cell, or a cols x rows array of them: instance
// (i, j) is at transform + (i * u + j * v) / transform.den.
struct CellRef {
  int cell = 0;
  Transform transform;
  Int128 ux = 0, uy = 0, vx = 0, vy = 0;
  int32_t cols = 1, rows = 1;
};

struct Cell {
  std::string name;
  std::vector<LocalBox> boxes;
  std::vector<CellShape> shapes;
  std::vector<CellText> texts;
  std::vector<CellRef> refs;
  // What was left out of this cell while reading it; counted again for
  // every placement of the cell.
  std::map<std::string, int64_t> dropped;
};

// Receives every placed shape and text; decides whether it is exact.
class FlattenSink {
 public:
  virtual ~FlattenSink() = default;
  virtual void Shape(uint8_t layer, std::span<const LocalBox> boxes, const Transform& t) = 0;
  virtual void Text(const CellText& text, const Transform& t) = 0;
  // Boxes and texts to come, at most.
  virtual void Reserve(size_t) {}
};

// Collects placed shapes and texts in lambda. A shape is kept only when all
// its boxes land exactly on whole lambda within the coordinate limit;
// otherwise it is counted once as off-grid or out of range. Texts likewise.
class LambdaSink : public FlattenSink {
 public:
  explicit LambdaSink(ImportedLayout& out) : out_(out) {}
  void Shape(uint8_t layer, std::span<const LocalBox> boxes, const Transform& t) override;
  void Text(const CellText& text, const Transform& t) override;
  // Sized once for up to a full layout's boxes; beyond, the vector grows.
  void Reserve(size_t items) override { out_.boxes.reserve(std::min(items, size_t(kMaxBoxes))); }

 protected:
  ImportedLayout& out_;

 private:
  std::vector<Rect> placed_;
};

// Counts every shape and text as off the grid: for files whose unit is no
// exact fraction of lambda.
class OffGridSink : public FlattenSink {
 public:
  explicit OffGridSink(ImportedLayout& out) : out_(out) {}
  void Shape(uint8_t, std::span<const LocalBox>, const Transform&) override;
  void Text(const CellText&, const Transform&) override;

 private:
  ImportedLayout& out_;
};

// Deepest placement chain followed, and most boxes, texts and left-out
// items produced from one file.
inline constexpr int kMaxCellDepth = 64;
inline constexpr int64_t kMaxFlattenedItems = 1'000'000;

// Places every cell of `roots` with `root` (which maps their coordinates to
// lambda) and everything they place in turn. Recursive placements, chains
// deeper than kMaxCellDepth and whatever would pass kMaxFlattenedItems are
// left out and counted in `dropped`.
void Flatten(const std::vector<Cell>& cells, const std::vector<int>& roots, const Transform& root,
             FlattenSink& sink, std::map<std::string, int>& dropped);

// Exact conversion of a placed point or box to lambda.
enum class Placement { Exact, OffGrid, OutOfRange };
Placement PlacePoint(const Transform& t, int64_t x, int64_t y, Point& out);
Placement PlaceBox(const Transform& t, const LocalBox& b, Rect& out);

// The box in rational form: lambda = coordinate / den (den > 0), ordered.
struct RationalBox {
  Int128 x1, y1, x2, y2, den;
};
RationalBox PlaceBoxRational(const Transform& t, const LocalBox& b);

// p/q within `tolerance` (relative) of `value` > 0 with q <= maxDen and
// p <= maxNum, the one with the smallest q; false when there is none.
bool RationalApproximation(double value, int64_t maxNum, int64_t maxDen, double tolerance,
                           int64_t& p, int64_t& q);

}  // namespace tarnisk
