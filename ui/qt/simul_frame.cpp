#include "ui/qt/simul_frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "core/number_format.h"
#include "session/analysis/layout_animation.h"
#include "session/analysis/simulate.h"
#include "session/analysis/simulation_plot.h"
#include "session/editor/view.h"
#include "session/session.h"
#include "ui/qt/form_widgets.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

// The plot area: an image drawn by the simulation plot, repainted as the
// points of a run arrive. A resize gives the plot a new image, on which the
// window draws the points kept again.
class SimulationCanvas : public QWidget, public SimulationView {
 public:
  explicit SimulationCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName("drawSimu");
    setMinimumSize(400, 240);
    Resize(minimumSize());
  }
  SimulationPlot& Plot() { return *plot_; }
  const QImage& Image() const { return surface_->Image(); }
  std::function<void()> resized;

  void PlottedStep(const Simulation& s, int column) override {
    plot_->PlottedStep(s, column);
    update();
  }
  void DcPoint(const Simulation& s, int column, double x, double y) override {
    plot_->DcPoint(s, column, x, y);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, surface_->Image()); }
  void resizeEvent(QResizeEvent*) override {
    Resize(size());
    if (resized) resized();
  }

 private:
  void Resize(QSize size) {
    auto surface = std::make_unique<ImageSurface>(size.width(), size.height());
    if (plot_) plot_->SetSurface(*surface);
    else plot_ = std::make_unique<SimulationPlot>(*surface);
    surface_ = std::move(surface);
  }
  std::unique_ptr<ImageSurface> surface_;
  std::unique_ptr<SimulationPlot> plot_;
};

namespace {

// The mode of each tab, in tab order.
constexpr uint8_t kModeOfTab[] = {kSimVoltageTime, kSimCurrents, kSimDc};
constexpr int kTimeScalesNs[] = {1, 2, 5, 10, 20, 50, 100, 200, 400};
constexpr int kDefaultTimeScale = 4;  // "20 ns"
struct CurrentScale {
  const char* text;
  double amperes;
};
constexpr CurrentScale kCurrentScales[] = {
    {"10 uA", 10e-6}, {"50 uA", 50e-6}, {"100 uA", 100e-6}, {"500 uA", 500e-6},
    {"1 mA", 1e-3},   {"5 mA", 5e-3},   {"10 mA", 10e-3},   {"50 mA", 50e-3},
    {"100 mA", 0.1},  {"500 mA", 0.5},  {"1 A", 1.0}};
constexpr int kDefaultCurrentScale = 4;  // "1 mA"

}  // namespace

TsimulFrame::TsimulFrame(Session& state, std::function<void()> openOptions, QWidget* parent)
    : QDialog(parent), state_(state), openOptions_(std::move(openOptions)) {
  setObjectName("TsimulFrame");
  setWindowTitle("Simulation");
  auto* row = new QHBoxLayout(this);
  auto* column = new QVBoxLayout();
  simulMode_ = Named(new QTabBar(this), "SimulMode");
  for (const char* tab : {" Voltage vs. time", "Voltages and currents", "Voltage vs. voltage"})
    simulMode_->addTab(tab);
  drawSimu_ = new SimulationCanvas(this);
  column->addWidget(simulMode_);
  column->addWidget(drawSimu_, 1);
  row->addLayout(column, 1);
  row->addWidget(BuildControls());
  simulFrameCreate();
  connect(simulMode_, &QTabBar::currentChanged, this, [this](int tab) { SimulModeChange(tab); });
  drawSimu_->resized = [this] { FormResize(); };
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

QWidget* TsimulFrame::BuildControls() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  column->addWidget(BuildDelayGroup());
  column->addWidget(BuildCurrentGroup());
  auto* form = new QFormLayout();
  comboScaleX_ = Named(new QComboBox(panel), "ComboScaleX");
  editDt_ = Named(new QLineEdit(panel), "EditDt");
  form->addRow("Time scale", comboScaleX_);
  form->addRow("Step (ps)", editDt_);
  column->addLayout(form);
  checkMinMax_ = Named(new QCheckBox("min/max", panel), "CheckMinMax");
  comboCtk_ = Named(new QComboBox(panel), "ComboCtk");
  checkFreq_ = Named(new QCheckBox("frequency", panel), "CheckFreq");
  for (QWidget* w : std::initializer_list<QWidget*>{checkMinMax_, comboCtk_, checkFreq_})
    column->addWidget(w);
  column->addStretch(1);
  column->addWidget(BuildButtons());
  connect(comboScaleX_, &QComboBox::activated, this, [this](int i) { ComboScaleXChange(i); });
  connect(checkMinMax_, &QCheckBox::clicked, this, [this] { CheckHandleCtkClick(); });
  connect(comboCtk_, &QComboBox::activated, this, [this](int i) { ComboCtkChange(i); });
  connect(checkFreq_, &QCheckBox::clicked, this, [this] { CheckFreqClick(); });
  return panel;
}

