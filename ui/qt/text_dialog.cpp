#include "ui/qt/text_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/layout.h"

namespace tarnisk {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The number fields in the order of the dialog's rows.
std::array<std::string*, 6> NumberFields(TextDialogModel& m) {
  return {&m.timeLow, &m.riseTime, &m.timeHigh, &m.fallTime, &m.lowLevel, &m.highLevel};
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(name);
  b->setToolTip(QString::fromUtf8(hint));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

TextDialog::TextDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("TAddText");
  setModal(true);
  auto* column = new QVBoxLayout(this);
  BuildFields(column);
  BuildButtons(column);
}

void TextDialog::BuildFields(QVBoxLayout* column) {
  auto* textRow = new QHBoxLayout;
  editText_ = new QLineEdit(this);
  editText_->setObjectName("EditText");
  editText_->setMaxLength(int(kMaxTextLength));
  textRow->addWidget(new QLabel("Text", this));
  textRow->addWidget(editText_);
  column->addLayout(textRow);
  column->addWidget(BuildChoices());
  column->addWidget(BuildParameters());
  checkVisible_ = new QCheckBox("Visible at Simul", this);
  checkVisible_->setObjectName("CheckVisible");
  column->addWidget(checkVisible_);
}

QGroupBox* TextDialog::BuildChoices() {
  auto* box = new QGroupBox("Property", this);
  box->setObjectName("RadioProp");
  auto* column = new QVBoxLayout(box);
  radioProp_ = new QButtonGroup(this);
  const char* items[] = {"Variable", "VDD", "VSS", "Clock", "Pulse"};
  for (int i = 0; i < 5; ++i) {
    auto* radio = new QRadioButton(items[i], box);
    radioProp_->addButton(radio, i);
    column->addWidget(radio);
  }
  connect(radioProp_, &QButtonGroup::idClicked, this, [this](int id) {
    Apply([id](Session& s, TextDialogModel& m) { ApplyTextChoice(s, m, id); });
  });
  return box;
}

QGroupBox* TextDialog::BuildParameters() {
  auto* box = new QGroupBox("Parameters", this);
  auto* grid = new QGridLayout(box);
  const char* names[] = {"EditTimeLow", "EditRiseTime", "EditTimeHigh",
                         "EditFallTime", "EditLowLevel", "EditHighLevel"};
  const char* captions[] = {"Time low", "Rise time", "Time high", "Fall time"};
  labelLow_ = new QLabel("Low level", box);
  labelHigh_ = new QLabel("High Level", box);
  for (int i = 0; i < 6; ++i) {
    numbers_[i] = new QLineEdit(box);
    numbers_[i]->setObjectName(names[i]);
    QLabel* label = i == 4 ? labelLow_ : i == 5 ? labelHigh_ : new QLabel(captions[i], box);
    grid->addWidget(label, i, 0);
    grid->addWidget(numbers_[i], i, 1);
    grid->addWidget(new QLabel(i < 4 ? "ns" : "V", box), i, 2);
  }
  return box;
}

void TextDialog::BuildButtons(QVBoxLayout* column) {
  periodButtons_ = {Button(this, "btnPeriodHalf", "Period/2", "2x Faster"),
                    Button(this, "btnPeriodDouble", "Period*2", "2x Slower"),
                    Button(this, "btnInvert", "Invert L/H", "Invert Low/High")};
  connect(periodButtons_[0], &QPushButton::clicked, this, [this] { Apply(HalvePeriod); });
  connect(periodButtons_[1], &QPushButton::clicked, this, [this] { Apply(DoublePeriod); });
  connect(periodButtons_[2], &QPushButton::clicked, this, [this] { Apply(InvertLevels); });
  auto* periodRow = new QHBoxLayout;
  for (QPushButton* b : periodButtons_) periodRow->addWidget(b);
  column->addLayout(periodRow);

  auto* ok = Button(this, "btnOK", "OK", "");
  auto* cancel = Button(this, "btnCancel", "Cancel", "");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] {
    if (!model_) return;
    ReadFields();
    AcceptTextDialog(*state_, *model_);
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* closeRow = new QHBoxLayout;
  closeRow->addWidget(ok);
  closeRow->addWidget(cancel);
  column->addLayout(closeRow);
}

void TextDialog::ShowTextDialog(Session& s, TextDialogModel& model) {
  state_ = &s;
  model_ = &model;
  ShowFields();
  editText_->setFocus();
  exec();
  state_ = nullptr;
  model_ = nullptr;
}

template <class Operation>
void TextDialog::Apply(Operation operation) {
  if (!model_) return;
  ReadFields();
  operation(*state_, *model_);
  ShowFields();
}

void TextDialog::ReadFields() {
  TextDialogModel& m = *model_;
  m.text = editText_->text().toStdString();
  m.choice = radioProp_->checkedId();
  m.visible = checkVisible_->isChecked();
  const auto fields = NumberFields(m);
  for (size_t i = 0; i < fields.size(); ++i) *fields[i] = numbers_[i]->text().toStdString();
}

void TextDialog::ShowFields() {
  TextDialogModel& m = *model_;
  setWindowTitle(Q(m.caption));
  editText_->setText(Q(m.text));
  if (QAbstractButton* radio = radioProp_->button(m.choice)) radio->setChecked(true);
  checkVisible_->setChecked(m.visible);
  const auto fields = NumberFields(m);
  for (size_t i = 0; i < fields.size(); ++i) {
    numbers_[i]->setText(Q(*fields[i]));
    numbers_[i]->setEnabled(i < 4 ? m.timesEnabled : i == 4 ? m.lowEnabled : m.highEnabled);
  }
  labelLow_->setText(Q(m.lowLabel));
  labelHigh_->setText(Q(m.highLabel));
  for (QPushButton* b : periodButtons_) b->setEnabled(m.timesEnabled);
}

}  // namespace tarnisk
