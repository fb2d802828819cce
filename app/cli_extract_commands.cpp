// Batch commands of circuit extraction: extract.

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/json_writer.h"
#include "core/app_state.h"
#include "editor/parse_number.h"
#include "verify/extract.h"
#include "verify/spice.h"

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
  const auto it = run.options.values.find(name);
  if (it == run.options.values.end()) return true;
  for (const Choice& c : choices)
    if (c.text == it->second) {
      value = c.value;
      return true;
    }
  return false;
}

// The options of the command line, or an error text.
std::string ReadOptions(const CliRun& run, ExtractOptions& o) {
  o.lateralCrosstalk = run.options.flags.count("lateral") > 0;
  o.verticalCrosstalk = run.options.flags.count("vertical") > 0;
  if (!ReadChoice(run, "model", kModels, o.modelLevel)) return "--model takes 1, 3 or 9";
  if (!ReadChoice(run, "clean", kCleanings, o.cleaningMode))
    return "--clean takes purge-merge, merge, purge or fast";
  const auto ignore = run.options.values.find("ignore-short");
  if (ignore != run.options.values.end()) {
    const ParsedNumber microns = ParseNumber(ignore->second, 0, 1e6, 100);
    if (!microns.ok || ignore->second.empty()) return "--ignore-short takes microns (0 to 1000000)";
    o.ignoreShortInterconnects = true;
    o.ignoreThreshold = microns.value;
  }
  return "";
}

void WriteDevices(JsonWriter& j, const std::vector<MosDevice>& devices) {
  j.BeginArray();
  for (const MosDevice& d : devices)
    j.BeginObject().Key("w").Integer(d.W).Key("l").Integer(d.L).Key("gate").Integer(d.Gate)
        .Key("source").Integer(d.Source).Key("drain").Integer(d.Drain).Key("bulk").Integer(d.Bulk)
        .Key("gate_box").Integer(d.GateBox).Key("leff").Number(d.Leff).Key("wm").Number(d.Wm)
        .EndObject();
  j.EndArray();
}

void WriteJson(std::ostream& out, const AppState& s, const std::vector<int>& floating) {
  const Extraction& e = s.extraction;
  const NodeTable& t = s.layout.nodes;
  JsonWriter j;
  j.BeginObject().Key("message").String(e.summary).Key("boxes").Integer(s.layout.boxes.Count());
  j.Key("nodes").BeginArray();
  for (int k = 0; k <= t.count; ++k) {
    const nodeBaseRecord& n = t.nodes[k];
    const bool isFloating = std::find(floating.begin(), floating.end(), k) != floating.end();
    j.BeginObject().Key("number").Integer(k).Key("name").String(n.name)
        .Key("property").Integer(n.property).Key("capacitance").Number(n.NodeCapacitance)
        .Key("length").Integer(n.InterconnectLength).Key("metal_resistance").Number(n.MetalResistance)
        .Key("polydiff_resistance").Number(n.PolyDiffResistance).Key("floating").Bool(isFloating)
        .Key("crosstalk_noise").Number(n.CrosstalkNoise).Key("driven_noise").Number(n.DrivenNoise)
        .EndObject();
  }
  j.EndArray().Key("nmos");
  WriteDevices(j, e.nmos);
  j.Key("pmos");
  WriteDevices(j, e.pmos);
  j.Key("floating").BeginArray();
  for (int k : floating) j.String(t.nodes[k].name);
  j.EndArray().Key("max_coupling").Number(e.maxCoupling);
  j.Key("max_coupling_ratio").Number(e.maxCouplingRatio).Key("warnings").BeginArray();
  for (const std::string& w : e.warnings) j.String(w);
  j.EndArray().EndObject();
  out << j.Text() << '\n';
}

void WriteText(std::ostream& out, const AppState& s, const std::vector<int>& floating) {
  const Extraction& e = s.extraction;
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
  const std::string problem = ReadOptions(run, run.state.extraction.options);
  if (!problem.empty()) return Fail(run, problem);
  if (!LoadCliRules(run) || !OpenCliLayout(run, layout)) return kExitUsage;
  const bool complete = ExtractLayout(run.state);
  const std::vector<int> floating = complete ? FloatingNodes(run.state) : std::vector<int>{};
  const auto spice = run.options.values.find("spice");
  if (complete && spice != run.options.values.end()) {
    const ExtractOptions& o = run.state.extraction.options;
    if (const int error = WriteSpiceDeck(run.state, spice->second, layout, o.simLength))
      return Fail(run, "cannot write \"" + spice->second + "\": " + std::strerror(error));
  }
  if (run.options.json) WriteJson(run.out, run.state, floating);
  else WriteText(run.out, run.state, floating);
  return complete ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> ExtractCommands() {
  return {
      {"extract",
       "extract LAYOUT [--spice OUT.cir] [--lateral] [--vertical] [--model 1|3|9] "
       "[--clean purge-merge|merge|purge|fast] [--ignore-short MICRONS]",
       {"spice", "model", "clean", "ignore-short"},
       {"lateral", "vertical"},
       1,
       RunExtract},
  };
}

}  // namespace tarnisk
