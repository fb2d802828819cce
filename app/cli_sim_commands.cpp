// Batch commands of the analog simulator: simulate.

#include <sstream>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/cli.h"
#include "app/json_output.h"
#include "core/file_io.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "core/utf8.h"
#include "session/analysis/extract_command.h"
#include "session/analysis/simulate.h"
#include "session/analysis/simulation_plot.h"
#include "session/session.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

constexpr int kPngHeight = 600;  // pixels of the plot image

struct SimRequest {
  uint8_t mode = kSimVoltageTime;
  int modelLevel = kModelLevel3;
  std::string start, stop, watch;
  std::string csv, png;
};

const std::string* Value(const CliRun& run, std::string_view name) { return run.options.Value(name); }

// Reads the choices that are needed before extraction; returns an error text.
std::string ReadRequest(const CliRun& run, SimRequest& r) {
  if (const std::string* model = Value(run, "model")) {
    if (*model == "1") r.modelLevel = kModelLevel1;
    else if (*model == "3") r.modelLevel = kModelLevel3;
    else if (*model == "9") r.modelLevel = kModelLevel9;
    else return "--model takes 1, 3 or 9";
  }
  if (const std::string* mode = Value(run, "mode")) {
    if (*mode == "time") r.mode = kSimVoltageTime;
    else if (*mode == "currents") r.mode = kSimCurrents;
    else if (*mode == "dc") r.mode = kSimDc;
    else return "--mode takes time, currents or dc";
  }
  for (auto [name, target] : {std::pair{"start", &r.start}, std::pair{"stop", &r.stop},
                              std::pair{"watch", &r.watch}, std::pair{"csv", &r.csv},
                              std::pair{"png", &r.png}})
    if (const std::string* v = Value(run, name)) *target = *v;
  return "";
}

// Node number of the node called `name`, or -1.
int FindNode(const Session& s, const std::string& name) {
  for (int k = 1; k <= s.layout.nodes.count; ++k)
    if (s.layout.nodes.nodes[k].name == name) return k;
  return -1;
}

// Applies the options that refer to the extracted circuit; returns an error text.
std::string ApplySettings(CliRun& run, const SimRequest& r) {
  Session& s = run.state;
  SimulationState& m = s.simulation;
  m.SimMode = r.mode;
  m.FreqOn = run.options.Flag("freq");
  m.MinMaxOn = run.options.Flag("minmax");
  for (auto [name, text, node] : {std::tuple{"--start", &r.start, &m.StartNode},
                                  std::tuple{"--stop", &r.stop, &m.StopNode},
                                  std::tuple{"--watch", &r.watch, &m.WatchNode}}) {
    if (text->empty()) continue;
    *node = FindNode(s, *text);
    if (*node < 0) return std::string(name) + ": no node named \"" + *text + "\"";
  }
  double lengthNs = m.SimLength * 1e9, points = m.plotWidth;
  if (!ReadNumberOption(run, "length", 0.001, 1e6, lengthNs)) return "--length takes nanoseconds";
  if (!ReadNumberOption(run, "points", 1, 100000, points)) return "--points takes 1 to 100000";
  const std::string* step = Value(run, "step");
  if (step && (step->empty() || !ApplyStepField(m, *step))) return "--step takes 0.01 to 1000 ps";
  m.SimLength = lengthNs * 1e-9;
  m.plotWidth = int(points);
  if (m.SimMode != kSimDc && m.SimLength / m.TimeStep > kMaxSteps)
    return "--length over --step exceeds " + std::to_string(kMaxSteps) + " steps";
  return "";
}

// Writes one CSV row per plotted step (or DC point) and passes the points
// on to the plot when there is one.
class CliView : public SimulationView {
 public:
  CliView(std::ostream* csv, SimulationPlot* plot) : csv_(csv), plot_(plot) {}

  void Header(const Simulation& s) {
    const SimulationState& m = s.state;
    if (!csv_) return;
    if (m.SimMode == kSimDc) {
      *csv_ << "x_volts," << NodeName(s, m.StopNode) << '\n';
      return;
    }
    *csv_ << "time_ns";
    for (int k : m.nodeList) *csv_ << ',' << NodeName(s, k);
    *csv_ << '\n';
  }
  void PlottedStep(const Simulation& s, int column) override {
    if (plot_) plot_->PlottedStep(s, column);
    if (!csv_) return;
    *csv_ << FormatFixed(s.state.SimTime * 1e9, 0, 4);
    for (int k : s.state.nodeList) *csv_ << ',' << FormatFixed(s.state.nodes[k].V, 0, 4);
    *csv_ << '\n';
  }
  void DcPoint(const Simulation& s, int column, double x, double y) override {
    if (plot_) plot_->DcPoint(s, column, x, y);
    if (csv_) *csv_ << FormatFixed(x, 0, 4) << ',' << FormatFixed(y, 0, 4) << '\n';
  }

 private:
  // A node's name as one CSV field: quoted, with its quotes doubled, when it
  // holds a comma, a quote or a line break.
  static std::string NodeName(const Simulation& s, int k) {
    const std::string name =
        ValidUtf8(k >= 0 && k <= s.layout.nodes.count ? s.layout.nodes.nodes[k].name : "");
    if (name.find_first_of(",\"\r\n") == std::string::npos) return name;
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
  }
  std::ostream* csv_;
  SimulationPlot* plot_;
};

