#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>

#include "session/session.h"
#include "tests/fake_editor_host.h"
#include "ui/qt/resistance_dialog.h"
#include "ui/qt/text_dialog.h"

namespace tarnisk {
namespace {

// Runs `user` once the modal dialog is open; a dialog left open is closed
// after a while so that a failing test cannot hang.
void WhenOpen(QDialog& dialog, std::function<void()> user) {
  QTimer::singleShot(0, &dialog, std::move(user));
  QTimer::singleShot(10000, &dialog, [&dialog] { dialog.reject(); });
}

template <class Widget>
Widget* Child(QDialog& dialog, const char* name) {
  auto* w = dialog.findChild<Widget*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

struct Dialogs : ::testing::Test {
  testing::FakeEditorHost host;
  Session& s = host.State();

  void SetUp() override { SetWindow(s, 0, 0, 100, 100); }
  Point P(int32_t x, int32_t y) const { return {LambdaToPixelX(s, x), LambdaToPixelY(s, y)}; }
};

TEST_F(Dialogs, TextDialogPlacesAClockFromItsFields) {
  TextDialog dialog;
  s.command.propertyTool = kToolClock;
  WhenOpen(dialog, [&] {
    EXPECT_EQ(dialog.windowTitle(), "Add a Clock");
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditText")->text(), "clock1");
    EXPECT_TRUE(Child<QCheckBox>(dialog, "CheckVisible")->isChecked());
    Child<QLineEdit>(dialog, "EditRiseTime")->setText("1");
    Child<QPushButton>(dialog, "btnOK")->click();
  });
  TextCommandAt(s, P(10, 10), dialog);
  ASSERT_EQ(s.layout.texts.Count(), 1);
  EXPECT_EQ(s.layout.texts[1].visible, 1);
  EXPECT_NEAR(s.layout.texts[1].edgeTimes[3], 3.5e-9, 1e-15);
}

TEST_F(Dialogs, TextDialogButtonsChangeTheFields) {
  TextDialog dialog;
  s.command.propertyTool = kToolPulse;
  WhenOpen(dialog, [&] {
    auto* timeLow = Child<QLineEdit>(dialog, "EditTimeLow");
    Child<QPushButton>(dialog, "btnPeriodHalf")->click();
    EXPECT_EQ(timeLow->text(), " 0.25");
    Child<QLineEdit>(dialog, "EditLowLevel")->setText("1.00");
    Child<QPushButton>(dialog, "btnInvert")->click();
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditLowLevel")->text(), "5.00");

    auto radios = dialog.findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 5);
    radios[1]->click();  // VDD
    EXPECT_EQ(dialog.windowTitle(), "Add Vdd supply");
    EXPECT_FALSE(timeLow->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(dialog, "btnPeriodDouble")->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>(dialog, "EditHighLevel")->isEnabled());
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Vdd Value"));
    EXPECT_TRUE(labels.contains("Vss Value"));
    Child<QLineEdit>(dialog, "EditText")->setText("vcc");
    Child<QPushButton>(dialog, "btnOK")->click();
  });
  TextCommandAt(s, P(10, 10), dialog);
  ASSERT_EQ(s.layout.texts.Count(), 1);
  EXPECT_EQ(s.layout.texts[1].text, "vcc");
  EXPECT_EQ(s.layout.texts[1].property, kPropertyVdd);

  // Cancel leaves the text as it was.
  s.command.propertyTool = kToolText;
  WhenOpen(dialog, [&] {
    Child<QLineEdit>(dialog, "EditText")->setText("other");
    Child<QPushButton>(dialog, "btnCancel")->click();
  });
  TextCommandAt(s, P(10, 10), dialog);
  EXPECT_EQ(s.layout.texts[1].text, "vcc");
}

TEST_F(Dialogs, ResistanceDialogAddsAMarkAndEndsTheTool) {
  ResistanceDialog dialog(host);
  s.command.command = kCommandResistance;
  WhenOpen(dialog, [&] {
    EXPECT_EQ(dialog.windowTitle(), "Resistance Parameters");
    EXPECT_EQ(Child<QLabel>(dialog, "LabelLocation")->text(), "Location 20,30 lambda");
    EXPECT_EQ(Child<QLabel>(dialog, "LabelConnection")->text(), "Connection unknown");
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditValue")->text(), "1000");
    Child<QLineEdit>(dialog, "EditValue")->setText("470");
    Child<QPushButton>(dialog, "btnOK")->click();
  });
  ResistanceAt(s, P(20, 30), dialog);
  ASSERT_EQ(s.layout.resistances.Count(), 1);
  EXPECT_EQ(s.layout.resistances[1].text, "470");
  EXPECT_EQ(host.placementsEnded, 1);
  EXPECT_EQ(s.command.command, kCommandDrawBox);

  WhenOpen(dialog, [&] { Child<QPushButton>(dialog, "btnDelete")->click(); });
  ResistanceAt(s, P(20, 30), dialog);
  EXPECT_EQ(s.layout.resistances[1].state, 0);
  EXPECT_EQ(host.placementsEnded, 2);
}

}  // namespace
}  // namespace tarnisk
