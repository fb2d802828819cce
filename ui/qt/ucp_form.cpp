#include "ui/qt/ucp_form.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <ctime>

#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/analysis/extract_command.h"
#include "session/process/ucp_command.h"
#include "session/session.h"
#include "ui/qt/form_widgets.h"

namespace tarnisk {

namespace {

QString Setting(double v) { return QString::fromStdString(FormatFixed(v, 5, 2)); }

// Text that is not a number leaves the old value.
void ReadSetting(const QLineEdit* edit, double& value) {
  const ParsedNumber n = ParseNumber(edit->text().toStdString(), -1e6, 1e6, value);
  if (n.ok) value = n.value;
}

}  // namespace

TFormUcp::TFormUcp(Session& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName("TFormUcp");
  setWindowTitle("Convert into .UCP");
  auto* row = new QHBoxLayout(this);
  text_ = ReadOnlyText("Memo", this);
  row->addWidget(text_, 2);
  auto* column = new QVBoxLayout();
  auto* parameters = new QGroupBox("Parameters", this);
  auto* form = new QFormLayout(parameters);
  space_ = new QLineEdit(parameters);
  space_->setObjectName("EditSpace");
  ground_ = new QLineEdit(parameters);
  ground_->setObjectName("EditGround");
  form->addRow("Space around :", space_);
  form->addRow("Ground Altitude :", ground_);
  column->addWidget(parameters);
  properties_ = new QTableWidget(0, 2, this);
  properties_->setObjectName("Properties");
  properties_->setHorizontalHeaderLabels({"Name", "Type"});
  properties_->verticalHeader()->hide();
  properties_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  column->addWidget(properties_, 1);
  QPushButton* convert = FormButton("Convert into UCP", "btnConvert", this);
  QPushButton* cancel = FormButton("Cancel", "btnCancel", this);
  column->addWidget(convert);
  column->addWidget(cancel);
  connect(convert, &QPushButton::clicked, this, [this] { btnConvertClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  row->addLayout(column, 1);
  resize(820, 480);
}

void TFormUcp::Open() {
  EnsureExtracted(state_);
  UPdateOptions();
  exec();
}

std::string TFormUcp::Text() const { return text_->toPlainText().toStdString(); }

void TFormUcp::UPdateOptions() {
  text_->clear();
  const std::vector<UcpProperty> rows = UcpProperties(state_.layout);
  properties_->setRowCount(int(rows.size()));
  for (int i = 0; i < int(rows.size()); ++i) {
    properties_->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(rows[size_t(i)].name)));
    properties_->setItem(i, 1, new QTableWidgetItem(QString::fromStdString(rows[size_t(i)].type)));
  }
  space_->setText(Setting(settings_.spaceAround));
  ground_->setText(Setting(settings_.groundAltitude));
}

void TFormUcp::btnConvertClick() {
  ShowStatus(state_.platform, "Convert");
  ReadSetting(space_, settings_.spaceAround);
  ReadSetting(ground_, settings_.groundAltitude);
  text_->clear();
  const UcpWriteResult result = ConvertToUcp(state_, settings_, std::time(nullptr));
  for (const std::string& line : result.file.lines) AddText(line);
}

void TFormUcp::btnCancelClick() {
  ShowStatus(state_.platform, "Cancel");
  reject();
}

void TFormUcp::AddText(const std::string& line) { text_->appendPlainText(QString::fromStdString(line)); }

}  // namespace tarnisk
