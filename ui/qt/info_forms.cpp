#include "ui/qt/info_forms.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/file_io.h"
#include "session/session.h"

namespace tarnisk {

TFormVersion::TFormVersion(Session& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName("TFormVersion");
  setWindowTitle("About Tarnisk");
  auto* column = new QVBoxLayout(this);
  auto* name = new QLabel("<b>Tarnisk</b>", this);
  name->setObjectName("LabelProduct");
  auto* version = new QLabel("Version 1.0", this);
  version->setObjectName("LabelVersion");
  labelTechnology_ = new QLabel(this);
  labelTechnology_->setObjectName("LabelTechnology");
  auto* credit = new QLabel("A CMOS layout editor and analyser for teaching, by the Tarnisk team.", this);
  credit->setObjectName("LabelCredit");
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  for (QWidget* w : std::initializer_list<QWidget*>{name, version, labelTechnology_, credit, ok})
    column->addWidget(w);
  connect(ok, &QPushButton::clicked, this, [this] { close(); });
}

void TFormVersion::Open() {
  labelTechnology_->setText(QString::fromStdString("Technology: " + state_.technology.Name + " (" +
                                                   state_.layout.wide.ruleFileName + ")"));
  show();
  raise();
}

TFormDebug::TFormDebug(QWidget* parent) : QDialog(parent) {
  setObjectName("TFormDebug");
  setWindowTitle("Debug");
  auto* column = new QVBoxLayout(this);
  checkDebug_ = new QCheckBox("Log status messages", this);
  checkDebug_->setObjectName("CheckDebug");
  memoDebug_ = new QPlainTextEdit(this);
  memoDebug_->setObjectName("MemoDebug");
  memoDebug_->setReadOnly(true);
  auto* buttons = new QHBoxLayout();
  auto* clear = new QPushButton("Clear", this);
  clear->setObjectName("btnClear");
  auto* save = new QPushButton("Save", this);
  save->setObjectName("btnSave");
  auto* hide = new QPushButton("Hide", this);
  hide->setObjectName("btnOK");
  for (QPushButton* b : {clear, save, hide}) buttons->addWidget(b);
  column->addWidget(checkDebug_);
  column->addWidget(memoDebug_, 1);
  column->addLayout(buttons);
  connect(clear, &QPushButton::clicked, this, [this] { btnClearClick(); });
  connect(save, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getSaveFileName(this, "Save the log", QString(),
                                                      "Text (*.txt);;All files (*)");
    if (!file.isEmpty()) SaveTo(file.toStdString());
  });
  connect(hide, &QPushButton::clicked, this, [this] { close(); });
  resize(600, 400);
}

void TFormDebug::SetLogging(bool on) { checkDebug_->setChecked(on); }
bool TFormDebug::Logging() const { return checkDebug_->isChecked(); }

void TFormDebug::Append(const std::string& message) {
  if (!Logging() || message.empty()) return;
  memoDebug_->appendPlainText(QTime::currentTime().toString("HH:mm:ss.zzz") + "  " +
                              QString::fromStdString(message));
}

std::string TFormDebug::Text() const { return memoDebug_->toPlainText().toStdString(); }

void TFormDebug::btnClearClick() { memoDebug_->clear(); }

bool TFormDebug::SaveTo(const std::string& path) { return WriteFileAtomically(path, Text() + "\n") == 0; }

}  // namespace tarnisk
