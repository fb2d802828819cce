#include <gtest/gtest.h>

#include <vector>

#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Fresh;

std::vector<int32_t> BoxX1s(const Layout& l) {
  std::vector<int32_t> xs;
  for (int i = 1; i <= l.boxes.Count(); ++i) xs.push_back(l.boxes[i].x1);
  return xs;
}

TEST(LayoutDatabase, StartsWithDefaultsAndTheTwoSupplyNodes) {
  Fresh f;
  EXPECT_EQ(f.layout.wide.extent, (Rect{-15, -15, 50, 50}));
  EXPECT_EQ(f.layout.wide.window, (Rect{-15, -15, 50, 50}));
  EXPECT_EQ(f.layout.wide.previousWindow, (Rect{0, 0, 200, 100}));
  EXPECT_EQ(f.layout.wide.currentLayer, kPoly);
  EXPECT_EQ(f.layout.nodes.count, 1);
  EXPECT_EQ(f.layout.nodes.nodes[0].name, "vss");
  EXPECT_EQ(f.layout.nodes.nodes[0].property, kPropertyVss);
  EXPECT_EQ(f.layout.nodes.nodes[1].name, "vdd");
  EXPECT_EQ(f.layout.nodes.nodes[1].property, kPropertyVdd);
  EXPECT_EQ(f.layout.layers[kMetal2].code, "M2");
  EXPECT_EQ(f.layout.layers[kNitride].permittivity, 7.0);
  EXPECT_EQ(f.layout.layers[kPoly].pattern[0], 0xCC);
  EXPECT_EQ(f.layout.layers[kDiffp].colour, (Rgb{112, 80, 0}));
  ComputeExtent(f.layout);
  EXPECT_EQ(f.layout.wide.extent, (Rect{-15, -15, 50, 50}));
}

TEST(LayoutDatabase, AddBoxRefusesEmptyBoxesSilentlyAndGrowsTheExtent) {
  Fresh f;
  f.s.LastError = 0;
  AddBox(f.s, 5, 0, 5, 10, kMetal);
  AddBox(f.s, 0, 3, 10, 2, kMetal);
  AddBox(f.s, 0, 0, 10, 10, 0);
  AddBox(f.s, 0, 0, 10, 10, 21);
  EXPECT_EQ(f.layout.boxes.Count(), 0);
  EXPECT_EQ(f.s.LastError, 0);
  AddBox(f.s, -100, 0, 4, 70, kMetal);
  ASSERT_EQ(f.layout.boxes.Count(), 1);
  const Box& b = f.layout.boxes[1];
  EXPECT_EQ(b.state, kNormal);
  EXPECT_EQ(b.node, -1);
  EXPECT_EQ(f.layout.wide.extent, (Rect{-100, -15, 50, 70}));
}

TEST(LayoutDatabase, FullTablesReportTheirCodesAndStayUnchanged) {
  Fresh f;
  for (int i = 0; i < kMaxBoxes; ++i) AddBox(f.s, i, 0, i + 1, 1, kPoly);
  EXPECT_EQ(f.s.LastError, 0);
  AddBox(f.s, 0, 0, 1, 1, kPoly);
  EXPECT_EQ(f.s.LastError, kErrorBoxTableFull);
  EXPECT_EQ(f.layout.boxes.Count(), kMaxBoxes);

  for (int i = 0; i < kMaxTexts; ++i) AddLayoutText(f.s, i, 0, "t");
  EXPECT_EQ(f.layout.texts.Count(), kMaxTexts);
  AddLayoutText(f.s, -1, -1, "one too many");
  EXPECT_EQ(f.s.LastError, kErrorTextTableFull);
  EXPECT_EQ(f.layout.texts.Count(), kMaxTexts);

  for (int i = 0; i < kMaxResistanceMarks; ++i) AddResistanceMark(f.s, i, 0, "1k");
  AddResistanceMark(f.s, 0, 0, "1k");
  EXPECT_EQ(f.s.LastError, kErrorTextTableFull);
  EXPECT_EQ(f.layout.resistances.Count(), kMaxResistanceMarks);

  for (int n = 2; n <= kMaxNodeNumber; ++n) ASSERT_EQ(AddNode(f.s, "?"), n);
  EXPECT_EQ(AddNode(f.s, "x"), -1);
  EXPECT_EQ(f.s.LastError, kErrorNodeTableFull);
}

TEST(LayoutDatabase, TextsAreNotStackedOnALiveTextButMayReplaceAnErasedOne) {
  Fresh f;
  AddLayoutText(f.s, 3, 4, "a");
  AddLayoutText(f.s, 3, 4, "b");
  AddLayoutText(f.s, 9, 9, "");
  EXPECT_EQ(f.layout.texts.Count(), 1);
  f.layout.texts[1].state = 0;
  AddLayoutText(f.s, 3, 4, "c");
  ASSERT_EQ(f.layout.texts.Count(), 2);
  const LayoutText& t = f.layout.texts[2];
  EXPECT_EQ(t.text, "c");
  EXPECT_EQ(t.property, kPropertyNone);
  EXPECT_EQ(t.highLevel, 1000);
  EXPECT_EQ(t.lowLevel, 0);
  EXPECT_EQ(t.visible, 0);
}

