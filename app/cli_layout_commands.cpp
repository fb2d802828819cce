// Batch commands on layout and rule files: info, convert, tech.

#include <cstring>
#include <ostream>

#include "app/cli.h"
#include "app/json_writer.h"
#include "core/app_state.h"
#include "core/msk_file.h"
#include "core/rule_file.h"

namespace tarnisk {

namespace {

std::array<int, kLayerCount + 1> BoxesPerLayer(const Layout& l) {
  std::array<int, kLayerCount + 1> counts{};
  for (int i = 1; i <= l.boxes.Count(); ++i)
    if (l.boxes[i].state != kErased) ++counts[l.boxes[i].layer];
  return counts;
}

int RunInfo(CliRun& run) {
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  const Layout& l = run.state.layout;
  const Technology& t = run.state.technology;
  const auto counts = BoxesPerLayer(l);
  if (run.options.json) {
    JsonWriter j;
    j.BeginObject();
    j.Key("boxes").Integer(l.boxes.Count());
    j.Key("texts").Integer(l.texts.Count());
    j.Key("resistances").Integer(l.resistances.Count());
    j.Key("extent"), WriteRect(j, l.wide.extent);
    j.Key("layers").BeginObject();
    for (int layer = 1; layer <= kLayerCount; ++layer)
      if (counts[layer] > 0) j.Key(l.layers[layer].name).Integer(counts[layer]);
    j.EndObject();
    j.Key("technology").BeginObject();
    j.Key("name").String(t.Name).Key("lambda").Number(t.LAMB);
    j.Key("vdd").Number(t.VDD).Key("metals").Integer(t.META);
    j.EndObject().EndObject();
    run.out << j.Text() << '\n';
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
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  const std::string& target = run.options.positional[1];
  if (!WriteLayoutFile(run.state, target))
    return Fail(run, "Error writing \"" + target + "\": " + std::strerror(run.state.LastError));
  if (run.options.json) {
    JsonWriter j;
    j.BeginObject().Key("boxes").Integer(run.state.layout.boxes.Count());
    j.Key("output").String(target).EndObject();
    run.out << j.Text() << '\n';
  }
  return kExitOk;
}

void WriteLayerJson(JsonWriter& j, const LayerInfo& info) {
  j.BeginObject();
  j.Key("name").String(info.name).Key("code").String(info.code);
  j.Key("sheet_resistance").Number(info.sheetResistance);
  j.Key("thickness").Number(info.thickness).Key("height").Number(info.height);
  j.Key("cif").String(info.cifName).Key("gds2").Integer(info.gds2);
  j.Key("overetch").Number(info.overetch).Key("min_width").Integer(info.minWidth);
  j.EndObject();
}

void WriteMosJson(JsonWriter& j, const MosParameters& p, double tox, bool pmos) {
  j.BeginObject();
  for (const MosKey& k : MosKeys())
    if (!(pmos && k.nmosOnly)) j.Key(k.name).Number(p.*k.field);
  j.Key("TOX").Number(tox);
  j.EndObject();
}

void WriteTechnologyJson(JsonWriter& j, const AppState& s, const std::string& error) {
  const Technology& t = s.technology;
  j.BeginObject();
  j.Key("name").String(t.Name).Key("lambda").Number(t.LAMB).Key("vdd").Number(t.VDD);
  j.Key("temp").Number(t.TEMP).Key("delt").Number(t.DELT).Key("metals").Integer(t.META);
  j.Key("rules").BeginObject();
  for (const RuleKey& k : RuleKeys()) j.Key(k.key).Integer(t.*k.field);
  j.EndObject();
  j.Key("capacitances").BeginObject();
  for (const CapacitanceKey& k : CapacitanceKeys()) j.Key(k.key).Number(t.*k.field);
  j.EndObject();
  j.Key("layers").BeginArray();
  for (int layer = 1; layer <= kLayerCount; ++layer) WriteLayerJson(j, s.layout.layers[layer]);
  j.EndArray();
  j.Key("nmos"), WriteMosJson(j, t.nmos, t.TOX, false);
  j.Key("pmos"), WriteMosJson(j, t.pmos, t.TOX, true);
  j.Key("error");
  if (error.empty()) j.Null();
  else j.String(error);
  j.EndObject();
}

void WriteTechnologyText(std::ostream& out, const AppState& s) {
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
  const RuleLoadResult result = ReadRuleFile(run.state, path);
  if (result.status == RuleLoadStatus::NotOpened)
    return Fail(run, RuleLoadProblem(path, result));
  const bool malformed = result.status == RuleLoadStatus::Malformed;
  if (run.options.json) {
    JsonWriter j;
    WriteTechnologyJson(j, run.state, malformed ? "Invalid numeric input" : "");
    run.out << j.Text() << '\n';
  } else {
    WriteTechnologyText(run.out, run.state);
  }
  return malformed ? Fail(run, RuleLoadProblem(path, result)) : kExitOk;
}

}  // namespace

std::vector<CliCommand> LayoutCommands() {
  return {
      {"info", "info LAYOUT", {}, {}, 1, RunInfo},
      {"convert", "convert IN.msk OUT.msk", {}, {}, 2, RunConvert},
      {"tech", "tech RULEFILE", {}, {}, 1, RunTech},
  };
}

}  // namespace tarnisk
