#include "ui/qt/process_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <ctime>

#include "core/number_format.h"
#include "core/parse_number.h"
#include "process/section_painting.h"
#include "session/process/process_view.h"
#include "session/session.h"
#include "ui/qt/form_widgets.h"
#include "ui/qt/surface_canvas.h"

namespace tarnisk {

namespace {

constexpr double kZoomStep = 1.5;
constexpr int kLayerColumn = 0, kThickColumn = 1, kHeightColumn = 2, kEpsrColumn = 3;

QString Number(double v, int decimals) { return QString::fromStdString(FormatFixed(v, 0, decimals)); }

}  // namespace

TFormProcess::TFormProcess(Session& state, std::function<void()> redrawLayout, QWidget* parent)
    : QDialog(parent), state_(state), redrawLayout_(std::move(redrawLayout)) {
  setObjectName("TFormProcess");
  setWindowTitle("Process Aspect");
  auto* row = new QHBoxLayout(this);
  row->addWidget(BuildPainting(), 3);
  pages_ = new QTabWidget(this);
  pages_->addTab(BuildLayerPage(), "Layer List");
  pages_->addTab(BuildComputePage(), "Compute [C]");
  row->addWidget(pages_, 2);
  resize(1100, 560);
}

QWidget* TFormProcess::BuildPainting() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  auto* buttons = new QHBoxLayout();
  const struct {
    const char* text;
    const char* name;
    void (TFormProcess::*handler)();
  } kButtons[] = {{"\xE2\x97\x80 Left", "sbLeft", &TFormProcess::sbLeftClick},
                  {"Right \xE2\x96\xB6", "sbRight", &TFormProcess::sbRightClick},
                  {"Zoom In", "sbzoomin", &TFormProcess::sbzoominClick},
                  {"Zoom Out", "sbzoomout", &TFormProcess::sbzoomoutClick}};
  for (const auto& b : kButtons) {
    QPushButton* button = FormButton(b.text, b.name, panel);
    connect(button, &QPushButton::clicked, this, [this, h = b.handler] { (this->*h)(); });
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  column->addLayout(buttons);
  painting_ = new SurfaceCanvas("Painting", QSize(560, 400), panel);
  painting_->draw = [this](DrawingSurface& out) {
    PaintSection(out, section_, state_.technology.LAMB, zoom_);
  };
  painting_->pressed = [this](Point at) { PaintingMouseDown(QPoint(at.x, at.y)); };
  column->addWidget(painting_, 1);
  return panel;
}

QWidget* TFormProcess::BuildLayerPage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  layerGrid_ = Named(new QTableWidget(0, 4, page), "LayerGrid");
  layerGrid_->setHorizontalHeaderLabels({"Layer", "Thick(\xC2\xB5m)", "Height(\xC2\xB5m)", "epsr"});
  layerGrid_->verticalHeader()->hide();
  column->addWidget(layerGrid_, 1);
  QPushButton* apply = FormButton("Apply", "btnApply", page);
  connect(apply, &QPushButton::clicked, this, [this] { btnApplyClick(); });
  column->addWidget(apply);
  return page;
}

QWidget* TFormProcess::BuildComputePage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  text_ = ReadOnlyText("Memo", page);
  column->addWidget(text_, 1);
  auto* form = new QFormLayout();
  meshX_ = Named(new QLineEdit(page), "EditMeshX");
  meshY_ = Named(new QLineEdit(page), "EditMeshY");
  images_ = Named(new QLineEdit("5", page), "EditImages");
  iteration_ = Named(new QLineEdit("10", page), "EditIteration");
  precision_ = Named(new QLineEdit("1.0E-8", page), "EditPrecision");
  form->addRow("Mesh X", meshX_);
  form->addRow("Mesh Y", meshY_);
  form->addRow("Images", images_);
  form->addRow("Iteration", iteration_);
  form->addRow("Precision", precision_);
  column->addLayout(form);
  QPushButton* generate = FormButton("Generate", "btnExecute", page);
  connect(generate, &QPushButton::clicked, this, [this] { btnExecuteClick(); });
  column->addWidget(generate);
  return page;
}

const QImage& TFormProcess::PaintingImage() const { return painting_->Image(); }

