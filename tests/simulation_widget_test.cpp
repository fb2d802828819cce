// The simulation window inside the real main window: a run of the inverter
// started from the menu, the mode tabs and their labels, the scale lists,
// and stopping a run with a key or a button while it goes on.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "session/session.h"
#include "session/analysis/simulation_plot.h"
#include "tests/window_fixture.h"
#include "ui/qt/simul_frame.h"

namespace tarnisk {
namespace {

struct SimWindow : testing::ToolWindowTest<TsimulFrame> {
  SimWindow() : ToolWindowTest("TsimulFrame") {}

  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_TRUE(window.OpenLayout(testing::DataFile("examples/inverter.msk"), false));
    s.simulation.SimLength = 5e-9;  // 1000 steps keep the runs short
  }
  // Pixels of the plot area (right of the labels, above the legend) that are
  // neither the background nor an axis colour, or only those of colour `only`.
  int CurvePixels(QRgb only = 0) const {
    const QImage& image = form.PlotImage();
    int count = 0;
    for (int y = 0; y < image.height() - kPlotBottomMargin; ++y)
      for (int x = kPlotLeftMargin + 1; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y) & 0xFFFFFF;
        count += only ? c == only : c != 0x000000 && c != 0x808080 && c != 0xFFFFFF;
      }
    return count;
  }
  // Runs `during` from the event loop once the next run has begun.
  void WhileRunning(std::function<void()> during) {
    QTimer::singleShot(0, &form, [this, during] {
      EXPECT_TRUE(s.simulation.Running);
      during();
    });
  }
  void Key(QWidget& target, Qt::Key key, const char* text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&target, &press);
  }
  // The index of node `name` in the node lists.
  int Item(const char* name) { return Find<QComboBox>("ComboStart").findText(name); }
  std::string NodeNumber(const char* name) {
    return std::to_string(s.simulation.nodeList[size_t(Item(name))]);
  }
};

TEST_F(SimWindow, StartFromTheMenuExtractsRunsAndPlotsTheInverter) {
  Menu("&Start Simulation");
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(Status(), " 5.00 ns simulation complete with MOS model Level 3 with 1 NMOS, 1 pMOS");
  EXPECT_TRUE(form.windowTitle().startsWith("Simulation of "));
  EXPECT_GT(CurvePixels(), 100);
  EXPECT_EQ(Find<QComboBox>("ComboStart").currentText(), "in");
  EXPECT_EQ(Find<QComboBox>("ComboStop").currentText(), "out");
  EXPECT_EQ(Find<QComboBox>("ComboCtk").currentText(), "out");
  EXPECT_EQ(Find<QLineEdit>("EditDt").text(), "5.0");
  EXPECT_NEAR(s.simulation.SimTime, 5e-9, 1e-15);
  Find<QPushButton>("More").click();  // Simulate continues the waveforms
  EXPECT_NEAR(s.simulation.SimTime, 10e-9, 1e-15);
  Find<QPushButton>("btnReset").click();
  EXPECT_NEAR(s.simulation.SimTime, 5e-9, 1e-15);
}

// Resizing gives the plot a new image; the curves of the run are drawn on
// it again, spread over the new width.
TEST_F(SimWindow, ThePlotKeepsItsCurvesAcrossResizes) {
  Menu("&Start Simulation");
  const int before = CurvePixels();
  ASSERT_GT(before, 100);
  const QSize size = form.PlotImage().size();
  form.resize(form.size() + QSize(160, 90));
  QApplication::processEvents();
  EXPECT_GT(form.PlotImage().width(), size.width());
  EXPECT_GT(CurvePixels(), before * 3 / 4);
  form.resize(form.size() - QSize(160, 90));
  QApplication::processEvents();
  ASSERT_EQ(form.PlotImage().size(), size);
  EXPECT_EQ(CurvePixels(), before) << "the same size draws the same curves";
}

TEST_F(SimWindow, SStopsARunFromAnyControlAndDoesNothingWhenIdle) {
  Menu("&Start Simulation");
  QLineEdit& step = Find<QLineEdit>("EditDt");
  WhileRunning([&] { Key(step, Qt::Key_S, "s"); });
  Find<QPushButton>("More").click();
  EXPECT_EQ(Status().rfind("Simulation stopped at time ", 0), 0u) << Status();
  EXPECT_EQ(s.simulation.SimTime, 0);
  EXPECT_EQ(step.text(), "5.0") << "the key reached the field";
  const std::string before = Status();
  Key(form, Qt::Key_S, "s");
  Key(form, Qt::Key_Escape, "");
  EXPECT_EQ(Status(), before);
  EXPECT_TRUE(form.isVisible());
}

TEST_F(SimWindow, StopAndTheEditorButtonStopARunBeforeLeaving) {
  Menu("&Start Simulation");
  for (const char* button : {"btnStop", "btnEditor"}) {
    WhileRunning([&] { Find<QPushButton>(button).click(); });
    Find<QPushButton>("More").click();
    EXPECT_EQ(Status().rfind("Simulation stopped at time ", 0), 0u) << button;
    EXPECT_TRUE(form.isVisible()) << button;
  }
  Find<QPushButton>("btnEditor").click();
  EXPECT_FALSE(form.isVisible());
}

