#include "core/arrange.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/box_index.h"
#include "core/number_format.h"
#include "core/progress.h"

namespace tarnisk {

namespace {

using BoxTable = RecordTable<Box, kMaxBoxes>;
using LayerMarks = std::array<bool, kLayerCount + 1>;

// Every layer but contact, whose boxes are never merged or split.
LayerMarks AllLayersButContact() {
  LayerMarks marks{};
  for (int layer = 1; layer <= kLayerCount; ++layer) marks[layer] = layer != kContact;
  return marks;
}

void ShowProgress(Progress& p, int round) { ShowStatus(p, kCleaningWords[round % 8]); }

// What a round did to a layer: changed it, and whether the layer needs
// another round (it changed, or a split was put off for want of room).
struct Outcome {
  bool changed = false;
  bool again = false;
};

// One round: orders the boxes by layer and runs `work`(first, last) on every
// marked layer, which stays marked when it needs another round.
template <class Work>
Outcome RunRound(Layout& layout, Progress& progress, LayerMarks& dirty, Work work) {
  OrderBoxesByLayer(layout, progress);
  const LayoutWideState& w = layout.wide;
  Outcome round;
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    if (!dirty[layer]) continue;
    progress.Yield();
    const int first = w.layerFirst[layer], last = w.layerLast[layer];
    const Outcome outcome = last < first ? Outcome{} : work(first, last);
    dirty[layer] = outcome.again;
    round.changed |= outcome.changed;
    round.again |= outcome.again;
  }
  return round;
}

// ---- merge ----

uint64_t PairKey(int32_t a, int32_t b) {
  return (uint64_t{static_cast<uint32_t>(a)} << 32) | static_cast<uint32_t>(b);
}

// A layer's boxes grouped by a pair of their coordinates (x1, x2 or y1, y2),
// each group in increasing index.
class PairIndex {
 public:
  template <class KeyOf>
  PairIndex(const BoxTable& boxes, int first, int last, KeyOf keyOf) {
    entries_.reserve(last - first + 1);
    for (int i = first; i <= last; ++i) entries_.emplace_back(keyOf(boxes[i]), i);
    std::sort(entries_.begin(), entries_.end());
  }

  // The smallest index >= from in the key's group that `accept` takes, or 0.
  template <class Accept>
  int First(uint64_t key, int from, Accept accept) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), std::pair(key, from));
    for (; it != entries_.end() && it->first == key; ++it)
      if (accept(it->second)) return it->second;
    return 0;
  }

 private:
  std::vector<std::pair<uint64_t, int>> entries_;
};

// Box i takes in, one after the other, every later live box that shares its
// x1 and x2 and touches it in y, or shares its y1 and y2 and touches it in x,
// each compared with i as it has grown so far. Boxes after i are not changed
// before i's turn, so the groups built at the start of the round hold.
bool MergeInto(BoxTable& boxes, int i, const PairIndex& byXRange, const PairIndex& byYRange) {
  Box& a = boxes[i];
  const auto touchesInY = [&](int j) {
    const Box& b = boxes[j];
    return b.state != kErased && b.y2 >= a.y1 && b.y1 <= a.y2;
  };
  const auto touchesInX = [&](int j) {
    const Box& b = boxes[j];
    return b.state != kErased && b.x2 >= a.x1 && b.x1 <= a.x2;
  };
  bool merged = false;
  for (int from = i + 1;;) {
    const int alongY = byXRange.First(PairKey(a.x1, a.x2), from, touchesInY);
    const int alongX = byYRange.First(PairKey(a.y1, a.y2), from, touchesInX);
    if (alongY == 0 && alongX == 0) return merged;
    const int j = alongY == 0 ? alongX : alongX == 0 ? alongY : std::min(alongY, alongX);
    merged |= MergeTouching(a, boxes[j]);
    from = j + 1;
  }
}

Outcome MergeLayer(BoxTable& boxes, int first, int last) {
  const bool merged = MergeLayerBoxes(boxes, first, last);
  return {merged, merged};
}

// ---- split ----

// Box i is compared with every later live box of the layer overlapping it
// until it is itself replaced: its parts are new boxes that the next round
// compares again. Going on with a replaced box would split the same area over
// and over (a pile of overlapping boxes grew into tens of thousands). A pair
// whose parts do not fit is left for the next round, after the purge has made
// room.
Outcome SplitLayer(Layout& layout, int first, int last) {
  auto& boxes = layout.boxes;
  // Rectangles do not change during a split round (a replaced box is only
  // erased), so one index serves the whole round.
  const BoxIndex index(layout, first, last);
  bool split = false, putOff = false;
  for (int i = first; i <= last; ++i) {
    if (boxes[i].state == kErased) continue;
    for (const int j : index.Touching(RectOf(boxes[i]))) {
      if (boxes[i].state == kErased) break;
      if (j <= i || boxes[j].state == kErased || !InteriorsOverlap(boxes[i], boxes[j])) continue;
      if (ReplaceBox(layout, ResolveOverlap(boxes[i], i, boxes[j], j)))
        split = true;
      else
        putOff = true;
    }
  }
  return {split, split || putOff};
}

