#include "app/cli.h"

#include <CLI/CLI.hpp>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/json_output.h"
#include "core/parse_number.h"
#include "app/cli_console.h"
#include "session/files.h"
#include "session/session.h"

#ifndef TARNISK_DATA_DIR
#define TARNISK_DATA_DIR "data"
#endif

namespace tarnisk {

namespace {

std::vector<CliCommand> AllCommands() {
  std::vector<CliCommand> all;
  for (auto group : {LayoutCommands, EditorCommands, VerifyCommands, InterchangeCommands,
                     ExtractCommands, SimCommands, MosCommands, NavigatorCommands, StatsCommands,
                     ProcessCommands, GeneratorCommands, CompileCommands})
    for (CliCommand& c : group()) all.push_back(std::move(c));
  return all;
}

std::string OptionName(std::string_view name) {
  return (name.size() == 1 ? "-" : "--") + std::string(name);
}

// The command's options, bound to `options`, on a subcommand of the parser.
void DeclareCommand(CLI::App& app, const CliCommand& c, CliOptions& options) {
  CLI::App* sub = app.add_subcommand(std::string(c.name), std::string(c.summary));
  options.positional.resize(c.positionals.size());
  for (size_t i = 0; i < c.positionals.size(); ++i) {
    CLI::Option* positional = sub->add_option(std::string(c.positionals[i]), options.positional[i]);
    if (!c.positionalsOptional) positional->required();
  }
  const auto value = [&](std::string_view name, const std::string& help) {
    sub->add_option_function<std::string>(
        OptionName(name), [&options, name](const std::string& v) { options.values[std::string(name)] = v; },
        help);
  };
  const auto list = [&](std::string_view name, const std::string& help) {
    sub->add_option_function<std::vector<std::string>>(
           OptionName(name),
           [&options, name](const std::vector<std::string>& v) {
             auto& all = options.lists[std::string(name)];
             all.insert(all.end(), v.begin(), v.end());
           },
           help)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  };
  value("rules", "rule file (default: es207.rul here, else the bundled one)");
  for (const CliOption& o : c.valueOptions) {
    if (o.repeatable) list(o.name, std::string(o.help));
    else value(o.name, std::string(o.help));
  }
  for (const CliOption& o : c.flagOptions)
    sub->add_flag_callback(OptionName(o.name), [&options, name = o.name] { options.flags.emplace(name); },
                           std::string(o.help));
  sub->add_flag("--json", options.json, "print one JSON object on standard output");
  sub->add_flag("--quiet", options.quiet, "nothing on standard error but errors");
  sub->add_flag("--verbose", options.verbose, "every status message on standard error");
}

void PrintCommandList(std::ostream& err, const std::vector<CliCommand>& commands) {
  err << "usage: tarnisk-cli COMMAND [options]   (tarnisk-cli help COMMAND for its options)\n"
         "commands:\n";
  for (const CliCommand& c : commands) err << "  " << c.name << "  " << c.summary << '\n';
}

std::string DefaultRuleFile() {
  if (std::filesystem::exists("es207.rul")) return "es207.rul";
  return std::string(TARNISK_DATA_DIR) + "/es207.rul";
}

const CliCommand* FindCommand(const std::vector<CliCommand>& commands, std::string_view name) {
  for (const CliCommand& c : commands)
    if (c.name == name) return &c;
  return nullptr;
}

std::string Usage(const CliCommand& c) {
  std::string usage = "tarnisk-cli " + std::string(c.name);
  for (std::string_view p : c.positionals) usage += " " + std::string(p);
  return usage + " [options]";
}

// "help" and "help COMMAND" as "--help" and "COMMAND --help".
std::vector<std::string> Arguments(int argc, const char* const* argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "help") {
    args.erase(args.begin());
    args.resize(std::min<size_t>(args.size(), 1));
    args.push_back("--help");
  }
  return args;
}

}  // namespace

const std::string* CliOptions::Value(std::string_view name) const {
  const auto it = values.find(name);
  return it == values.end() ? nullptr : &it->second;
}

const std::vector<std::string>& CliOptions::List(std::string_view name) const {
  static const std::vector<std::string> none;
  const auto it = lists.find(name);
  return it == lists.end() ? none : it->second;
}

int Fail(CliRun& run, const std::string& message) {
  run.console.Line("tarnisk-cli: " + message);
  return kExitUsage;
}

int ExtractionIncomplete(CliRun& run, const std::string& message) {
  if (run.options.json)
    PrintJson(run.out, {{"message", message}, {"warnings", run.state.circuit.warnings}});
  else
    run.out << message << '\n';
  return kExitProblems;
}

std::string WriteProblem(const std::string& path, int error) {
  return "cannot write \"" + path + "\": " + std::strerror(error);
}

bool LoadCliRules(CliRun& run) {
  const std::string* given = run.options.Value("rules");
  const std::string path = given ? *given : DefaultRuleFile();
  const RuleLoadResult result = LoadRuleFile(run.state, path);
  if (result.status == RuleLoadStatus::Loaded && result.recognised) return true;
  Fail(run, RuleLoadProblem(path, result));
  return false;
}