QGroupBox* TsimulFrame::BuildDelayGroup() {
  groupDelay_ = Named(new QGroupBox("Delay", this), "GroupDelay");
  auto* form = new QFormLayout(groupDelay_);
  labelStart_ = new QLabel("Start node", groupDelay_);
  labelStop_ = new QLabel("Stop node", groupDelay_);
  comboStart_ = Named(new QComboBox(groupDelay_), "ComboStart");
  comboStop_ = Named(new QComboBox(groupDelay_), "ComboStop");
  form->addRow(labelStart_, comboStart_);
  form->addRow(labelStop_, comboStop_);
  connect(comboStart_, &QComboBox::activated, this, [this](int i) { ComboStartChange(i); });
  connect(comboStop_, &QComboBox::activated, this, [this](int i) { ComboStopChange(i); });
  return groupDelay_;
}

QGroupBox* TsimulFrame::BuildCurrentGroup() {
  groupCurrent_ = Named(new QGroupBox("Current", this), "GroupCurrent");
  auto* form = new QFormLayout(groupCurrent_);
  comboListI_ = Named(new QComboBox(groupCurrent_), "ComboListI");
  comboCurrent_ = Named(new QComboBox(groupCurrent_), "ComboCurrent");
  form->addRow("Available I", comboListI_);
  form->addRow("Scale I", comboCurrent_);
  connect(comboCurrent_, &QComboBox::activated, this, [this](int i) { ComboCurrentChange(i); });
  connect(comboListI_, &QComboBox::activated, this, [this](int i) { ComboListIChange(i); });
  return groupCurrent_;
}

QWidget* TsimulFrame::BuildButtons() {
  auto* panel = new QWidget(this);
  auto* grid = new QVBoxLayout(panel);
  more_ = Named(new QPushButton("Simulate", panel), "More");
  btnReset_ = Named(new QPushButton("Reset", panel), "btnReset");
  btnStop_ = Named(new QPushButton("Stop", panel), "btnStop");
  auto* editor = Named(new QPushButton("Editor", panel), "btnEditor");
  auto* params = Named(new QPushButton("Parameters", panel), "sbParams");
  for (QPushButton* b : {more_, btnReset_, btnStop_, editor, params}) {
    b->setAutoDefault(false);
    grid->addWidget(b);
  }
  connect(more_, &QPushButton::clicked, this, [this] { MoreClick(); });
  connect(btnReset_, &QPushButton::clicked, this, [this] { btnResetClick(); });
  connect(btnStop_, &QPushButton::clicked, this, [this] { btnStopClick(); });
  connect(editor, &QPushButton::clicked, this, [this] { btnEditorClick(); });
  connect(params, &QPushButton::clicked, this, [this] { sbParamsClick(); });
  return panel;
}

void TsimulFrame::simulFrameCreate() {
  const SimulationState& m = state_.simulation;
  for (int ns : kTimeScalesNs) comboScaleX_->addItem(QString::number(ns) + " ns");
  comboScaleX_->setCurrentIndex(kDefaultTimeScale);
  ShowStatus(state_.platform, "Create Time scale");
  for (const CurrentScale& scale : kCurrentScales) comboCurrent_->addItem(scale.text);
  comboCurrent_->setCurrentIndex(kDefaultCurrentScale);
  ShowStatus(state_.platform, "Current scale loaded");
  checkMinMax_->setChecked(m.MinMaxOn);
  checkFreq_->setChecked(m.FreqOn);
  ShowStep();
  ShowMode();
  if (parentWidget()) resize(parentWidget()->size() * 0.9);
}

const QImage& TsimulFrame::PlotImage() const { return drawSimu_->Image(); }

void TsimulFrame::ShowStep() {
  editDt_->setText(QString::fromStdString(FormatFixed(state_.simulation.TimeStep * 1e12, 0, 1)));
}

