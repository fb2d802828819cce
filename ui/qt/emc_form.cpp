#include "ui/qt/emc_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/analysis/extract_command.h"
#include "session/process/parametric_command.h"
#include "session/session.h"
#include "ui/qt/form_widgets.h"
#include "ui/qt/surface_canvas.h"

namespace tarnisk {

namespace {

// The measurement list, in list order, with its codes.
struct Measurement {
  const char* text;
  int code;
};
constexpr Measurement kMeasurements[] = {{"RiseDelay", kMeasureRiseDelay},
                                         {"Fall Delay", kMeasureFallDelay},
                                         {"Frequency", kMeasureFrequency},
                                         {"Dissipation", kMeasurePower},
                                         {"Crosstalk Amplitude", kMeasureCrosstalk}};
const char* kParameterItems[] = {"Temperature", "Power Supply", "Node Capacitance"};
const char* kParameterUnits[] = {"", "V", "fF"};
const char* kIdleCaption = "Start Analysis";

void SetFontColour(QPushButton* button, const char* colour) {
  button->setStyleSheet(QString("color: ") + colour);
}

}  // namespace

// Shows the sweep's progress in the window while it runs.
class TFormEmc::Observer : public SweepObserver {
 public:
  explicit Observer(TFormEmc& w) : w_(w) {}
  void Started(const std::string& header) override {
    w_.dataArray_->appendPlainText(QString::fromStdString(header));
  }
  void PointStarting(const std::string& caption) override {
    if (!w_.running_) return;
    w_.btnOk_->setText(QString::fromStdString(caption));
    yellow_ = !yellow_;
    SetFontColour(w_.btnOk_, yellow_ ? "yellow" : "black");
  }
  void PointDone(const SweepPoint& point, const std::string& line) override {
    w_.plot_.points.push_back(point);
    w_.draw2d_->Redraw();
    w_.dataArray_->appendPlainText(QString::fromStdString(line));
  }
  bool StopRequested() override { return !w_.running_; }

 private:
  TFormEmc& w_;
  bool yellow_ = true;
};

TFormEmc::TFormEmc(Session& state, std::function<void()> redrawLayout, QWidget* parent)
    : QDialog(parent), state_(state), redrawLayout_(std::move(redrawLayout)) {
  setObjectName("TFormEmc");
  setWindowTitle("Parametric Analysis");
  ranges_ = {SweepRange{1.0, 10.0, 1.0}, SweepRange{2.0, 5.0, 0.5}, SweepRange{2.0, 5.0, 0.5}};
  auto* row = new QHBoxLayout(this);
  row->addWidget(BuildLeft());
  row->addWidget(BuildRight(), 1);
  UpdateOptions();
  resize(980, 520);
}

QWidget* TFormEmc::BuildLeft() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  column->addWidget(new QLabel("Measurement", panel));
  listParams_ = Named(new QListWidget(panel), "ListParams");
  for (const Measurement& m : kMeasurements) listParams_->addItem(m.text);
  listParams_->setCurrentRow(0);
  listParams_->setMaximumHeight(110);
  connect(listParams_, &QListWidget::currentRowChanged, this, [this](int r) { ListParamsClick(r); });
  column->addWidget(listParams_);
  pages_ = Named(new QTabWidget(panel), "PageParams");
  pages_->addTab(BuildSpacingPage(), "Spacing");
  pages_->addTab(BuildVoltagePage(), "Voltage");
  pages_->addTab(BuildParametersPage(), "Parameters");
  column->addWidget(pages_, 1);
  auto* buttons = new QHBoxLayout();
  btnOk_ = FormButton("Start  Analysis", "btnOk", panel);
  QPushButton* cancel = FormButton("Cancel", "btnCancel", panel);
  connect(btnOk_, &QPushButton::clicked, this, [this] { btnOkClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  buttons->addWidget(btnOk_);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  return panel;
}

TFormEmc::RangeEdits TFormEmc::AddRange(QWidget* page, QFormLayout* form,
                                        std::array<QLabel*, 3>* units) {
  RangeEdits e{new QLineEdit(page), new QLineEdit(page), new QLineEdit(page)};
  const char* names[] = {"From", "To", "Step"};
  QLineEdit* edits[] = {e.from, e.to, e.step};
  for (int i = 0; i < 3; ++i) {
    edits[i]->setObjectName(QString("Edit") + names[i]);
    if (!units) {
      form->addRow(names[i], edits[i]);
      continue;
    }
    auto* line = new QHBoxLayout();
    line->addWidget(edits[i]);
    (*units)[size_t(i)] = new QLabel(page);
    line->addWidget((*units)[size_t(i)]);
    form->addRow(names[i], line);
  }
  return e;
}

QWidget* TFormEmc::BuildSpacingPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  form->addRow(new QLabel("Stretch across the line (\xC2\xB5m)", page));
  edits_[kSpacingPage] = AddRange(page, form, nullptr);
  logSpacing_ = Named(new QCheckBox("Logarithmic", page), "CheckLogSpacing");
  returnLayout_ = Named(new QCheckBox("Layout return to initial state", page), "CheckReturn");
  returnLayout_->setChecked(true);
  form->addRow(logSpacing_);
  form->addRow(returnLayout_);
  return page;
}

QWidget* TFormEmc::BuildVoltagePage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  nodes_ = Named(new QListWidget(page), "ListNodes");
  form->addRow(nodes_);
  edits_[kVoltagePage] = AddRange(page, form, nullptr);
  logVoltage_ = Named(new QCheckBox("Logarithmic", page), "CheckLogVoltage");
  form->addRow(logVoltage_);
  return page;
}

