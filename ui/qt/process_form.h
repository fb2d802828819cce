#pragma once
// The process viewer (TFormProcess, "Process Aspect"): the cross-section
// along the cut drawn in the layout, with buttons that move the cut along
// its direction and zoom, a "Layer List" page with the layer sizes and
// "Apply", and a "Compute [C]" page that writes the GEO file and shows the
// capacitance matrix of the conductors met by the cut.

#include <QDialog>
#include <functional>

#include "core/geometry.h"
#include "process/section.h"

class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;

namespace tarnisk {

struct Session;
class SurfaceCanvas;

class TFormProcess : public QDialog {
 public:
  // `redrawLayout` shows the layout again after its crossed boxes changed.
  TFormProcess(Session& state, std::function<void()> redrawLayout, QWidget* parent);

  // Shows the section along the cut through the line a-b (lambda).
  void Open(Point a, Point b);

  const ProcessSection& Section() const { return section_; }
  const QImage& PaintingImage() const;

  // Handlers.
  void UpdateOptions();
  void btnApplyClick();
  void sbLeftClick();
  void sbRightClick();
  void sbzoominClick();
  void sbzoomoutClick();
  void PaintingMouseDown(QPoint at);
  void btnExecuteClick();

 private:
  QWidget* BuildLayerPage();
  QWidget* BuildComputePage();
  QWidget* BuildPainting();
  void Rebuild();
  double Field(QLineEdit* edit, double fallback) const;

  Session& state_;
  std::function<void()> redrawLayout_;
  SectionCut cut_;
  ProcessSection section_;
  double zoom_ = 1;
  SurfaceCanvas* painting_;
  QTabWidget* pages_;
  QTableWidget* layerGrid_;
  QPlainTextEdit* text_;
  QLineEdit* meshX_;
  QLineEdit* meshY_;
  QLineEdit* images_;
  QLineEdit* iteration_;
  QLineEdit* precision_;
};

}  // namespace tarnisk
