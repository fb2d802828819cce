// The main window's additions for users of other layout editors, driven
// through the real window: wheel zoom and drag panning (both undone by
// Previous Zoom), the coordinate field, the unsaved-changes mark, a click
// whose release arrives while its press is still being handled, and New and
// Open clearing what the old layout left behind.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWheelEvent>

#include "session/editor/view.h"
#include "session/session.h"
#include "tests/window_fixture.h"
#include "ui/qt/drc_results.h"
#include "ui/qt/extract_form.h"
#include "ui/qt/layout_view.h"

namespace tarnisk {
namespace {

struct Navigation : testing::MainWindowTest {
  void SetUp() override {
    MainWindowTest::SetUp();
    SetWindow(s, 0, 0, 100, 100);
  }
  LayoutView& View() { return window.View(); }
  QPoint At(int x, int y) const { return {LambdaToPixelX(s, x), LambdaToPixelY(s, y)}; }
  Point LambdaAt(QPoint p) const { return {PixelToLambdaX(s, p.x()), PixelToLambdaY(s, p.y())}; }
  void Send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(p), QPointF(View().mapToGlobal(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&View(), &e);
  }
  void Drag(QPoint from, QPoint to, Qt::MouseButton button) {
    Send(QEvent::MouseButtonPress, from, button, button);
    Send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
    Send(QEvent::MouseMove, to, Qt::NoButton, button);
    Send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
  }
  void Wheel(QPoint p, int delta) {
    QWheelEvent e(QPointF(p), QPointF(View().mapToGlobal(p)), {}, {0, delta}, Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&View(), &e);
  }
  void Key(QEvent::Type type, int key) {
    QKeyEvent e(type, key, Qt::NoModifier);
    QApplication::sendEvent(&View(), &e);
  }
};

void ExpectNear(Point a, Point b) {
  EXPECT_LE(std::abs(a.x - b.x), 1) << a.x << " vs " << b.x;
  EXPECT_LE(std::abs(a.y - b.y), 1) << a.y << " vs " << b.y;
}

TEST_F(Navigation, TheWheelZoomsAboutThePointerAndPreviousZoomReturns) {
  const Rect before = s.layout.wide.window;
  const double scale = s.layout.wide.scale;
  const QPoint p = At(30, 70);
  Wheel(p, 240);  // two notches in
  EXPECT_NEAR(s.layout.wide.scale, scale * 1.25 * 1.25, scale * 0.05);
  ExpectNear(LambdaAt(p), {30, 70});
  Menu("&Previous Zoom");
  EXPECT_EQ(s.layout.wide.window, before);
  Wheel(p, -120);
  EXPECT_NEAR(s.layout.wide.scale, scale / 1.25, scale * 0.05);
  ExpectNear(LambdaAt(p), {30, 70});
}

TEST_F(Navigation, MiddleButtonAndSpaceDragThePanThroughTheWindowSetting) {
  const Rect before = s.layout.wide.window;
  const QPoint from = At(40, 40), to = from + QPoint(60, -45);
  Drag(from, to, Qt::MiddleButton);
  ExpectNear(LambdaAt(to), {40, 40});
  EXPECT_EQ(s.layout.wide.window.xmax - s.layout.wide.window.xmin, before.xmax - before.xmin);
  Menu("&Previous Zoom");
  EXPECT_EQ(s.layout.wide.window, before);

  Key(QEvent::KeyPress, Qt::Key_Space);
  Drag(from, to, Qt::LeftButton);
  Key(QEvent::KeyRelease, Qt::Key_Space);
  ExpectNear(LambdaAt(to), {40, 40});
  EXPECT_EQ(s.layout.boxes.Count(), 0) << "a pan draws no box";
  EXPECT_FALSE(s.command.dragging);
}

// The press shows the cursor position, which lets events run: a release
// already queued arrives then, and must still end the rubber band.
TEST_F(Navigation, AReleaseDuringItsPressEndsTheRubberBand) {
  const QPoint p = At(20, 20);
  QApplication::postEvent(&View(), new QMouseEvent(QEvent::MouseButtonRelease, QPointF(p),
                                                   QPointF(View().mapToGlobal(p)), Qt::LeftButton,
                                                   Qt::NoButton, Qt::NoModifier));
  Send(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_FALSE(s.command.dragging);
  Send(QEvent::MouseMove, At(40, 30), Qt::NoButton, Qt::NoButton);
  EXPECT_FALSE(s.command.dragging);
  EXPECT_EQ(s.layout.boxes.Count(), 0);
}

// A resize that arrives while a command lets events run (its status message)
// is taken once the command is over: the image then fills the drawing.
TEST_F(Navigation, AResizeDuringACommandIsTakenAfterIt) {
  const QSize grown = window.size() + QSize(120, 60);
  QTimer::singleShot(0, &window, [&] { window.resize(grown); });
  ShowStatus(s.platform, "a long command");
  ASSERT_EQ(window.size(), grown);
  QApplication::processEvents();
  EXPECT_EQ(View().Surface()->Width(), View().width());
  EXPECT_EQ(View().Surface()->Height(), View().height());
  EXPECT_EQ(s.view.clientWidth, View().width());
}

TEST_F(Navigation, CoordinateFieldAndUnsavedChangesMark) {
  QLabel& field = testing::Child<QLabel>(window, "PositionField");
  Send(QEvent::MouseMove, At(12, 34), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(field.text().toStdString(), "12, 34 lambda  (6.00, 17.00 \xC2\xB5m)")
      << "lambda is 0.5 um in es207";
  EXPECT_FALSE(window.windowTitle().endsWith(" *"));
  Drag(At(10, 10), At(30, 20), Qt::LeftButton);
  EXPECT_TRUE(window.windowTitle().endsWith(" *")) << window.windowTitle().toStdString();
  testing::TempDir dir;
  ASSERT_TRUE(window.SaveLayout(dir.File("a.msk")));
  EXPECT_EQ(window.windowTitle().toStdString(), "Tarnisk 1.0 - " + dir.File("a.msk"));
}

// Poly 1 lambda wide breaks the poly width rule, metal 1 lambda wide the
// metal one; the check as specified stops at poly, the list has both.
struct ViolationList : Navigation {
  DrcResults& Results() { return *window.findChild<DrcResults*>("DrcResults"); }
  void SetUp() override {
    Navigation::SetUp();
    for (const auto& [x, layer] : {std::pair{0, kPoly}, std::pair{200, kMetal}})
      AddBox(s.layout, x, 0, x + 1, 20, layer);
    Menu("Design Rule Checker");
  }
};

TEST_F(ViolationList, TheCheckKeepsItsFirstViolationAndTheListHasEveryOne) {
  EXPECT_EQ(Status(), "Design rule errors detected. Good luck and keep smiling.");
  EXPECT_EQ(s.platform.StatusPanelText(1), "DRC Errors");
  const Rect w = s.layout.wide.window;
  EXPECT_EQ(w.xmin, -20) << "zoomed on the poly violation";
  EXPECT_LT(w.xmax, 100);
  ASSERT_TRUE(Results().isVisible());
  ASSERT_EQ(Results().RowCount(), 2);
  EXPECT_EQ(Results().CurrentRow(), 0);
  QTableView& table = testing::Child<QTableView>(Results(), "DrcViolations");
  EXPECT_EQ(table.model()->index(0, 1).data().toString().toStdString(),
            "The poly width  is less than 2 lambda (r301)");
  EXPECT_EQ(table.model()->index(1, 0).data().toString().toStdString(), "(r501)");

  testing::Child<QPushButton>(Results(), "DrcNext").click();
  EXPECT_EQ(Results().CurrentRow(), 1);
  EXPECT_EQ(s.layout.wide.window.xmin, 200 - kDrcZoomMargin) << "zoomed on the metal violation";
  const QImage& image = View().Surface()->Image();
  const QPoint mark = At(200, 10);
  int white = 0;
  for (int dx = -3; dx <= 3; ++dx)
    white += (image.pixel(mark.x() + dx, mark.y()) & 0xFFFFFF) == 0xFFFFFF;
  EXPECT_GT(white, 3) << "the mark is drawn across the violation";
  EXPECT_FALSE(testing::Child<QPushButton>(Results(), "DrcNext").isEnabled());

  table.setCurrentIndex(table.model()->index(0, 0));  // choosing an entry
  EXPECT_EQ(s.layout.wide.window.xmin, -20);
  EXPECT_FALSE(testing::Child<QPushButton>(Results(), "DrcPrevious").isEnabled());
}

TEST_F(ViolationList, NewAndOpenForgetTheOldLayoutsVerdictListAndDeck) {
  auto& extract = *window.findChild<TFormExtract*>("TFormExtract");
  testing::Child<QPlainTextEdit>(extract, "MemoSpice").setPlainText("old deck");
  platform.answers = {MessageAnswer::No};  // do not save
  Menu("&New");
  EXPECT_EQ(s.platform.StatusPanelText(1), "");
  EXPECT_EQ(Results().RowCount(), 0);
  EXPECT_TRUE(testing::Child<QPlainTextEdit>(extract, "MemoSpice").toPlainText().isEmpty());

  Menu("Design Rule Checker");
  EXPECT_EQ(s.platform.StatusPanelText(1), "No Error");
  EXPECT_EQ(testing::Child<QLabel>(Results(), "DrcSummary").text(), "No violation");
  ASSERT_TRUE(window.OpenLayout(testing::DataFile("examples/inverter.msk"), false));
  EXPECT_EQ(s.platform.StatusPanelText(1), "");
}

TEST_F(Navigation, ACleanCheckLeavesTheViolationListClosed) {
  ASSERT_TRUE(window.OpenLayout(testing::DataFile("examples/inverter.msk"), false));
  Menu("Design Rule Checker");
  EXPECT_EQ(s.platform.StatusPanelText(1), "No Error");
  EXPECT_FALSE(window.findChild<DrcResults*>("DrcResults")->isVisible());
}

}  // namespace
}  // namespace tarnisk
