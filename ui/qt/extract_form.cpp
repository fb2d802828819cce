#include "ui/qt/extract_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/file_io.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "core/utf8.h"
#include "session/analysis/extract_command.h"
#include "session/editor/view.h"
#include "session/session.h"

namespace tarnisk {

namespace {

// Radio items of "DataBase" in their order, and the cleaning mode of each.
constexpr int kCleaningOfItem[] = {kPurgeAndMerge, kPurgeOnly, kMergeOnly, kFastExtraction};

const QString kSpiceTitle = "Spice File :";

QButtonGroup* RadioGroup(QGroupBox* box, const char* name, std::initializer_list<const char*> items) {
  auto* group = new QButtonGroup(box);
  group->setObjectName(name);
  auto* column = new QVBoxLayout(box);
  int id = 0;
  for (const char* item : items) {
    auto* radio = new QRadioButton(item, box);
    group->addButton(radio, id++);
    column->addWidget(radio);
  }
  return group;
}

QCheckBox* NamedCheck(const char* name, const char* caption, QWidget* parent) {
  auto* check = new QCheckBox(caption, parent);
  check->setObjectName(name);
  return check;
}

QLineEdit* NamedEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

}  // namespace

TFormExtract::TFormExtract(Session& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName("TFormExtract");
  setWindowTitle("Extraction");
  auto* column = new QVBoxLayout(this);
  pageControl_ = new QTabWidget(this);
  pageControl_->setObjectName("PageControl");
  pageControl_->addTab(BuildOptionsPage(), "Options");
  pageControl_->addTab(BuildModelsPage(), "Models, Parameters");
  column->addWidget(pageControl_);
  column->addWidget(BuildSpiceBox(), 1);
  auto* buttons = new QHBoxLayout();
  auto* apply = new QPushButton("Extract", this);
  apply->setObjectName("btnApply");
  auto* ok = new QPushButton("Quit", this);
  ok->setObjectName("btnOK");
  buttons->addWidget(apply);
  buttons->addWidget(ok);
  column->addLayout(buttons);
  connect(apply, &QPushButton::clicked, this, [this] { btnApplyClick(); });
  connect(ok, &QPushButton::clicked, this, [this] { btnOKClick(); });
  resize(560, 620);
}

QWidget* TFormExtract::BuildOptionsPage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  auto* cleaning = new QGroupBox("DataBase", page);
  radioCleaning_ = RadioGroup(cleaning, "RadioCleaning",
                              {"Purge and Merge", "Purge Only", "Merge Only", "Fast Extraction"});
  column->addWidget(cleaning);
  checkSpice_ = NamedCheck("CheckSpice", "Generate a SPICE file after extraction", page);
  checkCrosstalk_ = NamedCheck("CheckCrosstalk", "Handle Lateral Crosstalk", page);
  checkOverlap_ = NamedCheck("CheckOverlap", "Handle vertical Crosstalk", page);
  checkDump_ = NamedCheck("CheckDump", "Dump Simulation in .DAT text file", page);
  for (QCheckBox* check : {checkSpice_, checkCrosstalk_, checkOverlap_, checkDump_})
    column->addWidget(check);
  connect(radioCleaning_, &QButtonGroup::idClicked, this, [this](int id) { RadioCleaningClick(id); });
  connect(checkSpice_, &QCheckBox::clicked, this, [this] { CheckSpiceClick(); });
  connect(checkCrosstalk_, &QCheckBox::clicked, this, [this] { CheckCrosstalkClick(); });
  connect(checkOverlap_, &QCheckBox::clicked, this, [this] { CheckOverlapClick(); });
  connect(checkDump_, &QCheckBox::clicked, this, [this] { CheckDumpClick(); });
  return page;
}

QWidget* TFormExtract::BuildModelsPage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  auto* model = new QGroupBox("Use MOS Model", page);
  radioModel_ = RadioGroup(model, "RadioModel",
                           {"Berkeley SPICE Level 1", "Berkeley SPICE Level 3",
                            "Philips MOS Model 9 (MM9)"});
  column->addWidget(model);
  auto* form = new QFormLayout();
  editSupply_ = NamedEdit("EditSupply", page);
  editTemperature_ = NamedEdit("EditTemperature", page);
  form->addRow("Power Supply (V) :", editSupply_);
  form->addRow("Temperature (\xC2\xB0" "C)", editTemperature_);
  column->addLayout(form);
  column->addStretch(1);
  connect(radioModel_, &QButtonGroup::idClicked, this, [this](int id) { RadioModelClick(id); });
  return page;
}

