#include "session/editor/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "session/editor/editing.h"
#include "core/parse_number.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

// Plays the user of a dialog: remembers what it was shown and then does
// what the test asks (nothing at all is Cancel).
template <class Model>
struct FakeUser {
  std::function<void(Session&, Model&)> user;
  std::vector<Model> shown;

  void Show(Session& s, Model& m) {
    shown.push_back(m);
    if (user) user(s, m);
  }
};

struct FakeTextDialog : TextDialogUi, FakeUser<TextDialogModel> {
  void ShowTextDialog(Session& s, TextDialogModel& m) override { Show(s, m); }
};

struct FakeResistanceDialog : ResistanceDialogUi, FakeUser<ResistanceDialogModel> {
  void ShowResistanceDialog(Session& s, ResistanceDialogModel& m) override { Show(s, m); }
};

void PressOk(Session& s, TextDialogModel& m) { AcceptTextDialog(s, m); }

double Field(const std::string& text) { return ParseNumber(text, -1e9, 1e9, -1).value; }

// A layout shown in the window (0, 0, 100, 100); points are given in lambda.
struct Texts : ::testing::Test {
  testing::Fresh f;
  Session& s = f.s;
  Layout& layout = f.layout;
  FakeTextDialog dialog;

  void SetUp() override { SetWindow(s, 0, 0, 100, 100); }

  Point P(int32_t x, int32_t y) const { return {LambdaToPixelX(s, x), LambdaToPixelY(s, y)}; }

  void ClickWith(PropertyTool tool, int32_t x, int32_t y) {
    s.command.propertyTool = tool;
    TextCommandAt(s, P(x, y), dialog);
  }

  bool StatusSeen(const std::string& text) const {
    const auto& h = f.platform.StatusHistory();
    return std::find(h.begin(), h.end(), text) != h.end();
  }

  const std::string& Status() const { return f.platform.Panel(0); }
};

TEST_F(Texts, SupplyToolsAddWithoutDialogAndAgainMakeThePlainText) {
  ClickWith(kToolVdd, 10, 10);
  ASSERT_EQ(layout.texts.Count(), 1);
  EXPECT_TRUE(dialog.shown.empty());
  EXPECT_TRUE(StatusSeen("No existing text here"));
  LayoutText& t = layout.texts[1];
  EXPECT_EQ(t.text, "Vdd");
  EXPECT_EQ(t.property, kPropertyVdd);
  EXPECT_EQ(layout.wide.modified, 1);

  t.visible = 1;
  ClickWith(kToolVdd, 10, 10);
  EXPECT_EQ(layout.texts.Count(), 1);
  EXPECT_EQ(t.property, kPropertyNone);
  EXPECT_EQ(t.visible, 0);
  EXPECT_EQ(Status(), "Edit existing text \"Vdd\".");
  EXPECT_TRUE(StatusSeen("Click in existing text \"Vdd\"."));

  // The Vss tool turns any other text into ground at level 0.
  t.lowLevel = 300;
  ClickWith(kToolVss, 10, 10);
  EXPECT_EQ(t.property, kPropertyVss);
  EXPECT_EQ(t.lowLevel, 0);
}

TEST_F(Texts, ThreeClocksInARowDoubleThePeriod) {
  dialog.user = PressOk;
  for (int i = 0; i < 3; ++i) ClickWith(kToolClock, 10, 20 * i);
  ASSERT_EQ(layout.texts.Count(), 3);
  const double periodsNs[] = {3, 6, 12};
  for (int i = 0; i < 3; ++i) {
    const LayoutText& t = layout.texts[i + 1];
    EXPECT_EQ(t.text, "clock" + std::to_string(i + 1));
    EXPECT_EQ(t.property, kPropertyClock);
    EXPECT_EQ(t.visible, 1);
    EXPECT_NEAR(t.edgeTimes[3], periodsNs[i] * 1e-9, 1e-15);
  }
  EXPECT_NEAR(layout.texts[1].edgeTimes[1], 1.5e-9, 1e-15);  // end of the rise
  EXPECT_EQ(Status(), "Add text \"clock3\", visible at location 10,40");

  // A pulse does not slow down the next one.
  ClickWith(kToolPulse, 50, 50);
  ClickWith(kToolPulse, 50, 70);
  EXPECT_EQ(layout.texts[5].text, "pulse2");
  EXPECT_NEAR(layout.texts[5].edgeTimes[3], 24e-9, 1e-15);

  // A new layout starts the times afresh, keeping the counters.
  ResetTextTimes(s);
  ClickWith(kToolClock, 80, 80);
  EXPECT_EQ(layout.texts[6].text, "clock4");
  EXPECT_NEAR(layout.texts[6].edgeTimes[3], 3e-9, 1e-15);

  Undo(s);
  EXPECT_EQ(layout.texts.Count(), 5);
}

