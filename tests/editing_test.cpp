#include "session/editor/editing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/parse_number.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using BoxShape = std::tuple<int, int32_t, int32_t, int32_t, int32_t>;  // layer, corners

// A fresh layout shown in the window (0, 0, 100, 100), with points given in
// lambda and converted to pixels at the scale of the moment.
struct Editing : ::testing::Test {
  testing::Fresh f;
  Session& s = f.s;
  Layout& layout = f.layout;

  void SetUp() override { SetWindow(s, 0, 0, 100, 100); }

  Point P(int32_t x, int32_t y) const { return {LambdaToPixelX(s, x), LambdaToPixelY(s, y)}; }

  std::vector<BoxShape> LiveBoxes() const {
    std::vector<BoxShape> shapes;
    for (int i = 1; i <= layout.boxes.Count(); ++i) {
      const Box& b = layout.boxes[i];
      if (b.state != kErased) shapes.emplace_back(b.layer, b.x1, b.y1, b.x2, b.y2);
    }
    std::sort(shapes.begin(), shapes.end());
    return shapes;
  }

  int LiveTexts() const {
    int n = 0;
    for (int i = 1; i <= layout.texts.Count(); ++i) n += layout.texts[i].state != 0;
    return n;
  }

  const std::string& Status() const { return f.platform.Panel(0); }
};

std::vector<BoxShape> Sorted(std::vector<BoxShape> shapes) {
  std::sort(shapes.begin(), shapes.end());
  return shapes;
}

TEST(ParseNumber, ReadsTheDialogNumberFormat) {
  struct Case {
    const char* text;
    double value;
    bool ok;
  };
  const Case cases[] = {
      {"", 7, true},        {"  +12,5", 12.5, true}, {"1.25", 1.25, true},  {"3-", -3, true},
      {"-0.5", -0.5, true}, {"12a", 7, false},       {"1 ", 7, false},      {"++1", 7, false},
      {"2000", 100, false}, {"-20", -10, false},     {"1.2.5", 1.25, true}, {"007", 7, true},
  };
  for (const Case& c : cases) {
    const ParsedNumber n = ParseNumber(c.text, -10, 100, 7);
    EXPECT_DOUBLE_EQ(n.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(n.ok, c.ok) << '"' << c.text << '"';
  }
  // A malformed text falls back to the default, which is then kept in range.
  EXPECT_EQ(ParseNumber("x", 1, 1000, 0).value, 1);
}

TEST_F(Editing, StoreBoxAddsOnTheCurrentLayerAndUndoRemovesIt) {
  AddResistanceMark(s.layout, 50, 50, "1k");
  layout.wide.currentLayer = kMetal;
  StoreBox(s, P(10, 4), P(0, 0));
  EXPECT_EQ(LiveBoxes(), Sorted({{kMetal, 0, 0, 10, 4}}));
  EXPECT_EQ(Status(), "Store a metal box with size 10 x 4 lambda (5.00 x 2.00 \xC2\xB5m)");
  EXPECT_EQ(layout.wide.undoCode, kUndoRemoveAdded);
  EXPECT_EQ(layout.wide.modified, 1);

  // A click stores nothing and leaves the undo of the last box intact.
  StoreBox(s, P(20, 0), P(20, 9));
  EXPECT_EQ(layout.boxes.Count(), 1);

  Undo(s);
  EXPECT_TRUE(LiveBoxes().empty());
  // The mark placed before the box survives the undo.
  EXPECT_EQ(layout.resistances.Count(), 1);
  Undo(s);
  EXPECT_EQ(Status(), "Sorry, no undo available...");
}

TEST_F(Editing, ClickOnALabelErasesOnlyTheLabel) {
  AddBox(s.layout, 0, 0, 40, 40, kMetal);
  AddLayoutText(s.layout, 10, 10, "out");
  // A click a little right of the anchor, on the label itself.
  const Point onLabel{LambdaToPixelX(s, 10) + 12, LambdaToPixelY(s, 10) + 5};
  EXPECT_EQ(EraseArea(s, onLabel, onLabel, true), 1);
  EXPECT_EQ(LiveTexts(), 0);
  EXPECT_EQ(LiveBoxes().size(), 1u);
  EXPECT_EQ(Status(), "1 box(es) killed");
  Undo(s);
  EXPECT_EQ(LiveTexts(), 1);
}

TEST_F(Editing, DragAcrossABoxLeavesThePartsAroundAndUndoRestoresTheMiddle) {
  AddBox(s.layout, 0, 0, 10, 10, kMetal);
  AddBox(s.layout, 30, 30, 40, 40, kPoly);
  EXPECT_EQ(EraseArea(s, P(3, -5), P(7, 15), true), 1);
  EXPECT_EQ(LiveBoxes(),
            Sorted({{kMetal, 0, 0, 3, 10}, {kMetal, 7, 0, 10, 10}, {kPoly, 30, 30, 40, 40}}));
  EXPECT_EQ(layout.wide.pasteOrigin, (Point{3, 0}));

  EraseArea(s, P(2, 2), P(8, 4), false);  // overlaps both remaining parts
  EXPECT_EQ(LiveBoxes().size(), 1u + 3 + 3);
  Undo(s);
  // The middle of the second cut is back; the first cut's middle was purged.
  EXPECT_EQ(LiveBoxes(), Sorted({{kMetal, 0, 0, 2, 10},
                                 {kMetal, 2, 0, 3, 2},
                                 {kMetal, 2, 2, 3, 4},
                                 {kMetal, 2, 4, 3, 10},
                                 {kMetal, 7, 0, 8, 2},
                                 {kMetal, 7, 2, 8, 4},
                                 {kMetal, 7, 4, 8, 10},
                                 {kMetal, 8, 0, 10, 10},
                                 {kPoly, 30, 30, 40, 40}}));
}

TEST_F(Editing, ClickInsideStackedBoxesErasesTheTopLayerOnly) {
  AddBox(s.layout, 0, 0, 20, 20, kPoly);
  AddBox(s.layout, 5, 5, 15, 15, kMetal);
  AddBox(s.layout, 0, 0, 30, 30, kNwell);
  layout.layers[kNwell].isProtected = 1;
  EXPECT_EQ(EraseArea(s, P(10, 10), P(10, 10), true), 1);
  EXPECT_EQ(LiveBoxes(), Sorted({{kNwell, 0, 0, 30, 30}, {kPoly, 0, 0, 20, 20}}));
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    if (layout.boxes[i].state == kErased) continue;
    EXPECT_EQ(layout.boxes[i].state, kNormal);
  }

  EXPECT_EQ(EraseArea(s, P(60, 60), P(70, 70), true), 0);
  EXPECT_EQ(Status(), "Nothing to erase here...");
}

