#include "ui/qt/statistics_form.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/number_format.h"
#include "session/analysis/extract_command.h"
#include "session/session.h"
#include "session/statistics/statistics_command.h"
#include "ui/qt/surface_canvas.h"

namespace tarnisk {

namespace {

constexpr Colour kMenuColour = MakeColour(240, 240, 240);
constexpr Colour kGridColour = MakeColour(128, 128, 128);

QLineEdit* ReadOnly(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setReadOnly(true);
  return e;
}

}  // namespace

TFormStatistics::TFormStatistics(Session& state, QWidget* parent)
    : QDialog(parent), state_(state) {
  setObjectName("TFormStatistics");
  setWindowTitle("Properties");
  setModal(true);
  resize(543, 372);
  QFont arial("Arial");
  setFont(arial);
  auto* column = new QVBoxLayout(this);
  pageProps_ = new QTabWidget(this);
  pageProps_->setObjectName("PageProps");
  pageProps_->addTab(BuildGeneralPage(), "General");
  pageProps_->addTab(BuildInterconnectPage(), "Interconnects");
  column->addWidget(pageProps_);
  auto* buttons = new QHBoxLayout();
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  auto* extract = new QPushButton("Extract Now", this);
  extract->setObjectName("btnExtract");
  extract->setAutoDefault(false);
  buttons->addWidget(ok);
  buttons->addWidget(extract);
  column->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { close(); });
  connect(extract, &QPushButton::clicked, this, [this] { btnExtractClick(); });
  connect(pageProps_, &QTabWidget::currentChanged, this, [this] {
    ComputeGrid();
    DrawGrid();
  });
}

QWidget* TFormStatistics::BuildGeneralPage() {
  auto* page = new QWidget(this);
  auto* grid = new QGridLayout(page);
  auto* techno = new QGroupBox("Technology", page);
  labelTechno_ = new QLabel("unknown", techno);
  labelTechno_->setObjectName("labelTechno");
  (new QVBoxLayout(techno))->addWidget(labelTechno_);
  auto* structure = new QGroupBox("Structure", page);
  auto* rows = new QGridLayout(structure);
  const char* captions[] = {"boxes :", "text  :", "memory :"};
  const char* numbers[] = {"labelBoxNumber", "labelTextNumber", "labelMemSize"};
  const char* bars[] = {"ProgressBox", "ProgressText", "ProgressMem"};
  const char* fulls[] = {"LabelFull", "LabelFull2", "LabelFull3"};
  for (int i = 0; i < 3; ++i) {
    labelNumbers_[i] = new QLabel(structure);
    labelNumbers_[i]->setObjectName(numbers[i]);
    progress_[i] = new QProgressBar(structure);
    progress_[i]->setObjectName(bars[i]);
    progress_[i]->setRange(0, 100);
    labelFull_[i] = new QLabel(structure);
    labelFull_[i]->setObjectName(fulls[i]);
    rows->addWidget(new QLabel(captions[i], structure), i, 0);
    rows->addWidget(labelNumbers_[i], i, 1);
    rows->addWidget(progress_[i], i, 2);
    rows->addWidget(labelFull_[i], i, 3);
  }
  auto* size = new QGroupBox("Layout Size", page);
  memoSize_ = new QPlainTextEdit(size);
  memoSize_->setObjectName("MemoSize");
  memoSize_->setReadOnly(true);
  (new QVBoxLayout(size))->addWidget(memoSize_);
  auto* electrical = new QGroupBox("Electrical Properties", page);
  auto* form = new QGridLayout(electrical);
  const char* names[] = {"electrical nodes :", "nMOS devices :", "pMOS devices : "};
  const char* labels[] = {"labelNodes", "labelNmos", "labelPmos"};
  const char* counts[] = {"labelNodeNumber", "labelNmosNumber", "labelPMosNumber"};
  for (int i = 0; i < 3; ++i) {
    labelNodes_[i] = new QLabel(names[i], electrical);
    labelNodes_[i]->setObjectName(labels[i]);
    labelCounts_[i] = new QLabel(electrical);
    labelCounts_[i]->setObjectName(counts[i]);
    form->addWidget(labelNodes_[i], i, 0);
    form->addWidget(labelCounts_[i], i, 1);
  }
  grid->addWidget(techno, 0, 0);
  grid->addWidget(structure, 1, 0, 1, 2);
  grid->addWidget(size, 0, 1);
  grid->addWidget(electrical, 2, 0, 1, 2);
  return page;
}

