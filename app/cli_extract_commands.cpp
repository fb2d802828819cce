// Batch commands of circuit extraction: extract.

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/json_output.h"
#include "core/parse_number.h"
#include "session/analysis/extract_command.h"
#include "session/session.h"

namespace tarnisk {

namespace {

struct Choice {
  std::string_view text;
  int value;
};

constexpr Choice kModels[] = {{"1", kModelLevel1}, {"3", kModelLevel3}, {"9", kModelLevel9}};
constexpr Choice kCleanings[] = {{"purge-merge", kPurgeAndMerge},
                                 {"merge", kMergeOnly},
                                 {"purge", kPurgeOnly},
                                 {"fast", kFastExtraction}};

// Reads option `name` into `value` from its choices; false when it is not one.
template <size_t N>
bool ReadChoice(const CliRun& run, std::string_view name, const Choice (&choices)[N], int& value) {
  const std::string* given = run.options.Value(name);
  if (!given) return true;
  for (const Choice& c : choices)
    if (c.text == *given) {
      value = c.value;
      return true;
    }
  return false;
}

// The options of the command line, or an error text.
std::string ReadOptions(const CliRun& run, ExtractOptions& o) {
  o.lateralCrosstalk = run.options.Flag("lateral");
  o.verticalCrosstalk = run.options.Flag("vertical");
  if (!ReadChoice(run, "model", kModels, o.modelLevel)) return "--model takes 1, 3 or 9";
  if (!ReadChoice(run, "clean", kCleanings, o.cleaningMode))
    return "--clean takes purge-merge, merge, purge or fast";
  if (const std::string* length = run.options.Value("length")) {
    const ParsedNumber ns = ParseNumber(*length, 0.001, 1e6, 20);
    if (!ns.ok || length->empty()) return "--length takes nanoseconds (0.001 to 1000000)";
    run.state.simulation.SimLength = ns.value * 1e-9;
  }
  if (const std::string* ignore = run.options.Value("ignore-short")) {
    const ParsedNumber microns = ParseNumber(*ignore, 0, 1e6, 100);
    if (!microns.ok || ignore->empty()) return "--ignore-short takes microns (0 to 1000000)";
    o.ignoreShortInterconnects = true;
    o.ignoreThreshold = microns.value;
  }
  return "";
}

Json DevicesJson(const std::vector<MosDevice>& devices) {
  Json list = Json::array();
  for (const MosDevice& d : devices)
    list.push_back({{"w", d.W},         {"l", d.L},       {"gate", d.Gate},
                    {"source", d.Source}, {"drain", d.Drain}, {"bulk", d.Bulk},
                    {"gate_box", d.GateBox}, {"leff", d.Leff}, {"wm", d.Wm}});
  return list;
}

Json NodeJson(const nodeBaseRecord& n, int k, bool floating) {
  return {{"number", k},
          {"name", n.name},
          {"property", n.property},
          {"capacitance", n.NodeCapacitance},
          {"length", n.InterconnectLength},
          {"metal_resistance", n.MetalResistance},
          {"polydiff_resistance", n.PolyDiffResistance},
          {"floating", floating},
          {"crosstalk_noise", n.CrosstalkNoise},
          {"driven_noise", n.DrivenNoise}};
}

void WriteJson(std::ostream& out, const Session& s, const std::vector<int>& floating) {
  const Circuit& e = s.circuit;
  const NodeTable& t = s.layout.nodes;
  Json nodes = Json::array(), floatingNames = Json::array();
  for (int k = 0; k <= t.count; ++k) {
    const bool isFloating = std::find(floating.begin(), floating.end(), k) != floating.end();
    nodes.push_back(NodeJson(t.nodes[k], k, isFloating));
  }
  for (int k : floating) floatingNames.push_back(t.nodes[k].name);
  PrintJson(out, {{"message", e.summary},
                  {"boxes", s.layout.boxes.Count()},
                  {"nodes", nodes},
                  {"nmos", DevicesJson(e.nmos)},
                  {"pmos", DevicesJson(e.pmos)},
                  {"floating", floatingNames},
                  {"max_coupling", e.maxCoupling},
                  {"max_coupling_ratio", e.maxCouplingRatio},
                  {"warnings", e.warnings}});
}

void WriteText(std::ostream& out, const Session& s, const std::vector<int>& floating) {
  const Circuit& e = s.circuit;
  out << e.summary << '\n';
  for (const auto& [table, type] : {std::pair{&e.nmos, "nmos"}, std::pair{&e.pmos, "pmos"}})
    for (const MosDevice& d : *table)
      out << type << " W=" << d.W << " L=" << d.L << " gate " << d.Gate << " source " << d.Source
          << " drain " << d.Drain << " bulk " << d.Bulk << '\n';
  for (int k : floating) out << "floating: " << s.layout.nodes.nodes[k].name << '\n';
  for (const std::string& w : e.warnings) out << "warning: " << w << '\n';
}

int RunExtract(CliRun& run) {
  const std::string& layout = run.options.positional[0];
  const std::string problem = ReadOptions(run, run.state.extractOptions);
  if (!problem.empty()) return Fail(run, problem);
  if (!LoadCliRules(run) || !OpenCliLayout(run, layout)) return kExitUsage;
  const bool complete = EnsureExtracted(run.state);
  const std::vector<int> floating = complete ? FloatingNodes(run.state.layout) : std::vector<int>{};
  const std::string* spice = run.options.Value("spice");
  if (complete && spice) {
    const double length = run.state.simulation.SimLength;
    if (const int error = SaveSpiceDeck(run.state, *spice, layout, length))
      return Fail(run, "cannot write \"" + *spice + "\": " + std::strerror(error));
  }
  if (run.options.json) WriteJson(run.out, run.state, floating);
  else WriteText(run.out, run.state, floating);
  return complete ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> ExtractCommands() {
  return {
      {"extract",
       "nodes, transistors and parasitics; exit 1 when the circuit is incomplete",
       {"LAYOUT"},
       {{"spice", "write the SPICE netlist to this file"},
        {"model", "MOS model level of the netlist: 1, 3 (default) or 9"},
        {"length", "transient length of the netlist in ns (default 20)"},
        {"clean", "box cleaning: purge-merge (default), merge, purge or fast"},
        {"ignore-short", "give interconnects shorter than this many microns to node 0"}},
       {{"lateral", "lateral crosstalk between neighbouring wires"},
        {"vertical", "vertical crosstalk between crossing layers"}},
       RunExtract},
  };
}

}  // namespace tarnisk
