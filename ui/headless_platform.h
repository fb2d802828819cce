#pragma once
// Platform without windows: keeps the three status panels, the latest
// messages and the caption in memory, and answers every message box with a
// preset answer. The batch tool derives its own to write them out.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/platform.h"

namespace tarnisk {

class HeadlessPlatform : public Platform {
 public:
  struct Message {
    std::string title;
    std::string text;
  };

  void SetStatusPanel(int panel, const std::string& text) override;
  std::string StatusPanelText(int panel) const override {
    return panel >= 0 && panel <= 2 ? panels_[panel] : std::string();
  }
  MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                            MessageButtons buttons) override;
  void ProcessEvents() override {}
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  bool ConfirmPrint() override { return printConfirmed_; }
  void PrintImage(const DrawingSurface& image) override {
    if (printHandler_) printHandler_(image);
  }
  std::time_t Now() override { return fixedTime_ ? fixedTime_ : Platform::Now(); }

  const std::string& Panel(int panel) const { return panels_.at(panel); }
  // The latest panel-0 messages, oldest first (at most kHistoryLength).
  const std::deque<std::string>& StatusHistory() const { return history_; }
  // The latest message boxes, oldest first (at most kHistoryLength).
  const std::deque<Message>& Messages() const { return messages_; }
  const std::string& Caption() const { return caption_; }

  void SetAnswer(MessageAnswer answer) { answer_ = answer; }
  void SetFixedTime(std::time_t t) { fixedTime_ = t; }
  void SetPrintConfirmed(bool confirmed) { printConfirmed_ = confirmed; }
  void SetPrintHandler(std::function<void(const DrawingSurface&)> handler) {
    printHandler_ = std::move(handler);
  }

 private:
  std::vector<std::string> panels_ = std::vector<std::string>(3);
  static constexpr size_t kHistoryLength = 10000;
  std::deque<std::string> history_;
  std::deque<Message> messages_;
  std::string caption_;
  MessageAnswer answer_ = MessageAnswer::Yes;
  std::time_t fixedTime_ = 0;
  bool printConfirmed_ = false;
  std::function<void(const DrawingSurface&)> printHandler_;
};

}  // namespace tarnisk
