#include "interchange/active_area.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "core/layers.h"

namespace tarnisk {

namespace {

// Pairs of active-area and select boxes compared at the most; a file beyond
// it keeps its boxes as drawn and says so.
constexpr int64_t kPairBudget = 50'000'000;

bool IsDiffusion(uint8_t layer) { return layer == kDiffn || layer == kDiffp; }

auto Key(const Rect& r) { return std::tuple(r.xmin, r.ymin, r.xmax, r.ymax); }

bool Contains(const Rect& outer, const Rect& inner) {
  return outer.xmin <= inner.xmin && outer.ymin <= inner.ymin && outer.xmax >= inner.xmax &&
         outer.ymax >= inner.ymax;
}

bool Overlap(const Rect& a, const Rect& b, Rect& o) {
  o = {std::max(a.xmin, b.xmin), std::max(a.ymin, b.ymin), std::min(a.xmax, b.xmax),
       std::min(a.ymax, b.ymax)};
  return o.xmin < o.xmax && o.ymin < o.ymax;
}

struct Split {
  std::vector<size_t> looseActives;  // active-area boxes that repeat no diffusion box
  std::vector<size_t> selects;       // diffusion boxes that no active-area box repeats
  std::vector<bool> remove;          // boxes that go
};

Split MatchRepeats(const std::vector<ImportedBox>& boxes) {
  Split split;
  split.remove.assign(boxes.size(), false);
  std::map<decltype(Key(Rect{})), std::vector<size_t>> diffusions;
  for (size_t i = 0; i < boxes.size(); ++i)
    if (IsDiffusion(boxes[i].layer)) diffusions[Key(boxes[i].r)].push_back(i);
  std::vector<bool> repeated(boxes.size(), false);
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].layer != kAarea) continue;
    const auto it = diffusions.find(Key(boxes[i].r));
    if (it == diffusions.end() || it->second.empty()) {
      split.looseActives.push_back(i);
      continue;
    }
    repeated[it->second.back()] = true;
    it->second.pop_back();
    split.remove[i] = true;
  }
  for (size_t i = 0; i < boxes.size(); ++i)
    if (IsDiffusion(boxes[i].layer) && !repeated[i]) split.selects.push_back(i);
  return split;
}

bool EveryActiveInsideASelect(const std::vector<ImportedBox>& boxes, const Split& split) {
  return std::all_of(split.looseActives.begin(), split.looseActives.end(), [&](size_t a) {
    return std::any_of(split.selects.begin(), split.selects.end(),
                       [&](size_t s) { return Contains(boxes[s].r, boxes[a].r); });
  });
}

// The diffusion as the active area inside each select.
std::vector<ImportedBox> CutActiveBySelects(ImportedLayout& in, Split& split) {
  std::vector<ImportedBox> pieces;
  std::vector<bool> used(in.boxes.size(), false);
  for (size_t a : split.looseActives) {
    split.remove[a] = true;
    for (size_t s : split.selects) {
      Rect o;
      if (!Overlap(in.boxes[a].r, in.boxes[s].r, o)) continue;
      pieces.push_back({o, in.boxes[s].layer});
      used[s] = true;
    }
  }
  int bare = 0;
  for (size_t s : split.selects) {
    split.remove[s] = true;
    bare += used[s] ? 0 : 1;
  }
  AddDropped(in.dropped, drop::kSelectWithoutActive, bare);
  in.warnings.push_back("The diffusion layers hold selects: the diffusion is the active area "
                        "inside them");
  return pieces;
}

}  // namespace

void ResolveActiveArea(ImportedLayout& in) {
  Split split = MatchRepeats(in.boxes);
  std::vector<ImportedBox> pieces;
  const int64_t pairs = int64_t(split.looseActives.size()) * int64_t(split.selects.size());
  if (pairs > kPairBudget) {
    in.warnings.push_back("Too many active-area and diffusion boxes to cut one by the other: "
                          "both were kept as drawn");
  } else if (pairs > 0 && EveryActiveInsideASelect(in.boxes, split)) {
    pieces = CutActiveBySelects(in, split);
  }
  // The active-area boxes that stay go last, after the diffusion they lie
  // on, as they are written; so a file read, written and read again keeps
  // its order.
  std::vector<ImportedBox> kept, actives;
  kept.reserve(in.boxes.size() + pieces.size());
  for (size_t i = 0; i < in.boxes.size(); ++i)
    if (!split.remove[i]) (in.boxes[i].layer == kAarea ? actives : kept).push_back(in.boxes[i]);
  kept.insert(kept.end(), pieces.begin(), pieces.end());
  kept.insert(kept.end(), actives.begin(), actives.end());
  in.boxes = std::move(kept);
}

}  // namespace tarnisk