std::string RuleLoadProblem(const std::string& path, const RuleLoadResult& result) {
  if (result.status == RuleLoadStatus::NotOpened) return "cannot open rule file \"" + path + "\"";
  if (result.status == RuleLoadStatus::Loaded)
    return "\"" + path + "\" is not a rule file: no key was recognised";
  return "Invalid numeric input in \"" + path + "\" at line " + std::to_string(result.errorLine);
}

bool ReadNumberOption(const CliRun& run, std::string_view name, double minimum, double maximum,
                      double& value) {
  const std::string* text = run.options.Value(name);
  if (!text) return true;
  const ParsedNumber n = ParseNumber(*text, minimum, maximum, value);
  if (!n.ok || text->empty()) return false;
  value = n.value;
  return true;
}

namespace {

bool OpenMsk(CliRun& run, const std::string& path, CliLayoutNotes& notes) {
  const LayoutReadResult result = OpenLayoutFile(run.state, path, ReadMode::Open);
  if (result.malformedLine != 0 || result.notALayout) {
    Fail(run, result.message);
    return false;
  }
  if (result.ioError != 0) {
    Fail(run, "cannot open \"" + path + "\": " + std::strerror(result.ioError));
    return false;
  }
  notes.tableFull = result.table != kTableOk;
  const auto dropped = [&](const char* kind, int count) {
    if (count > 0) notes.dropped[kind] = count;
  };
  dropped("boxes", result.dropped.boxes);
  dropped("texts", result.dropped.texts);
  dropped("resistance marks", result.dropped.marks);
  if (notes.tableFull) notes.warnings.push_back("table full in \"" + path + "\"");
  return true;
}

bool OpenInterchange(CliRun& run, const std::string& path, LayoutFormat format,
                     CliLayoutNotes& notes) {
  const LayoutImport result = ImportLayoutFile(run.state.layout, run.state.technology, path,
                                               format, ReadMode::Open, run.state.progress);
  if (result.ioError != 0) {
    Fail(run, "cannot open \"" + path + "\": " + std::strerror(result.ioError));
    return false;
  }
  if (!result.error.empty()) {
    Fail(run, "\"" + path + "\" is not readable: " + result.error);
    return false;
  }
  notes.dropped = result.dropped;
  notes.warnings = result.warnings;
  notes.tableFull = result.table != kTableOk;
  return true;
}

}  // namespace

bool OpenCliLayout(CliRun& run, const std::string& path, CliLayoutNotes* notes) {
  ReleaseAll(run.state.layout);
  CliLayoutNotes read;
  const LayoutFormat format = LayoutFormatOf(path).value_or(LayoutFormat::Msk);
  const bool ok = format == LayoutFormat::Msk ? OpenMsk(run, path, read)
                                              : OpenInterchange(run, path, format, read);
  if (!ok) return false;
  for (const std::string& warning : read.warnings)
    run.console.Warning("tarnisk-cli: warning: " + warning);
  for (const auto& [kind, count] : read.dropped)
    run.console.Warning("tarnisk-cli: warning: " + std::to_string(count) + " " + kind +
                        " left out of \"" + path + "\"");
  ComputeExtent(run.state.layout);
  run.inputIncomplete |= read.tableFull || !read.dropped.empty();
  if (notes) *notes = std::move(read);
  return true;
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool errIsTerminal) {
  const std::vector<CliCommand> commands = AllCommands();
  const std::vector<std::string> args = Arguments(argc, argv);
  if (args.empty()) {
    PrintCommandList(err, commands);
    return kExitUsage;
  }
  const CliCommand* named = FindCommand(commands, args[0]);
  if (args[0][0] != '-' && !named) {
    err << "tarnisk-cli: unknown command \"" << args[0] << "\" (tarnisk-cli --help lists them)\n";
    return kExitUsage;
  }
  CLI::App app("Tarnisk's analyses on layout files, for scripts and grading.", "tarnisk-cli");
  app.require_subcommand(1, 1);
  std::vector<CliOptions> options(commands.size());
  for (size_t i = 0; i < commands.size(); ++i) DeclareCommand(app, commands[i], options[i]);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    err << "tarnisk-cli: " << e.what();
    if (named) err << " (usage: " << Usage(*named) << ")";
    err << '\n';
    return kExitUsage;
  }
  for (size_t i = 0; i < commands.size(); ++i) {
    if (!app.got_subcommand(std::string(commands[i].name))) continue;
    const CliOptions& o = options[i];
    CliConsole console(err,
                       o.quiet     ? CliDetail::Quiet
                       : o.verbose ? CliDetail::Verbose
                                   : CliDetail::Summary,
                       errIsTerminal);
    const QtMessagesToConsole qtMessages(console);
    CliPlatform platform(console);
    auto state = std::make_unique<Session>(platform);
    CliRun run{o, *state, out, err, console};
    const int status = commands[i].run(run);
    // After a usage error its one line is all there is to say.
    console.Finish(status != kExitUsage);
    return status == kExitOk && run.inputIncomplete ? kExitProblems : status;
  }
  return kExitUsage;
}

}  // namespace tarnisk
