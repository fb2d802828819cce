#include <gtest/gtest.h>

#include <vector>

#include "session/session.h"
#include "tests/test_support.h"
#include "ui/recording_surface.h"

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
  EXPECT_EQ(AddBox(f.layout, 5, 0, 5, 10, kMetal), kTableOk);
  EXPECT_EQ(AddBox(f.layout, 0, 3, 10, 2, kMetal), kTableOk);
  EXPECT_EQ(AddBox(f.layout, 0, 0, 10, 10, 0), kTableOk);
  EXPECT_EQ(AddBox(f.layout, 0, 0, 10, 10, 21), kTableOk);
  EXPECT_EQ(f.layout.boxes.Count(), 0);
  AddBox(f.layout, -100, 0, 4, 70, kMetal);
  ASSERT_EQ(f.layout.boxes.Count(), 1);
  const Box& b = f.layout.boxes[1];
  EXPECT_EQ(b.state, kNormal);
  EXPECT_EQ(b.node, -1);
  EXPECT_EQ(f.layout.wide.extent, (Rect{-100, -15, 50, 70}));
}

TEST(LayoutDatabase, FullTablesReportTheirCodesAndStayUnchanged) {
  Fresh f;
  TableStatus status = kTableOk;
  for (int i = 0; i < kMaxBoxes; ++i) status |= AddBox(f.layout, i, 0, i + 1, 1, kPoly);
  EXPECT_EQ(status, kTableOk);
  EXPECT_EQ(AddBox(f.layout, 0, 0, 1, 1, kPoly), kErrorBoxTableFull);
  EXPECT_EQ(f.layout.boxes.Count(), kMaxBoxes);

  for (int i = 0; i < kMaxTexts; ++i) AddLayoutText(f.layout, i, 0, "t");
  EXPECT_EQ(f.layout.texts.Count(), kMaxTexts);
  EXPECT_EQ(AddLayoutText(f.layout, -1, -1, "one too many"), kErrorTextTableFull);
  EXPECT_EQ(f.layout.texts.Count(), kMaxTexts);

  for (int i = 0; i < kMaxResistanceMarks; ++i) AddResistanceMark(f.layout, i, 0, "1k");
  EXPECT_EQ(AddResistanceMark(f.layout, 0, 0, "1k"), kErrorTextTableFull);
  EXPECT_EQ(f.layout.resistances.Count(), kMaxResistanceMarks);

  for (int n = 2; n <= kMaxNodeNumber; ++n) ASSERT_EQ(AddNode(f.layout, "?"), n);
  EXPECT_EQ(AddNode(f.layout, "x"), -1) << "the node table is full";
}

TEST(LayoutDatabase, TextsAreNotStackedOnALiveTextButMayReplaceAnErasedOne) {
  Fresh f;
  AddLayoutText(f.layout, 3, 4, "a");
  AddLayoutText(f.layout, 3, 4, "b");
  AddLayoutText(f.layout, 9, 9, "");
  EXPECT_EQ(f.layout.texts.Count(), 1);
  f.layout.texts[1].state = 0;
  AddLayoutText(f.layout, 3, 4, "c");
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
  AddLayoutText(f.layout, 0, 0, std::string(300, 'x'));
  AddResistanceMark(f.layout, 0, 0, std::string(300, 'y'));
  EXPECT_EQ(f.layout.texts[1].text.size(), 128u);
  EXPECT_EQ(f.layout.resistances[1].text.size(), 128u);
  EXPECT_EQ(f.layout.resistances[1].value, 1000);
}

TEST(LayoutDatabase, NodesNamedWithAQuestionMarkAreNumbered) {
  Fresh f;
  EXPECT_EQ(AddNode(f.layout, "?"), 2);
  EXPECT_EQ(AddNode(f.layout, "out"), 3);
  EXPECT_EQ(f.layout.nodes.nodes[2].name, "N2");
  EXPECT_EQ(f.layout.nodes.nodes[3].name, "out");
  EXPECT_EQ(f.layout.nodes.nodes[3].display, 1);
  ClearNodes(f.layout);
  EXPECT_EQ(f.layout.nodes.count, 1);
  EXPECT_EQ(f.layout.nodes.nodes[1].name, "vdd");
  EXPECT_EQ(AddNode(f.layout, "?"), 2);
}

