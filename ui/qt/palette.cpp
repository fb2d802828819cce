#include "ui/qt/palette.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/number_format.h"
#include "session/editor/commands.h"
#include "session/generator/generator.h"
#include "session/session.h"
#include "ui/qt/palette_icons.h"

namespace tarnisk {

namespace {

struct LayerRow {
  const char* caption;
  const char* hint;
};

// In the order of kPaletteLayers.
constexpr std::array<LayerRow, kPaletteLayers.size()> kLayerRows = {{
    {"N Well", "Select Nwell"},
    {"N+ Diffusion", "Select N+ Diff"},
    {"P+ Diffusion", "Select P+ Diff"},
    {"Polysilicium", "Select Poly"},
    {"Contact", "Select Contact"},
    {"Metal 1", "Select metal1"},
    {"Via M1/M2", "Select Via"},
    {"Metal 2", "Select metal2"},
    {"Metal 3", "Select metal3"},
    {"Metal 4", "Select metal4"},
    {"Metal 5", "Select Metal5"},
}};

struct Tool {
  const char* name;
  const char* caption;
  const char* hint;
};

// A contact macro: the kind it places, its prompt and the size of the
// outline that follows the pointer.
struct ContactMacro {
  Tool tool;
  int kind;
  const char* prompt;
  int32_t outline;
};

constexpr ContactMacro kContactMacros[] = {
    {{"sbContactPoly", "Poly", "Poly/Metal contact"}, kContactPoly,
     "Enter the location for contact poly...", 6},
    {{"sbContactDiffn", "N+", "Contact Metal/Diffn"}, kContactDiffn,
     "Enter the location for contact Diffn...", 6},
    {{"sbContactDiffp", "P+", "Contact Metal/Diffp"}, kContactDiffp,
     "Enter the location for contact Diffp...", 6},
    {{"sbContactMetal2", "M2", "Contact Metal/Metal2"}, kContactVia,
     "Enter the location for contact Metal2...", 7},
};

constexpr Tool kMosTool = {"sbMos", "MOS", "MOS Generator"};
constexpr Tool kPadTool = {"sbPad", "Pad", "Test Pad"};
constexpr Tool kPathTool = {"sbPathMetal", "Path", "Metal Path"};

struct PropertyButton {
  Tool tool;
  PropertyTool property;
};

constexpr PropertyButton kPropertyTools[] = {
    {{"sbVdd", "Vdd", "Vdd Supply"}, kToolVdd},
    {{"sbVss", "Vss", "Ground"}, kToolVss},
    {{"sbClock", "Clock", "Add a clock"}, kToolClock},
    {{"sbPulse", "Pulse", "Add a pulse"}, kToolPulse},
    {{"sbVisible", "Visible", "Visible node"}, kToolVisible},
};

constexpr Tool kResistanceTool = {"sbRes", "Res", "Resistance"};
constexpr int kToolColumns = 4;
constexpr QSize kSwatchSize(32, 16);

// Where the palette stands relative to the main window's top right corner.
constexpr int kLeftOfRightEdge = 124, kBelowTop = 95;

const char* const kProtectHint =
    "Protect\nChecked: the layer can be edited.\n"
    "Unchecked: the layer is protected: drawn as outlines, left alone by cut, move, "
    "stretch, rotate, flip and duplicate.";

}  // namespace

Palette::Palette(EditorHost& host, QWidget* parent)
    : QWidget(parent, Qt::Tool), host_(host), tools_(new QButtonGroup(this)) {
  setObjectName("TPalette");
  setWindowTitle("Palette");
  auto* column = new QVBoxLayout(this);
  auto* toolGrid = new QGridLayout;
  auto* layerGrid = new QGridLayout;
  column->addLayout(toolGrid);
  column->addLayout(layerGrid);
  BuildTools(toolGrid);
  BuildLayerRows(layerGrid);
  RefreshMetalLayers();
}

void Palette::BuildLayerRows(QGridLayout* grid) {
  grid->setColumnStretch(1, 1);
  for (size_t row = 0; row < kPaletteLayers.size(); ++row) {
    const QString number = QString::number(row + 1);
    auto* check = new QCheckBox(this);
    check->setObjectName("chkBtn" + number);
    check->setToolTip(kProtectHint);
    check->setChecked(true);
    auto* button = new QPushButton(kLayerRows[row].caption, this);
    button->setObjectName("btnLayer" + number);
    button->setToolTip(kLayerRows[row].hint);
    button->setIconSize(kSwatchSize);
    grid->addWidget(check, int(row), 0);
    grid->addWidget(button, int(row), 1);
    protectBoxes_[row] = check;
    layerButtons_[row] = button;
    const int layer = kPaletteLayers[row];
    connect(button, &QPushButton::clicked, this, [this, layer] { SelectLayer(layer, true); });
    connect(check, &QCheckBox::toggled, this,
            [this, row](bool checked) { OnProtectToggled(row, checked); });
  }
}

QToolButton* Palette::AddTool(QGridLayout* grid, int index, const char* name,
                              const char* caption, const char* hint) {
  auto* button = new QToolButton(this);
  button->setObjectName(name);
  button->setText(caption);
  button->setToolTip(hint);
  button->setIcon(ToolIcon(name, host_.State().layout.layers));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  grid->addWidget(button, index / kToolColumns, index % kToolColumns);
  return button;
}

void Palette::BuildMacros(QGridLayout* grid, int& index) {
  for (const ContactMacro& macro : kContactMacros) {
    QToolButton* b = AddTool(grid, index++, macro.tool.name, macro.tool.caption, macro.tool.hint);
    b->setCheckable(true);
    tools_->addButton(b);
    connect(b, &QToolButton::clicked, this, [this, b, macro] {
      Session& s = host_.State();
      s.generator.placementKind = macro.kind;
      host_.EnterCommand(kCommandPlaceContact, macro.prompt);
      StartMacroOutline(s, macro.outline);
      b->setChecked(true);
    });
  }
  QToolButton* mos = AddTool(grid, index++, kMosTool.name, kMosTool.caption, kMosTool.hint);
  connect(mos, &QToolButton::clicked, this, [this] {
    ShowStatus(host_.State().platform, "MOS Generator");
    host_.ShowCellGenerator(GeneratorPage::Mos, true);
  });
  QToolButton* pad = AddTool(grid, index++, kPadTool.name, kPadTool.caption, kPadTool.hint);
  pad->setCheckable(true);
  tools_->addButton(pad);
  connect(pad, &QToolButton::clicked, this, [this, pad] {
    Session& s = host_.State();
    host_.EnterCommand(kCommandTestPad, "Enter the location for  test pad...");
    StartMacroOutline(s, RoundToInt32(s.generator.settings.pads.sizeMicrons / s.technology.LAMB));
    pad->setChecked(true);
  });
  QToolButton* path = AddTool(grid, index++, kPathTool.name, kPathTool.caption, kPathTool.hint);
  connect(path, &QToolButton::clicked, this,
          [this] { host_.ShowCellGenerator(GeneratorPage::Path, true); });
}

void Palette::BuildTools(QGridLayout* grid) {
  int index = 0;
  BuildMacros(grid, index);
  for (const PropertyButton& p : kPropertyTools) {
    QToolButton* b = AddTool(grid, index++, p.tool.name, p.tool.caption, p.tool.hint);
    b->setCheckable(true);
    tools_->addButton(b);
    const PropertyTool property = p.property;
    connect(b, &QToolButton::clicked, this, [this, b, property] {
      host_.State().command.propertyTool = property;
      host_.EnterCommand(kCommandText, "In the layout, select the location for the property...");
      b->setChecked(true);
    });
  }
  QToolButton* res = AddTool(grid, index, kResistanceTool.name, kResistanceTool.caption,
                             kResistanceTool.hint);
  res->setCheckable(true);
  tools_->addButton(res);
  connect(res, &QToolButton::clicked, this, [this, res] {
    host_.EnterCommand(kCommandResistance, "In the layout, fix the resistance position ...");
    res->setChecked(true);
  });
}

QPoint KeptOnScreen(QPoint wanted, QSize size, const QRect& screen) {
  const int x = std::max(screen.left(), std::min(wanted.x(), screen.right() + 1 - size.width()));
  const int y = std::max(screen.top(), std::min(wanted.y(), screen.bottom() + 1 - size.height()));
  return {x, y};
}

// The main window's top right corner, as far as the screen lets the whole
// palette (with its frame) be seen.
void Palette::PlaceBeside(const QWidget& mainWindow) {
  const QRect frame = mainWindow.frameGeometry();
  const QPoint wanted(frame.x() + frame.width() - kLeftOfRightEdge, frame.y() + kBelowTop);
  const QRect screen = mainWindow.screen()->availableGeometry();
  adjustSize();
  move(KeptOnScreen(wanted, size(), screen));
  show();
  // Once shown, the window manager's frame counts too.
  const QPoint framed = KeptOnScreen(wanted, frameGeometry().size(), screen);
  if (framed != pos()) move(framed);
  SelectLayer(kPoly, true);
}

void Palette::SelectLayer(int layer, bool fromButton) {
  Session& s = host_.State();
  SetCurrentLayer(s, layer);
  const int current = s.layout.wide.currentLayer;
  if (fromButton) {
    host_.EnterCommand(kCommandDrawBox, "");
    if (s.layout.layers[current].isProtected) {
      SetLayerProtected(s, current, false);
      host_.RedrawLayout();
    }
  }
  RefreshMetalLayers();
  host_.BringToFront();
}

void Palette::RefreshMetalLayers() {
  Session& s = host_.State();
  LimitCurrentLayer(s);
  for (size_t row = 0; row < kPaletteLayers.size(); ++row) {
    const int layer = kPaletteLayers[row];
    const bool usable = PaletteLayerUsable(s, layer);
    layerButtons_[row]->setEnabled(usable);
    protectBoxes_[row]->setEnabled(usable);
    const QSignalBlocker quiet(protectBoxes_[row]);
    protectBoxes_[row]->setChecked(!s.layout.layers[layer].isProtected);
    layerButtons_[row]->setIcon(LayerSwatch(s.layout.layers[layer]));
  }
  ShowCurrentLayer();
}

void Palette::OnProtectToggled(size_t row, bool checked) {
  const int layer = kPaletteLayers[row];
  SetLayerProtected(host_.State(), layer, !checked);
  SelectLayer(layer, checked);
  host_.RedrawLayout();
}

// Each box that changes runs its own action, so the last one changed
// leaves its layer current.
void Palette::SetProtect(bool checked) {
  for (QCheckBox* box : protectBoxes_)
    if (box->isEnabled()) box->setChecked(checked);
}

void Palette::ProtectAll() {
  ShowStatus(host_.State().platform, "Protect all");
  SetProtect(false);
}

void Palette::UnprotectAll() {
  ShowStatus(host_.State().platform, "Unprotect layers ...");
  SetProtect(true);
}

void Palette::ShowCurrentLayer() {
  const int current = host_.State().layout.wide.currentLayer;
  for (size_t row = 0; row < kPaletteLayers.size(); ++row)
    layerButtons_[row]->setStyleSheet(kPaletteLayers[row] == current ? "color: red" : "");
}

void Palette::ReleaseToolButtons() {
  tools_->setExclusive(false);
  for (QAbstractButton* b : tools_->buttons()) b->setChecked(false);
  tools_->setExclusive(true);
  host_.State().command.propertyTool = kToolText;
}

void Palette::ReleaseTools() {
  ReleaseToolButtons();
  host_.EnterCommand(kCommandDrawBox, "");
}

void Palette::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) {
    QWidget::keyPressEvent(event);
    return;
  }
  ShowStatus(host_.State().platform, "<Escape>");
  emit escapePressed();
}

}  // namespace tarnisk
