// Batch commands of the interchange formats: cif.

#include <cstring>
#include <ostream>

#include "app/cli.h"
#include "app/json_output.h"
#include "interchange/cif.h"
#include "session/files.h"
#include "session/session.h"

namespace tarnisk {

namespace {

void WriteCifJson(std::ostream& out, const CifConversion& c) {
  Json layers = Json::object();
  for (const auto& [cifName, polygons] : c.summary.polygons) layers[cifName] = polygons;
  PrintJson(out, {{"file", c.name}, {"layers", layers}, {"labels", c.summary.labels}});
}

void WriteCifText(std::ostream& out, const CifConversion& c) {
  out << "file: " << c.name << '\n';
  for (const auto& [cifName, polygons] : c.summary.polygons)
    out << "layer " << cifName << ": " << polygons << '\n';
  out << "labels: " << c.summary.labels << '\n';
}

int RunCif(CliRun& run) {
  const std::string& layout = run.options.positional[0];
  const std::string* given = run.options.Value("o");
  const std::string* scaleGiven = run.options.Value("scale");
  const std::string output = given ? *given : CifOutputName(layout);
  const std::string scale = scaleGiven ? *scaleGiven : "1000";
  if (!LoadCliRules(run) || !OpenCliLayout(run, layout)) return kExitUsage;
  CifSettings settings;
  const CifConversion c = ConvertIntoCif(CifLayoutOf(run.state), settings, scale, output, CifOptions{});
  if (!c.error.empty()) return Fail(run, "--scale: " + c.error);
  if (!c.written)
    return Fail(run, "cannot write \"" + output + "\": " + std::strerror(c.ioError));
  if (run.options.json) WriteCifJson(run.out, c);
  else WriteCifText(run.out, c);
  return kExitOk;
}

}  // namespace

std::vector<CliCommand> InterchangeCommands() {
  return {
      {"cif",
       "write the layout as a CIF file",
       {"LAYOUT"},
       {{"o", "the CIF file (default: the layout's name with .CIF)"},
        {"scale", "CIF units per micron (default 1000)"}},
       {},
       RunCif},
  };
}

}  // namespace tarnisk
