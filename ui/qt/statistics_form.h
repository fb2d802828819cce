#pragma once
// The statistics window (TFormStatistics, "Properties"): the "General" page
// with the technology, the fill of the box and text tables and of the check
// grid, the layout's size and the last extraction's counts; the
// "Interconnects" page with the histogram of node lengths, its vertical zoom
// and the averages; "OK" and "Extract Now".

#include <QDialog>

#include "stats/layout_statistics.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;

namespace tarnisk {

struct Session;
class SurfaceCanvas;

class TFormStatistics : public QDialog {
 public:
  TFormStatistics(Session& state, QWidget* parent);

  void UpdateOptions();
  void ComputeGrid();
  void DrawGrid();
  void btnExtractClick();
  void sbZoomInClick();
  void sbZoomOutClick();
  const QImage& HistogramImage() const;

 private:
  QWidget* BuildGeneralPage();
  QWidget* BuildInterconnectPage();

  Session& state_;
  QTabWidget* pageProps_;
  QLabel* labelTechno_;
  QLabel* labelNumbers_[3];
  QProgressBar* progress_[3];
  QLabel* labelFull_[3];
  QPlainTextEdit* memoSize_;
  QLabel* labelNodes_[3];
  QLabel* labelCounts_[3];
  SurfaceCanvas* drawStats_;
  QLineEdit* editLength_;
  QLineEdit* editR_;
  QLineEdit* editC_;
  QLineEdit* editNumber_;
  LengthClasses classes_;
  HistogramRange range_;
};

}  // namespace tarnisk
