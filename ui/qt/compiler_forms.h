#pragma once
// The compilers' windows: TCompilerFrame compiles one equation typed or
// chosen from its examples; TverilogForm shows a Verilog file, its options
// (device sizes, labels, routing) and the compiler's log and counters.
// The compilers do the work.

#include <QDialog>
#include <functional>
#include <string>

#include "compile/verilog.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tarnisk {

struct Session;

class TCompilerFrame : public QDialog {
 public:
  TCompilerFrame(Session& state, std::function<void()> redraw, QWidget* parent);

  // Shows the window modally.
  void Open();

  // Handlers.
  void sbOkClick();
  void sbCancelClick();

 private:
  Session& state_;
  std::function<void()> redraw_;
  QComboBox* equation_;
};

class TverilogForm : public QDialog, private VerilogObserver {
 public:
  TverilogForm(Session& state, std::function<void()> redraw, QWidget* parent);

  // Loads the file into the source area, shows the options and empties the
  // port tables.
  void UpdateOptions(const std::string& fileName);

  // Handlers.
  void btnCompileClick();
  void btnCancelClick();
  void EditSizeChange(QLineEdit* edit, int32_t& size, bool isWidthP);
  void RadioLabelsClick(int mode);
  void RadioWiresClick(bool ioBelow);

 private:
  QWidget* BuildSizePage();
  QWidget* BuildLabelsPage();
  QWidget* BuildRoutingPage();
  void ShowCounts(const VerilogCounts& counts);

  void Logged(const std::string& line) override;
  void CountsChanged(const VerilogCounts& counts) override;
  void RedrawWanted() override;

  Session& state_;
  std::function<void()> redraw_;
  bool showing_ = false;  // the fields are being filled, not edited
  QPlainTextEdit* source_;
  QPlainTextEdit* log_;
  QLabel* cells_;
  QLabel* wires_;
  QLabel* error_;
  QLineEdit* wn_;
  QLineEdit* ln_;
  QLineEdit* wp_;
  QLineEdit* lp_;
  QButtonGroup* labels_;
  QButtonGroup* routing_;
  QButtonGroup* connection_;
  QCheckBox* addClocks_;
  QCheckBox* outputsVisible_;
};

}  // namespace tarnisk
