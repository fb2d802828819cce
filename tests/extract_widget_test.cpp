// The extraction window inside the real main window: its menu entries, the
// options it sets, "Extract" with the SPICE listing and "Quit" with the
// supply and temperature fields.

#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "session/session.h"
#include "tests/window_fixture.h"
#include "ui/qt/extract_form.h"

namespace tarnisk {
namespace {

struct ExtractWindow : testing::ToolWindowTest<TFormExtract> {
  ExtractWindow() : ToolWindowTest("TFormExtract") {}
  testing::TempDir dir;

};

TEST_F(ExtractWindow, MenuEntriesOpenTheirPageWithTheOptions) {
  s.extractOptions.cleaningMode = kMergeOnly;
  s.extractOptions.modelLevel = kModelLevel9;
  Menu("Vdd Supply, Temperature");
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(Find<QTabWidget>("PageControl").currentIndex(), TFormExtract::kModelsPage);
  EXPECT_TRUE(Find<QButtonGroup>("RadioCleaning").button(2)->isChecked()) << "Merge Only is item 2";
  EXPECT_TRUE(Find<QButtonGroup>("RadioModel").button(2)->isChecked());
  EXPECT_EQ(Find<QLineEdit>("EditSupply").text().toStdString(), "5.00");
  EXPECT_EQ(Find<QLineEdit>("EditTemperature").text().toStdString(), "27.00");
  Menu("Simulate Options");
  EXPECT_EQ(Find<QTabWidget>("PageControl").currentIndex(), TFormExtract::kOptionsPage);
}

TEST_F(ExtractWindow, ControlsSetTheOptionsAndClearTheExtractedFlag) {
  form.Open(TFormExtract::kOptionsPage);
  Find<QButtonGroup>("RadioCleaning").button(1)->click();
  EXPECT_EQ(s.extractOptions.cleaningMode, kPurgeOnly);
  Find<QCheckBox>("CheckSpice").click();
  EXPECT_FALSE(s.extractOptions.spiceAfterExtraction);
  EXPECT_EQ(Status(), "Do not generate SPICE file after extraction");
  s.layout.wide.extracted = 1;
  Find<QCheckBox>("CheckCrosstalk").click();
  EXPECT_TRUE(s.extractOptions.lateralCrosstalk);
  EXPECT_EQ(Status(), "Handle lateral crosstalk");
  EXPECT_EQ(s.layout.wide.extracted, 0);
  s.layout.wide.extracted = 1;
  Find<QButtonGroup>("RadioModel").button(0)->click();
  EXPECT_EQ(s.extractOptions.modelLevel, kModelLevel1);
  EXPECT_EQ(s.layout.wide.extracted, 0);
  Find<QPushButton>("btnApply").click();
  EXPECT_EQ(Status().rfind("Extraction complete :0 boxes, 0 nMOS,0 pMOS, 1 nodes, in ", 0), 0u)
      << "without the SPICE option the summary stays: " << Status();
}

TEST_F(ExtractWindow, ExtractWritesTheDeckBesideTheLayoutAndListsIt) {
  const std::string path = dir.File("inverter.msk");
  testing::WriteFile(path, testing::ReadFile(testing::DataFile("examples/inverter.msk")));
  ASSERT_TRUE(window.OpenLayout(path, false));
  s.simulation.SimLength = 50e-9;  // the simulation window's time scale
  form.Open(TFormExtract::kOptionsPage);
  Find<QPushButton>("btnApply").click();
  const std::string deck = dir.File("inverter.CIR");
  EXPECT_EQ(Status(), "Generate " + deck + " with 1 nMOS and 1 pMOS");
  EXPECT_EQ(Find<QGroupBox>("GroupSpice").title().toStdString(), "Spice File :" + deck);
  EXPECT_TRUE(Find<QPlainTextEdit>("MemoSpice").toPlainText().contains("MP1 1 "));
  EXPECT_TRUE(Find<QPlainTextEdit>("MemoSpice").toPlainText().contains(".TRAN 10PS 50.00N"));
  EXPECT_EQ(s.layout.wide.extracted, 1);
}

TEST_F(ExtractWindow, QuitTakesValidSupplyAndTemperatureOnly) {
  form.Open(TFormExtract::kModelsPage);
  Find<QLineEdit>("EditSupply").setText("3,3");
  Find<QLineEdit>("EditTemperature").setText("400");
  Find<QPushButton>("btnOK").click();
  EXPECT_DOUBLE_EQ(s.technology.VDD, 3.3);
  EXPECT_DOUBLE_EQ(s.technology.TEMP, 27) << "out of range leaves it";
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace tarnisk