TEST_F(Editing, EraseNeverLeavesABoxWithOnlySomeOfItsParts) {
  for (int i = 0; i < kMaxBoxes - 1; ++i) AddBox(s.layout, 1000, i, 1001, i + 1, kContact);
  AddBox(s.layout, 0, 0, 10, 10, kMetal);
  EraseArea(s, P(3, -5), P(7, 15), true);
  EXPECT_EQ(Status(), kBoxTableFullMessage);
  EXPECT_EQ(s.LastError, kErrorBoxTableFull);
  const Box& metal = layout.boxes[kMaxBoxes];
  EXPECT_EQ(metal.state, kNormal);
  EXPECT_EQ(std::tie(metal.x1, metal.y1, metal.x2, metal.y2), std::make_tuple(0, 0, 10, 10));
}

TEST_F(Editing, CopyDuplicatesTheSelectionWithTextPropertiesButNotOntoLiveTexts) {
  AddBox(s.layout, 0, 0, 10, 10, kMetal);
  AddBox(s.layout, 50, 50, 60, 60, kPoly);
  layout.boxes[2].state = kMarked;  // dimmed by an earlier command, outside the area
  AddLayoutText(s.layout, 5, 5, "clk");
  layout.texts[1].property = kPropertyClock;
  layout.texts[1].edgeTimes = {1e-9, 2e-9, 3e-9, 4e-9};

  const SelectionResult sel = SelectArea(s, P(-1, -1), P(11, 11));
  EXPECT_EQ(sel.count, 2);
  EXPECT_EQ(Status(), "2 element(s) selected (area 10 x 10 lambda )");
  EXPECT_EQ(sel.lowerLeft, P(0, 0));
  EXPECT_EQ(sel.upperRight, P(10, 10));

  EXPECT_EQ(CopySelection(s, 20, 0), 2);
  EXPECT_EQ(Status(), "2 elements copied.");
  EXPECT_EQ(LiveBoxes(),
            Sorted({{kPoly, 50, 50, 60, 60}, {kMetal, 0, 0, 10, 10}, {kMetal, 20, 0, 30, 10}}));
  ASSERT_EQ(layout.texts.Count(), 2);
  EXPECT_EQ(layout.texts[2].x, 25);
  EXPECT_EQ(layout.texts[2].property, kPropertyClock);
  EXPECT_EQ(layout.texts[2].edgeTimes, layout.texts[1].edgeTimes);
  EXPECT_EQ(layout.texts[2].state, 1);

  SelectArea(s, P(-1, -1), P(11, 11));
  CopySelection(s, 0, 0);  // the text lands on itself
  EXPECT_EQ(layout.texts.Count(), 2);
  Undo(s);
  EXPECT_EQ(LiveBoxes().size(), 3u);
  EXPECT_EQ(SelectArea(s, P(70, 70), P(80, 80)).count, 0);
  EXPECT_EQ(Status(), "Warning : no element selected");
}

