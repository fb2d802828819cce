#pragma once
// The palette (TPalette): a tool window beside the main window that chooses
// the current layer, protects layers against editing, starts the placement
// macros (contacts, test pad, MOS device, metal path) and the property tools
// for texts and the resistance tool.

#include <QWidget>
#include <array>

#include "session/editor/palette.h"
#include "ui/qt/editor_host.h"

class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QPushButton;
class QToolButton;

namespace tarnisk {

// The top left corner nearest `wanted` at which a window of `size` lies
// wholly inside `screen`.
QPoint KeptOnScreen(QPoint wanted, QSize size, const QRect& screen);

class Palette : public QWidget {
  Q_OBJECT

 public:
  explicit Palette(EditorHost& host, QWidget* parent = nullptr);

  // Start-up: places the palette near the main window's top right corner,
  // wholly on the screen, shows it and selects poly as from its button.
  void PlaceBeside(const QWidget& mainWindow);

  // Makes the layer current; from a layer button (or a checked protect box)
  // it also returns to drawing boxes with the layer editable.
  void SelectLayer(int layer, bool fromButton);
  // Offers the metal layers the technology has and shows the protect flags
  // and the current layer of the layer table.
  void RefreshMetalLayers();
  void ProtectAll();
  void UnprotectAll();
  // After a text is placed: the tools are released and boxes drawn again.
  void ReleaseTools();
  // Only releases the property, resistance and placement buttons, for the
  // main window's own end of a placement.
  void ReleaseToolButtons();

 signals:
  // Esc in the palette: the main window runs its own Esc handling.
  void escapePressed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildLayerRows(QGridLayout* grid);
  void BuildTools(QGridLayout* grid);
  void BuildMacros(QGridLayout* grid, int& index);
  QToolButton* AddTool(QGridLayout* grid, int index, const char* name, const char* caption,
                       const char* hint);
  void OnProtectToggled(size_t row, bool checked);
  void SetProtect(bool checked);
  void ShowCurrentLayer();

  EditorHost& host_;
  std::array<QPushButton*, kPaletteLayers.size()> layerButtons_{};
  std::array<QCheckBox*, kPaletteLayers.size()> protectBoxes_{};
  QButtonGroup* tools_;  // the buttons that stay pressed while their tool is active
};

}  // namespace tarnisk
