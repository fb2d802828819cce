#include "process/parametric.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/layout.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/technology.h"
#include "sim/simulation.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

std::string Data(double v) { return FormatFixed(v, 5, 3); }

bool AlongX(const SpacingLine& line) {
  return std::abs(int64_t{line.b.x} - line.a.x) < std::abs(int64_t{line.b.y} - line.a.y);
}

// Moves one coordinate pair across the line at [lo, hi]: a straddling pair
// grows, a pair beyond moves.
void StretchSpan(int32_t& c1, int32_t& c2, int32_t lo, int32_t hi, int32_t k) {
  if (c1 < lo && c2 > hi) c2 = ClampCoordinate(int64_t{c2} + k);
  else if (c2 > hi) c1 = ClampCoordinate(int64_t{c1} + k), c2 = ClampCoordinate(int64_t{c2} + k);
}

// What the sweep changes, kept to be put back.
struct Snapshot {
  Layout layout;
  Circuit circuit;
  Technology technology;
  SimulationState simulation;
};

class Sweep {
 public:
  Sweep(SweepInputs in, const SweepRequest& request, SweepObserver* observer)
      : in_(in), r_(request), observer_(observer ? *observer : silent_),
        saved_{in.layout, in.circuit, in.technology, in.simulation} {}

  // Puts back what the request does not keep, whatever way the sweep ended.
  ~Sweep() {
    const bool keepLayout = !r_.restore && (r_.parameter == SweepParameter::Spacing ||
                                            r_.parameter == SweepParameter::Capacitance);
    const bool keepTechnology = !r_.restore && (r_.parameter == SweepParameter::Temperature ||
                                                r_.parameter == SweepParameter::Supply);
    if (!keepLayout) {
      in_.layout = saved_.layout;
      in_.circuit = saved_.circuit;
      in_.simulation = saved_.simulation;
    }
    if (!keepTechnology) in_.technology = saved_.technology;
  }

  SweepResult Run() {
    result_.dataLines.push_back(Header());
    observer_.Started(result_.dataLines.front());
    if (!Prepare()) return Fail(result_.message);
    for (int i = 0;; ++i) {
      const double p = PointAt(i);
      if (!(p <= r_.range.to + 1e-9 * std::max(1.0, std::abs(r_.range.to)))) break;
      if (observer_.StopRequested() || in_.progress.StopRequested()) {
        result_.stopped = true;
        break;
      }
      observer_.PointStarting(Caption(p));
      if (!Apply(p)) return Fail(result_.message);
      if (!Simulate()) {
        if (result_.failed) return result_;
        break;
      }
      Record(p);
    }
    const int n = int(result_.points.size());
    result_.message = std::string(result_.stopped ? "Parametric analysis stopped after "
                                                  : "Parametric analysis complete: ") +
                      std::to_string(n) + (n == 1 ? " point" : " points");
    return result_;
  }

 private:
  SweepResult Fail(const std::string& message) {
    result_.failed = true;
    result_.message = message;
    return result_;
  }

  double PointAt(int i) const {
    const SweepRange& g = r_.range;
    return g.logarithmic ? g.from * std::pow(g.step, i) : g.from + i * g.step;
  }

  const char* ShortName() const {
    switch (r_.parameter) {
      case SweepParameter::Temperature: return "t\xC2\xB0";
      case SweepParameter::Supply: return "VDD";
      default: return "Capa";
    }
  }

  std::string NodeName(int k) const { return in_.layout.nodes.nodes[k].name; }

  std::string Header() const {
    const std::string label = MeasureAxisLabel(r_.measure);
    switch (r_.parameter) {
      case SweepParameter::Spacing: return "L(\xC2\xB5m)   " + label;
      case SweepParameter::Voltage: return (NodeValid() ? NodeName(r_.node) : "") + "(V)   " + label;
      default: return std::string(ShortName()) + "   " + label;
    }
  }

