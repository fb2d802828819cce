#include "ui/qt/navigator_form.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/number_format.h"
#include "session/analysis/extract_command.h"
#include "session/editor/command_state.h"
#include "session/navigator/navigator_commands.h"
#include "session/session.h"
#include "ui/qt/surface_canvas.h"

namespace tarnisk {

namespace {

constexpr int kLegendWidth = 30, kStripeHeight = 2;

template <class Widget>
Widget* Named(Widget* w, const char* name) {
  w->setObjectName(name);
  return w;
}

QPushButton* Button(const char* text, const char* name, QWidget* parent) {
  auto* b = Named(new QPushButton(text, parent), name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

TFormAnalysis::TFormAnalysis(Session& state, std::function<void(int, const char*)> enterCommand,
                             std::function<void()> redrawLayout, QWidget* parent)
    : QDialog(parent),
      state_(state),
      enterCommand_(std::move(enterCommand)),
      redrawLayout_(std::move(redrawLayout)) {
  setObjectName("TFormAnalysis");
  setWindowTitle("Navigator");
  auto* column = new QVBoxLayout(this);
  pageControl_ = Named(new QTabWidget(this), "PageControl");
  pageControl_->addTab(BuildNodesPage(), "Nodes");
  pageControl_->addTab(BuildPropertiesPage(), "Properties");
  pageControl_->addTab(BuildDevicesPage(), "Devices");
  pageControl_->addTab(BuildCrosstalkPage(), "Crosstalk");
  column->addWidget(pageControl_);
  QPushButton* hide = Button("Hide", "btnOk", this);
  column->addWidget(hide);
  connect(hide, &QPushButton::clicked, this, [this] { this->hide(); });
  connect(pageControl_, &QTabWidget::currentChanged, this, [this](int p) { PageControlChange(p); });
  labelCapa_->setText("0.0 fF");
  labelRes_->setText("0 ohm");
  editName_->setText("<unknown>");
  UpdateLabelScale();
}

QWidget* TFormAnalysis::BuildNodesPage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  listNodes_ = Named(new QListWidget(page), "ListNodes");
  vssVddBox_ = Named(new QCheckBox("Vss,Vdd in List", page), "VssVddBox");
  QPushButton* extract = Button("Extract", "btnExtract", page);
  QPushButton* histogram = Button("Histogram", "btnHisto", page);
  checkFiltering_ = Named(new QCheckBox("Filtering", page), "checkFiltering");
  filterEdit_ = Named(new QLineEdit(page), "FilterEdit");
  auto* filter = new QHBoxLayout();
  filter->addWidget(checkFiltering_);
  filter->addWidget(filterEdit_);
  filter->addWidget(new QLabel("\xC2\xB5m", page));
  column->addWidget(listNodes_, 1);
  column->addWidget(vssVddBox_);
  column->addLayout(filter);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(extract);
  buttons->addWidget(histogram);
  column->addLayout(buttons);
  connect(listNodes_, &QListWidget::currentRowChanged, this, [this](int r) { ListNodesClick(r); });
  connect(vssVddBox_, &QCheckBox::clicked, this, [this] { VssVddBoxClick(); });
  connect(extract, &QPushButton::clicked, this, [this] { btnExtractClick(); });
  connect(histogram, &QPushButton::clicked, this, [this] { btnHistoClick(); });
  connect(checkFiltering_, &QCheckBox::clicked, this, [this] { checkFilteringClick(); });
  connect(filterEdit_, &QLineEdit::editingFinished, this, [this] { FilterEditChange(); });
  return page;
}

QWidget* TFormAnalysis::BuildPropertiesPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  editName_ = Named(new QLineEdit(page), "EditName");
  editProp_ = Named(new QLineEdit(page), "EditProp");
  checkVisible_ = Named(new QCheckBox("visible", page), "CheckVisible");
  labelCapa_ = Named(new QLabel(page), "LabelCapa");
  editNumber_ = Named(new QLineEdit(page), "EditNumber");
  labelLength_ = Named(new QLabel(page), "LabelLength");
  labelRes_ = Named(new QLabel(page), "LabelRes");
  for (QLineEdit* e : {editName_, editProp_, editNumber_}) e->setReadOnly(true);
  checkVisible_->setEnabled(false);
  form->addRow("Name", editName_);
  form->addRow("Property", editProp_);
  form->addRow("", checkVisible_);
  form->addRow("Capacitance", labelCapa_);
  form->addRow("Number", editNumber_);
  form->addRow("Length", labelLength_);
  form->addRow("Resistance", labelRes_);
  return page;
}

QWidget* TFormAnalysis::BuildDevicesPage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  gridMos_ = Named(new QTableWidget(1, 3, page), "GridMos");
  gridMos_->horizontalHeader()->hide();
  gridMos_->verticalHeader()->hide();
  gridMos_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  checkAllDev_ = Named(new QCheckBox("List all devices", page), "CheckAllDev");
  checkAllDev_->setChecked(true);
  column->addWidget(gridMos_, 1);
  column->addWidget(checkAllDev_);
  connect(gridMos_, &QTableWidget::cellClicked, this, [this](int r, int) { GridMosClick(r); });
  connect(checkAllDev_, &QCheckBox::clicked, this, [this] { CheckAllDevClick(); });
  return page;
}

QWidget* TFormAnalysis::BuildCrosstalkPage() {
  auto* page = new QWidget(this);
  auto* row = new QHBoxLayout(page);
  auto* scale = new QVBoxLayout();
  labelHigh_ = Named(new QLabel("5.0V", page), "LabelHigh");
  legend_ = new SurfaceCanvas("PaintScale", QSize(kLegendWidth, 66 * kStripeHeight), page);
  legend_->setMaximumWidth(kLegendWidth);
  legend_->draw = [this](DrawingSurface& out) { DrawLegend(out); };
  scale->addWidget(labelHigh_);
  scale->addWidget(legend_, 1);
  scale->addWidget(new QLabel("0.0 V", page));
  row->addLayout(scale);
  auto* buttons = new QVBoxLayout();
  QPushButton* lower = Button("-", "btnLower", page);
  QPushButton* higher = Button("+", "btnHighier", page);
  QPushButton* flat = Button("Flat analysis", "btnFlat", page);
  QPushButton* point = Button("Crosstalk at a point", "btnCrosstalkPoint", page);
  QPushButton* noise = Button("Noise view", "btnNoise", page);
  for (QPushButton* b : {lower, higher, flat, point, noise}) buttons->addWidget(b);
  buttons->addStretch(1);
  row->addLayout(buttons, 1);
  connect(lower, &QPushButton::clicked, this, [this] { btnLowerClick(); });
  connect(higher, &QPushButton::clicked, this, [this] { btnHighierClick(); });
  connect(flat, &QPushButton::clicked, this, [this] {
    FlatCrosstalk(state_);
    AfterLayoutChange();
  });
  connect(point, &QPushButton::clicked, this, [this] {
    enterCommand_(kCommandCrosstalk, "Click in the layout the node to analyse...");
  });
  connect(noise, &QPushButton::clicked, this, [this] {
    NoiseView(state_);
    AfterLayoutChange();
  });
  return page;
}

void TFormAnalysis::DrawLegend(DrawingSurface& out) const {
  out.Clear(MakeColour(240, 240, 240));
  const int bottom = out.Height();
  for (const auto& [stripe, colour] : LegendStripes()) {
    out.SetPen(colour, 1, PenStyle::Solid, PenMode::Copy);
    out.SetBrush(colour);
    out.FillRect(0, bottom - kStripeHeight * stripe - kStripeHeight, kLegendWidth,
                 bottom - kStripeHeight * stripe);
  }
}

void TFormAnalysis::AfterLayoutChange() {
  redrawLayout_();
  UpdateOptions();
}

void TFormAnalysis::ShowNavigator() {
  UpdateOptions();
  pageControl_->blockSignals(true);
  pageControl_->setCurrentIndex(state_.navigator.page);
  pageControl_->blockSignals(false);
  show();
  raise();
}

void TFormAnalysis::UpdateOptions() {
  const NavigatorState& n = state_.navigator;
  vssVddBox_->setChecked(n.supplyInList);
  checkFiltering_->setChecked(state_.extractOptions.ignoreShortInterconnects);
  filterEdit_->setText(QString::fromStdString(FormatFixed(state_.extractOptions.ignoreThreshold, 0, 0)));
  checkAllDev_->setChecked(n.listAllDevices);
  listNodes_->blockSignals(true);
  listNodes_->clear();
  for (const NavigatorEntry& e : n.list) listNodes_->addItem(QString::fromStdString(e.text));
  listNodes_->blockSignals(false);
  UpdateNodeProps();
  UpdateListMos();
  UpdateLabelScale();
  legend_->Redraw();
}

void TFormAnalysis::UpdateNodeProps() {
  const NodeProperties& p = state_.navigator.properties;
  if (p.node < 0 && p.capacitance.empty()) return;
  editName_->setText(QString::fromStdString(p.name));
  editProp_->setText(QString::fromStdString(p.property));
  checkVisible_->setChecked(p.visible);
  checkVisible_->setText(QString::fromStdString(p.visibility.empty() ? "visible" : p.visibility));
  labelCapa_->setText(QString::fromStdString(p.capacitance));
  editNumber_->setText(QString::fromStdString(p.number));
  labelLength_->setText(QString::fromStdString(p.length));
  labelRes_->setText(QString::fromStdString(p.resistance));
}

void TFormAnalysis::UpdateListMos() {
  const std::vector<DeviceRow>& rows = state_.navigator.devices;
  gridMos_->setRowCount(int(rows.size()) + 1);
  const char* header[] = {"MOS", "W(\xC2\xB5m)", "L(\xC2\xB5m)"};
  for (int c = 0; c < 3; ++c) gridMos_->setItem(0, c, new QTableWidgetItem(header[c]));
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::string cells[] = {rows[r].name, rows[r].w, rows[r].l};
    for (int c = 0; c < 3; ++c)
      gridMos_->setItem(int(r) + 1, c, new QTableWidgetItem(QString::fromStdString(cells[c])));
  }
}