Json NodeName(const Session& s, int node) {
  if (node >= 1 && node <= s.layout.nodes.count) return s.layout.nodes.nodes[node].name;
  return nullptr;
}

void WriteJson(std::ostream& out, const Session& s) {
  const SimulationState& m = s.simulation;
  Json j = {{"message", m.message},
            {"steps", m.stepCount},
            {"delay_rise_s", m.delayRise},
            {"delay_fall_s", m.delayFall},
            {"frequency_hz", m.frequency},
            {"max_v", m.localMax},
            {"min_v", m.localMin},
            {"idd_total", m.IDDTotal},
            {"start_node", NodeName(s, m.StartNode)},
            {"stop_node", NodeName(s, m.StopNode)},
            {"warnings", s.circuit.warnings}};
  if (m.SimMode == kSimDc)
    j["switching_threshold"] = m.switchingThreshold >= 0 ? Json(m.switchingThreshold) : Json();
  PrintJson(out, j);
}

void WriteText(std::ostream& out, const Session& s) {
  const SimulationState& m = s.simulation;
  out << m.message << '\n';
  for (const std::string& w : s.circuit.warnings) out << "warning: " << w << '\n';
  if (!s.circuit.complete) return;
  if (m.SimMode == kSimDc) {
    if (m.switchingThreshold >= 0)
      out << "switching threshold " << FormatFixed(m.switchingThreshold, 0, 3) << " V\n";
    return;
  }
  out << "delay to rising output " << DelayText(m.delayRise) << ", to falling output "
      << DelayText(m.delayFall) << '\n';
  if (m.FreqOn) out << "frequency " << FormatFixed(m.frequency * 1e-9, 0, 3) << " GHz\n";
  if (m.MinMaxOn)
    out << "max " << FormatFixed(m.localMax, 0, 3) << " V, min " << FormatFixed(m.localMin, 0, 3)
        << " V\n";
}

// Runs the simulation into the requested CSV and PNG files; returns an error
// text or "".
// The CSV is gathered in memory and written whole at the end, so that a
// failed or killed run never leaves a truncated file in place of the old one.
std::string RunWithOutputs(Session& s, const SimRequest& request) {
  std::ostringstream csv;
  std::unique_ptr<ImageSurface> image;
  std::unique_ptr<SimulationPlot> plot;
  if (!request.png.empty()) {
    EnsureGuiApplication();
    image = std::make_unique<ImageSurface>(s.simulation.plotWidth + kPlotLeftMargin, kPngHeight);
    plot = std::make_unique<SimulationPlot>(*image);
  }
  Simulation simulation = SimulationOf(s);
  if (plot) plot->DrawAxes(simulation);
  CliView view(request.csv.empty() ? nullptr : &csv, plot.get());
  view.Header(simulation);
  RunSimulation(simulation, &view);
  if (!request.csv.empty())
    if (const int error = WriteFileAtomically(request.csv, csv.str()))
      return WriteProblem(request.csv, error);
  if (const int error = image ? image->SavePng(request.png) : 0)
    return WriteProblem(request.png, error);
  return "";
}

int RunSimulate(CliRun& run) {
  SimRequest request;
  const std::string problem = ReadRequest(run, request);
  if (!problem.empty()) return Fail(run, problem);
  Session& s = run.state;
  s.extractOptions.modelLevel = request.modelLevel;
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  if (!PrepareSimulation(s)) {
    // Nothing is simulated: the extraction's summary and causes stand for
    // the results.
    s.simulation.message = s.circuit.summary;
    if (run.options.json) WriteJson(run.out, s);
    else WriteText(run.out, s);
    return kExitProblems;
  }
  Simulation simulation = SimulationOf(s);
  AssignNodes(simulation);
  const std::string invalid = ApplySettings(run, request);
  if (!invalid.empty()) return Fail(run, invalid);
  const std::string failure = RunWithOutputs(s, request);
  if (!failure.empty()) return Fail(run, failure);
  if (run.options.json) WriteJson(run.out, s);
  else WriteText(run.out, s);
  // A model guard that stopped an evaluation leaves currents and voltages
  // that no transistor gives: the results are not to be trusted.
  if (!s.simulation.halted) return kExitOk;
  run.err << "tarnisk-cli: the MOS model halted during the run: the results are not valid\n";
  return kExitProblems;
}

}  // namespace

std::vector<CliCommand> SimCommands() {
  return {
      {"simulate",
       "waveforms, delays, frequency and extremes of the extracted circuit",
       {"LAYOUT"},
       {{"model", "MOS model level: 1, 3 (default) or 9"},
        {"length", "simulated time in ns"},
        {"step", "time step in ps (0.01 to 1000)"},
        {"mode", "time (default), currents or dc"},
        {"start", "node that starts the delay (the X node in dc mode)"},
        {"stop", "node that ends the delay (the Y node in dc mode)"},
        {"watch", "node whose frequency and extremes are measured"},
        {"points", "plot columns of the run (1 to 100000)"},
        {"csv", "write the plotted points to this CSV file"},
        {"png", "write the plot to this PNG file"}},
       {{"freq", "measure the frequency of the watched node"},
        {"minmax", "measure the extremes of the watched node"}},
       RunSimulate},
  };
}

}  // namespace tarnisk
