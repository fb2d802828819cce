// Batch commands on layout and rule files: info, convert, tech.

#include <cstring>
#include <ostream>

#include "app/cli.h"
#include "app/json_output.h"
#include "session/files.h"
#include "session/session.h"

namespace tarnisk {

namespace {

std::array<int, kLayerCount + 1> BoxesPerLayer(const Layout& l) {
  std::array<int, kLayerCount + 1> counts{};
  ForEachLive(l.boxes, [&](int, const Box& b) { ++counts[b.layer]; });
  return counts;
}

int RunInfo(CliRun& run) {
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  const Layout& l = run.state.layout;
  const Technology& t = run.state.technology;
  const auto counts = BoxesPerLayer(l);
  if (run.options.json) {
    Json layers = Json::object();
    for (int layer = 1; layer <= kLayerCount; ++layer)
      if (counts[layer] > 0) layers[l.layers[layer].name] = counts[layer];
    PrintJson(run.out, {{"boxes", l.boxes.Count()},
                        {"texts", l.texts.Count()},
                        {"resistances", l.resistances.Count()},
                        {"extent", JsonRect(l.wide.extent)},
                        {"layers", layers},
                        {"technology",
                         {{"name", t.Name}, {"lambda", t.LAMB}, {"vdd", t.VDD}, {"metals", t.META}}}});
    return kExitOk;
  }
  const Rect& e = l.wide.extent;
  run.out << "boxes: " << l.boxes.Count() << "\ntexts: " << l.texts.Count()
          << "\nresistances: " << l.resistances.Count() << "\nextent: " << e.xmin << ' '
          << e.ymin << ' ' << e.xmax << ' ' << e.ymax << '\n';
  for (int layer = 1; layer <= kLayerCount; ++layer)
    if (counts[layer] > 0) run.out << "layer " << l.layers[layer].name << ": " << counts[layer] << '\n';
  run.out << "technology: " << t.Name << " (lambda " << t.LAMB << " um, vdd " << t.VDD << " V, "
          << t.META << " metals)\n";
  return kExitOk;
}

int RunConvert(CliRun& run) {
  const std::string& source = run.options.positional[0];
  const std::string& target = run.options.positional[1];
  CliLayoutNotes notes;
  if (!LoadCliRules(run) || !OpenCliLayout(run, source, &notes)) return kExitUsage;
  std::vector<std::string> written;
  if (!SaveAnyLayoutFile(run.state, target, &written))
    return Fail(run, "Error writing \"" + target + "\": " + std::strerror(run.state.LastError));
  const Layout& l = run.state.layout;
  notes.warnings.insert(notes.warnings.end(), written.begin(), written.end());
  if (run.options.json)
    PrintJson(run.out, {{"boxes", l.boxes.Count()},
                        {"texts", l.texts.Count()},
                        {"dropped", notes.dropped},
                        {"warnings", notes.warnings},
                        {"output", target}});
  // Something of the input did not reach the output.
  return notes.dropped.empty() && !notes.tableFull ? kExitOk : kExitProblems;
}

Json LayerJson(const LayerInfo& info) {
  return {{"name", info.name},           {"code", info.code},
          {"sheet_resistance", info.sheetResistance},
          {"thickness", info.thickness}, {"height", info.height},
          {"cif", info.cifName},         {"gds2", info.gds2},
          {"overetch", info.overetch},   {"min_width", info.minWidth}};
}

Json MosJson(const MosParameters& p, double tox, bool pmos) {
  Json j = Json::object();
  for (const MosKey& k : MosKeys())
    if (!(pmos && k.nmosOnly)) j[k.name] = p.*k.field;
  j["TOX"] = tox;
  return j;
}

Json TechnologyJson(const Session& s, const std::string& error) {
  const Technology& t = s.technology;
  Json rules = Json::object(), capacitances = Json::object(), layers = Json::array();
  for (const RuleKey& k : RuleKeys()) rules[k.key] = t.*k.field;
  for (const CapacitanceKey& k : CapacitanceKeys()) capacitances[k.key] = t.*k.field;
  for (int layer = 1; layer <= kLayerCount; ++layer) layers.push_back(LayerJson(s.layout.layers[layer]));
  return {{"name", t.Name},
          {"lambda", t.LAMB},
          {"vdd", t.VDD},
          {"temp", t.TEMP},
          {"delt", t.DELT},
          {"metals", t.META},
          {"rules", rules},
          {"capacitances", capacitances},
          {"layers", layers},
          {"nmos", MosJson(t.nmos, t.TOX, false)},
          {"pmos", MosJson(t.pmos, t.TOX, true)},
          {"error", error.empty() ? Json() : Json(error)}};
}

void WriteTechnologyText(std::ostream& out, const Session& s) {
  const Technology& t = s.technology;
  out << "name: " << t.Name << "\nlambda: " << t.LAMB << "\nvdd: " << t.VDD
      << "\ntemp: " << t.TEMP << "\ndelt: " << t.DELT << "\nmetals: " << t.META << '\n';
  for (const RuleKey& k : RuleKeys()) out << k.key << " = " << t.*k.field << '\n';
  for (const CapacitanceKey& k : CapacitanceKeys()) out << k.key << " = " << t.*k.field << '\n';
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    const LayerInfo& i = s.layout.layers[layer];
    out << "layer " << i.name << ": cif " << i.cifName << ", gds2 " << int(i.gds2) << '\n';
  }
}

int RunTech(CliRun& run) {
  const std::string& path = run.options.positional[0];
  const RuleLoadResult result = LoadRuleFile(run.state, path);
  const bool noRules = result.status == RuleLoadStatus::Loaded && !result.recognised;
  if (result.status == RuleLoadStatus::NotOpened || noRules)
    return Fail(run, RuleLoadProblem(path, result));
  const bool malformed = result.status == RuleLoadStatus::Malformed;
  if (run.options.json) {
    PrintJson(run.out, TechnologyJson(run.state, malformed ? "Invalid numeric input" : ""));
  } else {
    WriteTechnologyText(run.out, run.state);
  }
  return malformed ? Fail(run, RuleLoadProblem(path, result)) : kExitOk;
}

}  // namespace

std::vector<CliCommand> LayoutCommands() {
  return {
      {"info", "counts, extent, boxes per layer, technology", {"LAYOUT"}, {}, {}, RunInfo},
      {"convert",
       "read a layout and write it in the format the output's extension names (.msk, .gds, "
       ".cif); exit 1 when something of the input could not be written",
       {"IN", "OUT"},
       {},
       {},
       RunConvert},
      {"tech", "the technology record after loading a rule file", {"RULEFILE"}, {}, {}, RunTech},
  };
}

}  // namespace tarnisk
