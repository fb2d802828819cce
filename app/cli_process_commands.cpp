// Batch commands of the process analyses: section, sweep, ucp.

#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/json_output.h"
#include "core/file_io.h"
#include "core/number_format.h"
#include "process/section_painting.h"
#include "process/sweep_plot.h"
#include "session/analysis/extract_command.h"
#include "session/process/parametric_command.h"
#include "session/process/process_view.h"
#include "session/process/ucp_command.h"
#include "session/session.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

constexpr int kSectionPngWidth = 1000, kSectionPngHeight = 500;
constexpr int kPlotPngWidth = 800, kPlotPngHeight = 500;

// "X1,Y1,X2,Y2" in lambda; false when it is not four integers.
bool ReadLine(const std::string& text, Point& a, Point& b) {
  long v[4];
  char end = 0;
  if (std::sscanf(text.c_str(), "%ld,%ld,%ld,%ld%c", &v[0], &v[1], &v[2], &v[3], &end) != 4)
    return false;
  for (long x : v)
    if (x < -kCoordinateLimit || x > kCoordinateLimit) return false;
  a = {int32_t(v[0]), int32_t(v[1])}, b = {int32_t(v[2]), int32_t(v[3])};
  return true;
}



// ---------------------------------------------------------------- section

// One entry per layer the cut crosses, bottom up: its height above the
// substrate surface (negative below it) and its thickness.
Json SectionLayers(const ProcessSection& section) {
  std::map<std::pair<double, int>, const SectionPiece*> first;
  for (const SectionPiece& p : section.pieces)
    if (p.layer != 0 || p.material == Material::Substrate)
      first.try_emplace({p.bottom, p.layer}, &p);
  Json layers = Json::array();
  for (const auto& [key, p] : first)
    layers.push_back({{"layer", MaterialName(p->material, p->layer)},
                      {"height", p->bottom},
                      {"thickness", p->top - p->bottom}});
  return layers;
}

Json SectionConductors(const ProcessSection& section, double lambda) {
  Json list = Json::array();
  for (const CutConductor& c : section.conductors)
    list.push_back({{"number", c.number},
                    {"node", c.nodeName.empty() ? Json() : Json(c.nodeName)},
                    {"layer", MaterialName(Material::Metal, c.layer)},
                    {"x0", c.x0 * lambda},
                    {"x1", c.x1 * lambda},
                    {"bottom", c.bottom},
                    {"top", c.top}});
  return list;
}

Json CapacitanceJson(const FieldSolution& r) {
  Json matrix = Json::array();
  for (int i = 0; i < r.count; ++i) {
    Json row = Json::array();
    for (int j = 0; j < r.count; ++j) row.push_back(r.C(i, j));
    matrix.push_back(row);
  }
  return matrix;
}

Json SolverJson(const SectionCapacitance& c) {
  const FieldSolution& r = c.solution;
  if (!r.ok()) return {{"error", r.error}};
  // The solver factorises the matrix once and solves it directly.
  return {{"grid", {r.nx, r.ny}},     {"unknowns", r.unknowns}, {"iterations", 0},
          {"residual", r.residual},   {"cell_scale", r.cellScale},
          {"conductors", c.names}};
}

std::string WriteSectionFiles(CliRun& run, const ProcessSection& section) {
  Session& s = run.state;
  if (const std::string* geo = run.options.Value("geo")) {
    GeoOptions options;
    options.meshX = options.meshY = DefaultMeshStep(s.technology.LAMB);
    const std::string stamp = LocalTimeStamp(std::time(nullptr), ' ');
    const size_t blank = stamp.find(' ');
    const int error = WriteLinesAtomically(
        *geo, GeoFileLines(s.layout.layers, section.metals, s.technology.LAMB, section.conductors,
                           options, stamp.substr(0, blank), stamp.substr(blank + 1)));
    if (error != 0) return WriteProblem(*geo, error);
  }
  if (const std::string* png = run.options.Value("png")) {
    EnsureGuiApplication();
    ImageSurface image(kSectionPngWidth, kSectionPngHeight);
    PaintSection(image, section, s.technology.LAMB, 1);
    if (const int error = image.SavePng(*png)) return WriteProblem(*png, error);
  }
  return "";
}

void PrintSectionText(std::ostream& out, const ProcessSection& section, double lambda,
                      const SectionCapacitance* c) {
  out << section.boundaries.size() - (section.boundaries.empty() ? 0 : 1) << " columns, "
      << section.conductors.size() << " conductors\n";
  for (const CutConductor& k : section.conductors)
    out << "conductor " << k.number << " " << MaterialName(Material::Metal, k.layer) << " "
        << FormatFixed(k.x0 * lambda, 0, 3) << " .. " << FormatFixed(k.x1 * lambda, 0, 3) << " um"
        << (k.nodeName.empty() ? "" : " node " + k.nodeName) << '\n';
  if (!c) return;
  for (const std::string& line : MatrixLines(*c)) out << line << '\n';
}

