// The real main window driven by synthetic mouse and key events on the
// offscreen platform.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>

#include "core/msk_file.h"
#include "session/session.h"
#include "session/editor/editing.h"
#include "session/editor/texts.h"
#include "session/editor/view.h"
#include "tests/window_fixture.h"
#include "ui/qt/layout_view.h"

namespace tarnisk {
namespace {

using testing::WhenModal;
using EditorWindow = testing::EditorWindowTest;

TEST_F(EditorWindow, DrawsABoxWithTheMouseAndUndoesIt) {
  Drag(At(10, 10), At(30, 20));
  ASSERT_EQ(s.layout.boxes.Count(), 1);
  EXPECT_EQ(BoxRect(1), (Rect{10, 10, 30, 20}));
  EXPECT_EQ(s.layout.boxes[1].layer, kPoly);
  EXPECT_EQ(s.layout.wide.modified, 1);
  EXPECT_NE(Status().find("Store a poly box with size 20 x 10 lambda"), std::string::npos) << Status();
  Undo(s);
  Purge(s.layout);
  EXPECT_EQ(s.layout.boxes.Count(), 0);
}

TEST_F(EditorWindow, TheRubberBandLeavesNoTraceWhileDragging) {
  Redraw(s);
  const QImage before = window.View().Surface()->Image().copy();
  Send(QEvent::MouseButtonPress, At(10, 10), Qt::LeftButton);
  Send(QEvent::MouseMove, At(40, 40), Qt::LeftButton);
  EXPECT_NE(window.View().Surface()->Image(), before);
  EXPECT_NE(Status().find("poly box size"), std::string::npos) << Status();
  Key(Qt::Key_Escape);
  EXPECT_EQ(window.View().Surface()->Image(), before);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
}

TEST_F(EditorWindow, CutsPartOfABoxAndUndoBringsItBack) {
  Drag(At(10, 10), At(40, 20));
  window.EnterCommand(kCommandCut, "");
  Drag(At(20, 5), At(30, 25));
  auto live = [&] {
    int n = 0;
    for (int i = 1; i <= s.layout.boxes.Count(); ++i) n += s.layout.boxes[i].state != kErased;
    return n;
  };
  ASSERT_EQ(live(), 2);
  Undo(s);
  Purge(s.layout);
  int area = 0;
  for (int i = 1; i <= s.layout.boxes.Count(); ++i) {
    const Rect r = BoxRect(i);
    area += (r.xmax - r.xmin) * (r.ymax - r.ymin);
  }
  EXPECT_EQ(area, 300);
}

TEST_F(EditorWindow, CopiesAndPastesWithTheMouse) {
  Drag(At(10, 10), At(20, 20));
  window.EnterCommand(kCommandCopySelect, "");
  Drag(At(5, 5), At(25, 25));
  EXPECT_EQ(s.command.command, kCommandCopyTarget);
  Click(At(55, 25));  // 30 lambda to the right
  ASSERT_EQ(s.layout.boxes.Count(), 2);
  EXPECT_EQ(BoxRect(2), (Rect{40, 10, 50, 20}));
  EXPECT_EQ(s.command.command, kCommandCopySelect);

  window.EnterCommand(kCommandCut, "");
  Drag(At(35, 5), At(55, 25));
  StartPaste(s, window);
  EXPECT_EQ(s.command.command, kCommandPasteTarget);
  Click(At(80, 60));  // the group's lower-right corner lands here
  Purge(s.layout);
  ASSERT_EQ(s.layout.boxes.Count(), 2);
  EXPECT_EQ(BoxRect(2), (Rect{70, 60, 80, 70}));
}

TEST_F(EditorWindow, EscapeDuringAMovePutsTheSelectionBack) {
  Drag(At(10, 10), At(20, 20));
  AddLayoutText(s.layout, 12, 12, "t");
  AddResistanceMark(s.layout, 14, 14, "2000");
  window.EnterCommand(kCommandMoveSelect, "");
  Drag(At(5, 5), At(25, 25));
  EXPECT_EQ(s.command.command, kCommandMoveTarget);
  EXPECT_EQ(s.layout.boxes[1].state, kErased);
  EXPECT_EQ(s.layout.resistances[1].state, 0);
  Key(Qt::Key_Escape);
  EXPECT_EQ(s.layout.boxes[1].state, kNormal);
  EXPECT_EQ(s.layout.texts[1].state, 1);
  EXPECT_EQ(s.layout.resistances[1].state, 1) << "the mark comes back with the boxes";
  EXPECT_EQ(BoxRect(1), (Rect{10, 10, 20, 20}));

  window.EnterCommand(kCommandMoveSelect, "");
  Drag(At(5, 5), At(25, 25));
  Click(At(45, 35));  // 20 right, 10 up
  Purge(s.layout);
  ASSERT_EQ(s.layout.boxes.Count(), 1);
  EXPECT_EQ(BoxRect(1), (Rect{30, 20, 40, 30}));
}

// Whatever ends a pending move, the selection taken away comes back: another
// command, a menu item that extracts (and purges), leaving the window.
TEST_F(EditorWindow, NothingSelectedForAMoveIsLost) {
  const auto takeAway = [&] {
    window.EnterCommand(kCommandMoveSelect, "");
    Drag(At(5, 5), At(25, 25));
    ASSERT_EQ(s.command.command, kCommandMoveTarget);
    ASSERT_EQ(s.layout.resistances[1].state, 0);
  };
  const auto expectAllBack = [&](const char* how) {
    EXPECT_EQ(s.layout.boxes.Count(), 1) << how;
    EXPECT_EQ(s.layout.boxes[1].state, kNormal) << how;
    EXPECT_EQ(s.layout.texts[1].state, 1) << how;
    EXPECT_EQ(s.layout.resistances[1].state, 1) << how;
    EXPECT_NE(s.command.command, kCommandMoveTarget) << how;
  };
  Drag(At(10, 10), At(20, 20));
  AddLayoutText(s.layout, 12, 12, "t");
  AddResistanceMark(s.layout, 14, 14, "2000");
  takeAway();
  window.EnterCommand(kCommandCut, "");
  expectAllBack("another command");
  takeAway();
  Menu("Find Floating Nodes");
  expectAllBack("a menu item");
  takeAway();
  QWidget other;  // a tool window takes the focus
  other.show();
  other.activateWindow();
  QApplication::processEvents();
  ASSERT_FALSE(window.isActiveWindow());
  expectAllBack("leaving the window");
}

// The text tool with the clock tool on a plain text, and the dialog turning
// a text into a pulse: both get the times a new clock or pulse gets.
TEST_F(EditorWindow, ATextTurnedIntoAClockOrPulseGetsTheDefaultTimes) {
  AddLayoutText(s.layout, 10, 50, "a");
  AddLayoutText(s.layout, 40, 50, "b");
  s.command.propertyTool = kToolClock;
  window.EnterCommand(kCommandText, "");
  WhenModal([](QWidget* dialog) { dialog->findChild<QPushButton*>("btnOK")->click(); });
  Click(At(11, 49));
  const LayoutText& a = s.layout.texts[1];
  EXPECT_EQ(a.property, kPropertyClock);
  EXPECT_NEAR(a.edgeTimes[0], 1e-9, 1e-15);
  EXPECT_NEAR(a.edgeTimes[3], 3e-9, 1e-15);

  WhenModal([](QWidget* dialog) {
    dialog->findChild<QButtonGroup*>()->button(kChoicePulse)->click();
    dialog->findChild<QPushButton*>("btnOK")->click();
  });
  Send(QEvent::MouseButtonDblClick, At(41, 49), Qt::LeftButton);
  const LayoutText& b = s.layout.texts[2];
  EXPECT_EQ(b.property, kPropertyPulse);
  EXPECT_NEAR(b.edgeTimes[0], 2.5e-9, 1e-15) << "after the clock, the next one is slower";
  EXPECT_GT(b.edgeTimes[1], b.edgeTimes[0]);
  EXPECT_GT(b.edgeTimes[3], b.edgeTimes[2]);
}

TEST_F(EditorWindow, PanningDuringAMoveCountsTheShiftAndZoomOutWaits) {
  Drag(At(10, 10), At(20, 20));
  window.EnterCommand(kCommandMoveSelect, "");
  Drag(At(5, 5), At(25, 25));
  Menu("Zoom &Out");
  EXPECT_EQ(s.layout.wide.window, (Rect{0, 0, 100, 100}));
  Key(Qt::Key_Right);  // the window moves 16 lambda to the right
  EXPECT_EQ(s.layout.wide.window, (Rect{16, 0, 116, 100}));
  Click(At(45, 25));   // 20 lambda right of where the selection was taken
  Purge(s.layout);
  ASSERT_EQ(s.layout.boxes.Count(), 1);
  EXPECT_EQ(BoxRect(1), (Rect{30, 10, 40, 20}));
}

TEST_F(EditorWindow, StretchesTheEdgeUnderTheClick) {
  Drag(At(10, 10), At(30, 20));
  window.EnterCommand(kCommandMoveSelect, "");
  Click(At(30, 15));  // the east edge
  EXPECT_EQ(s.command.command, kCommandStretchTarget);
  Click(At(40, 15));
  EXPECT_EQ(BoxRect(1), (Rect{10, 10, 40, 20}));
  EXPECT_EQ(s.command.command, kCommandMoveSelect);
}

TEST_F(EditorWindow, PlacesThreeClocksWithTheTextDialog) {
  for (int i = 0; i < 3; ++i) {
    s.command.propertyTool = kToolClock;
    window.EnterCommand(kCommandText, "");
    WhenModal([](QWidget* dialog) { dialog->findChild<QPushButton*>("btnOK")->click(); });
    Click(At(10 + 30 * i, 50));
  }
  ASSERT_EQ(s.layout.texts.Count(), 3);
  EXPECT_EQ(s.layout.texts[1].text, "clock1");
  EXPECT_NEAR(s.layout.texts[1].edgeTimes[3], 3e-9, 1e-15);
  EXPECT_NEAR(s.layout.texts[2].edgeTimes[3], 6e-9, 1e-15);
  EXPECT_NEAR(s.layout.texts[3].edgeTimes[3], 12e-9, 1e-15);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
}

TEST_F(EditorWindow, SavesAndReopens) {
  Drag(At(10, 10), At(30, 20));
  window.EnterCommand(kCommandCut, "");
  testing::TempDir dir;
  const std::string path = dir.File("drawn.msk");
  ASSERT_TRUE(window.SaveLayout(path));
  EXPECT_EQ(s.layout.wide.modified, 0);
  EXPECT_EQ(window.windowTitle().toStdString(), "Tarnisk 1.0 - " + path);
  ASSERT_TRUE(window.OpenLayout(path, false));
  ASSERT_EQ(s.layout.boxes.Count(), 1);
  EXPECT_EQ(BoxRect(1), (Rect{10, 10, 30, 20}));
  EXPECT_FALSE(window.OpenLayout(dir.File("missing.msk"), false));
}

TEST_F(EditorWindow, AFileThatIsNotALayoutLeavesTheDrawingAsItIs) {
  Drag(At(10, 10), At(30, 20));
  testing::TempDir dir;
  const std::string path = dir.File("hello.msk");
  testing::WriteFile(path, "hello world\n");
  for (const bool insert : {false, true}) {
    platform.messages.clear();
    EXPECT_FALSE(window.OpenLayout(path, insert));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0],
              "Warning: \"" + path + "\" is not a layout file: no line was recognised");
    ASSERT_EQ(s.layout.boxes.Count(), 1);
    EXPECT_EQ(BoxRect(1), (Rect{10, 10, 30, 20}));
    EXPECT_EQ(s.LastError, kErrorNotALayout);
  }
}

