#pragma once
// The vertical process structure along a cut line through the layout: the
// columns between the edges of the boxes the cut crosses, each drawn as a
// stack of the materials present over it at their technology heights and
// thicknesses, and the metal pieces met by the cut, which become conductors
// for a field solver.
//
// Along the cut, positions are in lambda (layout coordinates); vertically in
// µm above the substrate surface (negative below it).

#include <cstdint>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/layers.h"
#include "process/field_solver.h"

namespace tarnisk {

struct Layout;

inline constexpr int kMaxSectionColumns = 200;
inline constexpr int kMaxSectionConductors = 32;

// Depths below the surface, µm.
inline constexpr double kWellDepth = 3.75;
inline constexpr double kDiffusionDepth = 1.0;
inline constexpr double kSubstrateDepth = 6.0;

// The number of metal levels M (2 to 5) of a technology's META.
int MetalLevels(int32_t meta);
// Layer of metal level k (1 .. 5): metal, metal2, ... metal5.
int MetalLayer(int level);
// Layer of the via between metal levels k and k + 1.
inline int ViaLayerAbove(int level) { return MetalLayer(level) + 1; }

// One horizontal slab of the stack above the substrate, µm.
struct ProcessLevel {
  int layer = 0;  // kContact for the oxide under metal1, a metal, a via, passiv or nitride
  double bottom = 0, top = 0;
};

// The stack from the substrate surface up: the oxide under metal1 (the
// contact's level, up to metal1's height), metal1, the via level above it,
// metal2, ... metal M, passivation, nitride. Each metal stands at its own
// height; the via level fills the gap below it. Where a height leaves no room
// (a metal below the top of the one under it), the metal is stacked on the
// via layer's thickness instead, so the levels always follow each other.
std::vector<ProcessLevel> ProcessLevels(const LayerTable& layers, int metals);

// The straight cut: along x (horizontal) or along y, at `across` (lambda,
// possibly a half), from `from` to `to` (lambda, from < to).
struct SectionCut {
  bool horizontal = true;
  double across = 0;
  int32_t from = 0, to = 0;
};

// The cut through the midpoint of the segment a-b: horizontal when the
// segment is wider than it is tall, else vertical.
SectionCut CutThrough(Point a, Point b);

// The cut shifted by a fifth of its length along its direction (towards
// larger coordinates when `forward`).
SectionCut ShiftedCut(const SectionCut& cut, bool forward);

enum class Material {
  Substrate, Nwell, DiffusionN, DiffusionP, Oxide, Poly, Contact, Metal, Via, Passivation, Nitride
};

// One rectangle of the drawing.
struct SectionPiece {
  int32_t x0 = 0, x1 = 0;  // lambda along the cut
  double bottom = 0, top = 0;  // µm
  Material material = Material::Oxide;
  int layer = 0;        // the layout layer drawn, 0 for substrate and oxide
  int conductor = -1;   // index into conductors, or -1
};

// A metal piece met by the cut: the run of adjacent columns where one metal
// level is present.
struct CutConductor {
  int number = 0;  // 1-based, in the order the section meets them
  int level = 1;   // metal level k
  int layer = 0;
  int32_t x0 = 0, x1 = 0;      // lambda along the cut
  double bottom = 0, top = 0;  // µm
  int32_t node = -1;           // the extracted node of its box, -1 before extraction
  std::string nodeName;        // empty before extraction
  double value = 0;            // the conductor's capacitance to everything else, F/m, once solved
};

struct ProcessSection {
  SectionCut cut;
  int metals = 2;
  std::vector<int32_t> boundaries;  // column edges along the cut, increasing
  std::vector<SectionPiece> pieces;
  std::vector<CutConductor> conductors;  // at most kMaxSectionConductors
  int unlistedConductors = 0;  // pieces met beyond the list's capacity
  std::vector<int> crossedBoxes;  // box indexes, in table order
};

// Builds the section of the layout along the cut with the layer table's
// process values. Boxes are crossed when the cut line runs through them
// (their lower edge included, their upper edge not).
ProcessSection BuildSection(const Layout& layout, const SectionCut& cut, int metals);

// The conductors of the section for the field solver, in µm, over the
// dielectric stack of the technology (each level with its layer's
// permittivity, air above). Pieces of one extracted node form one conductor,
// joined by the vias between them; before extraction each piece is its own.
// `owners` receives, for each solver conductor, the indexes of its pieces.
CrossSection SolverSectionOf(const ProcessSection& section, const LayerTable& layers,
                             double lambda, std::vector<std::vector<int>>* owners = nullptr);

}  // namespace tarnisk
