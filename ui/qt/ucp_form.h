#pragma once
// The 3D geometry export (TFormUcp, "Convert into .UCP"): the space around
// the layout and the ground altitude, the texts that become sources, ground
// or probe points, and a text area that echoes every line written.

#include <QDialog>

#include "process/ucp_file.h"

class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

namespace tarnisk {

struct Session;

class TFormUcp : public QDialog {
 public:
  TFormUcp(Session& state, QWidget* parent);

  // The menu entry: extraction, then the window, modal.
  void Open();

  const UcpSettings& Settings() const { return settings_; }
  std::string Text() const;

  // Handlers.
  void UPdateOptions();
  void btnConvertClick();
  void btnCancelClick();
  void AddText(const std::string& line);

 private:
  Session& state_;
  UcpSettings settings_;
  QPlainTextEdit* text_;
  QLineEdit* space_;
  QLineEdit* ground_;
  QTableWidget* properties_;
};

}  // namespace tarnisk
