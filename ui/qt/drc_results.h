#pragma once
// The design rule violations beside the drawing: a dock listing every
// violation of every check (rule label, explanation, location). Choosing an
// entry, or stepping with Previous and Next, zooms on it and marks it.

#include <QDockWidget>
#include <functional>
#include <vector>

#include "ui/qt/editor_host.h"
#include "verify/drc.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tarnisk {

struct Session;
class QtPlatform;
class ViolationTable;

class DrcResults : public QDockWidget, public LayoutFollower {
 public:
  // `viewChanged` repaints the drawing after a zoom on a violation.
  DrcResults(Session& state, QtPlatform& platform, std::function<void()> viewChanged,
             QWidget* parent);

  // Empties the list ("Checking...") before a check.
  void Clear(const QString& note);
  // Lists the violations of a run through every check; none: "No violation".
  void ShowReport(const DrcReport& report);
  // Zooms on entry `row` and marks it; out of range does nothing.
  void Choose(int row);
  void Next();
  void Previous();
  int CurrentRow() const;
  int RowCount() const;

  void LayoutReplaced() override;

 private:
  void Show(int row);
  void ShowButtons();

  Session& state_;
  QtPlatform& platform_;
  std::function<void()> viewChanged_;
  std::vector<DrcViolation> violations_;
  ViolationTable* model_;
  QTableView* table_;
  QLabel* summary_;
  QPushButton* previous_;
  QPushButton* next_;
  bool filling_ = false;  // the list is being filled: choosing a row does not zoom
};

}  // namespace tarnisk
