// Batch commands of the analog simulator: simulate.

#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/cli.h"
#include "app/json_writer.h"
#include "core/app_state.h"
#include "core/number_format.h"
#include "editor/parse_number.h"
#include "sim/simulation.h"
#include "sim/simulation_plot.h"
#include "ui/qt/image_surface.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

constexpr int kPngHeight = 600;  // pixels of the plot image

struct SimRequest {
  uint8_t mode = kSimVoltageTime;
  int modelLevel = kModelLevel3;
  std::string start, stop, watch;
  std::string csv, png;
};

const std::string* Value(const CliRun& run, std::string_view name) {
  const auto it = run.options.values.find(name);
  return it == run.options.values.end() ? nullptr : &it->second;
}

// A number option in [minimum, maximum]; false when present and unreadable.
bool ReadNumber(const CliRun& run, std::string_view name, double minimum, double maximum,
                double& value) {
  const std::string* text = Value(run, name);
  if (!text) return true;
  const ParsedNumber n = ParseNumber(*text, minimum, maximum, value);
  if (!n.ok || text->empty()) return false;
  value = n.value;
  return true;
}

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
int FindNode(const AppState& s, const std::string& name) {
  for (int k = 1; k <= s.layout.nodes.count; ++k)
    if (s.layout.nodes.nodes[k].name == name) return k;
  return -1;
}

// Applies the options that refer to the extracted circuit; returns an error text.
std::string ApplySettings(CliRun& run, const SimRequest& r) {
  AppState& s = run.state;
  SimulationState& m = s.simulation;
  m.SimMode = r.mode;
  m.FreqOn = run.options.flags.count("freq") > 0;
  m.MinMaxOn = run.options.flags.count("minmax") > 0;
  for (auto [name, text, node] : {std::tuple{"--start", &r.start, &m.StartNode},
                                  std::tuple{"--stop", &r.stop, &m.StopNode},
                                  std::tuple{"--watch", &r.watch, &m.WatchNode}}) {
    if (text->empty()) continue;
    *node = FindNode(s, *text);
    if (*node < 0) return std::string(name) + ": no node named \"" + *text + "\"";
  }
  double lengthNs = m.SimLength * 1e9, points = m.plotWidth;
  if (!ReadNumber(run, "length", 0.001, 1e6, lengthNs)) return "--length takes nanoseconds";
  if (!ReadNumber(run, "points", 1, 100000, points)) return "--points takes 1 to 100000";
  const std::string* step = Value(run, "step");
  if (step && (step->empty() || !ApplyStepField(s, *step))) return "--step takes 0.01 to 1000 ps";
  m.SimLength = lengthNs * 1e-9;
  m.plotWidth = int(points);
  return "";
}

// Writes one CSV row per plotted step (or DC point) and passes the points
// on to the plot when there is one.
class CliView : public SimulationView {
 public:
  CliView(std::ostream* csv, SimulationPlot* plot) : csv_(csv), plot_(plot) {}

  void Header(const AppState& s) {
    const SimulationState& m = s.simulation;
    if (!csv_) return;
    if (m.SimMode == kSimDc) {
      *csv_ << "x_volts," << NodeName(s, m.StopNode) << '\n';
      return;
    }
    *csv_ << "time_ns";
    for (int k : m.nodeList) *csv_ << ',' << NodeName(s, k);
    *csv_ << '\n';
  }
  void PlottedStep(const AppState& s, int column) override {
    if (plot_) plot_->PlottedStep(s, column);
    if (!csv_) return;
    *csv_ << FormatFixed(s.simulation.SimTime * 1e9, 0, 4);
    for (int k : s.simulation.nodeList) *csv_ << ',' << FormatFixed(s.simulation.nodes[k].V, 0, 4);
    *csv_ << '\n';
  }
  void DcPoint(const AppState& s, int column, double x, double y) override {
    if (plot_) plot_->DcPoint(s, column, x, y);
    if (csv_) *csv_ << FormatFixed(x, 0, 4) << ',' << FormatFixed(y, 0, 4) << '\n';
  }