QWidget* TFormStatistics::BuildInterconnectPage() {
  auto* page = new QWidget(this);
  auto* row = new QHBoxLayout(page);
  auto* left = new QVBoxLayout();
  drawStats_ = new SurfaceCanvas("drawStats", QSize(321, 253), page);
  drawStats_->draw = [this](DrawingSurface& out) {
    DrawLengthHistogram(out, out.Width(), out.Height(), classes_, range_, kMenuColour, kGridColour);
  };
  auto* zoom = new QHBoxLayout();
  auto* in = new QPushButton("Zoom in", page);
  in->setObjectName("sbZoomIn");
  auto* out = new QPushButton("Zoom out", page);
  out->setObjectName("sbZoomOut");
  zoom->addWidget(in);
  zoom->addWidget(out);
  left->addWidget(drawStats_, 1);
  left->addLayout(zoom);
  row->addLayout(left, 1);
  auto* right = new QVBoxLayout();
  auto* average = new QGroupBox("Average", page);
  auto* form = new QFormLayout(average);
  editLength_ = ReadOnly(average, "EditLength");
  editR_ = ReadOnly(average, "EditR");
  editC_ = ReadOnly(average, "EditC");
  form->addRow("Average length (\xC2\xB5m) :", editLength_);
  form->addRow("Average R (ohm) :", editR_);
  form->addRow("Average C (fF) :", editC_);
  auto* nodes = new QGroupBox("Electrical nodes", page);
  editNumber_ = ReadOnly(nodes, "EditNumber");
  (new QFormLayout(nodes))->addRow("Number : ", editNumber_);
  right->addWidget(average);
  right->addWidget(nodes);
  right->addStretch(1);
  row->addLayout(right);
  connect(in, &QPushButton::clicked, this, [this] { sbZoomInClick(); });
  connect(out, &QPushButton::clicked, this, [this] { sbZoomOutClick(); });
  return page;
}

void TFormStatistics::UpdateOptions() {
  setWindowTitle(QString::fromStdString("Properties of " + state_.layout.wide.currentFileName));
  const GeneralFigures g = UpdateStatistics(state_);
  const TableFill* fills[] = {&g.boxes, &g.texts, &g.checkGrid};
  for (int i = 0; i < 3; ++i) {
    labelNumbers_[i]->setText(QString::fromStdString(fills[i]->number));
    progress_[i]->setValue(std::clamp(fills[i]->progress, 0, 100));
    labelFull_[i]->setText(QString::fromStdString(fills[i]->full));
  }
  const std::string* counts[] = {&g.nodes, &g.nmos, &g.pmos};
  for (int i = 0; i < 3; ++i) {
    QFont font = labelNodes_[i]->font();
    font.setItalic(!g.extracted);
    labelNodes_[i]->setFont(font);
    labelCounts_[i]->setText(QString::fromStdString(*counts[i]));
  }
  labelTechno_->setText(QString::fromStdString(g.technology));
  memoSize_->clear();
  for (const std::string& line : g.size) memoSize_->appendPlainText(QString::fromStdString(line));
  classes_ = {};
  range_ = {};
}

void TFormStatistics::ComputeGrid() {
  classes_ = StatisticsClasses(state_);
  editNumber_->setText(QString::number(classes_.nodeCount));
  editC_->setText(QString::fromStdString(FormatFixed(classes_.averageCapacitance * 1e15, 5, 1)));
  editLength_->setText(QString::fromStdString(FormatFixed(classes_.averageLength, 5, 1)));
  editR_->setText(QString::fromStdString(FormatFixed(classes_.averageResistance, 5, 1)));
}

void TFormStatistics::DrawGrid() { drawStats_->Redraw(); }

void TFormStatistics::btnExtractClick() {
  EnsureExtracted(state_);
  UpdateOptions();
  ComputeGrid();
  DrawGrid();
}

void TFormStatistics::sbZoomInClick() {
  ShowStatus(state_.platform, "Zoom in...");
  ComputeGrid();
  ZoomHistogramIn(range_);
  DrawGrid();
}

void TFormStatistics::sbZoomOutClick() {
  ShowStatus(state_.platform, "Zoom out...");
  ComputeGrid();
  ZoomHistogramOut(range_);
  DrawGrid();
}

const QImage& TFormStatistics::HistogramImage() const { return drawStats_->Image(); }

}  // namespace tarnisk
