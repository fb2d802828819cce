// Cleaning of the box store before extraction: boxes of one layer that share
// a width (or a height) and abut or overlap are merged, and overlapping boxes
// are cut into pieces that do not overlap.
//
// The pair rules and the fast merge are those of "Arrange the Layout"; the
// fast versions find the partners of a box through look-ups instead of the
// pairwise scan; they visit the same pairs in the same
// order, so the box table ends up exactly as the plain scan leaves it.

#include <array>
#include <numeric>
#include <vector>

#include "core/arrange.h"
#include "core/box_index.h"
#include "core/progress.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

using LayerFlags = std::array<bool, kLayerCount + 1>;

void ShowCleaningFrame(ExtractionRun& s, int& frame) {
  ShowStatus(s.progress, kCleaningWords[frame]);
  frame = (frame + 1) % 8;
}

bool Live(const Box& b) { return b.state != kErased; }

bool MergeLayerPlain(ExtractionRun& s, int layer) {
  auto& boxes = s.layout.boxes;
  const LayoutWideState& w = s.layout.wide;
  bool merged = false;
  for (int a = w.layerFirst[layer]; a <= w.layerLast[layer]; ++a) {
    if (!Live(boxes[a])) continue;
    for (int b = a + 1; b <= w.layerLast[layer]; ++b)
      if (Live(boxes[b])) merged |= MergeTouching(boxes[a], boxes[b]);
  }
  return merged;
}

bool MergeLayerFast(ExtractionRun& s, int layer) {
  const LayoutWideState& w = s.layout.wide;
  return MergeLayerBoxes(s.layout.boxes, w.layerFirst[layer], w.layerLast[layer]);
}

void MergeBoxes(ExtractionRun& s, bool fast, int& frame) {
  LayerFlags changed;
  changed.fill(true);
  for (bool any = true; any;) {
    any = false;
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      if (!changed[layer]) continue;
      changed[layer] = false;
      ShowCleaningFrame(s, frame);
      changed[layer] = fast ? MergeLayerFast(s, layer) : MergeLayerPlain(s, layer);
      any |= changed[layer];
    }
    Purge(s.layout);
    OrderBoxesByLayer(s.layout, s.progress);
  }
}

// Cuts one of two overlapping boxes into pieces that leave out the other.
// Returns 0 when nothing could be done (no room in the table: the pair
// waits, and no area is lost), 1 when b was replaced, 2 when a was replaced.
int SplitPair(ExtractionRun& s, int ia, int ib) {
  const BoxReplacement r = ResolveOverlap(s.layout.boxes[ia], ia, s.layout.boxes[ib], ib);
  if (!ReplaceBox(s.layout, r)) return 0;
  return r.victim == ib ? 1 : 2;
}

// One pass over the pairs of a layer; `later(a)` lists (at least) the boxes
// after a that may overlap it, in table order. Returns whether a box was cut;
// `stuck` counts the pairs that had to wait for room in the table.
template <class Later>
bool PurgeLayer(ExtractionRun& s, int layer, Later later, int& stuck) {
  auto& boxes = s.layout.boxes;
  const LayoutWideState& w = s.layout.wide;
  bool cut = false;
  for (int a = w.layerFirst[layer]; a <= w.layerLast[layer]; ++a) {
    if (!Live(boxes[a])) continue;
    for (int b : later(a)) {
      if (!Live(boxes[b]) || !InteriorsOverlap(boxes[a], boxes[b])) continue;
      const int outcome = SplitPair(s, a, b);
      stuck += outcome == 0;
      cut |= outcome != 0;
      if (outcome == 2) break;
    }
  }
  return cut;
}

bool PurgeLayerPlain(ExtractionRun& s, int layer, int& stuck) {
  const int last = s.layout.wide.layerLast[layer];
  return PurgeLayer(s, layer, [last](int a) {
    std::vector<int> later;
    for (int b = a + 1; b <= last; ++b) later.push_back(b);
    return later;
  }, stuck);
}

bool PurgeLayerFast(ExtractionRun& s, int layer, int& stuck) {
  const LayoutWideState& w = s.layout.wide;
  const BoxIndex index(s.layout, w.layerFirst[layer], w.layerLast[layer]);
  return PurgeLayer(s, layer, [&](int a) {
    const Box& box = s.layout.boxes[a];
    std::vector<int> near = index.Touching(RectOf(box));
    near.erase(near.begin(), std::upper_bound(near.begin(), near.end(), a));
    return near;
  }, stuck);
}

// Returns the number of pairs left overlapping: those that waited in the
// last visit of their layer.
int PurgeOverlaps(ExtractionRun& s, bool fast, int& frame) {
  LayerFlags changed;
  changed.fill(true);
  std::array<int, kLayerCount + 1> stuck{};
  for (bool any = true; any;) {
    any = false;
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      if (!changed[layer]) continue;
      ShowCleaningFrame(s, frame);
      stuck[layer] = 0;
      changed[layer] = fast ? PurgeLayerFast(s, layer, stuck[layer])
                            : PurgeLayerPlain(s, layer, stuck[layer]);
      any |= changed[layer];
    }
    Purge(s.layout);
    OrderBoxesByLayer(s.layout, s.progress);
  }
  return std::accumulate(stuck.begin(), stuck.end(), 0);
}

}  // namespace

int CleanBoxes(ExtractionRun& s, int mode, bool fast) {
  int frame = 0;
  Purge(s.layout);
  OrderBoxesByLayer(s.layout, s.progress);
  if (mode == kPurgeAndMerge || mode == kMergeOnly) MergeBoxes(s, fast, frame);
  if (mode == kPurgeAndMerge || mode == kPurgeOnly) return PurgeOverlaps(s, fast, frame);
  return 0;
}

}  // namespace tarnisk
