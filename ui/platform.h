#pragma once
// The few services the layout logic needs from the desktop: status panels,
// message boxes, the event pump, the window caption and the clock. The editor
// implements them with Qt; tests and the batch tool use HeadlessPlatform.

#include <ctime>
#include <string>

namespace tarnisk {

class DrawingSurface;

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class Platform {
 public:
  virtual ~Platform() = default;

  // Writes text into status panel 0, 1 or 2, then lets pending window
  // messages run so that long operations keep the interface alive.
  virtual void SetStatusPanel(int panel, const std::string& text) = 0;
  // What status panel 0, 1 or 2 shows now.
  virtual std::string StatusPanelText(int panel) const = 0;

  // A modal message box; returns the button the user pressed.
  virtual MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                                    MessageButtons buttons) = 0;

  // Processes pending window messages (keys, Stop buttons) without waiting.
  virtual void ProcessEvents() = 0;

  virtual void SetCaption(const std::string& caption) = 0;

  // The print dialog: true when the user confirmed printing.
  virtual bool ConfirmPrint() { return false; }
  // Prints the drawing area's image.
  virtual void PrintImage(const DrawingSurface& image) { (void)image; }

  // Current wall-clock time, for file headers and elapsed-time messages.
  virtual std::time_t Now() { return std::time(nullptr); }
};

inline void ShowStatus(Platform& p, const std::string& text) { p.SetStatusPanel(0, text); }
inline void ShowStatus2(Platform& p, const std::string& text) { p.SetStatusPanel(1, text); }
inline void ShowStatus3(Platform& p, const std::string& text) { p.SetStatusPanel(2, text); }

}  // namespace tarnisk