TEST(LayoutDatabase, LongTextsAreCutTo128Characters) {
  Fresh f;
  AddLayoutText(f.s, 0, 0, std::string(300, 'x'));
  AddResistanceMark(f.s, 0, 0, std::string(300, 'y'));
  EXPECT_EQ(f.layout.texts[1].text.size(), 128u);
  EXPECT_EQ(f.layout.resistances[1].text.size(), 128u);
  EXPECT_EQ(f.layout.resistances[1].value, 1000);
}

TEST(LayoutDatabase, NodesNamedWithAQuestionMarkAreNumbered) {
  Fresh f;
  EXPECT_EQ(AddNode(f.s, "?"), 2);
  EXPECT_EQ(AddNode(f.s, "out"), 3);
  EXPECT_EQ(f.layout.nodes.nodes[2].name, "N2");
  EXPECT_EQ(f.layout.nodes.nodes[3].name, "out");
  EXPECT_EQ(f.layout.nodes.nodes[3].display, 1);
  ClearNodes(f.layout);
  EXPECT_EQ(f.layout.nodes.count, 1);
  EXPECT_EQ(f.layout.nodes.nodes[1].name, "vdd");
  EXPECT_EQ(AddNode(f.s, "?"), 2);
}

TEST(LayoutDatabase, PurgeFillsHolesFromTheEnd) {
  Fresh f;
  auto fill = [&](std::vector<bool> live) {
    ReleaseAll(f.s);
    for (size_t i = 0; i < live.size(); ++i) {
      AddBox(f.s, int32_t(i), 0, int32_t(i) + 1, 1, kMetal);
      if (!live[i]) f.layout.boxes[int(i) + 1].state = kErased;
    }
    Purge(f.layout);
    return BoxX1s(f.layout);
  };
  EXPECT_EQ(fill({true, false, true}), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(fill({false, true, false, true}), (std::vector<int32_t>{3, 1}));
  EXPECT_EQ(fill({false, false}), (std::vector<int32_t>{}));
  EXPECT_EQ(fill({false}), (std::vector<int32_t>{}));
  EXPECT_EQ(fill({true}), (std::vector<int32_t>{0}));
  EXPECT_EQ(fill({true, true, false, false, true}), (std::vector<int32_t>{0, 1, 4}));
}

TEST(LayoutDatabase, MovingRecordsToOtherIndexesForgetsTheUndo) {
  Fresh f;
  AddBox(f.s, 0, 0, 5, 5, kPoly);
  AddBox(f.s, 0, 0, 5, 5, kNwell);
  f.layout.wide.undoCode = 0;
  Purge(f.layout);  // nothing to drop: indexes unchanged
  OrderBoxesByLayer(f.s);  // nwell before poly: the boxes swap
  EXPECT_EQ(f.layout.wide.undoCode, 5);
  f.layout.wide.undoCode = 0;
  OrderBoxesByLayer(f.s);  // already in order
  EXPECT_EQ(f.layout.wide.undoCode, 0);
  f.layout.boxes[1].state = kErased;
  Purge(f.layout);
  EXPECT_EQ(f.layout.wide.undoCode, 5);
}

TEST(LayoutDatabase, PurgeDropsDegenerateBoxesAndDeadTextsAndMarks) {
  Fresh f;
  AddBox(f.s, 0, 0, 5, 5, kMetal);
  AddBox(f.s, 10, 0, 15, 5, kMetal);
  f.layout.boxes[1].x2 = 0;  // shrunk to nothing by an edit
  AddLayoutText(f.s, 0, 0, "a");
  AddLayoutText(f.s, 1, 0, "b");
  f.layout.texts[1].state = 0;
  AddResistanceMark(f.s, 0, 0, "r");
  f.layout.resistances[1].state = 0;
  Purge(f.layout);
  ASSERT_EQ(f.layout.boxes.Count(), 1);
  EXPECT_EQ(f.layout.boxes[1].x1, 10);
  ASSERT_EQ(f.layout.texts.Count(), 1);
  EXPECT_EQ(f.layout.texts[1].text, "b");
  EXPECT_EQ(f.layout.resistances.Count(), 0);
}

TEST(LayoutDatabase, OrderingGroupsBoxesByLayerAndMarksEmptyLayers) {
  Fresh f;
  const int layers[] = {kMetal, kPoly, kMetal2, kPoly, kNwell, kMetal, kContact, kNwell};
  for (int i = 0; i < 8; ++i) AddBox(f.s, i, 0, i + 1, 1, layers[i]);
  OrderBoxesByLayer(f.s);
  const LayoutWideState& w = f.layout.wide;
  int previous = 0;
  for (int i = 1; i <= f.layout.boxes.Count(); ++i) {
    EXPECT_GE(f.layout.boxes[i].layer, previous);
    previous = f.layout.boxes[i].layer;
  }
  EXPECT_EQ(w.layerFirst[kNwell], 1);
  EXPECT_EQ(w.layerLast[kNwell], 2);
  EXPECT_EQ(w.layerLast[kDiffp], -1);
  EXPECT_EQ(w.layerFirst[kContact], 3);
  EXPECT_EQ(w.layerLast[kContact], 3);
  EXPECT_EQ(w.layerFirst[kPoly], 4);
  EXPECT_EQ(w.layerLast[kPoly], 5);
  EXPECT_EQ(w.layerFirst[kMetal], 6);
  EXPECT_EQ(w.layerLast[kMetal], 7);
  EXPECT_EQ(w.layerLast[kMetal2], 8);
  EXPECT_EQ(w.layerLast[kAarea], -1);
}

TEST(LayoutDatabase, OrderingKeepsEveryBoxOnRandomLayouts) {
  Fresh f;
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (int round = 0; round < 20; ++round) {
    ReleaseAll(f.s);
    const int n = int(next() % 200);
    std::array<int, kLayerCount + 1> perLayer{};
    for (int i = 0; i < n; ++i) {
      const int layer = 1 + int(next() % kLayerCount);
      ++perLayer[layer];
      AddBox(f.s, i, 0, i + 1, 1, layer);
    }
    OrderBoxesByLayer(f.s);
    ASSERT_EQ(f.layout.boxes.Count(), n);
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      const int first = f.layout.wide.layerFirst[layer], last = f.layout.wide.layerLast[layer];
      if (perLayer[layer] == 0) {
        EXPECT_EQ(last, -1);
        continue;
      }
      ASSERT_EQ(last - first + 1, perLayer[layer]) << "layer " << layer;
      for (int i = first; i <= last; ++i) EXPECT_EQ(f.layout.boxes[i].layer, layer);
    }
  }
}

