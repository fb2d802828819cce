// The MOS viewer, navigator, statistics, product information and debug log
// windows inside the real main window: opened from their menus and buttons,
// driven by their controls.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "session/editor/view.h"
#include "session/session.h"
#include "tests/window_fixture.h"
#include "ui/qt/info_forms.h"
#include "ui/qt/mos_viewer_form.h"
#include "ui/qt/navigator_form.h"
#include "ui/qt/statistics_form.h"

namespace tarnisk {
namespace {

// Whether an image holds more than one colour.
bool Drawn(const QImage& image) {
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3)
      if (image.pixel(x, y) != image.pixel(0, 0)) return true;
  return false;
}

struct ViewerWindow : testing::ToolWindowTest<TFormViewMos> {
  ViewerWindow() : ToolWindowTest("TFormViewMos") {}
};

TEST_F(ViewerWindow, OpensFromTheMenuAndItsPageSetsTheModelLevel) {
  Menu("MOS characteristics");
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(Drawn(form.PlotImage()));
  Find<QTabWidget>("PageParam").setCurrentIndex(0);
  EXPECT_EQ(s.extractOptions.modelLevel, kModelLevel1);
  EXPECT_EQ(Status(), "Select Berkeley Level 1 model");
  Find<QPushButton>("btnPmos").click();
  EXPECT_TRUE(form.Viewer().Pmos());
  EXPECT_EQ(form.windowTitle().toStdString(), "MOS Viewer for pMOS Width=10, Length=2");
  EXPECT_TRUE(form.LoadMeasurement(testing::DataFile("measurements/nmos10x2.MES")));
  EXPECT_FALSE(form.Viewer().Pmos()) << "the file's type replaces the viewer's";
  EXPECT_TRUE(form.Viewer().Measured().loaded);
}

struct NavigatorWindow : testing::ToolWindowTest<TFormAnalysis> {
  NavigatorWindow() : ToolWindowTest("TFormAnalysis") {}
};

TEST_F(NavigatorWindow, ViewNodeShowsTheNodeAndTheHistogramMarksTheFilter) {
  window.OpenLayout(testing::DataFile("examples/inverter.msk"), false);
  Menu("View &Node");
  // A click on the first box of the layout.
  const Box& b = s.layout.boxes[1];
  const Point at{LambdaToPixelX(s, (b.x1 + b.x2) / 2.0), LambdaToPixelY(s, (b.y1 + b.y2) / 2.0)};
  MousePress(s, window, at);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(s.layout.wide.extracted, 1);
  EXPECT_GE(s.navigator.node, 0);
  Find<QPushButton>("btnHisto").click();
  EXPECT_EQ(Find<QListWidget>("ListNodes").item(0)->text().toStdString(), "----Below Filter-------");
  Find<QPushButton>("btnLower").click();
  EXPECT_EQ(Find<QLabel>("LabelHigh").text().toStdString(), "0.50V");
}

struct StatisticsWindow : testing::ToolWindowTest<TFormStatistics> {
  StatisticsWindow() : ToolWindowTest("TFormStatistics") {}
};

TEST_F(StatisticsWindow, ShowsTheClickExtractTextUntilExtractNow) {
  window.OpenLayout(testing::DataFile("examples/inverter.msk"), false);
  Menu("Statistics");
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(Find<QLabel>("labelNodeNumber").text().toStdString(), "Click \"Extract\"");
  EXPECT_TRUE(Find<QLabel>("labelNodes").font().italic());
  Find<QPushButton>("btnExtract").click();
  EXPECT_NE(Find<QLabel>("labelNodeNumber").text().toStdString(), "Click \"Extract\"");
  Find<QTabWidget>("PageProps").setCurrentIndex(1);
  EXPECT_TRUE(Drawn(form.HistogramImage()));
}

using PeripheryWindows = testing::MainWindowTest;

TEST_F(PeripheryWindows, DebugLogCopiesStatusMessagesAndAboutNamesTheTechnology) {
  auto& debug = *window.findChild<TFormDebug*>("TFormDebug");
  Menu("Debug");
  ShowStatus(s.platform, "a message for the log");
  EXPECT_NE(debug.Text().find("a message for the log"), std::string::npos);
  testing::TempDir dir;
  EXPECT_TRUE(debug.SaveTo(dir.File("log.txt")));
  EXPECT_NE(testing::ReadFile(dir.File("log.txt")).find("a message for the log"), std::string::npos);
  debug.btnClearClick();
  EXPECT_EQ(debug.Text(), "");
  debug.SetLogging(false);
  ShowStatus(s.platform, "not logged");
  EXPECT_EQ(debug.Text(), "");
  Menu("About");
  auto& version = *window.findChild<TFormVersion*>("TFormVersion");
  EXPECT_TRUE(version.isVisible());
  EXPECT_NE(testing::Child<QLabel>(version, "LabelTechnology").text().toStdString().find(s.technology.Name),
            std::string::npos);
  version.close();
  debug.close();
}

}  // namespace
}  // namespace tarnisk