// Labels and enables the controls for the present mode.
void TsimulFrame::ShowMode() {
  const uint8_t mode = state_.simulation.SimMode;
  const bool dc = mode == kSimDc;
  groupDelay_->setTitle(dc ? "Select" : "Delay");
  labelStart_->setText(dc ? "X Axis" : "Start node");
  labelStop_->setText(dc ? "Y Axis" : "Stop node");
  checkMinMax_->setText(dc ? "Y at vdd/2" : "min/max");
  groupCurrent_->setVisible(mode == kSimCurrents);
  for (QWidget* w : std::initializer_list<QWidget*>{comboCtk_, checkFreq_, editDt_})
    w->setEnabled(!dc);
}

bool TsimulFrame::ExtractForSimulation() {
  const bool complete = PrepareSimulation(state_);
  Redraw(state_);  // the diffusion is now cut along the poly edges
  if (!complete) {
    ShowStatus(state_.platform, state_.circuit.summary);
    return false;
  }
  nodeListsCurrent_ = false;
  return true;
}

void TsimulFrame::StartSimulation() {
  if (!ExtractForSimulation()) return;
  setWindowTitle(QString::fromStdString(state_.simulation.caption));
  show();
  raise();
  activateWindow();
  FormActivate();
}

void TsimulFrame::SimulateOnLayout(std::function<void()> stepDrawn) {
  if (ExtractForSimulation()) tarnisk::SimulateOnLayout(state_, std::move(stepDrawn));
}

void TsimulFrame::FormActivate() {
  ShowStatus(state_.platform, "Activate the analog simulator");
  ShowStep();
  if (!nodeListsCurrent_) FillNodeLists();
  Run(true);
}

void TsimulFrame::FillNodeLists() {
  Simulation simulation = SimulationOf(state_);
  const std::string summary = AssignNodes(simulation);
  const SimulationState& m = state_.simulation;
  for (QComboBox* combo : {comboStart_, comboStop_, comboCtk_}) {
    combo->clear();
    for (int k : m.nodeList)
      combo->addItem(QString::fromStdString(state_.layout.nodes.nodes[k].name));
  }
  const auto select = [&](QComboBox* combo, int node) {
    const auto it = std::find(m.nodeList.begin(), m.nodeList.end(), node);
    combo->setCurrentIndex(it == m.nodeList.end() ? -1 : int(it - m.nodeList.begin()));
  };
  select(comboStart_, m.StartNode);
  select(comboStop_, m.StopNode);
  select(comboCtk_, m.WatchNode);
  comboListI_->clear();
  for (const std::string& device : m.deviceList) comboListI_->addItem(QString::fromStdString(device));
  comboListI_->setCurrentIndex(m.currentDevice);
  nodeListsCurrent_ = true;
  ShowStatus(state_.platform, summary);
}

void TsimulFrame::Run(bool redrawAxes) {
  SimulationState& m = state_.simulation;
  if (m.Running) return;  // a run is already going on in an outer handler
  if (m.SimMode != kSimDc) {
    ApplyStepField(m, editDt_->text().toStdString());
    redrawAxes = true;
  }
  m.plotWidth = drawSimu_->Plot().PlotWidth();
  Simulation simulation = SimulationOf(state_);
  if (redrawAxes) drawSimu_->Plot().DrawAxes(simulation, fullScaleCurrent_);
  drawSimu_->update();
  SetRunning(true);
  RunSimulation(simulation, drawSimu_);
  SetRunning(false);
  drawSimu_->update();
}

// While a run goes on, only the controls that do not start another run are
// left enabled.
void TsimulFrame::SetRunning(bool running) {
  for (QWidget* w : std::initializer_list<QWidget*>{simulMode_, more_, btnReset_, comboScaleX_,
                                                    comboCurrent_, comboStart_, comboStop_})
    w->setEnabled(!running);
}

void TsimulFrame::SimulModeChange(int tab) {
  if (tab < 0 || tab >= int(std::size(kModeOfTab))) return;
  state_.simulation.SimMode = kModeOfTab[tab];
  ShowMode();
  Run(true);
}

void TsimulFrame::MoreClick() { Run(false); }

void TsimulFrame::btnResetClick() {
  state_.simulation.SimTime = 0;
  Run(true);
}

void TsimulFrame::btnStopClick() { RequestStop(state_.simulation); }

void TsimulFrame::btnEditorClick() {
  if (state_.simulation.Running) {
    RequestStop(state_.simulation);
    return;
  }
  hide();
  if (parentWidget()) parentWidget()->raise();
}

void TsimulFrame::sbParamsClick() { openOptions_(); }