TEST(LayoutDatabase, PurgeFillsHolesFromTheEnd) {
  Fresh f;
  auto fill = [&](std::vector<bool> live) {
    ReleaseAll(f.layout);
    for (size_t i = 0; i < live.size(); ++i) {
      AddBox(f.layout, int32_t(i), 0, int32_t(i) + 1, 1, kMetal);
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
  AddBox(f.layout, 0, 0, 5, 5, kPoly);
  AddBox(f.layout, 0, 0, 5, 5, kNwell);
  f.layout.wide.undoCode = 0;
  Purge(f.layout);  // nothing to drop: indexes unchanged
  OrderBoxesByLayer(f.layout, f.s.progress);  // nwell before poly: the boxes swap
  EXPECT_EQ(f.layout.wide.undoCode, 5);
  f.layout.wide.undoCode = 0;
  OrderBoxesByLayer(f.layout, f.s.progress);  // already in order
  EXPECT_EQ(f.layout.wide.undoCode, 0);
  f.layout.boxes[1].state = kErased;
  Purge(f.layout);
  EXPECT_EQ(f.layout.wide.undoCode, 5);
}

TEST(LayoutDatabase, PurgeDropsDegenerateBoxesAndDeadTextsAndMarks) {
  Fresh f;
  AddBox(f.layout, 0, 0, 5, 5, kMetal);
  AddBox(f.layout, 10, 0, 15, 5, kMetal);
  f.layout.boxes[1].x2 = 0;  // shrunk to nothing by an edit
  AddLayoutText(f.layout, 0, 0, "a");
  AddLayoutText(f.layout, 1, 0, "b");
  f.layout.texts[1].state = 0;
  AddResistanceMark(f.layout, 0, 0, "r");
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
  for (int i = 0; i < 8; ++i) AddBox(f.layout, i, 0, i + 1, 1, layers[i]);
  OrderBoxesByLayer(f.layout, f.s.progress);
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
    ReleaseAll(f.layout);
    const int n = int(next() % 200);
    std::array<int, kLayerCount + 1> perLayer{};
    for (int i = 0; i < n; ++i) {
      const int layer = 1 + int(next() % kLayerCount);
      ++perLayer[layer];
      AddBox(f.layout, i, 0, i + 1, 1, layer);
    }
    OrderBoxesByLayer(f.layout, f.s.progress);
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
  AddBox(f.layout, 0, 0, 10, 10, kMetal);
  AddBox(f.layout, 500, 500, 600, 600, kMetal);
  f.layout.boxes[2].state = kErased;
  AddLayoutText(f.layout, 100, -50, "t");
  ComputeExtent(f.layout);
  EXPECT_EQ(f.layout.wide.extent, (Rect{0, -50, 140, 10}));
}

TEST(LayoutDatabase, BoxQueriesTreatTouchingAsSharing) {
  Fresh f;
  AddBox(f.layout, 0, 0, 10, 10, kMetal);
  AddBox(f.layout, 10, 0, 20, 10, kMetal);
  AddBox(f.layout, 30, 30, 40, 40, kMetal);
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
  AddBox(f.layout, 0, 0, 1, 1, kMetal);
  AddLayoutText(f.layout, 0, 0, "t");
  AddResistanceMark(f.layout, 0, 0, "r");
  AddNode(f.layout, "n");
  f.layout.layers[kMetal].cifName = "CMF";
  f.layout.wide.modified = 1;
  ReleaseAll(f.layout);
  EXPECT_EQ(f.layout.boxes.Count() + f.layout.texts.Count() + f.layout.resistances.Count(), 0);
  EXPECT_EQ(f.layout.nodes.count, 1);
  EXPECT_EQ(f.layout.wide.modified, 0);
  EXPECT_EQ(f.layout.layers[kMetal].cifName, "CMF");  // rule-file settings survive
  ResetDatabase(f.s);
  EXPECT_EQ(f.layout.layers[kMetal].cifName, "xxx");
  EXPECT_EQ(f.layout.wide.ruleFileName, "ES207.RUL");
}

// The database draws nothing itself: it tells its listener what was added
// and where, and keeps the extent whatever the listener does with it.
struct ChangeLog : LayoutListener {
  std::vector<LayoutChange> changes;
  void LayoutChanged(const LayoutChange& change) override { changes.push_back(change); }
};

TEST(LayoutDatabase, AddsAreReportedToTheListenerWithTheirArea) {
  auto layout = std::make_unique<Layout>();
  ChangeLog log;
  layout->listener.Set(&log);
  layout->wide.drawOnAdd = 0;
  AddBox(*layout, 100, 0, 140, 70, kMetal);
  AddBox(*layout, 5, 5, 5, 9, kMetal);  // empty: refused, nothing reported
  AddLayoutText(*layout, -60, 3, "in");
  AddResistanceMark(*layout, 7, 8, "1k");
  ASSERT_EQ(log.changes.size(), 3u);
  EXPECT_EQ(log.changes[0].kind, RecordKind::Box);
  EXPECT_EQ(log.changes[0].index, 1);
  EXPECT_EQ(log.changes[0].area, (Rect{100, 0, 140, 70}));
  EXPECT_EQ(log.changes[1].kind, RecordKind::Text);
  EXPECT_EQ(log.changes[1].area, (Rect{-60, 3, -20, 13}));
  EXPECT_EQ(log.changes[2].kind, RecordKind::ResistanceMark);
  EXPECT_EQ(layout->wide.extent, (Rect{-60, -15, 140, 70})) << "grown even without drawing";
  const Layout copy = *layout;  // a copy does not share the listener
  layout->listener.Set(nullptr);
  AddBox(*layout, 0, 0, 1, 1, kPoly);
  EXPECT_EQ(log.changes.size(), 3u);
}

TEST(LayoutDatabase, TheSessionDrawsAddedBoxesOnlyWhileDrawingOnAdd) {
  Fresh f;
  RecordingSurface surface(200, 100);
  AttachSurface(f.s, &surface);
  AddBox(f.layout, 0, 0, 10, 10, kMetal);
  const size_t drawn = surface.Calls().size();
  EXPECT_GT(drawn, 0u);
  {
    const DrawingSuspended quiet(f.s);
    AddBox(f.layout, 20, 0, 30, 10, kMetal);
    EXPECT_EQ(surface.Calls().size(), drawn);
    AddLayoutText(f.layout, 40, 0, "t");  // texts are drawn at once all the same
    EXPECT_GT(surface.Calls().size(), drawn);
  }
  EXPECT_EQ(f.layout.wide.drawOnAdd, 1);
  EXPECT_EQ(f.layout.wide.extent.xmax, 80) << "the text's frame ends 40 lambda right of it";
  AttachSurface(f.s, nullptr);
}

}  // namespace
}  // namespace tarnisk
