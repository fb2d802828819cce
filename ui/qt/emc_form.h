#pragma once
// The parametric analysis window (TFormEmc): the measurement list, the
// "Spacing", "Voltage" and "Parameters" pages with their ranges, the start
// button that turns into a stop button while the sweep runs, the plot of
// the points with its vertical scale buttons, and the "Data Array" page.

#include <QDialog>
#include <array>
#include <functional>

#include "process/parametric.h"
#include "process/sweep_plot.h"

class QCheckBox;
class QCloseEvent;
class QFormLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace tarnisk {

struct Session;
class SurfaceCanvas;

class TFormEmc : public QDialog {
 public:
  enum Page { kSpacingPage = 0, kVoltagePage = 1, kParametersPage = 2 };

  // `redrawLayout` shows the layout again after a sweep.
  TFormEmc(Session& state, std::function<void()> redrawLayout, QWidget* parent);

  // Prepares the window for the spacing line a-b (lambda) and shows it.
  void Open(Point a, Point b);

  bool Running() const { return running_; }
  const SweepPlot& Plot() const { return plot_; }
  const QImage& PlotImage() const;
  std::string DataArray() const;

  // Handlers.
  void UpdateOptions();
  void btnOkClick();
  void btnCancelClick();
  void ListParamsClick(int row);
  void sbScaleBigClick();
  void sbScaleSmallClick();
  void ComboParamChange(int item);

 protected:
  // Closing the window ends a sweep after the point under way.
  void closeEvent(QCloseEvent* event) override;

 private:
  class Observer;
  struct RangeEdits {
    QLineEdit* from;
    QLineEdit* to;
    QLineEdit* step;
  };
  QWidget* BuildLeft();
  QWidget* BuildRight();
  QWidget* BuildSpacingPage();
  QWidget* BuildVoltagePage();
  QWidget* BuildParametersPage();
  RangeEdits AddRange(QWidget* page, QFormLayout* form, std::array<QLabel*, 3>* units);
  void ReadRange(int page);
  SweepRequest Request(int page) const;
  void RunSweepOfPage(int page);
  void SetIdle();

  Session& state_;
  std::function<void()> redrawLayout_;
  SpacingLine line_;
  int sweepNode_ = 0;
  bool running_ = false;
  int measure_ = kMeasureRiseDelay;
  std::array<SweepRange, 3> ranges_;
  SweepPlot plot_;
  QListWidget* listParams_;
  QTabWidget* pages_;
  std::array<RangeEdits, 3> edits_;
  QCheckBox* logSpacing_;
  QCheckBox* returnLayout_;
  QListWidget* nodes_;
  QCheckBox* logVoltage_;
  QComboBox* comboParam_;
  std::array<QLabel*, 3> units_{};
  QCheckBox* returnParameter_;
  SurfaceCanvas* draw2d_;
  QPlainTextEdit* dataArray_;
  QPushButton* btnOk_;
};

}  // namespace tarnisk