int RunSection(CliRun& run) {
  Point a, b;
  const std::string* cut = run.options.Value("cut");
  if (!cut || !ReadLine(*cut, a, b)) return Fail(run, "--cut takes X1,Y1,X2,Y2 in lambda");
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  Session& s = run.state;
  // The conductors carry their node names; a table that filled leaves some
  // without one.
  const bool complete = EnsureExtracted(s);
  ProcessSection section = BuildSection(s.layout, CutThrough(a, b), MetalLevels(s.technology.META));
  const bool solve = run.options.Flag("solve");
  SectionCapacitance capacitance;
  if (solve) capacitance = SolveSection(s, section);
  const std::string problem = WriteSectionFiles(run, section);
  if (!problem.empty()) return Fail(run, problem);
  const double lambda = s.technology.LAMB;
  if (run.options.json) {
    Json j = {{"layers", SectionLayers(section)}, {"conductors", SectionConductors(section, lambda)}};
    if (solve) {
      j["capacitance"] = capacitance.solution.ok() ? CapacitanceJson(capacitance.solution) : Json();
      j["solver"] = SolverJson(capacitance);
    }
    PrintJson(run.out, j);
  } else {
    PrintSectionText(run.out, section, lambda, solve ? &capacitance : nullptr);
  }
  return !complete || (solve && !capacitance.solution.ok()) ? kExitProblems : kExitOk;
}

// ---------------------------------------------------------------- sweep

struct Choice {
  const char* name;
  int value;
};

bool Choose(const std::string* text, std::initializer_list<Choice> choices, int& value) {
  if (!text) return false;
  for (const Choice& c : choices)
    if (*text == c.name) {
      value = c.value;
      return true;
    }
  return false;
}

const char* CsvHeader(int measure) {
  switch (measure) {
    case kMeasureFrequency: return "parameter,frequency_mhz";
    case kMeasurePower: return "parameter,power_mw";
    case kMeasureCrosstalk: return "parameter,max_v,min_v";
    case kMeasureSwitching: return "parameter,switching_v";
    default: return "parameter,rise_delay_ns,fall_delay_ns";
  }
}

std::string CsvText(const SweepRequest& r, const SweepResult& result) {
  std::ostringstream csv;
  csv << CsvHeader(r.measure) << '\n';
  const bool two = r.measure == kMeasureCrosstalk || r.measure == kMeasureRiseDelay;
  for (const SweepPoint& p : result.points) {
    csv << FormatFixed(p.parameter, 0, 6) << ',' << FormatFixed(p.value, 0, 6);
    if (two) csv << ',' << FormatFixed(p.second, 0, 6);
    csv << '\n';
  }
  return csv.str();
}

// Reads the request; returns an error text or "".
std::string ReadSweep(const CliRun& run, SweepRequest& r) {
  int parameter = 0;
  if (!Choose(run.options.Value("param"),
              {{"spacing", int(SweepParameter::Spacing)}, {"voltage", int(SweepParameter::Voltage)},
               {"temperature", int(SweepParameter::Temperature)},
               {"vdd", int(SweepParameter::Supply)},
               {"capacitance", int(SweepParameter::Capacitance)}},
              parameter))
    return "--param takes spacing, voltage, temperature, vdd or capacitance";
  r.parameter = SweepParameter(parameter);
  if (!Choose(run.options.Value("measure"),
              {{"delay", kMeasureRiseDelay}, {"frequency", kMeasureFrequency},
               {"power", kMeasurePower}, {"crosstalk", kMeasureCrosstalk},
               {"switching", kMeasureSwitching}},
              r.measure))
    return "--measure takes delay, frequency, power, crosstalk or switching";
  for (const char* name : {"from", "to", "step"})
    if (!run.options.Value(name)) return std::string("--") + name + " is required";
  if (!ReadNumberOption(run, "from", -1e6, 1e6, r.range.from) ||
      !ReadNumberOption(run, "to", -1e6, 1e6, r.range.to) ||
      !ReadNumberOption(run, "step", -1e6, 1e6, r.range.step))
    return "--from, --to and --step take numbers";
  r.range.logarithmic = run.options.Flag("log");
  if (r.range.from <= r.range.to && !SweepAdvances(r.range))
    return r.range.logarithmic ? "--log needs --step above 1 and --from above 0"
                               : "--step must be above 0";
  const std::string* node = run.options.Value("node");
  if (!node) return "--node is required";
  r.measuredNode = *node;
  if (r.parameter == SweepParameter::Spacing) {
    const std::string* line = run.options.Value("line");
    if (!line || !ReadLine(*line, r.line.a, r.line.b))
      return "--param spacing needs --line X1,Y1,X2,Y2 (lambda)";
  }
  return "";
}

