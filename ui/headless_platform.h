#pragma once
// Platform without windows: keeps the three status panels and the caption in
// memory, optionally echoes panel-0 messages and message boxes to a stream
// (the batch tool's standard error), and answers every message box with a
// preset answer.

#include <iosfwd>
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

  // echo: where status and message-box texts are copied, or nullptr.
  explicit HeadlessPlatform(std::ostream* echo = nullptr) : echo_(echo) {}

  void SetStatusPanel(int panel, const std::string& text) override;
  MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                            MessageButtons buttons) override;
  void ProcessEvents() override {}
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  std::time_t Now() override { return fixedTime_ ? fixedTime_ : Platform::Now(); }

  const std::string& Panel(int panel) const { return panels_.at(panel); }
  const std::vector<std::string>& StatusHistory() const { return history_; }
  const std::vector<Message>& Messages() const { return messages_; }
  const std::string& Caption() const { return caption_; }

  void SetAnswer(MessageAnswer answer) { answer_ = answer; }
  void SetFixedTime(std::time_t t) { fixedTime_ = t; }

 private:
  std::ostream* echo_;
  std::vector<std::string> panels_ = std::vector<std::string>(3);
  std::vector<std::string> history_;
  std::vector<Message> messages_;
  std::string caption_;
  MessageAnswer answer_ = MessageAnswer::Yes;
  std::time_t fixedTime_ = 0;
};

}  // namespace tarnisk