void TFormAnalysis::UpdateLabelScale() {
  labelHigh_->setText(
      QString::fromStdString(ScaleLabel(state_.technology.VDD, state_.navigator.gain)));
}

void TFormAnalysis::btnExtractClick() {
  EnsureExtracted(state_);
  UpdateListNodes();
}

void TFormAnalysis::UpdateListNodes() {
  tarnisk::UpdateListNodes(state_);
  tarnisk::UpdateListMos(state_, -1);
  state_.navigator.listAllDevices = true;
  UpdateOptions();
}

void TFormAnalysis::ListNodesClick(int row) {
  state_.navigator.page = pageControl_->currentIndex();
  SelectListEntry(state_, row);
  redrawLayout_();
  UpdateNodeProps();
}

void TFormAnalysis::VssVddBoxClick() {
  SetSupplyInList(state_, vssVddBox_->isChecked());
  UpdateOptions();
}

void TFormAnalysis::FilterEditChange() {
  SetFilterThreshold(state_, filterEdit_->text().toStdString());
}

void TFormAnalysis::checkFilteringClick() {
  SetFilterThreshold(state_, filterEdit_->text().toStdString());
  SetFiltering(state_, checkFiltering_->isChecked());
  UpdateListNodes();
}

void TFormAnalysis::btnHistoClick() {
  ShowHistogram(state_);
  UpdateOptions();
}

void TFormAnalysis::btnLowerClick() {
  LowerCrosstalkScale(state_);
  AfterLayoutChange();
}

void TFormAnalysis::btnHighierClick() {
  HigherCrosstalkScale(state_);
  AfterLayoutChange();
}

void TFormAnalysis::GridMosClick(int row) {
  if (row < 1) return;
  LocateDevice(state_, row - 1);
  redrawLayout_();
}

void TFormAnalysis::CheckAllDevClick() {
  SetListAllDevices(state_, checkAllDev_->isChecked());
  UpdateListMos();
}

void TFormAnalysis::PageControlChange(int page) { state_.navigator.page = page; }

}  // namespace tarnisk
