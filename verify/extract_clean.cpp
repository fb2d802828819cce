// Cleaning of the box store before extraction: boxes of one layer that share
// a width (or a height) and abut or overlap are merged, and overlapping boxes
// are cut into pieces that do not overlap.
//
// The fast versions find the partners of a box through buckets and a spatial
// index instead of the pairwise scan; they visit the same pairs in the same
// order, so the box table ends up exactly as the plain scan leaves it.

#include <array>
#include <cstdint>
#include <climits>
#include <unordered_map>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "verify/box_index.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

using LayerFlags = std::array<bool, kLayerCount + 1>;

const char* const kCleaningFrames[] = {"Cleaning", "cLeaning", "clEaning", "cleAning",
                                       "cleaNing", "cleanIng", "cleaniNg", "cleaninG"};

void ShowCleaningFrame(AppState& s, int& frame) {
  ShowStatus(s.platform, kCleaningFrames[frame]);
  frame = (frame + 1) % 8;
}

bool Live(const Box& b) { return b.state != kErased; }

// Merges b into a when they share x1 and x2 and their y ranges touch, or
// share y1 and y2 and their x ranges touch.
bool TryMerge(Box& a, Box& b) {
  if (a.x1 == b.x1 && a.x2 == b.x2 && b.y1 <= a.y2 && b.y2 >= a.y1) {
    a.y1 = std::min(a.y1, b.y1);
    a.y2 = std::max(a.y2, b.y2);
  } else if (a.y1 == b.y1 && a.y2 == b.y2 && b.x1 <= a.x2 && b.x2 >= a.x1) {
    a.x1 = std::min(a.x1, b.x1);
    a.x2 = std::max(a.x2, b.x2);
  } else {
    return false;
  }
  b.state = kErased;
  return true;
}

bool MergeLayerPlain(AppState& s, int layer) {
  auto& boxes = s.layout.boxes;
  const LayoutWideState& w = s.layout.wide;
  bool merged = false;
  for (int a = w.layerFirst[layer]; a <= w.layerLast[layer]; ++a) {
    if (!Live(boxes[a])) continue;
    for (int b = a + 1; b <= w.layerLast[layer]; ++b)
      if (Live(boxes[b])) merged |= TryMerge(boxes[a], boxes[b]);
  }
  return merged;
}

uint64_t Key(int32_t lo, int32_t hi) { return (uint64_t(uint32_t(lo)) << 32) | uint32_t(hi); }

// The boxes of a layer that share one extent along an axis (x1 and x2, or y1
// and y2), sorted by where they start across it. A box keeps the corners it
// had when the pass began until the scan reaches it as the first of a pair,
// so the buckets stay valid for every box after the one scanned.
struct Bucket {
  std::vector<std::pair<int32_t, int>> starts;  // (start across the axis, box)
  int64_t longest = 0;                          // largest length across the axis
};
using Buckets = std::unordered_map<uint64_t, Bucket>;

void AddToBucket(Buckets& buckets, uint64_t key, int32_t start, int32_t end, int box) {
  Bucket& b = buckets[key];
  b.starts.emplace_back(start, box);
  b.longest = std::max(b.longest, int64_t{end} - start);
}

// The first live box in table order after `after` in the bucket whose span
// across the axis touches [lo, hi].
int FirstTouching(const Buckets& buckets, uint64_t key, int after, int32_t lo, int32_t hi,
                  const RecordTable<Box, kMaxBoxes>& boxes, bool acrossY) {
  const auto it = buckets.find(key);
  if (it == buckets.end()) return 0;
  const Bucket& b = it->second;
  const int32_t from = int32_t(std::max<int64_t>(INT32_MIN, lo - b.longest));
  int first = 0;
  auto p = std::lower_bound(b.starts.begin(), b.starts.end(), std::pair{from, 0});
  for (; p != b.starts.end() && p->first <= hi; ++p) {
    const Box& c = boxes[p->second];
    const bool touches = (acrossY ? c.y2 : c.x2) >= lo;
    if (p->second > after && (first == 0 || p->second < first) && touches && Live(c))
      first = p->second;
  }
  return first;
}

bool MergeLayerFast(AppState& s, int layer) {
  auto& boxes = s.layout.boxes;
  const LayoutWideState& w = s.layout.wide;
  Buckets sameX, sameY;
  for (int i = w.layerFirst[layer]; i <= w.layerLast[layer]; ++i) {
    const Box& b = boxes[i];
    AddToBucket(sameX, Key(b.x1, b.x2), b.y1, b.y2, i);
    AddToBucket(sameY, Key(b.y1, b.y2), b.x1, b.x2, i);
  }
  for (auto* buckets : {&sameX, &sameY})
    for (auto& [key, bucket] : *buckets) std::sort(bucket.starts.begin(), bucket.starts.end());
  bool merged = false;
  for (int a = w.layerFirst[layer]; a <= w.layerLast[layer]; ++a) {
    Box& box = boxes[a];
    if (!Live(box)) continue;
    // The plain scan merges the next partner in table order by whichever
    // rule applies to it, with the box as it has grown so far.
    for (int after = a;;) {
      const int bx = FirstTouching(sameX, Key(box.x1, box.x2), after, box.y1, box.y2, boxes, true);
      const int by = FirstTouching(sameY, Key(box.y1, box.y2), after, box.x1, box.x2, boxes, false);
      const int b = bx == 0 ? by : by == 0 ? bx : std::min(bx, by);
      if (b == 0) break;
      TryMerge(box, boxes[b]);
      merged = true;
      after = b;
    }
  }
  return merged;
}

