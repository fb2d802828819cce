// Batch commands of the compilers and the truth table: compile, verilog,
// truth.

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ostream>

#include "app/cli.h"
#include "app/json_output.h"
#include "core/file_io.h"
#include "session/analysis/truth_command.h"
#include "session/compiler/compiler_commands.h"
#include "session/files.h"
#include "session/session.h"

namespace tarnisk {

namespace {

// Opens --in when given; otherwise the layout stays empty.
bool OpenInput(CliRun& run) {
  const std::string* in = run.options.Value("in");
  return !in || OpenCliLayout(run, *in);
}

bool Save(CliRun& run, const std::string& target) {
  if (SaveLayoutFile(run.state, target)) return true;
  Fail(run, "Error writing \"" + target + "\": " + std::strerror(run.state.LastError));
  return false;
}

Json Devices(const CompileResult& r, bool pmos) {
  Json devices = Json::array();
  for (const CompiledCell& cell : r.cells)
    for (const CompiledDevice& d : pmos ? cell.pmos : cell.nmos)
      devices.push_back({{"gate", cell.nodes.Name(d.gate)},
                         {"left", cell.nodes.Name(d.left)},
                         {"right", cell.nodes.Name(d.right)},
                         {"w", d.width},
                         {"l", d.length}});
  return devices;
}

struct Named {
  std::string_view name;
  int value;
};
constexpr Named kLabelModes[] = {
    {"all", kLabelAll}, {"cell", kLabelCellIo}, {"module", kLabelModuleIo}, {"none", kLabelNone}};

std::string ReadLabelMode(CliRun& run, CompilerState& state) {
  const std::string* labels = run.options.Value("labels");
  if (!labels) return "";
  const auto* mode = std::find_if(std::begin(kLabelModes), std::end(kLabelModes),
                                  [&](const Named& m) { return m.name == *labels; });
  if (mode == std::end(kLabelModes)) return "--labels wants all, cell, module or none";
  state.labelMode = mode->value;
  return "";
}

// Errors found in the text are bad input; a wire the router could not lay
// or a full table leaves the cell incomplete.
int CompileExit(const CompileResult& r) {
  if (r.error == kCompileNoRoute || !r.drawn.Complete()) return kExitProblems;
  return r.error == kCompileOk ? kExitOk : kExitUsage;
}

int RunCompile(CliRun& run) {
  if (!LoadCliRules(run) || !OpenInput(run)) return kExitUsage;
  if (const std::string problem = ReadLabelMode(run, run.state.compiler); !problem.empty())
    return Fail(run, problem);
  const std::string& equation = run.options.positional[1];
  const CompileResult r = CompileLine(run.state, equation);
  const int exit = CompileExit(r);
  if (exit != kExitUsage && !Save(run, run.options.positional[0])) return kExitUsage;
  if (run.options.json) {
    PrintJson(run.out, {{"error", r.error},
                        {"message", r.message},
                        {"cells", r.cells.size()},
                        {"nmos", Devices(r, false)},
                        {"pmos", Devices(r, true)},
                        {"boxes_added", r.drawn.boxesAdded}});
  } else {
    run.out << r.message << "\ncells: " << r.cells.size()
            << "\nboxes added: " << r.drawn.boxesAdded << '\n';
  }
  return exit;
}

// The options of the Verilog window; an empty text when they are all right.
std::string ReadVerilogOptions(CliRun& run, CompilerState& state) {
  if (std::string problem = ReadLabelMode(run, state); !problem.empty()) return problem;
  if (const std::string* routing = run.options.Value("routing")) {
    if (*routing != "bottom" && *routing != "top") return "--routing wants bottom or top";
    state.ports.ioBelow = *routing == "bottom";
  }
  for (const auto& [name, size] : {std::pair{"wn", &state.sizes.wn}, {"ln", &state.sizes.ln},
                                   {"wp", &state.sizes.wp}, {"lp", &state.sizes.lp}}) {
    const std::string* text = run.options.Value(name);
    if (!text) continue;
    int32_t v = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), v);
    if (error != std::errc() || end != text->data() + text->size() || v < 1)
      return "--" + std::string(name) + " wants a whole number of lambda above 0";
    *size = v;
  }
  return "";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

int RunVerilog(CliRun& run) {
  const std::string& source = run.options.positional[0];
  if (!LoadCliRules(run) || !OpenInput(run)) return kExitUsage;
  if (const std::string problem = ReadVerilogOptions(run, run.state.compiler); !problem.empty())
    return Fail(run, problem);
  std::string text;
  if (const int error = ReadWholeFile(source, text))
    return Fail(run, "cannot open \"" + source + "\": " + std::strerror(error));
  ResetVerilogTables(run.state);
  const VerilogResult r = CompileVerilogText(run.state, Lines(text));
  if (!Save(run, run.options.positional[1])) return kExitUsage;
  if (run.options.json) {
    PrintJson(run.out, {{"log", r.log},
                        {"cells", r.counts.cells},
                        {"routed_wires", r.counts.routedWires},
                        {"errors", r.counts.errors},
                        {"boxes_added", r.drawn.boxesAdded}});
  } else {
    for (const std::string& line : r.log) run.out << line << '\n';
  }
  const bool complete = r.counts.errors == 0 && r.counts.abortedWires == 0 && r.drawn.Complete();
  return complete ? kExitOk : kExitProblems;
}

std::vector<std::string> NameList(const std::string* text) {
  std::vector<std::string> names;
  if (!text) return names;
  size_t start = 0;
  while (start <= text->size()) {
    const size_t comma = std::min(text->find(',', start), text->size());
    if (comma > start) names.push_back(text->substr(start, comma - start));
    start = comma + 1;
  }
  return names;
}

Json LogicJson(Logic v) {
  if (v == Logic::X) return "X";
  return v == Logic::One ? 1 : 0;
}

int RunTruth(CliRun& run) {
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  const TruthRequest request{NameList(run.options.Value("inputs")),
                             NameList(run.options.Value("outputs")), run.options.Flag("analog")};
  const TruthOutcome outcome = TruthTableOf(run.state, request);
  if (!outcome.problem.empty()) return Fail(run, outcome.problem);
  const TruthTable& t = outcome.table;
  if (run.options.json) {
    Json rows = Json::array();
    for (const std::vector<Logic>& row : t.rows) {
      Json values = Json::array();
      for (const Logic v : row) values.push_back(LogicJson(v));
      rows.push_back(values);
    }
    PrintJson(run.out, {{"inputs", t.inputs}, {"outputs", t.outputs}, {"rows", rows}});
    return kExitOk;
  }
  for (const auto* names : {&t.inputs, &t.outputs})
    for (const std::string& name : *names) run.out << name << ' ';
  run.out << '\n';
  for (const std::vector<Logic>& row : t.rows) {
    for (const Logic v : row) run.out << (v == Logic::X ? 'X' : v == Logic::One ? '1' : '0') << ' ';
    run.out << '\n';
  }
  return kExitOk;
}

}  // namespace

