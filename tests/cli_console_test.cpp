#include <gtest/gtest.h>

#include <sstream>

#include "app/cli_console.h"

namespace tarnisk {
namespace {

// A console on a string with a clock the test sets.
struct Console {
  explicit Console(CliDetail detail, bool terminal = false)
      : console(err, detail, terminal, [this] { return now; }) {}
  std::ostringstream err;
  double now = 100;
  CliConsole console;
  // A long loop letting events run: the console looks at the clock at
  // least once in 64 steps.
  void Work() {
    for (int i = 0; i < 64; ++i) console.Tick();
  }
};

TEST(CliConsole, SummaryIsTheLastMessageThatIsNotAnAnnouncement) {
  Console c(CliDetail::Summary);
  c.console.Status("Open a.msk...");
  c.console.Status("22 boxes");
  c.console.Warning("Warning: something odd");
  c.console.Status("Save file...");
  EXPECT_EQ(c.err.str(), "Warning: something odd\n");
  c.console.Finish(true);
  EXPECT_EQ(c.err.str(), "Warning: something odd\n22 boxes\n");

  Console failed(CliDetail::Summary);
  failed.console.Status("22 boxes");
  failed.console.Line("tarnisk-cli: cannot write");
  failed.console.Finish(false);
  EXPECT_EQ(failed.err.str(), "tarnisk-cli: cannot write\n");
}

TEST(CliConsole, VerboseWritesEveryMessageAndQuietOnlyErrors) {
  Console verbose(CliDetail::Verbose);
  verbose.console.Status("Open a.msk...");
  verbose.console.Status("22 boxes");
  verbose.console.Finish(true);
  EXPECT_EQ(verbose.err.str(), "Open a.msk...\n22 boxes\n");

  Console quiet(CliDetail::Quiet, true);
  quiet.console.Status("22 boxes");
  quiet.console.Warning("Warning: odd");
  quiet.now += 5;
  quiet.Work();
  quiet.console.Line("tarnisk-cli: error");
  quiet.console.Finish(true);
  EXPECT_EQ(quiet.err.str(), "tarnisk-cli: error\n");
}

// On a terminal, after a second a progress line shows the latest message;
// it is rewritten in place, at most ten times a second, and wiped before
// any other line and at the end.
TEST(CliConsole, ProgressLineOnATerminalAfterASecond) {
  Console c(CliDetail::Summary, true);
  c.console.Status("Check poly");
  c.now += 0.9;
  c.Work();
  EXPECT_EQ(c.err.str(), "") << "short runs show nothing";
  c.now += 0.3;
  c.Work();
  EXPECT_EQ(c.err.str(), "\r[===         ] 1.2s Check poly\x1b[K");
  c.now += 0.05;
  c.console.Status("Check metal");
  EXPECT_EQ(c.err.str().find("Check metal"), std::string::npos) << "too soon to redraw";
  c.now += 0.1;
  c.Work();
  EXPECT_NE(c.err.str().find("\r[ ===        ] 1.3s Check metal\x1b[K"), std::string::npos);
  c.err.str("");
  c.console.Warning("Warning: odd");
  EXPECT_EQ(c.err.str(), "\r\x1b[KWarning: odd\n");
  c.err.str("");
  c.console.Finish(true);
  EXPECT_EQ(c.err.str(), "Check metal\n") << "nothing to wipe: the warning did";

  Console pipe(CliDetail::Summary, false);
  pipe.now += 10;
  pipe.console.Status("Check poly");
  pipe.Work();
  EXPECT_EQ(pipe.err.str(), "") << "no progress line off a terminal";
}

}  // namespace
}  // namespace tarnisk