void MergeBoxes(AppState& s, bool fast, int& frame) {
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
    OrderBoxesByLayer(s);
  }
}

bool InteriorsOverlap(const Box& a, const Box& b) {
  return std::max(a.x1, b.x1) < std::min(a.x2, b.x2) && std::max(a.y1, b.y1) < std::min(a.y2, b.y2);
}

// Cuts one of two overlapping boxes into pieces that leave out the other.
// Returns 0 when nothing could be done (no room in the table), 1 when b was
// replaced, 2 when a was replaced.
int SplitPair(AppState& s, int ia, int ib) {
  // Every piece is added before the box it replaces goes, so a full table
  // never loses area: the pair waits instead.
  constexpr int kMostPieces = 4;
  if (s.layout.boxes.Count() + kMostPieces > kMaxBoxes) return 0;
  Box& boxA = s.layout.boxes[ia];
  Box& boxB = s.layout.boxes[ib];
  const Box a = boxA, b = boxB;
  const int layer = a.layer;
  const int32_t ox1 = std::max(a.x1, b.x1), oy1 = std::max(a.y1, b.y1);
  const int32_t ox2 = std::min(a.x2, b.x2), oy2 = std::min(a.y2, b.y2);
  if (a.x1 >= b.x1 && a.x2 <= b.x2) {
    AddBox(s, a.x1, b.y2, a.x2, a.y2, layer);
    AddBox(s, a.x1, a.y1, a.x2, b.y1, layer);
  } else if (b.x1 >= a.x1 && b.x2 <= a.x2) {
    AddBox(s, b.x1, a.y2, b.x2, b.y2, layer);
    AddBox(s, b.x1, b.y1, b.x2, a.y1, layer);
    boxB.state = kErased;
    return 1;
  } else if (a.y1 >= b.y1 && a.y2 <= b.y2) {
    AddBox(s, b.x2, a.y1, a.x2, a.y2, layer);
    AddBox(s, a.x1, a.y1, b.x1, a.y2, layer);
  } else if (b.y1 >= a.y1 && b.y2 <= a.y2) {
    AddBox(s, a.x2, b.y1, b.x2, b.y2, layer);
    AddBox(s, b.x1, b.y1, a.x1, b.y2, layer);
    boxB.state = kErased;
    return 1;
  } else {
    AddBox(s, a.x1, a.y1, ox1, a.y2, layer);
    AddBox(s, ox1, a.y1, ox2, oy1, layer);
    AddBox(s, ox1, oy2, ox2, a.y2, layer);
    AddBox(s, ox2, a.y1, a.x2, a.y2, layer);
  }
  boxA.state = kErased;
  return 2;
}

// One pass over the pairs of a layer; `later(a)` lists (at least) the boxes
// after a that may overlap it, in table order. Returns whether a box was cut;
// `stuck` is set when a pair had to wait for room in the table.
template <class Later>
bool PurgeLayer(AppState& s, int layer, Later later, bool& stuck) {
  auto& boxes = s.layout.boxes;
  const LayoutWideState& w = s.layout.wide;
  bool cut = false;
  for (int a = w.layerFirst[layer]; a <= w.layerLast[layer]; ++a) {
    if (!Live(boxes[a])) continue;
    for (int b : later(a)) {
      if (!Live(boxes[b]) || !InteriorsOverlap(boxes[a], boxes[b])) continue;
      const int outcome = SplitPair(s, a, b);
      stuck |= outcome == 0;
      cut |= outcome != 0;
      if (outcome == 2) break;
    }
  }
  return cut;
}

bool PurgeLayerPlain(AppState& s, int layer, bool& stuck) {
  const int last = s.layout.wide.layerLast[layer];
  return PurgeLayer(s, layer, [last](int a) {
    std::vector<int> later;
    for (int b = a + 1; b <= last; ++b) later.push_back(b);
    return later;
  }, stuck);
}

bool PurgeLayerFast(AppState& s, int layer, bool& stuck) {
  const LayoutWideState& w = s.layout.wide;
  const BoxIndex index(s.layout, w.layerFirst[layer], w.layerLast[layer]);
  return PurgeLayer(s, layer, [&](int a) {
    const Box& box = s.layout.boxes[a];
    std::vector<int> near = index.Touching(RectOf(box));
    near.erase(near.begin(), std::upper_bound(near.begin(), near.end(), a));
    return near;
  }, stuck);
}

void PurgeOverlaps(AppState& s, bool fast, int& frame) {
  LayerFlags changed;
  changed.fill(true);
  bool stuck = false;
  for (bool any = true; any;) {
    any = false;
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      if (!changed[layer]) continue;
      ShowCleaningFrame(s, frame);
      changed[layer] = fast ? PurgeLayerFast(s, layer, stuck) : PurgeLayerPlain(s, layer, stuck);
      any |= changed[layer];
    }
    Purge(s.layout);
    OrderBoxesByLayer(s);
  }
  if (stuck) s.LastError = kErrorBoxTableFull;
}

}  // namespace

void CleanBoxes(AppState& s, int mode, bool fast) {
  int frame = 0;
  Purge(s.layout);
  OrderBoxesByLayer(s);
  if (mode == kPurgeAndMerge || mode == kMergeOnly) MergeBoxes(s, fast, frame);
  if (mode == kPurgeAndMerge || mode == kPurgeOnly) PurgeOverlaps(s, fast, frame);
}

}  // namespace tarnisk