TEST_F(Editing, MoveTakesTheSelectionAwayAndPutsItBackShifted) {
  AddBox(s.layout, 0, 0, 10, 10, kMetal);
  AddBox(s.layout, 0, 0, 10, 10, kNwell);
  layout.layers[kNwell].isProtected = 1;
  AddLayoutText(s.layout, 5, 5, "vdd");
  layout.texts[1].property = kPropertyVdd;

  const MoveOrStretchResult sel = SelectForMoveOrStretch(s, P(-1, -1), P(11, 11));
  EXPECT_EQ(sel.boxes, 1);
  EXPECT_EQ(sel.labels, 1);
  EXPECT_EQ(sel.stretchBox, 0);
  EXPECT_EQ(Status(), "1 boxes, 1 label to move ...");
  EXPECT_EQ(LiveBoxes(), Sorted({{kNwell, 0, 0, 10, 10}}));

  EXPECT_EQ(MoveSelection(s, 30, 5), 2);
  EXPECT_EQ(Status(), "2 elements moved.");
  EXPECT_EQ(LiveBoxes(), Sorted({{kNwell, 0, 0, 10, 10}, {kMetal, 30, 5, 40, 15}}));
  ASSERT_EQ(layout.texts.Count(), 2);
  EXPECT_EQ(layout.texts[2].property, kPropertyVdd);
  EXPECT_EQ(layout.texts[2].state, 1);
  EXPECT_EQ(layout.wide.undoCode, kUndoMoveOrPaste);

  Undo(s);
  EXPECT_EQ(LiveBoxes(), Sorted({{kNwell, 0, 0, 10, 10}, {kMetal, 0, 0, 10, 10}}));
  ASSERT_EQ(layout.texts.Count(), 1);
  EXPECT_EQ(layout.texts[1].x, 5);
}

TEST_F(Editing, StretchChoosesTheEdgeUnderTheClickAndReordersCorners) {
  AddBox(s.layout, 0, 0, 10, 10, kMetal);
  const MoveOrStretchResult east = SelectForMoveOrStretch(s, P(9, 4), P(11, 6));
  EXPECT_EQ(east.stretchBox, 1);
  EXPECT_EQ(east.stretchEdge, kEdgeEast);
  EXPECT_EQ(Status(), "Box 1 to stretch east...");
  EXPECT_EQ(layout.wide.undoCode, kUndoRestoreStretch);

  StretchBox(s, -15, 7);
  EXPECT_EQ(LiveBoxes(), Sorted({{kMetal, -5, 0, 0, 10}}));
  Undo(s);
  EXPECT_EQ(LiveBoxes(), Sorted({{kMetal, 0, 0, 10, 10}}));

  const struct {
    Rect area;
    int edge;
  } cases[] = {
      {{-1, 4, 1, 6}, kEdgeWest}, {{4, 9, 6, 11}, kEdgeNorth},   {{4, -1, 6, 1}, kEdgeSouth},
      {{3, 3, 6, 6}, kEdgeNone},  {{-5, -5, 15, 2}, kEdgeSouth},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SelectForMoveOrStretch(s, P(c.area.xmin, c.area.ymin), P(c.area.xmax, c.area.ymax))
                  .stretchEdge,
              c.edge)
        << c.area.xmin << "," << c.area.ymin;
  }
  EXPECT_EQ(SelectForMoveOrStretch(s, P(50, 50), P(60, 60)).stretchBox, 0);
  EXPECT_EQ(Status(), "No box or text selected");
}

