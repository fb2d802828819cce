#include "process/section.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

#include "core/layout.h"

namespace tarnisk {

namespace {

// The box of each layer present over a column, 0 where the layer is absent.
using ColumnLayers = std::array<int, kLayerCount + 1>;

// The box's extent along the cut and whether the cut line runs through it.
bool Crossed(const Box& b, const SectionCut& cut, int32_t& lo, int32_t& hi) {
  const double y1 = cut.horizontal ? b.y1 : b.x1, y2 = cut.horizontal ? b.y2 : b.x2;
  lo = std::max(cut.horizontal ? b.x1 : b.y1, cut.from);
  hi = std::min(cut.horizontal ? b.x2 : b.y2, cut.to);
  return y1 <= cut.across && cut.across < y2 && lo < hi;
}

struct CrossedBox {
  int index;
  int32_t lo, hi;
};

std::vector<CrossedBox> CrossedBoxes(const Layout& layout, const SectionCut& cut) {
  std::vector<CrossedBox> crossed;
  ForEachLive(layout.boxes, [&](int i, const Box& b) {
    int32_t lo = 0, hi = 0;
    if (Crossed(b, cut, lo, hi)) crossed.push_back({i, lo, hi});
  });
  return crossed;
}

// The two ends of the cut and every crossed box's edges, increasing, at most
// kMaxSectionColumns columns (the cut ends at the last one kept).
std::vector<int32_t> Boundaries(const std::vector<CrossedBox>& crossed, const SectionCut& cut) {
  std::vector<int32_t> b{cut.from, cut.to};
  for (const CrossedBox& c : crossed) b.insert(b.end(), {c.lo, c.hi});
  std::sort(b.begin(), b.end());
  b.erase(std::unique(b.begin(), b.end()), b.end());
  if (b.size() > kMaxSectionColumns + 1) b.resize(kMaxSectionColumns + 1);
  return b;
}

std::vector<ColumnLayers> ColumnContents(const Layout& layout, const std::vector<CrossedBox>& crossed,
                                         const std::vector<int32_t>& bounds) {
  std::vector<ColumnLayers> columns(bounds.size() - 1, ColumnLayers{});
  for (const CrossedBox& c : crossed) {
    const auto first = std::lower_bound(bounds.begin(), bounds.end(), c.lo) - bounds.begin();
    for (size_t i = size_t(first); i + 1 < bounds.size() && bounds[i] < c.hi; ++i)
      columns[i][layout.boxes[c.index].layer] = c.index;
  }
  return columns;
}

// Builds the stacks of the columns one after the other.
class SectionBuilder {
 public:
  SectionBuilder(const Layout& layout, ProcessSection& section)
      : layout_(layout), s_(section), levels_(ProcessLevels(layout.layers, section.metals)),
        open_(size_t(section.metals) + 1, -1) {}

  void Column(int32_t x0, int32_t x1, const ColumnLayers& present) {
    x0_ = x0, x1_ = x1;
    Underground(present);
    double top = 0;
    const LayerInfo& poly = layout_.layers[kPoly];
    if (present[kPoly]) {
      Add(0, poly.height, Material::Oxide, 0);
      top = poly.height + poly.thickness;
      Add(poly.height, top, Material::Poly, kPoly);
    }
    const double metal1 = levels_[0].top;
    if (present[kContact] && top < metal1) {
      Add(top, metal1, Material::Contact, kContact);
      top = metal1;
    }
    if (top < metal1) Add(top, metal1, Material::Oxide, 0);
    for (size_t i = 1; i < levels_.size(); ++i) Level(levels_[i], present);
  }

 private:
  void Underground(const ColumnLayers& present) {
    Add(-kSubstrateDepth, 0, Material::Substrate, 0);
    if (present[kNwell]) Add(-kWellDepth, 0, Material::Nwell, kNwell);
    if (present[kPoly]) return;  // the diffusion stops under the gate
    if (present[kDiffn]) Add(-kDiffusionDepth, 0, Material::DiffusionN, kDiffn);
    else if (present[kDiffp]) Add(-kDiffusionDepth, 0, Material::DiffusionP, kDiffp);
  }