 private:
  static std::string NodeName(const AppState& s, int k) {
    return k >= 0 && k <= s.layout.nodes.count ? s.layout.nodes.nodes[k].name : "";
  }
  std::ostream* csv_;
  SimulationPlot* plot_;
};

void NodeKey(JsonWriter& j, const AppState& s, std::string_view key, int node) {
  j.Key(key);
  if (node >= 1 && node <= s.layout.nodes.count) j.String(s.layout.nodes.nodes[node].name);
  else j.Null();
}

void WriteJson(std::ostream& out, const AppState& s) {
  const SimulationState& m = s.simulation;
  JsonWriter j;
  j.BeginObject().Key("message").String(s.platform.StatusPanelText(0));
  j.Key("steps").Integer(m.stepCount).Key("delay_rise_s").Number(m.delayRise);
  j.Key("delay_fall_s").Number(m.delayFall).Key("frequency_hz").Number(m.frequency);
  j.Key("max_v").Number(m.localMax).Key("min_v").Number(m.localMin);
  j.Key("idd_total").Number(m.IDDTotal);
  NodeKey(j, s, "start_node", m.StartNode);
  NodeKey(j, s, "stop_node", m.StopNode);
  if (m.SimMode == kSimDc) {
    j.Key("switching_threshold");
    if (m.switchingThreshold >= 0) j.Number(m.switchingThreshold);
    else j.Null();
  }
  out << j.EndObject().Text() << '\n';
}

void WriteText(std::ostream& out, const AppState& s) {
  const SimulationState& m = s.simulation;
  out << s.platform.StatusPanelText(0) << '\n';
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
std::string RunWithOutputs(AppState& s, const SimRequest& request) {
  std::ofstream csv;
  if (!request.csv.empty()) {
    csv.open(request.csv);
    if (!csv) return "cannot write \"" + request.csv + "\"";
  }
  std::unique_ptr<ImageSurface> image;
  std::unique_ptr<SimulationPlot> plot;
  if (!request.png.empty()) {
    EnsureGuiApplication();
    image = std::make_unique<ImageSurface>(s.simulation.plotWidth + kPlotLeftMargin, kPngHeight);
    plot = std::make_unique<SimulationPlot>(*image);
    plot->DrawAxes(s);
  }
  CliView view(request.csv.empty() ? nullptr : &csv, plot.get());
  view.Header(s);
  RunSimulation(s, &view);
  if (image && !image->SavePng(request.png)) return "cannot write \"" + request.png + "\"";
  return "";
}

int RunSimulate(CliRun& run) {
  SimRequest request;
  const std::string problem = ReadRequest(run, request);
  if (!problem.empty()) return Fail(run, problem);
  AppState& s = run.state;
  s.extraction.options.modelLevel = request.modelLevel;
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  if (!ExtractLayout(s)) {
    run.out << s.extraction.summary << '\n';
    return kExitProblems;
  }
  InitSimulation(s);
  AssignNodes(s);
  const std::string invalid = ApplySettings(run, request);
  if (!invalid.empty()) return Fail(run, invalid);
  const std::string failure = RunWithOutputs(s, request);
  if (!failure.empty()) return Fail(run, failure);
  if (run.options.json) WriteJson(run.out, s);
  else WriteText(run.out, s);
  return kExitOk;
}

}  // namespace

std::vector<CliCommand> SimCommands() {
  return {
      {"simulate",
       "simulate LAYOUT [--model 1|3|9] [--length NS] [--step PS] [--mode time|currents|dc] "
       "[--start NODE] [--stop NODE] [--watch NODE] [--freq] [--minmax] [--points N] "
       "[--csv OUT.csv] [--png OUT.png]",
       {"model", "length", "step", "mode", "start", "stop", "watch", "points", "csv", "png"},
       {"freq", "minmax"},
       1,
       RunSimulate},
  };
}

}  // namespace tarnisk
