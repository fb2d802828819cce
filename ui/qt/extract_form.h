#pragma once
// The extraction window (TFormExtract): the cleaning mode, the SPICE and
// crosstalk options and the simulation dump on its options page; the MOS
// model, the supply and the temperature on its "Models, Parameters" page; the
// "Extract" and "Quit" buttons and the listing of the last SPICE file. The
// extraction logic does the work.

#include <QDialog>

#include "ui/qt/editor_host.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace tarnisk {

struct Session;

class TFormExtract : public QDialog, public LayoutFollower {
 public:
  TFormExtract(Session& state, QWidget* parent);

  enum Page { kOptionsPage = 0, kModelsPage = 1 };
  // Shows the window on a page, its controls filled from the options.
  void Open(Page page);

  // Handlers.
  void UpdateOptions();
  void btnApplyClick();
  void btnOKClick();
  void RadioCleaningClick(int item);
  void CheckSpiceClick();
  void CheckCrosstalkClick();
  void CheckOverlapClick();
  void RadioModelClick(int item);
  void CheckDumpClick();

  void LayoutReplaced() override;

 private:
  QWidget* BuildOptionsPage();
  QWidget* BuildModelsPage();
  QGroupBox* BuildSpiceBox();
  void ShowSpiceFile(const std::string& path);

  Session& state_;
  QTabWidget* pageControl_;
  QButtonGroup* radioCleaning_;
  QCheckBox* checkSpice_;
  QCheckBox* checkCrosstalk_;
  QCheckBox* checkOverlap_;
  QCheckBox* checkDump_;
  QButtonGroup* radioModel_;
  QLineEdit* editSupply_;
  QLineEdit* editTemperature_;
  QGroupBox* groupSpice_;
  QPlainTextEdit* memoSpice_;
};

}  // namespace tarnisk
