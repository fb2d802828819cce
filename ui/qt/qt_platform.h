#pragma once
// The platform services on Qt widgets: the main window's three status panels,
// modal message boxes, the event pump, the caption and printing.

#include <QLabel>
#include <QMainWindow>
#include <array>
#include <functional>
#include <string>

#include "ui/platform.h"

namespace tarnisk {

class QtPlatform : public Platform {
 public:
  // The window whose caption and status bar this platform drives.
  void Attach(QMainWindow* window);

  void SetStatusPanel(int panel, const std::string& text) override;
  std::string StatusPanelText(int panel) const override;
  MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                            MessageButtons buttons) override;
  void ProcessEvents() override;
  void SetCaption(const std::string& caption) override;
  bool ConfirmPrint() override;
  void PrintImage(const DrawingSurface& image) override;

  // Marks the caption while the layout has unsaved changes.
  void ShowModified(bool modified);

  // True while a status message is letting pending events run: input that
  // would edit the tables must wait until the running command ends.
  bool InsideEventPump() const { return pumpDepth_ > 0; }

  // Told of every status message (the debug log copies them).
  void SetStatusListener(std::function<void(const std::string&)> listener) {
    statusListener_ = std::move(listener);
  }

 private:
  void ShowCaption();

  QMainWindow* window_ = nullptr;
  std::string caption_;
  bool modified_ = false;
  std::array<QLabel*, 3> panels_{};
  int pumpDepth_ = 0;
  std::function<void(const std::string&)> statusListener_;
};

}  // namespace tarnisk
