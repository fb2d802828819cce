#pragma once
// The batch front end: parses a command line, runs one command on files with
// the same logic as the editor, and reports in text or JSON.

#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tarnisk {

struct AppState;
struct Rect;
class JsonWriter;
struct RuleLoadResult;

// Exit statuses: scripts depend on them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // a check found problems
inline constexpr int kExitUsage = 2;     // bad usage or unreadable input

struct CliOptions {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> values;  // "--name value" options
  std::set<std::string, std::less<>> flags;                // "--name" options
  bool json = false;
  bool quiet = false;
};

struct CliRun {
  const CliOptions& options;
  AppState& state;
  std::ostream& out;
  std::ostream& err;
};

struct CliCommand {
  std::string_view name;
  std::string_view usage;
  std::vector<std::string_view> valueOptions;
  std::vector<std::string_view> flagOptions;
  size_t positionalCount;
  int (*run)(CliRun&);
};

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// Helpers for the commands.
int Fail(CliRun& run, const std::string& message);  // one-line error, exit 2
// Loads --rules, else es207.rul in the working directory, else the bundled
// one. Returns false (after reporting) when the rule file is unusable.
bool LoadCliRules(CliRun& run);
// The one-line error for a rule file that did not load.
std::string RuleLoadProblem(const std::string& path, const RuleLoadResult& result);
// Empties the database and opens a layout; false (after reporting) on failure.
bool OpenCliLayout(CliRun& run, const std::string& path);

// A rectangle as [xmin, ymin, xmax, ymax].
void WriteRect(JsonWriter& j, const Rect& r);

// The commands of each subsystem.
std::vector<CliCommand> LayoutCommands();
std::vector<CliCommand> EditorCommands();
std::vector<CliCommand> VerifyCommands();
std::vector<CliCommand> GenCommands();
std::vector<CliCommand> ExtractCommands();
std::vector<CliCommand> SimCommands();

}  // namespace tarnisk