  void Level(const ProcessLevel& level, const ColumnLayers& present) {
    const int layer = level.layer;
    if (layer == kPassiv || layer == kNitride) {
      Add(level.bottom, level.top, layer == kPassiv ? Material::Passivation : Material::Nitride, layer);
      return;
    }
    const bool metal = (layer - kMetal) % 2 == 0;
    if (!present[layer]) {
      Add(level.bottom, level.top, Material::Oxide, 0);
      if (metal) open_[MetalLevelOf(layer)] = -1;
      return;
    }
    const int conductor = metal ? Conductor(level, present[layer]) : -1;
    Add(level.bottom, level.top, metal ? Material::Metal : Material::Via, layer, conductor);
  }

  static int MetalLevelOf(int layer) { return layer == kMetal ? 1 : (layer - kMetal2) / 2 + 2; }

  // The conductor of this column's piece of metal: the one of the previous
  // column when it goes on, else a new one (unlisted beyond the capacity).
  int Conductor(const ProcessLevel& level, int box) {
    const int k = MetalLevelOf(level.layer);
    int& run = open_[size_t(k)];
    if (run >= 0 && s_.conductors[size_t(run)].x1 == x0_) {
      s_.conductors[size_t(run)].x1 = x1_;
      return run;
    }
    if (run == kUnlistedRun && lastUnlistedEnd_[k] == x0_) {
      lastUnlistedEnd_[k] = x1_;
      return -1;
    }
    if (int(s_.conductors.size()) >= kMaxSectionConductors) {
      ++s_.unlistedConductors;
      run = kUnlistedRun;
      lastUnlistedEnd_[k] = x1_;
      return -1;
    }
    CutConductor c;
    c.number = int(s_.conductors.size()) + 1;
    c.level = k;
    c.layer = level.layer;
    c.x0 = x0_, c.x1 = x1_;
    c.bottom = level.bottom, c.top = level.top;
    c.node = layout_.boxes[box].node;
    if (c.node >= 0 && c.node <= layout_.nodes.count) c.nodeName = layout_.nodes.nodes[c.node].name;
    s_.conductors.push_back(c);
    run = int(s_.conductors.size()) - 1;
    return run;
  }

  // A piece that goes on from the same piece of the previous column extends
  // it, so that a layer is drawn without the column edges.
  void Add(double bottom, double top, Material m, int layer, int conductor = -1) {
    if (top <= bottom) return;
    const auto key = std::tuple{int(m), layer, bottom, top, conductor};
    const auto it = lastPiece_.find(key);
    if (it != lastPiece_.end() && s_.pieces[it->second].x1 == x0_) {
      s_.pieces[it->second].x1 = x1_;
      return;
    }
    lastPiece_[key] = s_.pieces.size();
    s_.pieces.push_back({x0_, x1_, bottom, top, m, layer, conductor});
  }