TEST_F(Texts, LevelsAreStoredInThousandthsOfTheSupply) {
  s.technology.VDD = 5;
  dialog.user = [](Session& st, TextDialogModel& m) {
    m.lowLevel = "0";
    m.highLevel = "5";
    AcceptTextDialog(st, m);
  };
  ClickWith(kToolPulse, 10, 10);
  EXPECT_EQ(layout.texts[1].lowLevel, 0);
  EXPECT_EQ(layout.texts[1].highLevel, 1000);

  // A Vdd text reads only the high level; "," is a decimal separator.
  dialog.user = [](Session& st, TextDialogModel& m) {
    ApplyTextChoice(st, m, kChoiceVdd);
    m.highLevel = "2,5";
    m.lowLevel = "4";
    AcceptTextDialog(st, m);
  };
  ClickWith(kToolText, 50, 50);
  EXPECT_EQ(layout.texts[2].property, kPropertyVdd);
  EXPECT_EQ(layout.texts[2].highLevel, 500);
  EXPECT_EQ(layout.texts[2].lowLevel, 0);
  EXPECT_DOUBLE_EQ(s.defaultVddTextLevel, 2.5);
  EXPECT_DOUBLE_EQ(s.textDefaults.lowLevel, 0);
}

TEST_F(Texts, InvalidNumbersKeepTheDefaults) {
  dialog.user = [](Session& st, TextDialogModel& m) {
    m.timeLow = "abc";
    m.riseTime = "20000";  // above the maximum
    m.timeHigh = "";       // empty: the field's fallback 0.1 ns
    m.fallTime = "0,25";
    m.highLevel = "12";
    m.lowLevel = "1";
    AcceptTextDialog(st, m);
  };
  ClickWith(kToolPulse, 10, 10);
  const TextDefaults& d = s.textDefaults;
  EXPECT_DOUBLE_EQ(d.timeLow, 1.0);
  EXPECT_DOUBLE_EQ(d.riseTime, 0.5);
  EXPECT_DOUBLE_EQ(d.timeHigh, 0.1);
  EXPECT_DOUBLE_EQ(d.fallTime, 0.25);
  EXPECT_DOUBLE_EQ(s.defaultVddTextLevel, 5.0);
  EXPECT_DOUBLE_EQ(d.lowLevel, 1.0);
  EXPECT_NEAR(layout.texts[1].edgeTimes[3], 1.85e-9, 1e-15);
}

TEST_F(Texts, PeriodButtonsWorkOnValidClockFields) {
  TextDialogModel m;
  ApplyTextChoice(s, m, kChoiceClock);
  HalvePeriod(s, m);
  EXPECT_DOUBLE_EQ(Field(m.timeLow), 0.25);
  EXPECT_DOUBLE_EQ(Field(m.timeHigh), 0.25);
  EXPECT_EQ(Status(), "Smaller clock");

  ApplyTextChoice(s, m, kChoiceClock);
  DoublePeriod(s, m);
  EXPECT_EQ(m.timeLow, " 2.50");
  EXPECT_EQ(m.timeHigh, " 2.50");
  EXPECT_EQ(m.riseTime, "0.50");
  EXPECT_EQ(Status(), "Larger clock");

  m.riseTime = "x";
  DoublePeriod(s, m);
  EXPECT_EQ(m.timeLow, " 2.50");

  // Plain texts have no period.
  ApplyTextChoice(s, m, kChoiceVdd);
  DoublePeriod(s, m);
  EXPECT_EQ(m.timeLow, "1.00");
}