  std::string Caption(double p) const {
    switch (r_.parameter) {
      case SweepParameter::Spacing: return "Simulate with d=" + FormatFixed(p, 4, 2) + "...";
      case SweepParameter::Voltage:
        return "Simulate with " + NodeName(r_.node) + "=" + FormatFixed(p, 5, 3) + "...";
      default: return std::string("Simulate with ") + ShortName() + "=" + FormatFixed(p, 5, 2) + "...";
    }
  }

  bool NodeValid() const { return r_.node >= 2 && r_.node <= in_.layout.nodes.count; }

  bool Extract() {
    in_.circuit = ExtractLayout(in_.layout, in_.technology, in_.options, in_.progress);
    if (in_.circuit.complete) return true;
    result_.message = in_.circuit.summary;
    return false;
  }

  // The node sweeps work on the extracted node table, taken once.
  bool Prepare() {
    if (r_.parameter != SweepParameter::Voltage && r_.parameter != SweepParameter::Capacitance)
      return true;
    if (!in_.layout.wide.extracted && !Extract()) return false;
    if (!NodeValid()) {
      result_.message = "No node chosen: nothing to simulate";
      return false;
    }
    baseCapacitance_ = in_.layout.nodes.nodes[r_.node].NodeCapacitance;
    return true;
  }

  bool Apply(double p) {
    nodeBaseRecord& node = in_.layout.nodes.nodes[NodeValid() ? r_.node : 0];
    switch (r_.parameter) {
      case SweepParameter::Spacing: {
        // Each point stands at its own spacing: the layout is stretched by
        // the difference from the previous point, so that it stands
        // stretched by p itself (not by the sum of the points so far).
        const int32_t k = RoundToInt32(p / in_.technology.LAMB);
        if (!StretchAcrossLine(in_.layout, r_.line, k - applied_)) {
          result_.message = "The stretch by " + FormatFixed(p, 0, 2) + " \xC2\xB5m would remove a box";
          return false;
        }
        applied_ = k;
        return true;
      }
      case SweepParameter::Voltage:
        node.property = kPropertyVdd;
        node.highLevel = RoundToInt32(p * 1000 / in_.technology.VDD);
        return true;
      case SweepParameter::Temperature: in_.technology.TEMP = p; break;
      case SweepParameter::Supply: in_.technology.VDD = p; break;
      case SweepParameter::Capacitance:
        node.NodeCapacitance = baseCapacitance_ + p * 1e-15;
        return true;
    }
    in_.layout.wide.extracted = 0;  // extracted again at every point
    return true;
  }

  int FindNode(const std::string& name) const {
    for (int k = 2; k <= in_.layout.nodes.count; ++k)
      if (NodeName(k) == name) return k;
    return kNoNode;
  }

  // Extraction when the layout changed, then one run with the measurement on.
  bool Simulate() {
    if (!in_.layout.wide.extracted && !Extract()) {
      result_.failed = true;
      return false;
    }
    Simulation s(in_.simulation, in_.layout, in_.circuit, in_.technology, in_.options, in_.progress);
    InitSimulation(s);
    AssignNodes(s);
    SimulationState& m = in_.simulation;
    if (!r_.measuredNode.empty()) {
      const int k = FindNode(r_.measuredNode);
      if (k == kNoNode) {
        result_.failed = true;
        result_.message = "No node named " + Quoted(r_.measuredNode);
        return false;
      }
      m.StopNode = m.WatchNode = k;
      in_.layout.nodes.nodes[k].display = 2;  // the extremes are taken on a shown node
    }
    m.SimMode = r_.measure == kMeasureSwitching ? kSimDc : kSimVoltageTime;
    m.FreqOn = r_.measure == kMeasureFrequency;
    m.MinMaxOn = r_.measure == kMeasureCrosstalk;
    RunSimulation(s, nullptr);
    if (m.StopRequested || in_.progress.StopRequested()) {
      result_.stopped = true;
      return false;
    }
    return true;
  }

