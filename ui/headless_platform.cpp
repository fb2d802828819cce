#include "ui/headless_platform.h"

namespace tarnisk {

void HeadlessPlatform::SetStatusPanel(int panel, const std::string& text) {
  if (panel < 0 || panel > 2) return;
  panels_[panel] = text;
  if (panel != 0) return;
  history_.push_back(text);
  if (history_.size() > kHistoryLength) history_.pop_front();
}

MessageAnswer HeadlessPlatform::ShowMessage(const std::string& title, const std::string& text,
                                            MessageButtons buttons) {
  messages_.push_back({title, text});
  if (messages_.size() > kHistoryLength) messages_.pop_front();
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  if (buttons == MessageButtons::OkCancel)
    return answer_ == MessageAnswer::Yes ? MessageAnswer::Ok : answer_;
  return answer_;
}

}  // namespace tarnisk