std::vector<CliCommand> CompileCommands() {
  return {
      {"compile",
       "compile one boolean equation into a CMOS cell; exit 1 when a wire could not be laid",
       {"OUT.msk", "EQUATION"},
       {{"in", "the layout to add the cell to (default: an empty one)"},
        {"labels", "all, cell (default), module or none"}},
       {},
       RunCompile},
      {"verilog",
       "compile a gate-level Verilog module; exit 1 when a cell or wire was not completed",
       {"SOURCE.v", "OUT.msk"},
       {{"in", "the layout to add the cells to (default: an empty one)"},
        {"labels", "all, cell (default), module or none"},
        {"routing", "bottom: module inputs and outputs below the cells (default); top"},
        {"wn", "nMOS width in lambda"},
        {"ln", "nMOS length in lambda"},
        {"wp", "pMOS width in lambda"},
        {"lp", "pMOS length in lambda"}},
       {},
       RunVerilog},
      {"truth",
       "the truth table of the layout's extracted circuit, switch by switch or simulated",
       {"LAYOUT"},
       {{"inputs", "a,b,...: the input node names (default: labelled nodes that drive no drain)"},
        {"outputs", "y,...: the output node names (default: labelled nodes that do)"}},
       {{"analog", "settle each combination with the analog simulator"}},
       RunTruth},
  };
}

}  // namespace tarnisk