std::string ResultMessage(int countBefore, int countAfter) {
  if (countAfter == countBefore) return "No redundant box in the layout";
  const double removed = (countBefore - countAfter) * 100.0 / countBefore;
  return "Tarnisk removed redundant and overlaping boxes (" + FormatFixed(removed, 4, 2) +
         "% removed)";
}

}  // namespace

bool MergeTouching(Box& a, Box& b) {
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

bool InteriorsOverlap(const Box& a, const Box& b) {
  return a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

BoxReplacement ResolveOverlap(const Box& a, int i, const Box& b, int j) {
  if (b.x1 <= a.x1 && a.x2 <= b.x2)  // a's x range within b's: a keeps what is above and below b
    return {i, {Rect{a.x1, b.y2, a.x2, a.y2}, Rect{a.x1, a.y1, a.x2, b.y1}}};
  if (a.x1 <= b.x1 && b.x2 <= a.x2)
    return {j, {Rect{b.x1, a.y2, b.x2, b.y2}, Rect{b.x1, b.y1, b.x2, a.y1}}};
  if (b.y1 <= a.y1 && a.y2 <= b.y2)  // a's y range within b's: a keeps what is right and left of b
    return {i, {Rect{b.x2, a.y1, a.x2, a.y2}, Rect{a.x1, a.y1, b.x1, a.y2}}};
  if (a.y1 <= b.y1 && b.y2 <= a.y2)
    return {j, {Rect{a.x2, b.y1, b.x2, b.y2}, Rect{b.x1, b.y1, a.x1, b.y2}}};
  // Corners overlap: a keeps the strips left of, below, above and right of the overlap.
  const Rect o{std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2),
               std::min(a.y2, b.y2)};
  return {i,
          {Rect{a.x1, a.y1, o.xmin, a.y2}, Rect{o.xmin, a.y1, o.xmax, o.ymin},
           Rect{o.xmin, o.ymax, o.xmax, a.y2}, Rect{o.xmax, a.y1, a.x2, a.y2}}};
}

bool ReplaceBox(Layout& layout, const BoxReplacement& r) {
  Box& victim = layout.boxes[r.victim];
  if (AddBoxParts(layout, r.parts, victim.layer) != kTableOk) return false;
  victim.state = kErased;
  return true;
}

bool MergeLayerBoxes(BoxTable& boxes, int first, int last) {
  if (last < first) return false;
  const PairIndex byXRange(boxes, first, last, [](const Box& b) { return PairKey(b.x1, b.x2); });
  const PairIndex byYRange(boxes, first, last, [](const Box& b) { return PairKey(b.y1, b.y2); });
  bool merged = false;
  for (int i = first; i <= last; ++i)
    if (boxes[i].state != kErased) merged |= MergeInto(boxes, i, byXRange, byYRange);
  return merged;
}

bool ArrangeMergePhase(Layout& layout, Progress& progress) {
  Purge(layout);
  LayerMarks dirty = AllLayersButContact();
  bool mergedAny = false;
  for (int round = 1;; ++round) {
    const Outcome outcome = RunRound(layout, progress, dirty, [&](int first, int last) {
      return MergeLayer(layout.boxes, first, last);
    });
    Purge(layout);
    ShowProgress(progress, round);
    if (!outcome.changed) return mergedAny;
    mergedAny = true;
  }
}

SplitPhaseResult ArrangeSplitPhase(Layout& layout, Progress& progress) {
  LayerMarks dirty = AllLayersButContact();
  SplitPhaseResult result;
  for (int round = 1;; ++round) {
    ShowProgress(progress, round);
    const Outcome outcome = RunRound(layout, progress, dirty, [&](int first, int last) {
      return SplitLayer(layout, first, last);
    });
    Purge(layout);
    if (!outcome.changed) {
      // Splits still put off when nothing else changes: overlaps are left.
      result.status = outcome.again ? kErrorBoxTableFull : kTableOk;
      return result;
    }
    result.split = true;
  }
}

ArrangeResult ArrangeBoxes(Layout& layout, Progress& progress) {
  ArrangeResult result;
  result.countBefore = layout.boxes.Count();
  result.merged = ArrangeMergePhase(layout, progress);
  const SplitPhaseResult split = ArrangeSplitPhase(layout, progress);
  result.split = split.split;
  result.status = split.status;
  OrderBoxesByLayer(layout, progress);
  result.countAfter = layout.boxes.Count();
  result.message = ResultMessage(result.countBefore, result.countAfter);
  return result;
}

}  // namespace tarnisk
