// The process viewer, the parametric analysis and the UCP export reached
// from the main window's menus and driven like a user would.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <filesystem>

#include "core/msk_file.h"
#include "tests/window_fixture.h"
#include "ui/qt/emc_form.h"
#include "ui/qt/process_form.h"
#include "ui/qt/ucp_form.h"

namespace tarnisk {
namespace {

struct ProcessWindows : testing::MainWindowTest {
  testing::TempDir dir;
  std::string layout = dir.File("ring5.msk");

  void SetUp() override {
    MainWindowTest::SetUp();
    std::filesystem::copy_file(testing::DataFile("examples/ring5.msk"), layout);
    ASSERT_TRUE(window.OpenLayout(layout, false));
    SetWindow(s, -10, -10, 140, 60);
  }
  // The child of the window `in` named `name`.
  template <class T>
  T* Child(const char* name, QObject* in = nullptr) {
    T* child = (in ? in : &window)->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  std::string Saved() {
    SilentProgress quiet;
    return FormatLayoutFile(s.layout, "ring5.msk", 0, quiet);
  }
};

TEST_F(ProcessWindows, CutDrawnAfterProcessAspectOpensTheSection) {
  Menu("Process Aspect");
  EXPECT_EQ(s.command.command, kCommandProcessView);
  EXPECT_EQ(Status(), "Draw with the mouse the line indicating where the vertical process must "
                      "be shown...");
  Drag(At(-5, 20), At(130, 22));
  auto* form = Child<TFormProcess>("TFormProcess");
  ASSERT_TRUE(form->isVisible());
  EXPECT_GE(form->Section().conductors.size(), 6u);
  EXPECT_EQ(s.layout.boxes[form->Section().crossedBoxes.front()].state, kHighlighted);
  // "Apply" takes an edited metal1 thickness back into the layer table.
  auto* grid = Child<QTableWidget>("LayerGrid", form);
  ASSERT_EQ(grid->rowCount(), kMetal2 + 2);
  grid->item(kMetal - 1, 1)->setText("0,75");
  Child<QPushButton>("btnApply", form)->click();
  EXPECT_DOUBLE_EQ(s.layout.layers[kMetal].thickness, 0.75);
  EXPECT_DOUBLE_EQ(form->Section().conductors.front().top - form->Section().conductors.front().bottom, 0.75);
  const int32_t from = form->Section().cut.from;
  Child<QPushButton>("sbRight", form)->click();
  EXPECT_EQ(Status(), "Zoom Right");
  EXPECT_GT(form->Section().cut.from, from);
  // "Generate" writes the GEO file beside the layout and shows the matrix.
  Child<QPushButton>("btnExecute", form)->click();
  EXPECT_TRUE(std::filesystem::exists(dir.File("ring5.geo")));
  const QString memo = form->findChild<QPlainTextEdit*>("Memo")->toPlainText();
  EXPECT_TRUE(memo.startsWith("// Meshcap Translator Version 1.3"));
  EXPECT_TRUE(memo.contains("Capacitance matrix (pF/m):"));
}

TEST_F(ProcessWindows, SupplySweepFromTheParametricWindowLeavesTheLayout) {
  Menu("Parametric Analysis");
  EXPECT_EQ(s.command.command, kCommandParametric);
  Drag(At(110, 15), At(110, 25));  // opening the window extracts the layout
  const std::string before = Saved();
  auto* form = Child<TFormEmc>("TFormEmc");
  ASSERT_TRUE(form->isVisible());
  Child<QListWidget>("ListParams", form)->setCurrentRow(2);  // Frequency
  EXPECT_EQ(Status(), "Change parameter selection");
  Child<QTabWidget>("PageParams", form)->setCurrentIndex(TFormEmc::kParametersPage);
  auto* combo = Child<QComboBox>("ComboParam", form);
  combo->setCurrentIndex(1);  // Power Supply
  QWidget* page = Child<QTabWidget>("PageParams", form)->widget(TFormEmc::kParametersPage);
  page->findChild<QLineEdit*>("EditFrom")->setText("3");
  page->findChild<QLineEdit*>("EditTo")->setText("4");
  page->findChild<QLineEdit*>("EditStep")->setText("x");  // keeps 0.5
  auto* start = Child<QPushButton>("btnOk", form);
  EXPECT_EQ(start->text(), "Start  Analysis");
  start->click();
  EXPECT_EQ(start->text(), "Start Analysis");
  ASSERT_EQ(form->Plot().points.size(), 3u);
  const std::string data = form->DataArray();
  EXPECT_EQ(data.substr(0, data.find('\n')), "VDD   freq(MHz)");
  EXPECT_EQ(s.technology.VDD, 5.0);
  s.layout.wide.modified = 0;
  EXPECT_EQ(Saved(), before);
}

TEST_F(ProcessWindows, UcpWindowListsTheTextsAndWritesTheFile) {
  TFormUcp form(s, &window);
  form.UPdateOptions();
  auto* grid = form.findChild<QTableWidget*>("Properties");
  ASSERT_EQ(grid->rowCount(), s.layout.texts.Count());
  form.findChild<QLineEdit*>("EditSpace")->setText("4");
  form.btnConvertClick();
  EXPECT_DOUBLE_EQ(form.Settings().spaceAround, 4);
  EXPECT_TRUE(std::filesystem::exists(dir.File("ring5.ucp")));
  EXPECT_EQ(form.Text().substr(0, 28), "! UCP translator version 2.0");
  EXPECT_EQ(Status(), "Generation of " + dir.File("ring5.ucp") + " complete");
}

}  // namespace
}  // namespace tarnisk
