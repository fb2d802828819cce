#include "ui/qt/resistance_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/layout.h"

namespace tarnisk {

ResistanceDialog::ResistanceDialog(EditorHost& host, QWidget* parent)
    : QDialog(parent), host_(host) {
  setObjectName("TFormRes");
  setWindowTitle("Resistance Parameters");
  setModal(true);
  auto* column = new QVBoxLayout(this);
  auto* valueRow = new QHBoxLayout;
  editValue_ = new QLineEdit(this);
  editValue_->setObjectName("EditValue");
  editValue_->setMaxLength(int(kMaxTextLength));
  valueRow->addWidget(new QLabel("Value (ohm)", this));
  valueRow->addWidget(editValue_);
  column->addLayout(valueRow);
  labelLocation_ = new QLabel(this);
  labelLocation_->setObjectName("LabelLocation");
  labelConnection_ = new QLabel(this);
  labelConnection_->setObjectName("LabelConnection");
  column->addWidget(labelLocation_);
  column->addWidget(labelConnection_);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  ok->setDefault(true);
  auto* remove = new QPushButton("Delete", this);
  remove->setObjectName("btnDelete");
  remove->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, [this] { Finish(AcceptResistanceDialog); });
  connect(remove, &QPushButton::clicked, this, [this] { Finish(DeleteResistance); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ok);
  buttons->addWidget(remove);
  column->addLayout(buttons);
}

void ResistanceDialog::ShowResistanceDialog(Session& s, ResistanceDialogModel& model) {
  state_ = &s;
  model_ = &model;
  editValue_->setText(QString::fromStdString(model.value));
  labelLocation_->setText(QString::fromStdString(model.locationLine));
  labelConnection_->setText(QString::fromStdString(model.connectionLine));
  editValue_->setFocus();
  editValue_->selectAll();
  exec();
  state_ = nullptr;
  model_ = nullptr;
}

void ResistanceDialog::Finish(void (*action)(Session&, const ResistanceDialogModel&)) {
  if (!model_) return;
  model_->value = editValue_->text().toStdString();
  action(*state_, *model_);
  host_.EndPlacement();
  accept();
}

}  // namespace tarnisk