QWidget* TFormEmc::BuildParametersPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  comboParam_ = Named(new QComboBox(page), "ComboParam");
  for (const char* item : kParameterItems) comboParam_->addItem(item);
  connect(comboParam_, &QComboBox::currentIndexChanged, this, [this](int i) { ComboParamChange(i); });
  form->addRow(comboParam_);
  edits_[kParametersPage] = AddRange(page, form, &units_);
  returnParameter_ = Named(new QCheckBox("Returns to its initial state", page), "CheckReturnParams");
  returnParameter_->setChecked(true);
  form->addRow(returnParameter_);
  ComboParamChange(0);
  return page;
}

QWidget* TFormEmc::BuildRight() {
  auto* results = Named(new QTabWidget(this), "PageResults");
  auto* curve = new QWidget(results);
  auto* column = new QVBoxLayout(curve);
  draw2d_ = new SurfaceCanvas("draw2d", QSize(420, 300), curve);
  draw2d_->draw = [this](DrawingSurface& out) { PaintSweepPlot(out, plot_); };
  column->addWidget(draw2d_, 1);
  auto* scale = new QGroupBox("Change Vertical Scale", curve);
  auto* scaleRow = new QHBoxLayout(scale);
  QPushButton* smaller = FormButton("Smaller", "sbScaleSmall", scale);
  QPushButton* larger = FormButton("Larger", "sbScaleBig", scale);
  connect(smaller, &QPushButton::clicked, this, [this] { sbScaleSmallClick(); });
  connect(larger, &QPushButton::clicked, this, [this] { sbScaleBigClick(); });
  scaleRow->addWidget(smaller);
  scaleRow->addWidget(larger);
  column->addWidget(scale);
  results->addTab(curve, "Curve vs. spacing");
  dataArray_ = ReadOnlyText("DataArray", results);
  results->addTab(dataArray_, "Data Array");
  return results;
}

const QImage& TFormEmc::PlotImage() const { return draw2d_->Image(); }

std::string TFormEmc::DataArray() const { return dataArray_->toPlainText().toStdString(); }

void TFormEmc::Open(Point a, Point b) {
  line_ = {a, b};
  EnsureExtracted(state_);
  const SweepNodeChoice choice = SweepNodeNear(state_, line_);
  sweepNode_ = choice.node;
  UpdateOptions();
  const bool known = sweepNode_ >= 2 && sweepNode_ <= state_.layout.nodes.count;
  if (known) nodes_->setCurrentRow(sweepNode_ - 2);
  if (known && choice.byBox)
    comboParam_->setItemText(2, QString::fromStdString("Capa of " +
                                                       state_.layout.nodes.nodes[sweepNode_].name));
  show();
  raise();
}

