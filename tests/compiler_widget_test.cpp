// The compilers' windows on the real main window: the Compile menu opens the
// cell compiler with its examples, and the Verilog window compiles its text
// with the options of its pages.

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "tests/window_fixture.h"
#include "ui/qt/compiler_forms.h"

namespace tarnisk {
namespace {

using testing::WhenModal;
using CompilerWindows = testing::EditorWindowTest;

TEST_F(CompilerWindows, CompileOneLineDrawsTheChosenExample) {
  bool shown = false;
  WhenModal([&](QWidget* dialog) {
    shown = true;
    EXPECT_EQ(dialog->windowTitle(), "CMOS Cell Compiler");
    auto& equation = testing::Child<QComboBox>(*dialog, "ComboEquation");
    EXPECT_EQ(equation.count(), 7);
    EXPECT_EQ(equation.itemText(2), "nand3=/(A.B.C)");
    equation.setCurrentIndex(2);
    testing::Child<QPushButton>(*dialog, "sbOk").click();
  });
  Menu("&Compile one Line");
  ASSERT_TRUE(shown);
  EXPECT_GT(s.layout.boxes.Count(), 50);
  EXPECT_EQ(Status(), "Compiler : no inverter");
}

TEST_F(CompilerWindows, TheVerilogWindowCompilesItsTextWithItsOptions) {
  testing::TempDir dir;
  const std::string file = dir.File("inv.txt");
  testing::WriteFile(file, "module m(a, y);\nnot n1(y, a);\nendmodule\n");
  auto& form = *window.findChild<TverilogForm*>("TverilogForm");
  form.UpdateOptions(file);
  EXPECT_EQ(testing::Child<QPlainTextEdit>(form, "MemoSource").toPlainText().toStdString(),
            "module m(a, y);\nnot n1(y, a);\nendmodule\n");
  EXPECT_EQ(testing::Child<QLineEdit>(form, "EditWn").text(), "4");
  testing::Child<QLineEdit>(form, "EditWp").setText("16");
  EXPECT_EQ(s.compiler.sizes.wp, 16);
  EXPECT_EQ(Status(), "New width for compiled PMOS devices is 16");
  testing::Child<QLineEdit>(form, "EditLn").setText("x");
  EXPECT_EQ(s.compiler.sizes.ln, 2);
  const auto radios = testing::Child<QGroupBox>(form, "RadioLabels").findChildren<QRadioButton*>();
  ASSERT_EQ(radios.at(0)->text(), "All labels");
  radios.at(0)->click();
  EXPECT_EQ(s.compiler.labelMode, kLabelAll);
  testing::Child<QPushButton>(form, "btnCompile").click();
  EXPECT_EQ(testing::Child<QLabel>(form, "LabelCells").text(), "Compiled cells : 1");
  EXPECT_EQ(testing::Child<QLabel>(form, "LabelError").text(), "No Error");
  EXPECT_TRUE(testing::Child<QPlainTextEdit>(form, "MemoLog")
                  .toPlainText()
                  .contains("-----(Compiler End - no error)-------"));
  EXPECT_GT(s.layout.boxes.Count(), 20);
}

}  // namespace
}  // namespace tarnisk
