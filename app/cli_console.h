#pragma once
// What the batch tool writes on standard error while a command runs. By
// default: warnings, errors and the run's summary, the last status message
// that is not an announcement of work starting ("Open x..."). With
// --verbose: every status message as it comes; with --quiet: errors only.
// On a terminal, a run that lasts more than about a second shows a progress
// line (a moving bar, the time and the latest status) that is rewritten in
// place and wiped before anything else is written.

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

#include "ui/headless_platform.h"

namespace tarnisk {

enum class CliDetail { Quiet, Summary, Verbose };

class CliConsole {
 public:
  using Clock = std::function<double()>;  // seconds, only differences count

  CliConsole(std::ostream& err, CliDetail detail, bool terminal, Clock clock = SteadySeconds);

  // A status message (status panel 0).
  void Status(const std::string& text);
  // Work goes on without a message: the progress line moves.
  void Tick();
  // A line that is always written (errors).
  void Line(const std::string& text);
  // A warning or a message box: written unless quiet.
  void Warning(const std::string& text);
  // A diagnostic of the libraries below (Qt's): written only when verbose.
  void Detail(const std::string& text);
  // The end of the run: the progress line goes, and unless quiet or verbose
  // the summary is written when `withSummary`.
  void Finish(bool withSummary);

  static double SteadySeconds();

 private:
  void ShowProgress();
  void WipeProgress();

  std::ostream& err_;
  CliDetail detail_;
  bool terminal_;
  Clock clock_;
  double start_;
  double lastDrawn_ = -1;
  bool progressShown_ = false;
  int frame_ = 0;
  unsigned ticks_ = 0;
  std::string latest_;   // the latest status message
  std::string summary_;  // the latest one that is not an announcement
};

// While it lives, Qt's own diagnostics (such as a missing runtime directory
// when the renderer starts Qt off screen) go to the console as details;
// its critical and fatal messages as lines.
class QtMessagesToConsole {
 public:
  explicit QtMessagesToConsole(CliConsole& console);
  ~QtMessagesToConsole();
  QtMessagesToConsole(const QtMessagesToConsole&) = delete;
  QtMessagesToConsole& operator=(const QtMessagesToConsole&) = delete;

 private:
  CliConsole* previous_;
};

// The headless platform of a batch run: the status messages and message
// boxes go to the console.
class CliPlatform : public HeadlessPlatform {
 public:
  explicit CliPlatform(CliConsole& console) : console_(console) {}
  void SetStatusPanel(int panel, const std::string& text) override;
  MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                            MessageButtons buttons) override;
  void ProcessEvents() override { console_.Tick(); }

 private:
  CliConsole& console_;
};

}  // namespace tarnisk
