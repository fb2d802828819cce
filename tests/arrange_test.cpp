#include "session/files.h"
#include "core/arrange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "session/editor/editing.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Fresh;
using Marks = std::array<bool, kLayerCount + 1>;

Marks AllButContact() {
  Marks marks{};
  for (int layer = 1; layer <= kLayerCount; ++layer) marks[layer] = layer != kContact;
  return marks;
}

// ---- The plain pairwise algorithm, written without any look-up structure ----

bool PlainMergePair(Box& a, Box& b) {
  if (a.x1 == b.x1 && a.x2 == b.x2 && b.y2 >= a.y1 && b.y1 <= a.y2) {
    a.y1 = std::min(a.y1, b.y1);
    a.y2 = std::max(a.y2, b.y2);
  } else if (a.y1 == b.y1 && a.y2 == b.y2 && b.x2 >= a.x1 && b.x1 <= a.x2) {
    a.x1 = std::min(a.x1, b.x1);
    a.x2 = std::max(a.x2, b.x2);
  } else {
    return false;
  }
  b.state = kErased;
  return true;
}

// One phase of the pairwise scan: rounds over the dirty layers until no pair
// changes; `pair` acts on boxes i < j of a layer and says whether it did.
template <class Pair>
void PlainPhase(Session& s, Pair pair) {
  auto& boxes = s.layout.boxes;
  Marks dirty = AllButContact();
  for (bool changed = true; changed;) {
    changed = false;
    OrderBoxesByLayer(s.layout, s.progress);
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      if (!dirty[layer]) continue;
      dirty[layer] = false;
      const int first = s.layout.wide.layerFirst[layer], last = s.layout.wide.layerLast[layer];
      for (int i = first; i <= last; ++i) {
        if (boxes[i].state == kErased) continue;
        for (int j = i + 1; j <= last && boxes[i].state != kErased; ++j) {
          if (boxes[j].state == kErased || !pair(i, j)) continue;
          dirty[layer] = changed = true;
        }
      }
    }
    Purge(s.layout);
  }
}

void PlainMerge(Session& s) {
  Purge(s.layout);
  PlainPhase(s, [&](int i, int j) { return PlainMergePair(s.layout.boxes[i], s.layout.boxes[j]); });
}

void PlainReplace(Session& s, int victim, std::vector<Rect> parts) {
  s.layout.boxes[victim].state = kErased;
  const int layer = s.layout.boxes[victim].layer;
  for (const Rect& r : parts) AddBox(s.layout, r.xmin, r.ymin, r.xmax, r.ymax, layer);
}

bool PlainSplitPair(Session& s, int i, int j) {
  const Box a = s.layout.boxes[i], b = s.layout.boxes[j];
  if (!(a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2)) return false;
  const Rect o{std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2),
               std::min(a.y2, b.y2)};
  if (b.x1 <= a.x1 && a.x2 <= b.x2)
    PlainReplace(s, i, {{a.x1, b.y2, a.x2, a.y2}, {a.x1, a.y1, a.x2, b.y1}});
  else if (a.x1 <= b.x1 && b.x2 <= a.x2)
    PlainReplace(s, j, {{b.x1, a.y2, b.x2, b.y2}, {b.x1, b.y1, b.x2, a.y1}});
  else if (b.y1 <= a.y1 && a.y2 <= b.y2)
    PlainReplace(s, i, {{b.x2, a.y1, a.x2, a.y2}, {a.x1, a.y1, b.x1, a.y2}});
  else if (a.y1 <= b.y1 && b.y2 <= a.y2)
    PlainReplace(s, j, {{a.x2, b.y1, b.x2, b.y2}, {b.x1, b.y1, a.x1, b.y2}});
  else
    PlainReplace(s, i,
                 {{a.x1, a.y1, o.xmin, a.y2},
                  {o.xmin, a.y1, o.xmax, o.ymin},
                  {o.xmin, o.ymax, o.xmax, a.y2},
                  {o.xmax, a.y1, a.x2, a.y2}});
  return true;
}

void PlainSplit(Session& s) {
  PlainPhase(s, [&](int i, int j) { return PlainSplitPair(s, i, j); });
}

// ---- helpers ----

using BoxRecord =
    std::tuple<int, int32_t, int32_t, int32_t, int32_t, int>;  // state, corners, layer

std::vector<BoxRecord> Table(const Layout& l) {
  std::vector<BoxRecord> rows;
  for (int i = 1; i <= l.boxes.Count(); ++i) {
    const Box& b = l.boxes[i];
    rows.emplace_back(b.state, b.x1, b.y1, b.x2, b.y2, b.layer);
  }
  return rows;
}

