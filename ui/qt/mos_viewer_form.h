#pragma once
// The MOS viewer window (TFormViewMos): the plot of one transistor's
// characteristics with the four curve-mode tabs, the nMOS and pMOS buttons,
// the three sweep fields, "Draw Curve", "Full Fit", the scale buttons, the
// size list, "Add Measurement", and the Level1, Level3 and MM9 pages whose
// fields and step buttons edit the model parameters (the page chosen is the
// program's model level). The session's MOS viewer does the work.

#include <QDialog>
#include <functional>
#include <vector>

#include "session/viewer/mos_viewer.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTabBar;
class QTabWidget;

namespace tarnisk {

class SurfaceCanvas;

class TFormViewMos : public QDialog {
 public:
  TFormViewMos(Session& state, QWidget* parent);

  // Shows the window with the curves of the present state.
  void Open();
  // Shows it and asks for a measurement file.
  void OpenWithMeasurement();
  MosViewer& Viewer() { return viewer_; }
  const QImage& PlotImage() const;

  // Handlers.
  void PageParamChange(int page);
  void btnNmosClick();
  void btnPmosClick();
  void TabCurveModeChange(int tab);
  void btnComputeClick();
  void btnFullFitClick();
  void ComboSizeChange(int item);
  void btnAddMeasureClick();
  bool LoadMeasurement(const std::string& path);
  void UpdateOptions();

 private:
  QWidget* BuildControls();
  QWidget* BuildParameterPage(const std::vector<ViewerParameter>& parameters);
  QWidget* BuildLevel9Page();
  // A row of a parameter page: the value field and its step buttons; `current`
  // names the parameter the row edits now.
  void AddParameterRow(QWidget* page, const char* label, std::function<ViewerParameter()> current,
                       QComboBox* choice);
  void RefreshFields();
  void Redraw();

  Session& state_;
  MosViewer viewer_;
  SurfaceCanvas* drawMos_;
  QTabBar* tabCurveMode_;
  QTabWidget* pageParam_;
  std::vector<QLabel*> editLabels_;
  std::vector<QLineEdit*> edits_;
  QComboBox* comboSize_;
  std::vector<std::function<void()>> refreshers_;  // parameter fields from the technology
};

}  // namespace tarnisk