void TFormEmc::UpdateOptions() {
  for (int page = 0; page < 3; ++page) {
    const SweepRange& r = ranges_[size_t(page)];
    const RangeEdits& e = edits_[size_t(page)];
    e.from->setText(QString::fromStdString(FormatFixed(r.from, 4, 2)));
    e.to->setText(QString::fromStdString(FormatFixed(r.to, 4, 2)));
    e.step->setText(QString::fromStdString(FormatFixed(r.step, 4, 2)));
  }
  nodes_->clear();
  for (int k = 2; k <= state_.layout.nodes.count; ++k)
    nodes_->addItem(QString::fromStdString(state_.layout.nodes.nodes[k].name));
  comboParam_->setItemText(2, kParameterItems[2]);
}

void TFormEmc::ReadRange(int page) {
  SweepRange& r = ranges_[size_t(page)];
  const RangeEdits& e = edits_[size_t(page)];
  for (auto [edit, value] : {std::pair{e.from, &r.from}, std::pair{e.to, &r.to},
                             std::pair{e.step, &r.step}}) {
    const ParsedNumber n = ParseNumber(edit->text().toStdString(), -1e9, 1e9, *value);
    if (n.ok) *value = n.value;  // a field that is not a number keeps its value
    edit->setText(QString::fromStdString(FormatFixed(*value, 4, 2)));
  }
  r.logarithmic = page == kSpacingPage   ? logSpacing_->isChecked()
                  : page == kVoltagePage ? logVoltage_->isChecked()
                                         : false;
}

SweepRequest TFormEmc::Request(int page) const {
  SweepRequest r;
  r.range = ranges_[size_t(page)];
  r.measure = measure_;
  r.line = line_;
  if (page == kSpacingPage) {
    r.parameter = SweepParameter::Spacing;
    r.restore = returnLayout_->isChecked();
  } else if (page == kVoltagePage) {
    r.parameter = SweepParameter::Voltage;
    const int row = nodes_->currentRow();
    r.node = row >= 0 ? row + 2 : 0;
  } else {
    const SweepParameter kinds[] = {SweepParameter::Temperature, SweepParameter::Supply,
                                    SweepParameter::Capacitance};
    r.parameter = kinds[std::clamp(comboParam_->currentIndex(), 0, 2)];
    r.node = sweepNode_;
    r.restore = returnParameter_->isChecked();
  }
  return r;
}

void TFormEmc::btnOkClick() {
  if (running_) {
    SetIdle();  // the sweep ends after the point under way
    return;
  }
  RunSweepOfPage(pages_->currentIndex());
}

void TFormEmc::RunSweepOfPage(int page) {
  ReadRange(page);
  running_ = true;
  btnOk_->setText(page == kVoltagePage ? "Running..." : "Stop Simu");
  SetFontColour(btnOk_, "yellow");
  plot_.measure = measure_;
  plot_.from = ranges_[size_t(page)].from;
  plot_.to = ranges_[size_t(page)].to;
  plot_.points.clear();
  draw2d_->Redraw();
  dataArray_->clear();
  Observer observer(*this);
  RunParametric(state_, Request(page), &observer);
  SetIdle();
  draw2d_->Redraw();
  if (redrawLayout_) redrawLayout_();
}

void TFormEmc::SetIdle() {
  running_ = false;
  btnOk_->setText(kIdleCaption);
  SetFontColour(btnOk_, "black");
}

void TFormEmc::btnCancelClick() { close(); }

void TFormEmc::closeEvent(QCloseEvent* event) {
  running_ = false;
  QDialog::closeEvent(event);
}

void TFormEmc::ListParamsClick(int row) {
  if (row < 0 || row >= int(std::size(kMeasurements))) return;
  ShowStatus(state_.platform, "Change parameter selection");
  measure_ = kMeasurements[row].code;
  plot_.measure = measure_;
  draw2d_->Redraw();
}

void TFormEmc::sbScaleBigClick() {
  ShowStatus(state_.platform, "Bigger scale...");
  plot_.verticalZoom *= 2;
  draw2d_->Redraw();
}

void TFormEmc::sbScaleSmallClick() {
  ShowStatus(state_.platform, "Smaller scale...");
  plot_.verticalZoom /= 2;
  draw2d_->Redraw();
}

void TFormEmc::ComboParamChange(int item) {
  if (item < 0 || item >= 3) return;
  for (QLabel* unit : units_)
    if (unit) unit->setText(kParameterUnits[item]);
}

}  // namespace tarnisk