// Many abutting, overlapping and repeated boxes on a few layers, some erased.
void FillRandom(Session& s, std::mt19937& rng, int count, int span) {
  const int layers[] = {kContact, kPoly, kMetal, kMetal2};
  std::uniform_int_distribution<int> pos(-span / 2, span / 2), size(1, 12), pick(0, 3), kind(0, 9);
  for (int n = 0; n < count; ++n) {
    const int c = s.layout.boxes.Count();
    const int k = kind(rng);
    if (c > 0 && k < 4) {
      // Derived from an earlier box: repeated, stacked on it, beside it or shifted over it.
      std::uniform_int_distribution<int> which(1, c);
      Box b = s.layout.boxes[which(rng)];
      const int32_t h = b.y2 - b.y1, w = b.x2 - b.x1;
      if (k == 1) b.y1 = b.y2, b.y2 += size(rng);
      if (k == 2) b.x1 = b.x2 - size(rng) % (w + 1), b.x2 = b.x1 + w;
      if (k == 3) b.y1 += size(rng) % (h + 1) - 3, b.y2 = b.y1 + h;
      AddBox(s.layout, b.x1, b.y1, b.x2, b.y2, b.layer);
    } else if (k == 9) {
      // A long strap across many others.
      const int x = pos(rng), y = pos(rng);
      AddBox(s.layout, x, y, x + 10 * size(rng), y + 3, layers[pick(rng)]);
    } else {
      const int x = pos(rng), y = pos(rng);
      AddBox(s.layout, x, y, x + size(rng), y + size(rng), layers[pick(rng)]);
    }
    if (kind(rng) == 0) s.layout.boxes[s.layout.boxes.Count()].state = kErased;
  }
}

int64_t TotalArea(const Layout& l, int layer) {
  int64_t area = 0;
  for (int i = 1; i <= l.boxes.Count(); ++i) {
    const Box& b = l.boxes[i];
    if (b.layer == layer) area += int64_t{b.x2 - b.x1} * (b.y2 - b.y1);
  }
  return area;
}

// The unit squares covered by the boxes of a layer, each counted once.
std::set<std::pair<int, int>> Cover(const Layout& l, int layer) {
  std::set<std::pair<int, int>> cells;
  for (int i = 1; i <= l.boxes.Count(); ++i) {
    const Box& b = l.boxes[i];
    if (b.layer != layer) continue;
    for (int x = b.x1; x < b.x2; ++x)
      for (int y = b.y1; y < b.y2; ++y) cells.emplace(x, y);
  }
  return cells;
}

// ---- tests ----

TEST(Arrange, MatchesThePlainPairwiseScanAfterEachPhase) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    Fresh fast, plain;
    std::mt19937 rng(seed);
    const int count = 20 + int(seed % 7) * 40;
    const int span = seed % 3 == 0 ? 400 : 60;
    FillRandom(fast.s, rng, count, span);
    rng.seed(seed);
    FillRandom(plain.s, rng, count, span);
    ASSERT_EQ(Table(fast.layout), Table(plain.layout));

    ArrangeMergePhase(fast.s.layout, fast.s.progress);
    PlainMerge(plain.s);
    ASSERT_EQ(Table(fast.layout), Table(plain.layout)) << "merge, seed " << seed;

    ArrangeSplitPhase(fast.s.layout, fast.s.progress);
    PlainSplit(plain.s);
    ASSERT_EQ(Table(fast.layout), Table(plain.layout)) << "split, seed " << seed;
  }
}

// The example layouts with a shifted copy of every box laid over them.
void ReadWithShiftedCopy(Session& s, const std::string& example) {
  ASSERT_EQ(OpenLayoutFile(s, testing::DataFile("examples/" + example), ReadMode::Open).LastError(), 0);
  ASSERT_EQ(s.LastError, 0);
  const int count = s.layout.boxes.Count();
  for (int i = 1; i <= count; ++i) {
    const Box b = s.layout.boxes[i];
    AddBox(s.layout, b.x1 + 3, b.y1 + 1, b.x2 + 3, b.y2 + 1, b.layer);
  }
}

TEST(Arrange, MatchesThePlainPairwiseScanOnTheExampleLayouts) {
  for (const char* example : {"inverter.msk", "nand2.msk", "ring5.msk"}) {
    Fresh fast, plain;
    ReadWithShiftedCopy(fast.s, example);
    ReadWithShiftedCopy(plain.s, example);
    ArrangeMergePhase(fast.s.layout, fast.s.progress);
    PlainMerge(plain.s);
    ASSERT_EQ(Table(fast.layout), Table(plain.layout)) << "merge, " << example;
    ArrangeSplitPhase(fast.s.layout, fast.s.progress);
    PlainSplit(plain.s);
    ASSERT_EQ(Table(fast.layout), Table(plain.layout)) << "split, " << example;
  }
}