TEST_F(SimWindow, DcTabRelabelsTheNodeChoicesAndSweepsTheXNode) {
  Menu("&Start Simulation");
  Find<QTabBar>("SimulMode").setCurrentIndex(2);
  EXPECT_EQ(s.simulation.SimMode, kSimDc);
  EXPECT_EQ(Find<QGroupBox>("GroupDelay").title(), "Select");
  EXPECT_EQ(Find<QCheckBox>("CheckMinMax").text(), "Y at vdd/2");
  EXPECT_FALSE(Find<QLineEdit>("EditDt").isEnabled());
  EXPECT_GT(CurvePixels(), 50) << "the transfer curve";
  emit Find<QComboBox>("ComboStop").activated(Item("in"));
  EXPECT_EQ(Status(), "Selected Y node is n°" + NodeNumber("in") + " \"in\"");
  emit Find<QComboBox>("ComboStart").activated(Item("out"));
  EXPECT_EQ(Status(), "Selected X axis node is n°" + NodeNumber("out") + " \"out\"");
  Find<QTabBar>("SimulMode").setCurrentIndex(0);
  EXPECT_EQ(Find<QGroupBox>("GroupDelay").title(), "Delay");
  emit Find<QComboBox>("ComboStart").activated(Item("in"));
  EXPECT_EQ(Status(),
            "Selected start node for delay computation is n°" + NodeNumber("in") + " \"in\"");
}

TEST_F(SimWindow, ScalesAndMeasurementSwitches) {
  Menu("&Start Simulation");
  QComboBox& time = Find<QComboBox>("ComboScaleX");
  ASSERT_EQ(time.count(), 9);
  emit time.activated(8);
  EXPECT_EQ(time.itemText(8), "400 ns");
  EXPECT_NEAR(s.simulation.SimLength, 400e-9, 1e-15);
  EXPECT_EQ(Status(), "New time length is 400.000 ns");
  emit time.activated(0);  // 1 ns keeps the next run short
  EXPECT_EQ(Status(), "New time length is 1.000 ns");
  Find<QTabBar>("SimulMode").setCurrentIndex(1);
  EXPECT_EQ(s.simulation.SimMode, kSimCurrents);
  EXPECT_TRUE(Find<QGroupBox>("GroupCurrent").isVisible());
  QComboBox& devices = Find<QComboBox>("ComboListI");
  ASSERT_EQ(devices.count(), 2);
  EXPECT_TRUE(devices.itemText(0).startsWith("I(N1 "));
  QComboBox& current = Find<QComboBox>("ComboCurrent");
  EXPECT_EQ(current.currentText(), "1 mA");
  emit current.activated(0);
  EXPECT_EQ(Status(), "Change current scale");
  Find<QCheckBox>("CheckMinMax").click();
  EXPECT_TRUE(s.simulation.MinMaxOn);
  EXPECT_EQ(Status(), "Enable min/max computing");
  Find<QCheckBox>("CheckFreq").click();
  EXPECT_TRUE(s.simulation.FreqOn);
  EXPECT_EQ(Status(), "Handle frequency on");
  emit Find<QComboBox>("ComboCtk").activated(Item("in"));
  EXPECT_EQ(Status(), "Select node \"in\" for min/max voltage computation ");
}

TEST_F(SimWindow, AvailableIChoosesTheDeviceCurrentDrawnUnderTheVoltages) {
  Menu("&Start Simulation");
  Find<QTabBar>("SimulMode").setCurrentIndex(1);
  QComboBox& devices = Find<QComboBox>("ComboListI");
  EXPECT_EQ(devices.currentIndex(), 0);
  const QRgb deviceColour = 0xFF80C0;
  EXPECT_GT(CurvePixels(deviceColour), 0);
  emit devices.activated(1);
  EXPECT_EQ(s.simulation.currentDevice, 1);
  EXPECT_EQ(CurvePixels(deviceColour), 0) << "the axes were redrawn for the new device";
  Find<QPushButton>("btnReset").click();
  EXPECT_GT(CurvePixels(deviceColour), 0);
}

TEST_F(SimWindow, SimulationOnLayoutColoursTheBoxesWhileItRuns) {
  const auto highlighted = [&] {
    int count = 0;
    for (int i = 1; i <= s.layout.boxes.Count(); ++i)
      count += s.layout.boxes[i].state == kHighlighted;
    return count;
  };
  int during = 0;
  QTimer probe;  // looks at the boxes between the steps of the run
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (s.simulation.Running) during = std::max(during, highlighted());
  });
  probe.start(0);
  Menu("Simulation on &Layout");
  probe.stop();
  EXPECT_GT(during, 3);
  EXPECT_EQ(highlighted(), 0) << "the boxes are drawn normally again";
  EXPECT_EQ(Status(), " 5.00 ns simulation complete with MOS model Level 3 with 1 NMOS, 1 pMOS");
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace tarnisk
