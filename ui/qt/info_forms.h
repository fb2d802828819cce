#pragma once
// The product information (TFormVersion): the program's name and version,
// the technology loaded and a credit line. The debug log (TFormDebug): while
// it is on, every status message is appended with its time; the log can be
// cleared and saved to a text file.

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace tarnisk {

struct Session;

class TFormVersion : public QDialog {
 public:
  TFormVersion(Session& state, QWidget* parent);
  // Shows the window with the technology as it stands.
  void Open();

 private:
  Session& state_;
  QLabel* labelTechnology_;
};

class TFormDebug : public QDialog {
 public:
  explicit TFormDebug(QWidget* parent);

  void SetLogging(bool on);
  bool Logging() const;
  // Appends a status message with the time, while logging is on.
  void Append(const std::string& message);
  std::string Text() const;
  void btnClearClick();
  // Writes the log to a text file; false when it cannot be written.
  bool SaveTo(const std::string& path);

 private:
  QCheckBox* checkDebug_;
  QPlainTextEdit* memoDebug_;
};

}  // namespace tarnisk