TEST_F(Editing, PasteBringsBackTheCutGroupWithItsLowerRightCornerOnTheTarget) {
  AddBox(s.layout, 0, 0, 10, 10, kMetal);
  AddLayoutText(s.layout, 2, 2, "a");
  EXPECT_EQ(SelectErased(s).count, 0);
  EXPECT_EQ(Status(), "Warning : no element selected");

  EraseArea(s, P(-1, -1), P(11, 11), true);
  const ErasedSelection group = SelectErased(s);
  EXPECT_EQ(group.count, 2);
  EXPECT_EQ(group.pasteReference, (Point{12, -1}));
  EXPECT_EQ(Status(), "2 element(s) selected (area 12 x 11 lambda )");

  EXPECT_EQ(PasteErased(s, 40 - group.pasteReference.x, 40 - group.pasteReference.y), 2);
  EXPECT_EQ(PasteErased(s, 60 - group.pasteReference.x, 40 - group.pasteReference.y), 2);
  EXPECT_EQ(LiveBoxes(), Sorted({{kMetal, 28, 41, 38, 51}, {kMetal, 48, 41, 58, 51}}));
  // The undo removes the last paste and, as after a move, brings the cut
  // elements back where they were.
  Undo(s);
  EXPECT_EQ(LiveBoxes(), Sorted({{kMetal, 0, 0, 10, 10}, {kMetal, 28, 41, 38, 51}}));
}

TEST_F(Editing, RotateAndFlipTurnTheElementsAboutTheAreaCentre) {
  AddBox(s.layout, 0, 0, 10, 4, kMetal);
  AddBox(s.layout, 0, 0, 10, 4, kNwell);
  layout.layers[kNwell].isProtected = 1;
  AddLayoutText(s.layout, 2, 3, "t");
  EXPECT_EQ(RotateArea(s, P(0, 0), P(10, 10)), 2);
  EXPECT_EQ(Status(), "Rotate 2 elements.");
  EXPECT_EQ(LiveBoxes(), Sorted({{kNwell, 0, 0, 10, 4}, {kMetal, 6, 0, 10, 10}}));
  EXPECT_EQ(std::tie(layout.texts[1].x, layout.texts[1].y), std::make_tuple(7, 2));
  for (int turn = 0; turn < 3; ++turn) RotateArea(s, P(0, 0), P(10, 10));
  EXPECT_EQ(LiveBoxes(), Sorted({{kNwell, 0, 0, 10, 4}, {kMetal, 0, 0, 10, 4}}));
  EXPECT_EQ(std::tie(layout.texts[1].x, layout.texts[1].y), std::make_tuple(2, 3));

  EXPECT_EQ(FlipArea(s, P(0, 0), P(20, 10)), 2);
  EXPECT_EQ(Status(), "Flip 2 elements.");
  EXPECT_EQ(LiveBoxes(), Sorted({{kNwell, 0, 0, 10, 4}, {kMetal, 10, 0, 20, 4}}));
  EXPECT_EQ(layout.texts[1].x, 18);
  // Rotate and flip leave the undo code alone.
  EXPECT_EQ(layout.wide.undoCode, kUndoNothing);
}

