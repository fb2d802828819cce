#pragma once
// The batch front end: parses a command line, runs one command on files with
// the same logic as the editor, and reports in text or JSON.

#include <functional>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tarnisk {

class CliConsole;
struct Session;
struct RuleLoadResult;

// Exit statuses: scripts depend on them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // a check found problems
inline constexpr int kExitUsage = 2;     // bad usage or unreadable input

// The parsed command line of one command.
struct CliOptions {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> values;  // "--name value" options given
  std::map<std::string, std::vector<std::string>, std::less<>> lists;  // repeatable options
  std::set<std::string, std::less<>> flags;                // "--name" options given
  bool json = false;
  bool quiet = false;
  bool verbose = false;

  // The value of option `name`, or nullptr when it was not given.
  const std::string* Value(std::string_view name) const;
  // Every value of a repeatable option, in the order given.
  const std::vector<std::string>& List(std::string_view name) const;
  bool Flag(std::string_view name) const { return flags.count(name) > 0; }
};

struct CliRun {
  const CliOptions& options;
  Session& state;
  std::ostream& out;
  std::ostream& err;
  CliConsole& console;  // what goes to `err` while the command runs
  // Set when a layout was read only in part (a table filled, records were
  // left out): a run that would otherwise succeed then exits 1.
  bool inputIncomplete = false;
};

// An option of a command ("o" is -o, any other name --name) and its help.
struct CliOption {
  std::string_view name;
  std::string_view help;
  bool repeatable = false;  // may be given more than once
};

// One command: its name, what it does, its positional arguments, the options
// that take a value and the flags.
struct CliCommand {
  std::string_view name;
  std::string_view summary;
  std::vector<std::string_view> positionals;
  std::vector<CliOption> valueOptions;
  std::vector<CliOption> flagOptions;
  int (*run)(CliRun&);
  // The command checks its positionals itself (it has a mode without them);
  // those not given are empty.
  bool positionalsOptional = false;
};

// `errIsTerminal`: standard error is a terminal, where long runs show their
// progress.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool errIsTerminal = false);

// Helpers for the commands.
int Fail(CliRun& run, const std::string& message);  // one-line error, exit 2
// Reports an extraction that did not complete (its message and the
// circuit's warnings, as JSON when --json asked for it); returns exit 1.
int ExtractionIncomplete(CliRun& run, const std::string& message);
// The error for a file that could not be written: its path and the cause.
std::string WriteProblem(const std::string& path, int error);
// Loads --rules, else es207.rul in the working directory, else the bundled
// one. Returns false (after reporting) when the rule file is unusable.
bool LoadCliRules(CliRun& run);
// The one-line error for a rule file that did not load, or that loaded
// without naming a single key.
std::string RuleLoadProblem(const std::string& path, const RuleLoadResult& result);
// A number option in [minimum, maximum]: true and `value` set when given and
// readable, true and `value` untouched when absent, false when unreadable.
bool ReadNumberOption(const CliRun& run, std::string_view name, double minimum, double maximum,
                      double& value);
// What reading a layout left out (GDSII and CIF), and whether a table filled.
struct CliLayoutNotes {
  std::map<std::string, int> dropped;
  std::vector<std::string> warnings;
  bool tableFull = false;
};
// Empties the database and opens a layout in the format its extension names
// (MSK, GDSII, CIF); false (after reporting) on failure. What was left out
// goes to standard error unless --quiet, and into `notes` when given.
bool OpenCliLayout(CliRun& run, const std::string& path, CliLayoutNotes* notes = nullptr);

// The commands of each subsystem.
std::vector<CliCommand> LayoutCommands();
std::vector<CliCommand> EditorCommands();
std::vector<CliCommand> VerifyCommands();
std::vector<CliCommand> InterchangeCommands();
std::vector<CliCommand> ExtractCommands();
std::vector<CliCommand> SimCommands();
std::vector<CliCommand> MosCommands();
std::vector<CliCommand> NavigatorCommands();
std::vector<CliCommand> StatsCommands();
std::vector<CliCommand> ProcessCommands();
std::vector<CliCommand> GeneratorCommands();
std::vector<CliCommand> CompileCommands();

}  // namespace tarnisk