int NodeNumber(const Session& s, const std::string& name) {
  for (int k = 2; k <= s.layout.nodes.count; ++k)
    if (s.layout.nodes.nodes[k].name == name) return k;
  return 0;
}

int RunSweepCommand(CliRun& run) {
  SweepRequest request;
  const std::string invalid = ReadSweep(run, request);
  if (!invalid.empty()) return Fail(run, invalid);
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  Session& s = run.state;
  if (request.parameter == SweepParameter::Voltage ||
      request.parameter == SweepParameter::Capacitance) {
    EnsureExtracted(s);
    const std::string* target = run.options.Value("target");
    const std::string& name = target ? *target : request.measuredNode;
    request.node = NodeNumber(s, name);
    if (request.node == 0) return Fail(run, "no node named " + Quoted(name));
  }
  const SweepResult result = RunParametric(s, request, nullptr);
  if (const std::string* csv = run.options.Value("csv")) {
    if (const int error = WriteFileAtomically(*csv, CsvText(request, result)))
      return Fail(run, WriteProblem(*csv, error));
  }
  if (const std::string* png = run.options.Value("png")) {
    EnsureGuiApplication();
    ImageSurface image(kPlotPngWidth, kPlotPngHeight);
    PaintSweepPlot(image, {request.measure, request.range.from, request.range.to, result.points, 1});
    if (const int error = image.SavePng(*png)) return Fail(run, WriteProblem(*png, error));
  }
  if (run.options.json) {
    Json points = Json::array();
    for (const SweepPoint& p : result.points) points.push_back({p.parameter, p.value});
    PrintJson(run.out, {{"points", points}, {"message", result.message}});
  } else {
    for (const std::string& line : result.dataLines) run.out << line << '\n';
    run.out << result.message << '\n';
  }
  return result.failed ? kExitProblems : kExitOk;
}

// ---------------------------------------------------------------- ucp

int RunUcp(CliRun& run) {
  UcpSettings settings;
  if (!ReadNumberOption(run, "space", 0, 1e6, settings.spaceAround))
    return Fail(run, "--space takes a distance in um");
  if (!ReadNumberOption(run, "ground", -1e6, 1e6, settings.groundAltitude))
    return Fail(run, "--ground takes an altitude in um");
  const std::string* output = run.options.Value("o");
  if (!output) return Fail(run, "-o OUT.ucp is required");
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  const UcpWriteResult result = ConvertToUcpFile(run.state, *output, settings, std::time(nullptr));
  if (result.ioError != 0) return Fail(run, WriteProblem(*output, result.ioError));
  const Circuit& circuit = run.state.circuit;
  if (run.options.json)
    PrintJson(run.out, {{"conductors", result.file.conductors},
                        {"texts", result.file.texts},
                        {"file", result.path}});
  else
    run.out << result.file.conductors << " conductors, " << result.file.vias << " vias, "
            << result.file.texts << " texts written to " << result.path << '\n';
  // Boxes that a full table left without a node are written without one.
  return circuit.complete ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> ProcessCommands() {
  return {
      {"section",
       "the process cross-section along a cut, its GEO file and its capacitance matrix; exit 1 "
       "when the solver failed or a full table left conductors without their node",
       {"LAYOUT"},
       {{"cut", "the cut X1,Y1,X2,Y2 in lambda"},
        {"png", "write the painting of the section to this PNG file"},
        {"geo", "write the GEO file of the section to this file"}},
       {{"solve", "solve the capacitance matrix per unit length (F/m)"}},
       RunSection},
      {"sweep",
       "the parametric analysis: one measurement against a swept parameter",
       {"LAYOUT"},
       {{"param", "spacing, voltage, temperature, vdd or capacitance"},
        {"from", "first value"},
        {"to", "last value"},
        {"step", "step (a factor with --log)"},
        {"measure", "delay, frequency, power, crosstalk or switching"},
        {"node", "the node measured"},
        {"target", "the node whose voltage or capacitance is swept (default: --node)"},
        {"line", "the spacing line X1,Y1,X2,Y2 in lambda (spacing)"},
        {"csv", "write the points to this CSV file"},
        {"png", "write the plot to this PNG file"}},
       {{"log", "multiply by the step instead of adding it"}},
       RunSweepCommand},
      {"ucp",
       "the UCP file of the layout for a 3D capacitance solver; exit 1 when a full table left "
       "boxes without their node",
       {"LAYOUT"},
       {{"o", "the UCP file to write"},
        {"space", "margin around the layout in um (default 10)"},
        {"ground", "ground altitude in um (default 0)"}},
       {},
       RunUcp},
  };
}

}  // namespace tarnisk