TEST_F(Editing, DuplicateBuildsTheArrayFromTheDialogFields) {
  AddBox(s.layout, 0, 0, 4, 3, kMetal);
  AddBox(s.layout, 80, 80, 90, 90, kPoly);
  layout.boxes[2].state = kHighlighted;  // left by the checker, outside the area
  AddLayoutText(s.layout, 1, 1, "kept");
  layout.wide.savedTextCount = 0;  // stale from an earlier command

  DuplicateSelection sel = SelectForDuplicate(s, P(-1, -1), P(5, 5));
  EXPECT_EQ(sel.count, 1);
  EXPECT_EQ(sel.fields.selectedCount, "1");
  EXPECT_EQ(sel.fields.countX, "2");
  EXPECT_EQ(sel.fields.spacingX, "4");
  EXPECT_EQ(sel.fields.spacingY, "3");

  sel.fields.countX = "3";
  sel.fields.spacingX = "10";
  sel.fields.spacingY = "junk";  // not taken over: the setting stays 0
  EXPECT_EQ(Duplicate(s, sel.fields), 5);
  EXPECT_EQ(f.platform.StatusHistory().back(), "Generate in X,Y..");
  EXPECT_EQ(s.edit.duplicateCountX, 3);
  EXPECT_EQ(s.edit.duplicateSpacingY, 0);
  EXPECT_EQ(layout.boxes.Count(), 7);
  EXPECT_EQ(layout.boxes[4].x1, 10);
  EXPECT_EQ(layout.boxes[7].x1, 20);
  EXPECT_EQ(layout.boxes[2].state, kNormal);

  Undo(s);
  EXPECT_EQ(layout.boxes.Count(), 2);
  EXPECT_EQ(LiveTexts(), 1);

  EXPECT_EQ(SelectForDuplicate(s, P(40, 40), P(50, 50)).count, 0);
  EXPECT_EQ(Status(), "No box in this area. Try again...");
  SelectForDuplicate(s, P(-1, -1), P(5, 5));
  CancelDuplicate(s);
  EXPECT_EQ(layout.boxes[1].state, kNormal);
  const auto& history = f.platform.StatusHistory();
  EXPECT_EQ(history[history.size() - 2], "Cancel duplicate");
}

TEST_F(Editing, StepMoveShiftsTheHighlightedElementsByTheStep) {
  AddLayoutText(s.layout, 5, 5, "a");
  AddBox(s.layout, 50, 50, 60, 60, kMetal);
  layout.wide.currentLayer = kPoly;
  StoreBox(s, P(0, 0), P(10, 10));

  const StepMoveSelection sel = SelectForStepMove(s, P(-1, -1), P(11, 11));
  EXPECT_EQ(sel.count, 2);
  EXPECT_EQ(sel.step, "1");
  EXPECT_EQ(Status(), "Use the arrows to move the 2 boxes and text with a lambda step.");

  EXPECT_EQ(StepMove(s, StepDirection::Right, "3"), "3");
  EXPECT_EQ(StepMove(s, StepDirection::Down, "abc"), "3");
  EXPECT_EQ(StepMove(s, StepDirection::Up, "0"), "3");  // below the minimum: not taken
  EXPECT_EQ(StepMove(s, StepDirection::Left, "1"), "1");
  EXPECT_EQ(LiveBoxes(), Sorted({{kPoly, 2, 0, 12, 10}, {kMetal, 50, 50, 60, 60}}));
  EXPECT_EQ(std::tie(layout.texts[1].x, layout.texts[1].y), std::make_tuple(7, 5));

  CloseStepMove(s);
  EXPECT_EQ(layout.boxes[2].state, kNormal);
  EXPECT_EQ(layout.texts[1].state, 1);
  // The step move is not undoable: the undo removes the box stored before it.
  Undo(s);
  EXPECT_EQ(LiveBoxes(), Sorted({{kMetal, 50, 50, 60, 60}}));

  EXPECT_EQ(SelectForStepMove(s, P(20, 20), P(30, 30)).count, 0);
  EXPECT_EQ(Status(), "No box selected to move. Try again...");
}

TEST_F(Editing, UndoOfATextRemovesOnlyTheTextThatWasAdded) {
  AddLayoutText(s.layout, 0, 0, "a");
  layout.wide.savedTextCount = layout.texts.Count();
  AddLayoutText(s.layout, 10, 0, "b");
  layout.wide.undoCode = kUndoRemoveLastText;
  Undo(s);
  ASSERT_EQ(layout.texts.Count(), 1);
  EXPECT_EQ(layout.texts[1].text, "a");

  // The text command added nothing (a live text stood there): nothing goes.
  layout.wide.savedTextCount = layout.texts.Count();
  AddLayoutText(s.layout, 0, 0, "c");
  layout.wide.undoCode = kUndoRemoveLastText;
  Undo(s);
  EXPECT_EQ(layout.texts.Count(), 1);
  EXPECT_EQ(layout.wide.modified, 1);
  EXPECT_EQ(layout.wide.undoCode, kUndoNothing);
}

}  // namespace
}  // namespace tarnisk
