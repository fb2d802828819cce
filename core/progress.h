#pragma once
// What a long operation (reading a large file, ordering the boxes, a rule
// check, an extraction, a simulation) reports while it runs, and how it
// learns that the user asked it to stop. The editor's implementation writes
// the status panels and lets pending window events run; the batch tool's
// prints; a caller that wants neither passes SilentProgress.

#include <string>

namespace tarnisk {

class Progress {
 public:
  virtual ~Progress() = default;

  // A message for status panel 0, 1 or 2 of the main window.
  virtual void Show(int panel, const std::string& text) = 0;
  // Lets pending user-interface events run without a message.
  virtual void Yield() = 0;
  // True once the user asked the running operation to stop.
  virtual bool StopRequested() const = 0;
};

inline void ShowStatus(Progress& p, const std::string& text) { p.Show(0, text); }
inline void ShowStatus2(Progress& p, const std::string& text) { p.Show(1, text); }
inline void ShowStatus3(Progress& p, const std::string& text) { p.Show(2, text); }

class SilentProgress : public Progress {
 public:
  void Show(int, const std::string&) override {}
  void Yield() override {}
  bool StopRequested() const override { return false; }
};

}  // namespace tarnisk