void TFormProcess::Open(Point a, Point b) {
  cut_ = CutThrough(a, b);
  zoom_ = 1;
  UpdateOptions();
  Rebuild();
  show();
  raise();
}

void TFormProcess::UpdateOptions() {
  const std::vector<LayerRow> rows = LayerRows(state_);
  const int highest = MetalLayer(MetalLevels(state_.technology.META));
  layerGrid_->setRowCount(int(rows.size()));
  for (int i = 0; i < int(rows.size()); ++i) {
    const LayerRow& r = rows[size_t(i)];
    const bool editable = (r.layer >= kPoly && r.layer <= highest) || r.layer >= kPassiv;
    const QString cells[] = {QString::fromStdString(r.name), Number(r.thickness, 2),
                             Number(r.height, 2), Number(r.permittivity, 2)};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setData(Qt::UserRole, r.layer);
      if (c == kLayerColumn || !editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      layerGrid_->setItem(i, c, item);
    }
  }
  const QString mesh = Number(DefaultMeshStep(state_.technology.LAMB), 2);
  meshX_->setText(mesh);
  meshY_->setText(mesh);
}

void TFormProcess::btnApplyClick() {
  std::vector<LayerRow> rows = LayerRows(state_);
  for (int i = 0; i < layerGrid_->rowCount() && i < int(rows.size()); ++i) {
    LayerRow& r = rows[size_t(i)];
    const auto cell = [&](int column, double& value) {
      const ParsedNumber n =
          ParseNumber(layerGrid_->item(i, column)->text().toStdString(), 0, 1000, value);
      if (n.ok) value = n.value;
    };
    cell(kThickColumn, r.thickness);
    cell(kHeightColumn, r.height);
    cell(kEpsrColumn, r.permittivity);
  }
  ApplyLayerRows(state_, rows);
  UpdateOptions();
  Rebuild();
}

void TFormProcess::sbLeftClick() {
  ShowStatus(state_.platform, "Zoom Left");
  cut_ = ShiftedCut(cut_, false);
  Rebuild();
}

void TFormProcess::sbRightClick() {
  ShowStatus(state_.platform, "Zoom Right");
  cut_ = ShiftedCut(cut_, true);
  Rebuild();
}

void TFormProcess::sbzoominClick() {
  ShowStatus(state_.platform, "Zoom In");
  zoom_ = std::min(zoom_ * kZoomStep, kMaxSectionZoom);
  painting_->Redraw();
}

void TFormProcess::sbzoomoutClick() {
  ShowStatus(state_.platform, "Zoom Out");
  zoom_ = std::max(zoom_ / kZoomStep, kMinSectionZoom);
  painting_->Redraw();
}

void TFormProcess::PaintingMouseDown(QPoint at) {
  const SectionFrame f = FrameOf(section_, state_.technology.LAMB, painting_->width(),
                                 painting_->height(), zoom_);
  ShowStatus(state_.platform, "Click at location " + FormatFixed(f.ToMicronX(at.x()), 0, 2) + "," +
                                  FormatFixed(f.ToMicronY(at.y()), 0, 2));
}

double TFormProcess::Field(QLineEdit* edit, double fallback) const {
  const ParsedNumber n = ParseNumber(edit->text().toStdString(), 0, 1e9, fallback);
  return n.ok ? n.value : fallback;
}

void TFormProcess::btnExecuteClick() {
  ShowStatus(state_.platform, "Execute Meshcap...");
  GeoOptions options;
  options.meshX = Field(meshX_, DefaultMeshStep(state_.technology.LAMB));
  options.meshY = Field(meshY_, options.meshX);
  options.images = Field(images_, options.images);
  options.iterations = Field(iteration_, options.iterations);
  options.precision = precision_->text().toStdString();
  text_->clear();
  const GeoWriteResult geo = WriteGeoFile(state_, section_, options, std::time(nullptr));
  for (const std::string& line : geo.lines) text_->appendPlainText(QString::fromStdString(line));
  for (const std::string& line : MatrixLines(SolveSection(state_, section_)))
    text_->appendPlainText(QString::fromStdString(line));
}

void TFormProcess::Rebuild() {
  section_ = SectionAlong(state_, cut_);
  painting_->Redraw();
  if (redrawLayout_) redrawLayout_();
}

}  // namespace tarnisk
