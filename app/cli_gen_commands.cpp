// Batch commands of the generators and interchange: cif.

#include <cstring>
#include <ostream>

#include "app/cli.h"
#include "app/json_writer.h"
#include "core/app_state.h"
#include "gen/cif.h"

namespace tarnisk {

namespace {

void WriteCifJson(std::ostream& out, const CifConversion& c) {
  JsonWriter j;
  j.BeginObject().Key("file").String(c.name).Key("layers").BeginObject();
  for (const auto& [cifName, polygons] : c.summary.polygons) j.Key(cifName).Integer(polygons);
  j.EndObject().Key("labels").Integer(c.summary.labels).EndObject();
  out << j.Text() << '\n';
}

void WriteCifText(std::ostream& out, const CifConversion& c) {
  out << "file: " << c.name << '\n';
  for (const auto& [cifName, polygons] : c.summary.polygons)
    out << "layer " << cifName << ": " << polygons << '\n';
  out << "labels: " << c.summary.labels << '\n';
}

int RunCif(CliRun& run) {
  const std::string& layout = run.options.positional[0];
  const auto& values = run.options.values;
  const std::string output = values.count("o") ? values.at("o") : CifOutputName(layout);
  const std::string scale = values.count("scale") ? values.at("scale") : "1000";
  if (!LoadCliRules(run) || !OpenCliLayout(run, layout)) return kExitUsage;
  CifSettings settings;
  const CifConversion c = ConvertIntoCif(run.state, settings, scale, output, CifOptions{});
  if (!c.error.empty()) return Fail(run, "--scale: " + c.error);
  if (!c.written)
    return Fail(run, "cannot write \"" + output + "\": " + std::strerror(c.ioError));
  if (run.options.json) WriteCifJson(run.out, c);
  else WriteCifText(run.out, c);
  return kExitOk;
}

}  // namespace

std::vector<CliCommand> GenCommands() {
  return {
      {"cif", "cif LAYOUT [-o OUT.cif] [--scale N]", {"o", "scale"}, {}, 1, RunCif},
  };
}

}  // namespace tarnisk