TEST_F(Texts, ClickingATextOpensItForEditing) {
  AddLayoutText(s.layout, 10, 10, "a");
  layout.texts[1].visible = 1;
  dialog.user = [](Session& st, TextDialogModel& m) {
    m.text = "b";
    ApplyTextChoice(st, m, kChoiceVdd);
    m.highLevel = "2.5";
    AcceptTextDialog(st, m);
  };
  ClickWith(kToolText, 10, 10);
  ASSERT_EQ(dialog.shown.size(), 1u);
  EXPECT_EQ(dialog.shown[0].editedText, 1);
  EXPECT_EQ(dialog.shown[0].text, "a");
  EXPECT_TRUE(dialog.shown[0].visible);
  ASSERT_EQ(layout.texts.Count(), 1);
  EXPECT_EQ(layout.texts[1].text, "b");
  EXPECT_EQ(layout.texts[1].property, kPropertyVdd);
  EXPECT_EQ(layout.texts[1].highLevel, 500);
  EXPECT_EQ(layout.texts[1].visible, 1);
  EXPECT_EQ(Status(), "Text \"b\" modified");
  EXPECT_EQ(layout.wide.modified, 1);

  // The clock tool offers the text as a visible clock, with its own name.
  dialog.user = nullptr;
  layout.texts[1].visible = 0;
  ClickWith(kToolClock, 10, 10);
  EXPECT_EQ(dialog.shown[1].choice, kChoiceClock);
  EXPECT_TRUE(dialog.shown[1].visible);
}

TEST_F(Texts, VisibleToolTogglesOrOffersAVisibleText) {
  AddLayoutText(s.layout, 10, 10, "n1");
  ClickWith(kToolVisible, 10, 10);
  EXPECT_EQ(layout.texts[1].visible, 1);
  EXPECT_EQ(layout.wide.modified, 1);
  ClickWith(kToolVisible, 10, 10);
  EXPECT_EQ(layout.texts[1].visible, 0);
  EXPECT_TRUE(dialog.shown.empty());

  ClickWith(kToolVisible, 60, 60);
  ASSERT_EQ(dialog.shown.size(), 1u);
  EXPECT_EQ(dialog.shown[0].text, "s1");
  EXPECT_TRUE(dialog.shown[0].visible);
  EXPECT_EQ(dialog.shown[0].location, (Point{60, 60}));
}

TEST_F(Texts, TextToolNamesNewTextsAndCancelAddsNothing) {
  ClickWith(kToolText, 10, 10);
  ClickWith(kToolText, 30, 30);
  ASSERT_EQ(dialog.shown.size(), 2u);
  EXPECT_EQ(dialog.shown[0].text, "out1");
  EXPECT_EQ(dialog.shown[1].text, "out2");
  EXPECT_FALSE(dialog.shown[1].visible);
  EXPECT_EQ(layout.texts.Count(), 0);

  // An emptied text field adds nothing, yet the numbers become defaults.
  dialog.user = [](Session& st, TextDialogModel& m) {
    m.text.clear();
    ApplyTextChoice(st, m, kChoiceVss);
    m.lowLevel = "0.5";
    AcceptTextDialog(st, m);
  };
  ClickWith(kToolText, 50, 50);
  EXPECT_EQ(layout.texts.Count(), 0);
  EXPECT_DOUBLE_EQ(s.textDefaults.lowLevel, 0.5);
}

// A refused add must not hand its property to the text last in the table,
// nor change what Undo removes.
TEST_F(Texts, RefusedAddChangesNoOtherText) {
  AddLayoutText(s.layout, 10, 10, "a");
  layout.wide.undoCode = kUndoNothing;
  TextDialogModel m;
  ApplyTextChoice(s, m, kChoiceClock);
  m.text = "b";
  m.location = {10, 10};
  AcceptTextDialog(s, m);
  ASSERT_EQ(layout.texts.Count(), 1);
  EXPECT_EQ(layout.texts[1].property, kPropertyNone);
  EXPECT_EQ(layout.texts[1].visible, 0);
  EXPECT_EQ(layout.wide.undoCode, kUndoNothing);
  EXPECT_EQ(Status(), "A text already stands at 10,10");
  EXPECT_DOUBLE_EQ(s.textDefaults.timeLow, 1.0);  // no clock was added

  for (int i = 2; i <= kMaxTexts; ++i) AddLayoutText(s.layout, i, 0, "t");
  ASSERT_EQ(layout.texts.Count(), kMaxTexts);
  ClickWith(kToolVdd, 50, 50);
  EXPECT_EQ(layout.texts.Count(), kMaxTexts);
  EXPECT_EQ(layout.texts[kMaxTexts].property, kPropertyNone);
  EXPECT_EQ(Status(), "Warning : text data base full ...");
}

TEST_F(Texts, FindTextAtUsesTheLabelBoxBelowTheAnchor) {
  AddLayoutText(s.layout, 10, 10, "abc");
  const Point a = P(10, 10);
  EXPECT_EQ(FindTextAt(s, {a.x - 4, a.y - 4}), 1);
  EXPECT_EQ(FindTextAt(s, {a.x + 28, a.y + 18}), 1);
  EXPECT_EQ(FindTextAt(s, {a.x - 5, a.y}), 0);
  EXPECT_EQ(FindTextAt(s, {a.x + 29, a.y + 19}), 0);

  // The last live text wins; erased ones are not there.
  AddLayoutText(s.layout, 11, 10, "d");
  const Point both{P(11, 10).x, a.y};
  EXPECT_EQ(FindTextAt(s, both), 2);
  layout.texts[2].state = 0;
  EXPECT_EQ(FindTextAt(s, both), 1);
}