  static constexpr int kUnlistedRun = -2;
  const Layout& layout_;
  ProcessSection& s_;
  const std::vector<ProcessLevel> levels_;
  std::vector<int> open_;  // per metal level: the conductor running into the next column
  std::array<int32_t, 6> lastUnlistedEnd_{};
  std::map<std::tuple<int, int, double, double, int>, size_t> lastPiece_;
  int32_t x0_ = 0, x1_ = 0;
};

}  // namespace

int MetalLevels(int32_t meta) { return std::clamp<int32_t>(meta, 2, 5); }

int MetalLayer(int level) { return level <= 1 ? kMetal : kMetal2 + 2 * (level - 2); }

std::vector<ProcessLevel> ProcessLevels(const LayerTable& layers, int metals) {
  std::vector<ProcessLevel> levels;
  const LayerInfo& first = layers[kMetal];
  levels.push_back({kContact, 0, std::max(first.height, 0.0)});
  double top = levels.back().top;
  for (int k = 1; k <= metals; ++k) {
    const LayerInfo& metal = layers[MetalLayer(k)];
    if (k > 1) {
      const double gap = metal.height > top ? metal.height - top : layers[ViaLayerAbove(k - 1)].thickness;
      levels.push_back({ViaLayerAbove(k - 1), top, top + gap});
      top += gap;
    }
    levels.push_back({MetalLayer(k), top, top + metal.thickness});
    top += metal.thickness;
  }
  for (int layer : {int(kPassiv), int(kNitride)}) {
    levels.push_back({layer, top, top + layers[layer].thickness});
    top += layers[layer].thickness;
  }
  return levels;
}

SectionCut CutThrough(Point a, Point b) {
  SectionCut cut;
  cut.horizontal = std::abs(int64_t{b.y} - a.y) < std::abs(int64_t{b.x} - a.x);
  if (cut.horizontal) {
    cut.across = (double(a.y) + b.y) / 2;
    cut.from = std::min(a.x, b.x), cut.to = std::max(a.x, b.x);
  } else {
    cut.across = (double(a.x) + b.x) / 2;
    cut.from = std::min(a.y, b.y), cut.to = std::max(a.y, b.y);
  }
  return cut;
}

SectionCut ShiftedCut(const SectionCut& cut, bool forward) {
  const int32_t shift = (cut.to - cut.from) / 5 * (forward ? 1 : -1);
  SectionCut moved = cut;
  moved.from = ClampCoordinate(int64_t{cut.from} + shift);
  moved.to = ClampCoordinate(int64_t{cut.to} + shift);
  return moved;
}

ProcessSection BuildSection(const Layout& layout, const SectionCut& cut, int metals) {
  ProcessSection section;
  section.cut = cut;
  section.metals = metals;
  const std::vector<CrossedBox> crossed = CrossedBoxes(layout, cut);
  for (const CrossedBox& c : crossed) section.crossedBoxes.push_back(c.index);
  section.boundaries = Boundaries(crossed, cut);
  if (section.boundaries.size() < 2) return section;
  const std::vector<ColumnLayers> columns = ColumnContents(layout, crossed, section.boundaries);
  SectionBuilder builder(layout, section);
  for (size_t i = 0; i < columns.size(); ++i)
    builder.Column(section.boundaries[i], section.boundaries[i + 1], columns[i]);
  return section;
}

CrossSection SolverSectionOf(const ProcessSection& section, const LayerTable& layers, double lambda,
                             std::vector<std::vector<int>>* owners) {
  CrossSection out;
  for (const ProcessLevel& level : ProcessLevels(layers, section.metals))
    out.dielectrics.push_back({level.bottom, level.top, layers[level.layer].permittivity});
  out.ambientPermittivity = 1;
  std::map<int64_t, int> groupOf;  // node (or -1 - piece) -> solver conductor
  std::vector<int> solverOf(section.conductors.size());
  std::vector<std::vector<int>> members;
  for (size_t i = 0; i < section.conductors.size(); ++i) {
    const CutConductor& c = section.conductors[i];
    const int64_t key = c.node >= 0 ? c.node : -1 - int64_t(i);
    auto [it, added] = groupOf.try_emplace(key, int(out.conductors.size()));
    if (added) {
      out.conductors.push_back({c.nodeName.empty() ? std::to_string(c.number) : c.nodeName, {}});
      members.emplace_back();
    }
    solverOf[i] = it->second;
    members[size_t(it->second)].push_back(int(i));
    out.conductors[size_t(it->second)].rects.push_back({c.x0 * lambda, c.x1 * lambda, c.bottom, c.top});
  }
  // A via joins the pieces above and below it when they are one conductor.
  const auto pieceAt = [&](int level, int32_t x0, int32_t x1) {
    for (size_t i = 0; i < section.conductors.size(); ++i) {
      const CutConductor& c = section.conductors[i];
      if (c.level == level && c.x0 <= x0 && x1 <= c.x1) return int(i);
    }
    return -1;
  };
  for (const SectionPiece& p : section.pieces) {
    if (p.material != Material::Via) continue;
    const int below = (p.layer - kVia) / 2 + 1;
    const int a = pieceAt(below, p.x0, p.x1), b = pieceAt(below + 1, p.x0, p.x1);
    if (a >= 0 && b >= 0 && solverOf[size_t(a)] == solverOf[size_t(b)])
      out.conductors[size_t(solverOf[size_t(a)])].rects.push_back(
          {p.x0 * lambda, p.x1 * lambda, p.bottom, p.top});
  }
  if (owners) *owners = std::move(members);
  return out;
}

}  // namespace tarnisk
