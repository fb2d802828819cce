#pragma once
// The text dialog (TAddText): a text's string, its property, the clock and
// pulse times, the levels and the "Visible at Simul" flag. It shows a
// TextDialogModel and leaves every decision to the text logic.

#include <QDialog>
#include <array>

#include "session/editor/texts.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace tarnisk {

class TextDialog : public QDialog, public TextDialogUi {
 public:
  explicit TextDialog(QWidget* parent = nullptr);

  void ShowTextDialog(Session& s, TextDialogModel& model) override;

 private:
  void BuildFields(QVBoxLayout* column);
  void BuildButtons(QVBoxLayout* column);
  QGroupBox* BuildChoices();
  QGroupBox* BuildParameters();
  // Copies the widgets into the model, or the model into the widgets.
  void ReadFields();
  void ShowFields();
  // Runs a model operation on the current fields and shows the result.
  template <class Operation>
  void Apply(Operation operation);

  Session* state_ = nullptr;
  TextDialogModel* model_ = nullptr;

  QLineEdit* editText_;
  QButtonGroup* radioProp_;
  // Time low, rise time, time high, fall time, low level, high level.
  std::array<QLineEdit*, 6> numbers_;
  QLabel* labelLow_;
  QLabel* labelHigh_;
  QCheckBox* checkVisible_;
  std::array<QPushButton*, 3> periodButtons_;
};

}  // namespace tarnisk