TEST_F(EditorWindow, LeavingAModifiedLayoutAsksBothQuestions) {
  Drag(At(10, 10), At(30, 20));
  platform.answers = {MessageAnswer::No, MessageAnswer::No};
  EXPECT_FALSE(window.close());
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0], "Warning : layout modified: Shall I save the layout before leaving ?");
  EXPECT_EQ(platform.messages[1], "Warning: Do you leave me?");
  EXPECT_EQ(s.layout.boxes.Count(), 1);
}

TEST_F(EditorWindow, RunsTheDesignRuleCheckerFromTheAnalysisMenu) {
  s.layout.wide.currentLayer = kMetal;
  Drag(At(10, 10), At(40, 11));  // metal 1 lambda wide
  Menu("Design Rule Checker");
  EXPECT_EQ(Status(), "Design rule errors detected. Good luck and keep smiling.");
  EXPECT_EQ(s.platform.StatusPanelText(1), "DRC Errors");
  EXPECT_EQ(s.command.command, kCommandDrawBox);
}

TEST(EditorFiles, ExtensionsAreForcedAndLowerCaseFilesAreFound) {
  testing::TempDir dir;
  testing::WriteFile(dir.File("demo.msk"), "");
  EXPECT_EQ(WithExtension(dir.File("demo"), "MSK"), dir.File("demo.msk"));
  EXPECT_EQ(WithExtension(dir.File("demo.txt"), "MSK"), dir.File("demo.msk"));
  EXPECT_EQ(WithExtension(dir.File("other.txt"), "MSK"), dir.File("other.MSK"));
  EXPECT_EQ(WithExtension("x.y/name", "RUL"), "x.y/name.RUL");
}

}  // namespace
}  // namespace tarnisk