TEST(Arrange, KeepsEveryLayersCoverAndLeavesNoOverlap) {
  Fresh f;
  std::mt19937 rng(99);
  FillRandom(f.s, rng, 300, 60);
  Purge(f.layout);
  const int layers[] = {kPoly, kMetal, kMetal2};
  std::vector<std::set<std::pair<int, int>>> before;
  for (int layer : layers) before.push_back(Cover(f.layout, layer));

  ArrangeLayout(f.s);
  for (size_t k = 0; k < std::size(layers); ++k) {
    const auto after = Cover(f.layout, layers[k]);
    EXPECT_EQ(after, before[k]) << "layer " << layers[k];
    EXPECT_EQ(TotalArea(f.layout, layers[k]), int64_t(after.size())) << "layer " << layers[k];
  }
  EXPECT_EQ(f.layout.wide.drawOnAdd, 1);
  EXPECT_EQ(f.layout.wide.modified, 1);
}

// A pile of boxes all overlapping one another: a box already replaced by its
// parts must not be split again, or the pile grows without end (50 boxes
// once became 72,000).
TEST(Arrange, APileOfOverlappingBoxesEndsAsAFewDisjointOnes) {
  Fresh f;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> corner(-50, 50), size(60, 200);
  for (int n = 0; n < 50; ++n) {
    const int x = corner(rng), y = corner(rng);
    AddBox(f.s.layout, x, y, x + size(rng), y + size(rng), kMetal);
  }
  const auto before = Cover(f.layout, kMetal);
  ArrangeLayout(f.s);
  EXPECT_EQ(Cover(f.layout, kMetal), before);
  EXPECT_EQ(TotalArea(f.layout, kMetal), int64_t(before.size())) << "no overlap is left";
  EXPECT_LT(f.layout.boxes.Count(), 2000);
}

TEST(Arrange, MergesAbuttingBoxesButNeverContacts) {
  Fresh f;
  AddBox(f.s.layout, 0, 0, 10, 4, kMetal);
  AddBox(f.s.layout, 0, 4, 10, 8, kMetal);
  ArrangeLayout(f.s);
  ASSERT_EQ(f.layout.boxes.Count(), 1);
  const Box& b = f.layout.boxes[1];
  EXPECT_EQ(std::tie(b.x1, b.y1, b.x2, b.y2), std::make_tuple(0, 0, 10, 8));
  const auto& history = f.platform.StatusHistory();
  EXPECT_EQ(history.front(), "Start removind redundant and overlap boxes...");
  EXPECT_NE(std::find(history.begin(), history.end(), "cLeaning"), history.end());
  EXPECT_EQ(history.back(), "Tarnisk removed redundant and overlaping boxes (50.00% removed)");

  Fresh contacts;
  AddBox(contacts.s.layout, 0, 0, 10, 4, kContact);
  AddBox(contacts.s.layout, 0, 4, 10, 8, kContact);
  ArrangeLayout(contacts.s);
  EXPECT_EQ(contacts.layout.boxes.Count(), 2);
  EXPECT_EQ(contacts.platform.Panel(0), "No redundant box in the layout");
  EXPECT_EQ(contacts.layout.wide.modified, 0);
}

TEST(Arrange, SplitsOverlappingBoxesIntoDisjointOnesOfTheSameUnion) {
  Fresh f;
  AddBox(f.s.layout, 0, 0, 10, 10, kMetal);
  AddBox(f.s.layout, 5, 5, 15, 15, kMetal);
  ArrangeLayout(f.s);
  EXPECT_EQ(TotalArea(f.layout, kMetal), 175);
  EXPECT_EQ(Cover(f.layout, kMetal).size(), 175u);
  // Three boxes where there were two: the count grew.
  EXPECT_EQ(f.layout.boxes.Count(), 3);
  EXPECT_EQ(f.platform.Panel(0),
            "Tarnisk removed redundant and overlaping boxes (-50.00% removed)");
}

TEST(Arrange, LeavesAPairWholeWhenItsPartsDoNotFit) {
  Fresh f;
  for (int i = 0; i < kMaxBoxes - 2; ++i) AddBox(f.s.layout, 1000, i, 1001, i + 1, kContact);
  AddBox(f.s.layout, 0, 0, 10, 10, kMetal);
  AddBox(f.s.layout, 5, 5, 15, 15, kMetal);
  ArrangeLayout(f.s);
  EXPECT_EQ(f.layout.boxes.Count(), kMaxBoxes);
  EXPECT_EQ(TotalArea(f.layout, kMetal), 200);
  EXPECT_EQ(f.platform.Panel(0), kBoxTableFullMessage);
}

}  // namespace
}  // namespace tarnisk