  void Record(double p) {
    const SimulationState& m = in_.simulation;
    SweepPoint point{p, 0, 0};
    std::string line = Data(p);
    switch (r_.measure) {
      case kMeasureFrequency:
        point.value = m.frequency * 1e-6;
        line += "  " + Data(point.value);
        break;
      case kMeasurePower: {
        const double meanCurrent = m.stepCount > 0 ? m.IDDTotal / m.stepCount : 0;
        point.value = in_.technology.VDD * meanCurrent * 1e3;
        line += " " + Data(point.value);
        break;
      }
      case kMeasureCrosstalk:
        point.value = m.localMax, point.second = m.localMin;
        line += " " + Data(m.localMax) + " " + Data(m.localMin);
        break;
      case kMeasureSwitching:
        point.value = m.switchingThreshold;
        line += " " + Data(point.value);
        break;
      default:
        point.value = (r_.measure == kMeasureFallDelay ? m.delayFall : m.delayRise) * 1e9;
        point.second = m.delayFall * 1e9;
        line += " " + Data(m.delayRise * 1e9) + "  " + Data(m.delayFall * 1e9);
    }
    result_.points.push_back(point);
    result_.dataLines.push_back(line);
    observer_.PointDone(point, line);
  }

  SweepInputs in_;
  const SweepRequest& r_;
  SweepObserver silent_;
  SweepObserver& observer_;
  const Snapshot saved_;
  SweepResult result_;
  int32_t applied_ = 0;  // lambda the layout stands stretched by
  double baseCapacitance_ = 0;
};

}  // namespace

const char* MeasureAxisLabel(int code) {
  switch (code) {
    case kMeasureFrequency: return "freq(MHz)";
    case kMeasurePower: return "power(mWatt)";
    case kMeasureCrosstalk: return "crosstalk(V)";
    case kMeasureSwitching: return "commut point(V)";
    default: return "dt(ns)";
  }
}

bool SweepAdvances(const SweepRange& range) {
  if (!range.logarithmic) return range.step > 0;
  return range.step > 1 && range.from > 0;
}

bool StretchAcrossLine(Layout& layout, const SpacingLine& line, int32_t k) {
  const bool alongX = AlongX(line);
  const int32_t lo = alongX ? std::min(line.a.x, line.b.x) : std::min(line.a.y, line.b.y);
  const int32_t hi = alongX ? std::max(line.a.x, line.b.x) : std::max(line.a.y, line.b.y);
  auto span = [&](Box& b) -> std::pair<int32_t*, int32_t*> {
    return alongX ? std::pair{&b.x1, &b.x2} : std::pair{&b.y1, &b.y2};
  };
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    auto [c1, c2] = span(layout.boxes[i]);
    if (layout.boxes[i].state != kErased && *c1 < lo && *c2 > hi && int64_t{*c2} + k <= *c1)
      return false;
  }
  ForEachLive(layout.boxes, [&](int, Box& b) {
    auto [c1, c2] = span(b);
    StretchSpan(*c1, *c2, lo, hi, k);
  });
  auto move = [&](int32_t& x, int32_t& y) {
    int32_t& c = alongX ? x : y;
    if (c > hi) c = ClampCoordinate(int64_t{c} + k);
  };
  ForEachLive(layout.texts, [&](int, LayoutText& t) { move(t.x, t.y); });
  ForEachLive(layout.resistances, [&](int, ResistanceMark& m) { move(m.x, m.y); });
  layout.wide.modified = 1;
  layout.wide.extracted = 0;
  ComputeExtent(layout);
  return true;
}

SweepResult RunSweep(SweepInputs in, const SweepRequest& request, SweepObserver* observer) {
  Sweep sweep(in, request, observer);
  return sweep.Run();
}

}  // namespace tarnisk
