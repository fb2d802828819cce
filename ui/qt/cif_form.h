#pragma once
// The CIF window (TFormCif): the "Cif Out" page writes the layout as CIF and
// lists the file, the "Cif In" page lists an opened CIF file and counts its
// cells; the layer grid beside them shows each layer's CIF name, GDS2
// number, box count and overetch. The CIF logic does the work.

#include <QDialog>
#include <string>
#include <vector>

#include "interchange/cif.h"
#include "ui/qt/editor_host.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace tarnisk {

struct Session;

class TFormCif : public QDialog, public LayoutFollower {
 public:
  TFormCif(Session& state, QWidget* parent);

  // Prepares the window: layer grid, fields, and the page of the mode (the
  // input page in input mode).
  void UpdateOptions(bool inputMode);
  // File Open of a CIF name: the input page on that file, shown modally.
  void ViewFile(const std::string& openedName);

  const CifSettings& Settings() const { return settings_; }

  // Handlers.
  void btnCifOutClick();
  void btnCifInClick();
  void FormActivate();
  void PageControlChange();
  void EditTopCellChange();
  void btnCancelClick();

  void LayoutReplaced() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildOutputPage();
  QWidget* BuildInputPage();
  QWidget* BuildLayerList();
  QPushButton* CancelButton(QWidget* page);
  void ShowLayerGrid(const std::vector<CifLayerRow>& rows);

  Session& state_;
  CifSettings settings_;
  std::string openedName_;

  QTabWidget* pageControl_;
  QLineEdit* editScaleOut_;
  QLineEdit* editTopCell_;
  QLineEdit* editTextLayer_;
  QPushButton* btnCifOut_;
  QPlainTextEdit* memoOut_;
  QLineEdit* editScaleIn_;
  QLineEdit* editCells_;
  QPushButton* btnCifIn_;
  QPlainTextEdit* memoIn_;
  QTableWidget* gridLayers_;
  QLabel* labelLayers_;
};

}  // namespace tarnisk
