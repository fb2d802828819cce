#pragma once
// The duplicate dialog (an array of copies of the highlighted boxes) and the
// step-move dialog (arrows that move the highlighted elements by a step).

#include <QDialog>
#include <QLineEdit>
#include <array>
#include <functional>

#include "session/editor/editing.h"

namespace tarnisk {

struct Session;

class DuplicateDialog : public QDialog {
 public:
  // `done` runs after OK or Cancel, so the window can refresh itself.
  DuplicateDialog(Session& state, std::function<void(bool generated)> done, QWidget* parent);
  void Open(const DuplicateSelection& selection);

 private:
  DuplicateFields Fields() const;

  Session& state_;
  std::function<void(bool)> done_;
  std::array<QLineEdit*, 5> fields_{};  // selected, count x, count y, spacing x, spacing y
};

class StepMoveDialog : public QDialog {
 public:
  StepMoveDialog(Session& state, std::function<void()> moved, QWidget* parent);
  void Open(const StepMoveSelection& selection);

 private:
  void Step(StepDirection direction);

  Session& state_;
  std::function<void()> moved_;
  QLineEdit* step_;
};

}  // namespace tarnisk
