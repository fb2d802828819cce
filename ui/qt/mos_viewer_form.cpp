#include "ui/qt/mos_viewer_form.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "session/session.h"
#include "ui/qt/surface_canvas.h"

namespace tarnisk {

namespace {

constexpr double kScaleStep = 2;  // factor of one press of a scale button

QPushButton* Button(const char* text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

TFormViewMos::TFormViewMos(Session& state, QWidget* parent)
    : QDialog(parent), state_(state), viewer_(state) {
  setObjectName("TFormViewMos");
  setWindowTitle("MOS Viewer");
  auto* row = new QHBoxLayout(this);
  auto* column = new QVBoxLayout();
  tabCurveMode_ = new QTabBar(this);
  tabCurveMode_->setObjectName("TabCurveMode");
  for (const char* tab : {"Id vs. Vd", "Id vs. Vg", "log(id) vs. Vg", "gds vs. Vd"})
    tabCurveMode_->addTab(tab);
  drawMos_ = new SurfaceCanvas("DrawMos", QSize(480, 360), this);
  drawMos_->draw = [this](DrawingSurface& out) { viewer_.Draw(out); };
  drawMos_->released = [this](Point p) { viewer_.Readout(p); };
  column->addWidget(tabCurveMode_);
  column->addWidget(drawMos_, 1);
  pageParam_ = new QTabWidget(this);
  pageParam_->setObjectName("PageParam");
  pageParam_->addTab(BuildParameterPage({Level3Parameters()[0], Level3Parameters()[2],
                                         Level3Parameters()[3], Level3Parameters()[4]}),
                     "Level1");
  pageParam_->addTab(BuildParameterPage(Level3Parameters()), "Level3");
  pageParam_->addTab(BuildLevel9Page(), "MM9");
  column->addWidget(pageParam_);
  row->addLayout(column, 1);
  row->addWidget(BuildControls());
  connect(tabCurveMode_, &QTabBar::currentChanged, this, [this](int t) { TabCurveModeChange(t); });
  connect(pageParam_, &QTabWidget::currentChanged, this, [this](int p) { PageParamChange(p); });
  UpdateOptions();
}

QWidget* TFormViewMos::BuildControls() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  auto* types = new QHBoxLayout();
  QPushButton* nmos = Button("NMOS", "btnNmos", panel);
  QPushButton* pmos = Button("PMOS", "btnPmos", panel);
  types->addWidget(nmos);
  types->addWidget(pmos);
  column->addLayout(types);
  auto* form = new QFormLayout();
  for (const char* name : {"EditVx", "EditStep", "EditParam"}) {
    auto* edit = new QLineEdit(panel);
    edit->setObjectName(name);
    auto* label = new QLabel(panel);
    form->addRow(label, edit);
    editLabels_.push_back(label);
    edits_.push_back(edit);
  }
  column->addLayout(form);
  QPushButton* compute = Button("Draw Curve", "btnCompute", panel);
  QPushButton* fit = Button("Full Fit", "btnFullFit", panel);
  auto* scales = new QHBoxLayout();
  QPushButton* big = Button("Zoom +", "sbScaleBig", panel);
  QPushButton* small = Button("Zoom -", "sbScaleSmall", panel);
  QPushButton* yUp = Button("I +", "SpinScaleYUp", panel);
  QPushButton* yDown = Button("I -", "SpinScaleYDown", panel);
  for (QPushButton* b : {big, small, yUp, yDown}) scales->addWidget(b);
  comboSize_ = new QComboBox(panel);
  comboSize_->setObjectName("ComboSize");
  QPushButton* measure = Button("Add Measurement", "btnAddMeasure", panel);
  column->addWidget(compute);
  column->addWidget(fit);
  column->addLayout(scales);
  column->addWidget(new QLabel("MOS size", panel));
  column->addWidget(comboSize_);
  column->addWidget(measure);
  column->addStretch(1);
  connect(nmos, &QPushButton::clicked, this, [this] { btnNmosClick(); });
  connect(pmos, &QPushButton::clicked, this, [this] { btnPmosClick(); });
  connect(compute, &QPushButton::clicked, this, [this] { btnComputeClick(); });
  connect(fit, &QPushButton::clicked, this, [this] { btnFullFitClick(); });
  const std::pair<QPushButton*, std::function<void()>> scaling[] = {
      {big, [this] { viewer_.ScaleBy(kScaleStep); }},
      {small, [this] { viewer_.ScaleBy(1 / kScaleStep); }},
      {yUp, [this] { viewer_.ScaleCurrentBy(kScaleStep); }},
      {yDown, [this] { viewer_.ScaleCurrentBy(1 / kScaleStep); }}};
  for (const auto& [button, act] : scaling)
    connect(button, &QPushButton::clicked, this, [this, act] {
      act();
      Redraw();
    });
  connect(comboSize_, &QComboBox::activated, this, [this](int i) { ComboSizeChange(i); });
  connect(measure, &QPushButton::clicked, this, [this] { btnAddMeasureClick(); });
  return panel;
}

void TFormViewMos::AddParameterRow(QWidget* page, const char* label,
                                   std::function<ViewerParameter()> current, QComboBox* choice) {
  auto* grid = static_cast<QGridLayout*>(page->layout());
  const int row = grid->rowCount();
  auto* edit = new QLineEdit(page);
  edit->setObjectName(QString("Edit") + label);
  QPushButton* down = Button("-", "", page);
  QPushButton* up = Button("+", "", page);
  down->setObjectName(QString("btn") + label + "Down");
  up->setObjectName(QString("btn") + label + "Up");
  grid->addWidget(new QLabel(label, page), row, 0);
  if (choice) grid->addWidget(choice, row, 1);
  grid->addWidget(edit, row, 2);
  grid->addWidget(down, row, 3);
  grid->addWidget(up, row, 4);
  auto refresh = [this, edit, current] {
    edit->setText(QString::fromStdString(viewer_.ParameterText(current())));
  };
  refreshers_.push_back(refresh);
  for (const auto& [button, direction] : {std::pair{down, -1}, std::pair{up, 1}})
    connect(button, &QPushButton::clicked, this, [this, current, direction = direction] {
      viewer_.StepParameter(current(), direction);
      RefreshFields();
      Redraw();
    });
  connect(edit, &QLineEdit::editingFinished, this, [this, edit, current] {
    if (viewer_.SetParameter(current(), edit->text().toStdString())) Redraw();
    RefreshFields();
  });
  if (choice) connect(choice, &QComboBox::activated, this, [refresh] { refresh(); });
}

QWidget* TFormViewMos::BuildParameterPage(const std::vector<ViewerParameter>& parameters) {
  auto* page = new QWidget(this);
  new QGridLayout(page);
  for (const ViewerParameter& p : parameters)
    AddParameterRow(page, p.name, [p] { return p; }, nullptr);
  return page;
}

QWidget* TFormViewMos::BuildLevel9Page() {
  auto* page = new QWidget(this);
  new QGridLayout(page);
  for (const Level9Field& field : Level9Fields()) {
    QComboBox* choice = nullptr;
    if (field.choices.size() > 1) {
      choice = new QComboBox(page);
      choice->setObjectName(QString("Combo") + field.name);
      for (const ViewerParameter& p : field.choices) choice->addItem(p.name);
    }
    const auto current = [&field, choice] {
      return field.choices[choice ? size_t(std::max(0, choice->currentIndex())) : 0];
    };
    AddParameterRow(page, field.name, current, choice);
  }
  return page;
}

void TFormViewMos::Open() {
  UpdateOptions();
  show();
  raise();
  Redraw();
}

void TFormViewMos::OpenWithMeasurement() {
  Open();
  btnAddMeasureClick();
}

const QImage& TFormViewMos::PlotImage() const { return drawMos_->Image(); }

void TFormViewMos::RefreshFields() {
  for (auto& refresh : refreshers_) refresh();
}

void TFormViewMos::Redraw() {
  setWindowTitle(QString::fromStdString(viewer_.Title()));
  drawMos_->Redraw();
}

void TFormViewMos::UpdateOptions() {
  const std::vector<std::string> labels = viewer_.EditLabels(), values = viewer_.EditValues();
  for (size_t i = 0; i < edits_.size(); ++i) {
    editLabels_[i]->setText(QString::fromStdString(labels[i]));
    edits_[i]->setText(QString::fromStdString(values[i]));
  }
  comboSize_->clear();
  for (const std::string& size : viewer_.SizeList()) comboSize_->addItem(QString::fromStdString(size));
  pageParam_->blockSignals(true);
  pageParam_->setCurrentIndex(std::clamp(state_.extractOptions.modelLevel, 0, 2));
  pageParam_->blockSignals(false);
  RefreshFields();
  setWindowTitle(QString::fromStdString(viewer_.Title()));
  ShowStatus(state_.platform, "Options updated");
}

void TFormViewMos::PageParamChange(int page) {
  viewer_.SelectModelPage(page);
  Redraw();
}

void TFormViewMos::btnNmosClick() {
  viewer_.SetType(false);
  UpdateOptions();
  Redraw();
}

void TFormViewMos::btnPmosClick() {
  viewer_.SetType(true);
  UpdateOptions();
  Redraw();
}

void TFormViewMos::TabCurveModeChange(int tab) {
  viewer_.SetMode(tab + kCurveIdVd);
  UpdateOptions();
  Redraw();
}

void TFormViewMos::btnComputeClick() {
  ShowStatus(state_.platform, "Draw Mos...");
  for (size_t i = 0; i < edits_.size(); ++i) viewer_.ApplyField(int(i), edits_[i]->text().toStdString());
  UpdateOptions();
  Redraw();
}

void TFormViewMos::btnFullFitClick() {
  ShowStatus(state_.platform, "Full fit");
  viewer_.RequestFullFit();
  Redraw();
}

void TFormViewMos::ComboSizeChange(int item) {
  if (item < 0) return;
  viewer_.ChooseSize(comboSize_->itemText(item).toStdString());
  Redraw();
}

void TFormViewMos::btnAddMeasureClick() {
  ShowStatus(state_.platform, "Add measure");
  const QString file = QFileDialog::getOpenFileName(this, "Add Measurement", QString(),
                                                    "Measurement (*.MES *.mes);;All files (*)");
  if (file.isEmpty()) return;
  LoadMeasurement(file.toStdString());
}

bool TFormViewMos::LoadMeasurement(const std::string& path) {
  ShowStatus(state_.platform, "Load Measurement");
  const bool loaded = viewer_.LoadMeasurement(path);
  UpdateOptions();
  viewer_.RequestFullFit();
  Redraw();
  return loaded;
}

}  // namespace tarnisk
