#include "app/cli.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/json_writer.h"
#include "core/app_state.h"
#include "core/msk_file.h"
#include "core/rule_file.h"
#include "ui/headless_platform.h"

#ifndef TARNISK_DATA_DIR
#define TARNISK_DATA_DIR "data"
#endif

namespace tarnisk {

namespace {

std::vector<CliCommand> AllCommands() {
  std::vector<CliCommand> all = LayoutCommands();
  for (CliCommand& c : EditorCommands()) all.push_back(std::move(c));
  for (CliCommand& c : VerifyCommands()) all.push_back(std::move(c));
  for (CliCommand& c : GenCommands()) all.push_back(std::move(c));
  for (CliCommand& c : ExtractCommands()) all.push_back(std::move(c));
  for (CliCommand& c : SimCommands()) all.push_back(std::move(c));
  return all;
}

void PrintUsage(std::ostream& err) {
  err << "usage: tarnisk-cli COMMAND [options]\n"
         "common options: --rules FILE  --json  --quiet\n"
         "commands:\n";
  for (const CliCommand& c : AllCommands()) err << "  " << c.usage << '\n';
}

bool Contains(const std::vector<std::string_view>& list, std::string_view name) {
  for (std::string_view item : list)
    if (item == name) return true;
  return false;
}

// Parses the arguments after the command name; returns an error text or "".
std::string ParseOptions(const CliCommand& command, int argc, const char* const* argv,
                         CliOptions& options) {
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool longOption = arg.size() >= 3 && arg.substr(0, 2) == "--";
    const bool shortOption = arg.size() == 2 && arg[0] == '-' && arg[1] != '-';
    if (!longOption && !shortOption) {
      options.positional.emplace_back(arg);
      continue;
    }
    const std::string_view name = arg.substr(longOption ? 2 : 1);
    if (name == "json") options.json = true;
    else if (name == "quiet") options.quiet = true;
    else if (name == "rules" || Contains(command.valueOptions, name)) {
      if (i + 1 >= argc) return "option --" + std::string(name) + " needs a value";
      options.values[std::string(name)] = argv[++i];
    } else if (Contains(command.flagOptions, name)) options.flags.emplace(name);
    else return "unknown option --" + std::string(name) + " for " + std::string(command.name);
  }
  if (options.positional.size() != command.positionalCount)
    return "usage: tarnisk-cli " + std::string(command.usage);
  return "";
}

std::string DefaultRuleFile() {
  if (std::filesystem::exists("es207.rul")) return "es207.rul";
  return std::string(TARNISK_DATA_DIR) + "/es207.rul";
}

}  // namespace

void WriteRect(JsonWriter& j, const Rect& r) {
  j.BeginArray().Integer(r.xmin).Integer(r.ymin).Integer(r.xmax).Integer(r.ymax).EndArray();
}

int Fail(CliRun& run, const std::string& message) {
  run.err << "tarnisk-cli: " << message << '\n';
  return kExitUsage;
}

bool LoadCliRules(CliRun& run) {
  const auto given = run.options.values.find("rules");
  const std::string path = given != run.options.values.end() ? given->second : DefaultRuleFile();
  const RuleLoadResult result = ReadRuleFile(run.state, path);
  if (result.status == RuleLoadStatus::Loaded) return true;
  Fail(run, RuleLoadProblem(path, result));
  return false;
}

std::string RuleLoadProblem(const std::string& path, const RuleLoadResult& result) {
  if (result.status == RuleLoadStatus::NotOpened) return "cannot open rule file \"" + path + "\"";
  return "Invalid numeric input in \"" + path + "\" at line " + std::to_string(result.errorLine);
}

bool OpenCliLayout(CliRun& run, const std::string& path) {
  ReleaseAll(run.state);
  const int malformedLine = ReadLayoutFile(run.state, path, ReadMode::Open);
  const int32_t error = run.state.LastError;
  if (error == kErrorInvalidNumericInput) {
    Fail(run, "Invalid numeric input in \"" + path + "\" at line " +
                  std::to_string(malformedLine));
    return false;
  }
  if (error == kErrorBoxTableFull || error == kErrorTextTableFull) {
    if (!run.options.quiet) run.err << "tarnisk-cli: warning: table full, rest of \"" << path
                                    << "\" not read\n";
  } else if (error != 0) {
    Fail(run, "cannot open \"" + path + "\": " + std::strerror(error));
    return false;
  }
  ComputeExtent(run.state.layout);
  return true;
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (argc < 2) {
    PrintUsage(err);
    return kExitUsage;
  }
  const std::string_view name = argv[1];
  for (const CliCommand& command : AllCommands()) {
    if (command.name != name) continue;
    CliOptions options;
    const std::string problem = ParseOptions(command, argc, argv, options);
    if (!problem.empty()) {
      err << "tarnisk-cli: " << problem << '\n';
      return kExitUsage;
    }
    HeadlessPlatform platform(options.quiet ? nullptr : &err);
    auto state = std::make_unique<AppState>(platform);
    CliRun run{options, *state, out, err};
    return command.run(run);
  }
  err << "tarnisk-cli: unknown command \"" << name << "\"\n";
  PrintUsage(err);
  return kExitUsage;
}

}  // namespace tarnisk
