#pragma once
// The resistance dialog (TFormRes, "Resistance Parameters"): the value of a
// resistance mark with its location and connections. OK stores the value,
// Delete erases the mark; both end the resistance tool.

#include <QDialog>

#include "session/editor/texts.h"
#include "ui/qt/editor_host.h"

class QLabel;
class QLineEdit;

namespace tarnisk {

class ResistanceDialog : public QDialog, public ResistanceDialogUi {
 public:
  explicit ResistanceDialog(EditorHost& host, QWidget* parent = nullptr);

  void ShowResistanceDialog(Session& s, ResistanceDialogModel& model) override;

 private:
  // Runs the button's action on the typed value, ends the tool and closes.
  void Finish(void (*action)(Session&, const ResistanceDialogModel&));

  EditorHost& host_;
  Session* state_ = nullptr;
  ResistanceDialogModel* model_ = nullptr;
  QLineEdit* editValue_;
  QLabel* labelLocation_;
  QLabel* labelConnection_;
};

}  // namespace tarnisk
