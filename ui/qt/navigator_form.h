#pragma once
// The navigator window (TFormAnalysis, "Navigator"): the node list with its
// supply option, "Extract", the histogram and the short-interconnect filter;
// the selected node's properties; the transistor grid; and the crosstalk
// page with its colour scale, the scale buttons and the flat, point and
// noise views. The session's navigator does the work; the main window shows
// this window when a layout command has fed it.

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTableWidget;
class QTabWidget;

namespace tarnisk {

struct Session;
class SurfaceCanvas;
class DrawingSurface;

class TFormAnalysis : public QDialog {
 public:
  // `enterCommand` makes a mouse command of the main window active;
  // `redrawLayout` shows the drawing after a view changed it.
  TFormAnalysis(Session& state, std::function<void(int, const char*)> enterCommand,
                std::function<void()> redrawLayout, QWidget* parent);

  // Shows the window on the page the navigator asks for, refreshed.
  void ShowNavigator();
  void UpdateOptions();

  // Handlers.
  void btnExtractClick();
  void ListNodesClick(int row);
  void VssVddBoxClick();
  void FilterEditChange();
  void checkFilteringClick();
  void btnHistoClick();
  void btnLowerClick();
  void btnHighierClick();
  void GridMosClick(int row);
  void CheckAllDevClick();
  void PageControlChange(int page);

 private:
  QWidget* BuildNodesPage();
  QWidget* BuildPropertiesPage();
  QWidget* BuildDevicesPage();
  QWidget* BuildCrosstalkPage();
  void UpdateListNodes();
  void UpdateNodeProps();
  void UpdateListMos();
  void UpdateLabelScale();
  void DrawLegend(DrawingSurface& out) const;
  void AfterLayoutChange();

  Session& state_;
  std::function<void(int, const char*)> enterCommand_;
  std::function<void()> redrawLayout_;
  QTabWidget* pageControl_;
  QListWidget* listNodes_;
  QCheckBox* vssVddBox_;
  QCheckBox* checkFiltering_;
  QLineEdit* filterEdit_;
  QLineEdit* editName_;
  QLineEdit* editProp_;
  QCheckBox* checkVisible_;
  QLabel* labelCapa_;
  QLineEdit* editNumber_;
  QLabel* labelLength_;
  QLabel* labelRes_;
  QTableWidget* gridMos_;
  QCheckBox* checkAllDev_;
  QLabel* labelHigh_;
  SurfaceCanvas* legend_;
};

}  // namespace tarnisk