TEST_F(Texts, DoubleClickEditsATextAndLeavesNoCommand) {
  s.command.command = kCommandCut;
  layout.wide.extracted = 1;
  EXPECT_FALSE(EditTextAt(s, P(10, 10), dialog));
  EXPECT_EQ(s.command.command, kCommandCut);
  EXPECT_EQ(layout.wide.extracted, 1);

  AddLayoutText(s.layout, 10, 10, "clk");
  layout.texts[1].property = kPropertyClock;
  EXPECT_TRUE(EditTextAt(s, P(10, 10), dialog));
  ASSERT_EQ(dialog.shown.size(), 1u);
  EXPECT_EQ(dialog.shown[0].choice, kChoiceClock);
  EXPECT_FALSE(dialog.shown[0].visible);  // the text's own flag
  EXPECT_EQ(s.command.command, kCommandNone);
  EXPECT_EQ(layout.wide.extracted, 0);
  EXPECT_EQ(Status(), "No command selected");
}

struct Resistances : Texts {
  FakeResistanceDialog resDialog;
};

TEST_F(Resistances, DialogAddsThenEditsAMark) {
  resDialog.user = [](Session& st, ResistanceDialogModel& m) { AcceptResistanceDialog(st, m); };
  ResistanceAt(s, P(20, 30), resDialog);
  ASSERT_EQ(resDialog.shown.size(), 1u);
  EXPECT_EQ(resDialog.shown[0].value, "1000");
  EXPECT_EQ(resDialog.shown[0].locationLine, "Location 20,30 lambda");
  EXPECT_EQ(resDialog.shown[0].connectionLine, "Connection unknown");
  ASSERT_EQ(layout.resistances.Count(), 1);
  EXPECT_EQ(layout.resistances[1].text, "1000");
  EXPECT_EQ(layout.wide.modified, 1);

  layout.resistances[1].nodeA = 3;
  layout.resistances[1].nodeB = 7;
  layout.wide.extracted = 1;
  resDialog.user = [](Session& st, ResistanceDialogModel& m) {
    m.value = "2k2";
    AcceptResistanceDialog(st, m);
  };
  const Point a = P(20, 30);
  ResistanceAt(s, {a.x + 60, a.y - 30}, resDialog);
  EXPECT_EQ(resDialog.shown[1].mark, 1);
  EXPECT_EQ(resDialog.shown[1].connectionLine, "Connected to 3, 7");
  EXPECT_TRUE(StatusSeen("Resistance found here..."));
  ASSERT_EQ(layout.resistances.Count(), 1);
  EXPECT_EQ(layout.resistances[1].text, "2k2");
  EXPECT_EQ(layout.wide.extracted, 0);

  // An emptied field keeps the mark's text.
  resDialog.user = [](Session& st, ResistanceDialogModel& m) {
    m.value.clear();
    AcceptResistanceDialog(st, m);
  };
  ResistanceAt(s, a, resDialog);
  EXPECT_EQ(layout.resistances[1].text, "2k2");

  // Just outside the symbol's window a new mark is offered.
  resDialog.user = nullptr;
  ResistanceAt(s, {a.x + 61, a.y}, resDialog);
  EXPECT_EQ(resDialog.shown[3].mark, 0);
}

TEST_F(Resistances, DeleteErasesTheMarkAndUndoBringsItBack) {
  AddResistanceMark(s.layout, 20, 30, "470");
  resDialog.user = [](Session& st, ResistanceDialogModel& m) { DeleteResistance(st, m); };
  ResistanceAt(s, P(20, 30), resDialog);
  EXPECT_EQ(layout.resistances[1].state, 0);
  EXPECT_EQ(layout.wide.modified, 1);
  Undo(s);
  EXPECT_EQ(layout.resistances[1].state, 1);

  // Delete on an empty place changes nothing.
  layout.wide.modified = 0;
  ResistanceAt(s, P(90, 90), resDialog);
  EXPECT_EQ(layout.resistances.Count(), 1);
  EXPECT_EQ(layout.wide.modified, 0);
}

}  // namespace
}  // namespace tarnisk