int TsimulFrame::NodeOfItem(int item) const {
  const std::vector<int>& list = state_.simulation.nodeList;
  if (item < 0 || item >= int(list.size())) return 0;
  const int node = list[item];
  return node >= 1 && node <= state_.layout.nodes.count ? node : 0;
}

std::string TsimulFrame::NodeText(int node) const {
  return std::to_string(node) + " \"" + state_.layout.nodes.nodes[node].name + "\"";
}

void TsimulFrame::ComboStartChange(int item) {
  const int node = NodeOfItem(item);
  if (node == 0) return;
  state_.simulation.StartNode = node;
  ShowStatus(state_.platform, (state_.simulation.SimMode == kSimDc
                                   ? "Selected X axis node is n°"
                                   : "Selected start node for delay computation is n°") +
                                  NodeText(node));
}

void TsimulFrame::ComboStopChange(int item) {
  const int node = NodeOfItem(item);
  if (node == 0) return;
  state_.simulation.StopNode = node;
  ShowStatus(state_.platform, (state_.simulation.SimMode == kSimDc
                                   ? "Selected Y node is n°"
                                   : "Selected stop node for delay computation is n°") +
                                  NodeText(node));
}

void TsimulFrame::ComboScaleXChange(int item) {
  if (item < 0 || item >= int(std::size(kTimeScalesNs))) return;
  SimulationState& m = state_.simulation;
  m.SimLength = kTimeScalesNs[item] * 1e-9;
  FormResize();
  ShowStatus(state_.platform,
             "New time length is " + FormatFixed(m.SimLength * 1e9, 5, 3) + " ns");
}

void TsimulFrame::ComboCurrentChange(int item) {
  if (item < 0 || item >= int(std::size(kCurrentScales))) return;
  ShowStatus(state_.platform, "Change current scale");
  fullScaleCurrent_ = kCurrentScales[item].amperes;
  FormResize();
}

// The currents kept are those of the device chosen before.
void TsimulFrame::ComboListIChange(int item) {
  if (SelectDeviceCurrent(state_.simulation, item)) ClearPlot();
}

void TsimulFrame::CheckHandleCtkClick() {
  const bool on = checkMinMax_->isChecked();
  state_.simulation.MinMaxOn = on;
  ShowStatus(state_.platform, on ? "Enable min/max computing" : "Disable min/max computing");
}

void TsimulFrame::ComboCtkChange(int item) {
  ShowStatus(state_.platform, "Change node for crosstalk computation ...");
  const int node = NodeOfItem(item);
  if (node == 0) return;
  state_.simulation.WatchNode = node;
  ShowStatus(state_.platform, "Select node \"" + state_.layout.nodes.nodes[node].name +
                                  "\" for min/max voltage computation ");
}

void TsimulFrame::CheckFreqClick() {
  ShowStatus(state_.platform, "Change frequency");
  state_.simulation.FreqOn = checkFreq_->isChecked();
  if (state_.simulation.FreqOn) ShowStatus(state_.platform, "Handle frequency on");
}

// The points of the run so far are drawn again at the new size; a running
// simulation goes on drawing after them.
void TsimulFrame::FormResize() {
  drawSimu_->Plot().Redraw(SimulationOf(state_), fullScaleCurrent_);
  drawSimu_->update();
}

void TsimulFrame::LayoutReplaced() {
  SimulationState& m = state_.simulation;
  m.nodeList.clear();
  m.deviceList.clear();
  m.currentDevice = -1;
  nodeListsCurrent_ = false;
  for (QComboBox* combo : {comboStart_, comboStop_, comboCtk_, comboListI_}) combo->clear();
  setWindowTitle("Simulation");
  ClearPlot();
}

void TsimulFrame::ClearPlot() {
  drawSimu_->Plot().DrawAxes(SimulationOf(state_), fullScaleCurrent_);
  drawSimu_->update();
}

bool TsimulFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && state_.simulation.Running) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape || key == Qt::Key_Q || key == Qt::Key_S) {
      RequestStop(state_.simulation);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TsimulFrame::keyPressEvent(QKeyEvent* event) {
  if (eventFilter(this, event)) return;
  // Esc would close the window; it only stops a run here.
  if (event->key() != Qt::Key_Escape) QDialog::keyPressEvent(event);
}

void TsimulFrame::closeEvent(QCloseEvent* event) {
  RequestStop(state_.simulation);
  QDialog::closeEvent(event);
}

}  // namespace tarnisk
