#pragma once
// The simulation window (TsimulFrame): the plot of the running simulation,
// the three mode tabs, the delay (or X/Y) node choices, the current and time
// scales, the step field and the min/max and frequency measurements, with the
// Simulate, Reset, Stop, Editor and Parameters buttons. The simulation engine
// and its plot do the work; a run goes on inside the handler that starts it
// and serves the event loop between steps, so Stop and the keys Esc, Q and S
// take effect while it runs.

#include <QDialog>
#include <functional>

#include "ui/qt/editor_host.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QImage;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

namespace tarnisk {

struct Session;
class SimulationCanvas;

class TsimulFrame : public QDialog, public LayoutFollower {
 public:
  // `openOptions` shows the extraction options window.
  TsimulFrame(Session& state, std::function<void()> openOptions, QWidget* parent);

  // The main window's Simulate command: extraction, InitSimulation, then the
  // window is shown and runs once.
  void StartSimulation();
  // The main window's Simulation on Layout command: extraction,
  // InitSimulation, then one run that animates the layout; `stepDrawn` is
  // called whenever the layout's drawing has changed.
  void SimulateOnLayout(std::function<void()> stepDrawn);

  const QImage& PlotImage() const;

  // Handlers.
  void SimulModeChange(int tab);
  void MoreClick();
  void btnResetClick();
  void btnStopClick();
  void btnEditorClick();
  void sbParamsClick();
  void ComboStartChange(int item);
  void ComboStopChange(int item);
  void ComboScaleXChange(int item);
  void ComboCurrentChange(int item);
  void ComboListIChange(int item);
  void CheckHandleCtkClick();
  void ComboCtkChange(int item);
  void CheckFreqClick();
  void FormActivate();
  void FormResize();

  // New or Open: the lists, the plot and the caption of the old layout go.
  void LayoutReplaced() override;

 protected:
  // Esc, Q and S stop a run, whichever control has the focus.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildControls();
  QGroupBox* BuildDelayGroup();
  QGroupBox* BuildCurrentGroup();
  QWidget* BuildButtons();
  void simulFrameCreate();
  // Extraction and InitSimulation; false (with the extraction's summary
  // shown) when the circuit is incomplete.
  bool ExtractForSimulation();
  void FillNodeLists();
  void ShowStep();
  void ShowMode();
  // Draws the axes when asked (always for a transient run, whose plot starts
  // at the present time) and runs once.
  void Run(bool redrawAxes);
  void SetRunning(bool running);
  // Empty axes: the points kept are forgotten.
  void ClearPlot();
  // The node behind a node list item, or 0 when the item is out of range.
  int NodeOfItem(int item) const;
  std::string NodeText(int node) const;

  Session& state_;
  std::function<void()> openOptions_;
  bool nodeListsCurrent_ = false;
  double fullScaleCurrent_ = 1e-3;  // A
  SimulationCanvas* drawSimu_;
  QTabBar* simulMode_;
  QGroupBox* groupDelay_;
  QLabel* labelStart_;
  QLabel* labelStop_;
  QComboBox* comboStart_;
  QComboBox* comboStop_;
  QGroupBox* groupCurrent_;
  QComboBox* comboListI_;
  QComboBox* comboCurrent_;
  QComboBox* comboScaleX_;
  QLineEdit* editDt_;
  QCheckBox* checkMinMax_;
  QComboBox* comboCtk_;
  QCheckBox* checkFreq_;
  QPushButton* more_;
  QPushButton* btnReset_;
  QPushButton* btnStop_;
};

}  // namespace tarnisk