QGroupBox* TFormExtract::BuildSpiceBox() {
  groupSpice_ = new QGroupBox(kSpiceTitle, this);
  groupSpice_->setObjectName("GroupSpice");
  auto* column = new QVBoxLayout(groupSpice_);
  memoSpice_ = new QPlainTextEdit(groupSpice_);
  memoSpice_->setObjectName("MemoSpice");
  memoSpice_->setReadOnly(true);
  memoSpice_->setLineWrapMode(QPlainTextEdit::NoWrap);
  column->addWidget(memoSpice_);
  return groupSpice_;
}

void TFormExtract::Open(Page page) {
  UpdateOptions();
  pageControl_->setCurrentIndex(page);
  show();
  raise();
}

void TFormExtract::UpdateOptions() {
  const ExtractOptions& o = state_.extractOptions;
  for (int item = 0; item < 4; ++item)
    if (kCleaningOfItem[item] == o.cleaningMode) radioCleaning_->button(item)->setChecked(true);
  checkSpice_->setChecked(o.spiceAfterExtraction);
  checkCrosstalk_->setChecked(o.lateralCrosstalk);
  checkOverlap_->setChecked(o.verticalCrosstalk);
  checkDump_->setChecked(o.dumpSimulation);
  if (QAbstractButton* model = radioModel_->button(o.modelLevel)) model->setChecked(true);
  editTemperature_->setText(QString::fromStdString(FormatFixed(state_.technology.TEMP, 4, 2)));
  editSupply_->setText(QString::fromStdString(FormatFixed(state_.technology.VDD, 4, 2)));
}

void TFormExtract::ShowSpiceFile(const std::string& path) {
  std::string text;
  ReadWholeFile(path, text);
  memoSpice_->setPlainText(QString::fromStdString(ValidUtf8(text)));
  groupSpice_->setTitle(kSpiceTitle + QString::fromStdString(path));
}

// The listing was the old layout's netlist.
void TFormExtract::LayoutReplaced() {
  memoSpice_->clear();
  groupSpice_->setTitle(kSpiceTitle);
}

void TFormExtract::btnApplyClick() {
  state_.layout.wide.extracted = 0;
  const bool complete = EnsureExtracted(state_);
  Redraw(state_);  // the diffusion is now cut along the poly edges
  ShowStatus(state_.platform, state_.circuit.summary);
  const ExtractOptions& o = state_.extractOptions;
  if (!complete || !o.spiceAfterExtraction) return;
  // A layout never saved is written beside the working directory's files.
  const std::string& current = state_.layout.wide.currentFileName;
  const std::string layout = current.empty() ? "noname.msk" : current;
  // The deck's transient runs as long as the simulation window's time scale.
  if (SaveSpiceFile(state_, layout, state_.simulation.SimLength) == 0)
    ShowSpiceFile(SpiceFileName(layout));
}

void TFormExtract::btnOKClick() {
  ShowStatus(state_.platform, "Quit extract menu");
  Technology& t = state_.technology;
  const ParsedNumber vdd = ParseNumber(editSupply_->text().toStdString(), 0, 10, 5);
  if (vdd.ok) t.VDD = vdd.value;
  const ParsedNumber temp = ParseNumber(editTemperature_->text().toStdString(), -270, 300, 27);
  if (temp.ok) t.TEMP = temp.value;
  close();
}

void TFormExtract::RadioCleaningClick(int item) {
  state_.extractOptions.cleaningMode = kCleaningOfItem[item];
}

void TFormExtract::CheckSpiceClick() {
  const bool on = checkSpice_->isChecked();
  state_.extractOptions.spiceAfterExtraction = on;
  ShowStatus(state_.platform, on ? "Always generate SPICE file after extraction"
                                 : "Do not generate SPICE file after extraction");
}

void TFormExtract::CheckCrosstalkClick() {
  state_.extractOptions.lateralCrosstalk = checkCrosstalk_->isChecked();
  ShowStatus(state_.platform, "Handle lateral crosstalk");
  state_.layout.wide.extracted = 0;
}

void TFormExtract::CheckOverlapClick() {
  state_.extractOptions.verticalCrosstalk = checkOverlap_->isChecked();
  ShowStatus(state_.platform, "Handle overlap");
  state_.layout.wide.extracted = 0;
}

void TFormExtract::RadioModelClick(int item) {
  ShowStatus(state_.platform, "Select the model");
  state_.extractOptions.modelLevel = item;
  state_.layout.wide.extracted = 0;
}

void TFormExtract::CheckDumpClick() {
  state_.extractOptions.dumpSimulation = checkDump_->isChecked();
}

}  // namespace tarnisk