TEST(LayoutDatabase, ExtentCountsLabelsAndIgnoresErasedBoxes) {
  Fresh f;
  AddBox(f.s, 0, 0, 10, 10, kMetal);
  AddBox(f.s, 500, 500, 600, 600, kMetal);
  f.layout.boxes[2].state = kErased;
  AddLayoutText(f.s, 100, -50, "t");
  ComputeExtent(f.layout);
  EXPECT_EQ(f.layout.wide.extent, (Rect{0, -50, 140, 10}));
}

TEST(LayoutDatabase, BoxQueriesTreatTouchingAsSharing) {
  Fresh f;
  AddBox(f.s, 0, 0, 10, 10, kMetal);
  AddBox(f.s, 10, 0, 20, 10, kMetal);
  AddBox(f.s, 30, 30, 40, 40, kMetal);
  Rect r;
  EXPECT_TRUE(BoxOverlap(f.layout, 1, 2, r));
  EXPECT_EQ(r, (Rect{10, 0, 10, 10}));
  EXPECT_FALSE(BoxOverlap(f.layout, 1, 3, r));
  f.layout.boxes[2].state = kErased;
  EXPECT_FALSE(BoxOverlap(f.layout, 1, 2, r));
  EXPECT_TRUE(BoxIntersects(f.layout, 1, {10, 10, 15, 15}));
  EXPECT_FALSE(BoxIntersects(f.layout, 1, {11, 0, 15, 15}));
  EXPECT_TRUE(BoxInside(f.layout, 1, {0, 0, 10, 10}));
  EXPECT_FALSE(BoxInside(f.layout, 1, {0, 0, 9, 10}));
  EXPECT_TRUE(PointInRect({10, 0}, {0, 0, 10, 10}));
  EXPECT_FALSE(PointInRect({11, 0}, {0, 0, 10, 10}));
}

TEST(LayoutDatabase, ResetAndReleaseEmptyTheTables) {
  Fresh f;
  AddBox(f.s, 0, 0, 1, 1, kMetal);
  AddLayoutText(f.s, 0, 0, "t");
  AddResistanceMark(f.s, 0, 0, "r");
  AddNode(f.s, "n");
  f.layout.layers[kMetal].cifName = "CMF";
  f.layout.wide.modified = 1;
  ReleaseAll(f.s);
  EXPECT_EQ(f.layout.boxes.Count() + f.layout.texts.Count() + f.layout.resistances.Count(), 0);
  EXPECT_EQ(f.layout.nodes.count, 1);
  EXPECT_EQ(f.layout.wide.modified, 0);
  EXPECT_EQ(f.layout.layers[kMetal].cifName, "CMF");  // rule-file settings survive
  ResetDatabase(f.s);
  EXPECT_EQ(f.layout.layers[kMetal].cifName, "xxx");
  EXPECT_EQ(f.layout.wide.ruleFileName, "ES207.RUL");
}

}  // namespace
}  // namespace tarnisk
