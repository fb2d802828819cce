#include "ui/qt/edit_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QPushButton>

#include "session/session.h"

namespace tarnisk {

DuplicateDialog::DuplicateDialog(Session& state, std::function<void(bool)> done,
                                 QWidget* parent)
    : QDialog(parent), state_(state), done_(std::move(done)) {
  setWindowTitle("Duplicate X Y");
  auto* form = new QFormLayout(this);
  const char* labels[] = {"Selected boxes", "Count in X", "Count in Y", "Spacing X (lambda)",
                          "Spacing Y (lambda)"};
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i] = new QLineEdit(this);
    form->addRow(labels[i], fields_[i]);
  }
  fields_[0]->setReadOnly(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    Duplicate(state_, Fields());
    accept();
    done_(true);
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(this, &QDialog::rejected, this, [this] {
    CancelDuplicate(state_);
    done_(false);
  });
}

void DuplicateDialog::Open(const DuplicateSelection& selection) {
  const DuplicateFields& f = selection.fields;
  const std::string* values[] = {&f.selectedCount, &f.countX, &f.countY, &f.spacingX, &f.spacingY};
  for (size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(QString::fromStdString(*values[i]));
  exec();
}

DuplicateFields DuplicateDialog::Fields() const {
  auto text = [&](size_t i) { return fields_[i]->text().toStdString(); };
  return {text(0), text(1), text(2), text(3), text(4)};
}

StepMoveDialog::StepMoveDialog(Session& state, std::function<void()> moved, QWidget* parent)
    : QDialog(parent), state_(state), moved_(std::move(moved)) {
  setWindowTitle("Move Step by Step");
  auto* grid = new QGridLayout(this);
  step_ = new QLineEdit(this);
  grid->addWidget(step_, 1, 1);
  const struct {
    const char* caption;
    StepDirection direction;
    int row, column;
  } arrows[] = {{"Up", StepDirection::Up, 0, 1},
                {"Left", StepDirection::Left, 1, 0},
                {"Right", StepDirection::Right, 1, 2},
                {"Down", StepDirection::Down, 2, 1}};
  for (const auto& arrow : arrows) {
    auto* button = new QPushButton(arrow.caption, this);
    grid->addWidget(button, arrow.row, arrow.column);
    const StepDirection direction = arrow.direction;
    connect(button, &QPushButton::clicked, this, [this, direction] { Step(direction); });
  }
  // However the dialog closes, the highlighted elements go back to normal.
  connect(this, &QDialog::finished, this, [this] {
    CloseStepMove(state_);
    moved_();
  });
}

void StepMoveDialog::Open(const StepMoveSelection& selection) {
  step_->setText(QString::fromStdString(selection.step));
  show();
  raise();
}

void StepMoveDialog::Step(StepDirection direction) {
  step_->setText(QString::fromStdString(StepMove(state_, direction, step_->text().toStdString())));
  moved_();
}


}  // namespace tarnisk
