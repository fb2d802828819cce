#pragma once
// The table of the 20 technology layers: names, file codes, drawing styles
// and the process values that a rule file fills in.

#include <array>
#include <cstdint>
#include <string>

namespace tarnisk {

inline constexpr int kLayerCount = 20;

// Fixed layer numbers; every subsystem refers to layers by these.
enum Layer : uint8_t {
  kNwell = 1, kDiffp, kDiffn, kContact, kPoly, kMetal, kVia, kMetal2, kVia2, kMetal3,
  kVia3, kMetal4, kVia4, kMetal5, kPassiv, kNitride, kGatep, kGaten, kPwell, kAarea
};

// Colour-mode drawing styles.
enum LayerStyle : uint8_t {
  kStyleOutline = 0, kStyleFilled = 1, kStyleDiagonals = 2, kStylePattern = 3, kStyleInsetCross = 4
};

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct LayerInfo {
  std::string name;
  std::string code;                 // two characters, the layer's name in layout files
  uint8_t isProtected = 0;          // drawn as outline, untouched by editing
  uint8_t style = kStyleOutline;
  uint8_t colourMode = 0;           // 1 = layer colour and style, 0 = monochrome
  Rgb colour;
  double sheetResistance = 0;       // ohm per square
  double thickness = 0.5;           // um
  double permittivity = 3.9;        // relative, of the dielectric above the layer
  double height = 1.0;              // um above the substrate
  double overetch = 0;              // um
  std::array<uint8_t, 8> pattern{}; // 8x8, first byte = top row, MSB = leftmost pixel
  uint8_t gds2 = 0;
  int32_t minWidth = 2;             // lambda; smaller boxes are flagged while drawing
  std::string cifName = "xxx";
};

// Index 0 is unused so that layer numbers index the table directly.
using LayerTable = std::array<LayerInfo, kLayerCount + 1>;

LayerTable DefaultLayerTable();

// The layer whose two-character file code is `code`, or 0. "CN" is an old
// name of the nwell code and selects layer 1 too.
int LayerFromCode(char c1, char c2, const LayerTable& layers);

// The first layer 1..20 whose name equals `name` exactly, or 0.
int LayerFromName(const std::string& name, const LayerTable& layers);

}  // namespace tarnisk
