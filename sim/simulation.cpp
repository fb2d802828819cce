#include "sim/simulation.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/file_io.h"
#include "core/layout.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "core/progress.h"
#include "core/technology.h"
#include "core/utf8.h"
#include "models/mos_models.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

constexpr double kDcTolerance = 1e-4;  // V, a DC point is at rest below this change
constexpr int kDcMaxIterations = 1000;
constexpr int kStatusInterval = 32;    // steps between time reports
constexpr int kDcStatusInterval = 8;   // columns between DC reports
// A stiff node takes at most this many substeps per step; beyond, each
// substep is damped to the stability limit.
constexpr int kMaxSubsteps = 64;
constexpr double kProbeVolts = 1e-3;   // drain-source voltage of a channel probe

std::string Plain(int64_t value) { return std::to_string(value); }

std::string Ns(double seconds, int decimals) { return FormatFixed(seconds * 1e9, 5, decimals); }

int NodeCount(const Simulation& s) { return int(s.state.nodes.size()) - 1; }

bool ValidNode(const Simulation& s, int k) { return k >= 1 && k <= NodeCount(s); }

// Shows a status message and keeps it as the simulation's latest.
void Say(const Simulation& s, const std::string& text) {
  s.state.message = text;
  ShowStatus(s.progress, text);
}

bool Crossed(double before, double after, double threshold) {
  return (before > threshold && after <= threshold) || (before <= threshold && after > threshold);
}

// Current of device i leaving diffusion node `from` towards `to`: an nMOS
// takes `from` as its first diffusion argument, a pMOS as its second.
template <bool kPmos>
double LeavingCurrent(const Simulation& s, int i, int from, int to) {
  const std::vector<SimNode>& n = s.state.nodes;
  const MosDevice& d = (kPmos ? s.circuit.pmos : s.circuit.nmos)[size_t(i)];
  const PreparedMos& p = (kPmos ? s.preparedPmos : s.preparedNmos)[size_t(i)];
  const double vf = n[from].V, vt = n[to].V, vg = n[d.Gate].V, vb = n[d.Bulk].V;
  return kPmos ? MosCurrent(s.model, p, vt, vg, vf, vb) : MosCurrent(s.model, p, vf, vg, vt, vb);
}

// The current leaving device i's drain; within a time step it is computed
// once.
template <bool kPmos>
double DrainCurrent(const Simulation& s, int i) {
  Simulation::StepCurrents& c = s.stepCurrents;
  std::vector<int64_t>& stamps = kPmos ? c.stampP : c.stampN;
  std::vector<double>& cached = kPmos ? c.currentP : c.currentN;
  if (c.step != 0 && stamps[size_t(i)] == c.step) return cached[size_t(i)];
  const MosDevice& d = (kPmos ? s.circuit.pmos : s.circuit.nmos)[size_t(i)];
  const double current = LeavingCurrent<kPmos>(s, i, d.Drain, d.Source);
  if (c.step != 0) stamps[size_t(i)] = c.step, cached[size_t(i)] = current;
  return current;
}

// Whether the step needs node k's current: free nodes move by it, the Vdd
// nodes sum the supply current and, in the currents mode, the Vss nodes theirs.
bool StepNeedsCurrent(const Simulation& s, int k) {
  if (!ValidNode(s, k) || k < 2) return false;
  const uint8_t kind = s.state.nodes[k].kind;
  return kind == kPropertyNone || kind == kPropertyVdd ||
         (kind == kPropertyVss && s.state.SimMode == kSimCurrents);
}

// Every device current the step needs, in one pass over the devices: the
// evaluations do not depend on one another, so the processor overlaps them.
template <bool kPmos>
void ComputeTypeCurrents(const Simulation& s) {
  const std::vector<MosDevice>& devices = kPmos ? s.circuit.pmos : s.circuit.nmos;
  for (int i = 0; i < int(devices.size()); ++i)
    if (StepNeedsCurrent(s, devices[i].Drain) || StepNeedsCurrent(s, devices[i].Source))
      DrainCurrent<kPmos>(s, i);
}

void ComputeStepCurrents(const Simulation& s) {
  ComputeTypeCurrents<false>(s);
  ComputeTypeCurrents<true>(s);
}

// Current of one type's devices in node k's range, leaving node k. Node k is
// the first diffusion argument of an nMOS and the second of a pMOS: either
// current is then positive when it leaves node k. Exchanging two different
// diffusion voltages only flips the sign, so the current leaving the source
// is then the drain current negated.
template <bool kPmos>
double TypeNodeCurrent(const Simulation& s, int k) {
  const std::vector<MosDevice>& devices = kPmos ? s.circuit.pmos : s.circuit.nmos;
  const SimNode& node = s.state.nodes[k];
  const int first = kPmos ? node.firstP : node.firstN, last = kPmos ? node.lastP : node.lastN;
  double sum = 0;
  for (int i = first; i <= last; ++i) {
    const MosDevice& d = devices[i];
    if (d.Drain == k) {
      sum += DrainCurrent<kPmos>(s, i);
    } else if (d.Source == k) {
      // With equal diffusion voltages the ordering does not flip the sign.
      const bool level = s.state.nodes[d.Drain].V == s.state.nodes[d.Source].V;
      sum += level ? LeavingCurrent<kPmos>(s, i, d.Source, d.Drain) : -DrainCurrent<kPmos>(s, i);
    }
  }
  return sum;
}

double ResistanceCurrent(const Simulation& s, int k) {
  const std::vector<SimNode>& n = s.state.nodes;
  double sum = 0;
  for (const SimResistance& r : s.state.resistances) {
    if (r.a == k) sum += (n[k].V - n[r.b].V) / r.R;
    else if (r.b == k) sum += (n[k].V - n[r.a].V) / r.R;
  }
  return sum;
}

// Displacement current through the coupling capacitances of node k, from
// the changes of the previous step. Only nodes 1..kMaxCoupledNode couple.
double CouplingCurrent(const Simulation& s, int k) {
  if (k > kMaxCoupledNode) return 0;
  const std::vector<SimNode>& n = s.state.nodes;
  const CouplingMatrix& cc = s.circuit.coupling;
  const int last = std::min(kMaxCoupledNode, NodeCount(s));
  double sum = 0;
  for (int j = 1; j <= last; ++j) {
    const double c = cc.At(j, k);
    if (j != k && c > 0) sum += (n[k].dVlast - n[j].dVlast) * c / s.state.TimeStep;
  }
  return sum;
}

// Index range of the devices touching each node.
void DeviceRanges(std::vector<SimNode>& nodes, const std::vector<MosDevice>& devices, bool pmos) {
  for (SimNode& n : nodes) {
    (pmos ? n.firstP : n.firstN) = int32_t(devices.size());
    (pmos ? n.lastP : n.lastN) = int32_t(devices.size()) - 1;
  }
  const int count = int(nodes.size());
  auto widen = [&](int node, int32_t i) {
    if (node < 0 || node >= count) return;
    int32_t& first = pmos ? nodes[node].firstP : nodes[node].firstN;
    int32_t& last = pmos ? nodes[node].lastP : nodes[node].lastN;
    if (first > last) first = last = i;
    else first = std::min(first, i), last = std::max(last, i);
  };
  for (int32_t i = 0; i < int32_t(devices.size()); ++i) {
    widen(devices[i].Source, i);
    widen(devices[i].Drain, i);
  }
}

// Conductance (S) of a transistor's channel fully on: gate at the far rail,
// source at its own, drain beside it.
double ChannelConductance(const MosModel& model, double vdd, const MosDevice& d, bool pmos) {
  const double current =
      pmos ? PmosCurrent(model, vdd, 0, vdd - kProbeVolts, vdd, d.Wm, d.Leff)
           : NmosCurrent(model, kProbeVolts, vdd, 0, 0, d.Wm, d.Leff);
  return std::fabs(current) / kProbeVolts;
}

// Every node's G: its resistances and its transistors' channels fully on.
void NodeConductances(Simulation& s) {
  std::vector<SimNode>& nodes = s.state.nodes;
  const int count = int(nodes.size());
  for (SimNode& n : nodes) n.G = 0;
  for (const SimResistance& r : s.state.resistances)
    if (r.a != r.b) nodes[r.a].G += 1 / r.R, nodes[r.b].G += 1 / r.R;
  const MosModel quiet{s.technology, s.options.modelLevel, nullptr};
  for (const bool pmos : {false, true})
    for (const MosDevice& d : pmos ? s.circuit.pmos : s.circuit.nmos) {
      const double g = ChannelConductance(quiet, s.technology.VDD, d, pmos);
      for (const int k : {d.Source, d.Drain})
        if (k >= 0 && k < count && d.Source != d.Drain) nodes[k].G += g;
    }
}

bool Stiff(const SimulationState& m, const SimNode& n) {
  return m.stabiliseStiffNodes && n.G * m.TimeStep > n.C;
}

// The stiff nodes of a step cross it in substeps short enough that the
// explicit update neither rings nor diverges, the other nodes held at the
// step's start; each ends with its whole change in dV and its voltage as it
// was, for the step's common update.
void IntegrateStiffNodes(Simulation& s) {
  SimulationState& m = s.state;
  std::vector<SimNode>& nodes = m.nodes;
  double fastest = 0;  // 1/s
  for (int k : m.stiffNodes) fastest = std::max(fastest, nodes[k].G / nodes[k].C);
  const int substeps = std::min(kMaxSubsteps, int(std::ceil(2 * m.TimeStep * fastest)));
  const double h = m.TimeStep / substeps;
  const double vdd = s.technology.VDD;
  m.stiffStart.clear();
  for (int k : m.stiffNodes) m.stiffStart.push_back(nodes[k].V);
  for (int i = 0; i < substeps; ++i) {
    for (int k : m.stiffNodes)
      nodes[k].dV = -h * NodeCurrent(s, k) / std::max(nodes[k].C, 2 * h * nodes[k].G);
    for (int k : m.stiffNodes)
      nodes[k].V = std::clamp(nodes[k].V + nodes[k].dV, -kClampMargin, vdd + kClampMargin);
  }
  for (size_t i = 0; i < m.stiffNodes.size(); ++i) {
    SimNode& n = nodes[m.stiffNodes[i]];
    n.dV = n.V - m.stiffStart[i];
    n.V = m.stiffStart[i];
  }
}

// The capacitance of a DC pseudo-time step: a stiff node would swing past
// its rest point and back, so it moves only as far as stays stable.
double RelaxationCapacitance(const SimulationState& m, const SimNode& n) {
  return Stiff(m, n) ? 2 * m.TimeStep * n.G : n.C;
}

// --- Measurements ----------------------------------------------------------

int PlotColumn(const SimulationState& m) { return m.stepCount / std::max(1, m.stepsPerPixel); }

void MeasureExtremes(SimulationState& m, const SimNode& n) {
  if (n.V > n.Vprev) {
    if (m.watchDirection < 0) m.localMin = n.V;
    m.watchDirection = 1;
  } else if (n.V < n.Vprev) {
    if (m.watchDirection > 0) m.localMax = n.V;
    m.watchDirection = -1;
  }
}

void MeasureDelay(SimulationState& m, int k, const SimNode& n) {
  if (!Crossed(n.Vprev, n.V, m.HalfSupply)) return;
  if (k == m.StartNode) {
    m.delayStartTime = m.SimTime;
    m.delayStartColumn = PlotColumn(m);
    m.delayArmed = true;
  } else if (k == m.StopNode && m.delayArmed) {
    m.delayArmed = false;
    m.delayLast = m.SimTime - m.delayStartTime;
    (n.V > n.Vprev ? m.delayRise : m.delayFall) = m.delayLast;
    m.delayStopColumn = PlotColumn(m);
    m.delayStartTime = m.SimTime;
  }
}

void MeasureFrequency(SimulationState& m, const SimNode& n, double halfVdd) {
  if (!(n.Vprev <= halfVdd && n.V > halfVdd) || m.SimTime <= 0) return;
  if (m.lastRisingCrossing >= 0) {
    m.period = m.SimTime - m.lastRisingCrossing;
    if (m.period > 0) m.frequency = 1 / m.period;
  }
  m.lastRisingCrossing = m.SimTime;
}

void Measure(const Simulation& s, SimulationState& m, int k) {
  const SimNode& n = m.nodes[k];
  const bool watched = k == m.WatchNode;
  if (watched && m.MinMaxOn && s.layout.nodes.nodes[k].display == 2) MeasureExtremes(m, n);
  if (m.SimMode == kSimVoltageTime && (k == m.StartNode || k == m.StopNode))
    MeasureDelay(m, k, n);
  if (watched && m.FreqOn) MeasureFrequency(m, n, s.technology.VDD / 2);
}

void ClearMeasurements(SimulationState& m) {
  m.delayArmed = false;
  m.delayStartTime = 0, m.delayRise = 0, m.delayFall = 0, m.delayLast = 0;
  m.delayStartColumn = 0, m.delayStopColumn = 0;
  m.lastRisingCrossing = -1, m.frequency = 0, m.period = 0;
  m.watchDirection = 0, m.localMax = 0, m.localMin = 0;
  m.switchingThreshold = -1;
}

// --- Result file -----------------------------------------------------------

void OpenDump(Simulation& s) {
  SimulationState& m = s.state;
  const std::string& layoutFile = s.layout.wide.currentFileName;
  if (!s.options.dumpSimulation || layoutFile.empty()) return;
  const std::string path = std::filesystem::path(layoutFile).replace_extension("DAT").string();
  m.dumpPath = path;
  const std::string stopName =
      ValidUtf8(ValidNode(s, m.StopNode) ? s.layout.nodes.nodes[m.StopNode].name : "");
  m.dump = "   TIME(ns)  " + stopName + "(V)    IDD(A)\n";
}

void DumpLine(Simulation& s) {
  SimulationState& m = s.state;
  const double v = ValidNode(s, m.StopNode) ? m.nodes[m.StopNode].V : 0;
  m.dump += FormatFixed(m.SimTime * 1e9, 10, 3) + " " + FormatFixed(v, 10, 3) + " " +
            FormatFixed(m.IDD, 10, 6) + "\n";
}

// The result file is written whole, as every file is: a run stopped or
// killed half-way never leaves a truncated file in place of the last one.
// Like the file it replaces, it is a by-product: a failure to write it is
// not reported.
void CloseDump(SimulationState& m) {
  if (!m.dumpPath.empty()) WriteFileAtomically(m.dumpPath, m.dump);
  m.dumpPath.clear();
  m.dump.clear();
}

// --- Runs ------------------------------------------------------------------

void ShowRunEnd(Simulation& s, bool stopped) {
  SimulationState& m = s.state;
  if (stopped) {
    Say(s, "Simulation stopped at time " + Ns(m.SimTime, 2) + " ns");
    return;
  }
  Say(s, Ns(m.SimLength, 2) + " ns simulation complete with MOS model " +
                             ModelName(s.options.modelLevel) + " with " +
                             Plain(int64_t(s.circuit.nmos.size())) + " NMOS, " +
                             Plain(int64_t(s.circuit.pmos.size())) + " pMOS");
}

void RunTransient(Simulation& s, SimulationView* view) {
  SimulationState& m = s.state;
  // Kept within int: a longer run could never finish anyway, and a wrapped
  // count would run no step at all and call that complete.
  const int steps = int(std::min(std::round(m.SimLength / m.TimeStep), double(kMaxSteps)));
  m.stepsPerPixel = std::max(1, int(std::lround(double(steps) / std::max(1, m.plotWidth))));
  m.stepCount = 0;
  const double runStart = m.SimTime;
  while (m.stepCount < steps && !m.StopRequested) {
    SimulationStep(s, view);
    s.progress.Yield();
    if (s.progress.StopRequested()) RequestStop(m);
  }
  const bool stopped = m.stepCount < steps;
  ShowRunEnd(s, stopped);
  m.SimTime = stopped ? 0 : runStart + m.SimLength;
}

void RunDc(Simulation& s, SimulationView* view) {
  SimulationState& m = s.state;
  const int width = std::max(1, m.plotWidth);
  for (int i = 0; i <= width && !m.StopRequested; ++i) {
    DcAnalysisPoint(s, m.dcAscending ? i : width - i, width, view);
    s.progress.Yield();
    if (s.progress.StopRequested()) RequestStop(m);
  }
  m.dcAscending = !m.dcAscending;
}

// One pseudo-time step of the DC relaxation over the free nodes except the
// swept one. Returns the largest change.
double RelaxOnce(Simulation& s, int sweptNode) {
  std::vector<SimNode>& nodes = s.state.nodes;
  const int count = NodeCount(s);
  for (int k = 2; k <= count; ++k)
    if (nodes[k].kind == kPropertyNone && k != sweptNode)
      nodes[k].dV =
          -s.state.TimeStep * NodeCurrent(s, k) / RelaxationCapacitance(s.state, nodes[k]);
  double largest = 0;
  for (int k = 2; k <= count; ++k)
    if (nodes[k].kind == kPropertyNone && k != sweptNode) {
      nodes[k].V += nodes[k].dV;
      largest = std::max(largest, std::fabs(nodes[k].dV));
    }
  return largest;
}

// Relaxes the circuit to rest, or until the Y node swings back and forth.
void Relax(Simulation& s, int xNode, int yNode) {
  int lastDirection = 0, reversals = 0;
  for (int i = 0; i < kDcMaxIterations; ++i) {
    if (RelaxOnce(s, xNode) < kDcTolerance) return;
    const int direction = s.state.nodes[yNode].dV > 0 ? 1 : -1;
    reversals = lastDirection != 0 && direction != lastDirection ? reversals + 1 : 0;
    lastDirection = direction;
    if (reversals >= 2) return;
  }
}

}  // namespace

// --- Public interface ------------------------------------------------------

Simulation::Simulation(SimulationState& state, const Layout& layout, const Circuit& circuit,
                       Technology& technology, const ExtractOptions& options, Progress& progress)
    : state(state), layout(layout), circuit(circuit), technology(technology), options(options),
      progress(progress), model{technology, options.modelLevel, &halt} {}

void InitSimulation(Simulation& s) {
  SimulationState& m = s.state;
  const NodeTable& table = s.layout.nodes;
  const double vdd = s.technology.VDD;
  m.nodes.assign(size_t(table.count) + 1, SimNode{});
  for (int k = 2; k <= table.count; ++k) {
    const nodeBaseRecord& r = table.nodes[k];
    SimNode& n = m.nodes[k];
    n.kind = r.property;
    n.V = vdd * (r.property == kPropertyVdd ? r.highLevel : r.lowLevel) / 1000.0;
    n.Vplot = n.Vprev = -0.01;
    n.C = r.NodeCapacitance > 0 ? r.NodeCapacitance : kMinNodeCapacitance;
  }
  m.nodes[0].kind = kPropertyVss;
  if (table.count >= 1) m.nodes[1] = SimNode{vdd, 0, vdd, vdd, 0, kMinNodeCapacitance, kPropertyVdd};
  if (s.technology.DELT > 0) m.TimeStep = s.technology.DELT;
  m.HalfSupply = vdd / 2;
  m.SimTime = 0;
  ClearMeasurements(m);
  m.caption = "Simulation of " + s.layout.wide.currentFileName;
  CheckFloatingWells(s);
}

int CheckFloatingWells(Simulation& s) {
  std::vector<SimNode>& nodes = s.state.nodes;
  int count = 0;
  ForEachLive(s.layout.boxes, [&](int, const Box& b) {
    if (b.layer != kNwell || b.node < 0 || b.node >= int(nodes.size())) return;
    SimNode& n = nodes[b.node];
    if (n.kind != kPropertyNone) return;
    n.V = n.Vplot = n.Vprev = s.technology.VDD;
    ++count;
  });
  Say(s, count == 0 ? "No error" : Plain(count) + " float. wells");
  return count;
}

std::string AssignNodes(Simulation& s) {
  Say(s, "Assign nodes");
  SimulationState& m = s.state;
  const NodeTable& table = s.layout.nodes;
  const Circuit& e = s.circuit;
  m.deviceList.clear();
  for (const auto& [devices, letter] : {std::pair{&e.nmos, "N"}, std::pair{&e.pmos, "P"}})
    for (size_t i = 0; i < devices->size(); ++i)
      m.deviceList.push_back(std::string("I(") + letter + Plain(int64_t(i) + 1) + " " +
                             Plain((*devices)[i].W) + " x " + Plain((*devices)[i].L) + ")");
  m.currentDevice = m.deviceList.empty() ? -1 : 0;
  auto driven = [&](int k) {
    return table.nodes[k].property == kPropertyPulse || table.nodes[k].property == kPropertyClock;
  };
  m.nodeList.clear();
  for (int k = 0; k <= table.count; ++k)
    if (table.nodes[k].display == 2) m.nodeList.push_back(k);
  std::stable_sort(m.nodeList.begin(), m.nodeList.end(), [&](int a, int b) {
    if (driven(a) != driven(b)) return driven(a);
    return table.nodes[a].name < table.nodes[b].name;
  });
  m.StartNode = m.StopNode = m.WatchNode = kNoNode;
  if (!m.nodeList.empty() && driven(m.nodeList.front())) m.StartNode = m.nodeList.front();
  for (int k : m.nodeList)
    if (table.nodes[k].property == kPropertyNone) {
      m.StopNode = m.WatchNode = k;
      break;
    }
  return Plain(table.count) + " nodes, delay starter is n°" + Plain(m.StartNode) +
         ", delay end is n°" + Plain(m.StopNode);
}

bool ApplyStepField(SimulationState& state, const std::string& text) {
  const ParsedNumber ps = ParseNumber(text, 0.01, 1000, 5);
  if (!ps.ok) return false;
  state.TimeStep = ps.value * 1e-12;
  return true;
}

void PrepareTopology(Simulation& s) {
  SimulationState& m = s.state;
  DeviceRanges(m.nodes, s.circuit.nmos, false);
  DeviceRanges(m.nodes, s.circuit.pmos, true);
  for (const bool pmos : {false, true}) {
    std::vector<PreparedMos>& prepared = pmos ? s.preparedPmos : s.preparedNmos;
    prepared.clear();
    for (const MosDevice& d : pmos ? s.circuit.pmos : s.circuit.nmos)
      prepared.push_back(PrepareMos(s.model, pmos, d.Wm, d.Leff));
  }
  Simulation::StepCurrents& c = s.stepCurrents;
  c.step = 0;
  c.stampN.assign(s.circuit.nmos.size(), 0);
  c.stampP.assign(s.circuit.pmos.size(), 0);
  c.currentN.assign(s.circuit.nmos.size(), 0.0);
  c.currentP.assign(s.circuit.pmos.size(), 0.0);
  m.resistances.clear();
  const int count = NodeCount(s);
  const auto& marks = s.layout.resistances;
  for (int i = 1; i <= marks.Count(); ++i) {
    const ResistanceMark& r = marks[i];
    const bool attached = r.nodeA >= 0 && r.nodeA <= count && r.nodeB >= 0 && r.nodeB <= count;
    // A zero or negative value would divide by zero: such a mark joins nothing.
    if (r.state != 0 && attached && r.value > 0) m.resistances.push_back({r.nodeA, r.nodeB, r.value});
  }
  NodeConductances(s);
}

void RunSimulation(Simulation& s, SimulationView* view) {
  SimulationState& m = s.state;
  if (int(m.nodes.size()) != s.layout.nodes.count + 1) InitSimulation(s);
  UpdateTemperature(s.technology, s.technology.TEMP);
  PrepareTopology(s);
  OpenDump(s);
  m.IDDTotal = 0;
  m.halted = false;
  m.StopRequested = false;
  m.Running = true;
  if (m.SimMode == kSimDc) RunDc(s, view);
  else RunTransient(s, view);
  m.Running = false;
  CloseDump(m);
}

void SimulationStep(Simulation& s, SimulationView* view) {
  SimulationState& m = s.state;
  std::vector<SimNode>& nodes = m.nodes;
  const int count = NodeCount(s);
  const double vdd = s.technology.VDD;
  m.IDD = 0, m.ISS = 0;
  s.stepCurrents.step = ++s.stepCurrents.steps;
  ComputeStepCurrents(s);
  m.stiffNodes.clear();
  for (int k = 2; k <= count; ++k) {
    SimNode& n = nodes[k];
    if (n.kind == kPropertyNone) {
      if (Stiff(m, n)) m.stiffNodes.push_back(k);
      else n.dV = -m.TimeStep * NodeCurrent(s, k) / n.C;
    } else if (n.kind == kPropertyVdd) {
      m.IDD += std::fabs(NodeCurrent(s, k));
    } else if (n.kind == kPropertyVss && m.SimMode == kSimCurrents) {
      m.ISS += std::fabs(NodeCurrent(s, k));
    }
  }
  s.stepCurrents.step = 0;
  if (!m.stiffNodes.empty()) IntegrateStiffNodes(s);
  m.IDDTotal += m.IDD;
  for (int k = 2; k <= count; ++k) {
    SimNode& n = nodes[k];
    if (n.kind == kPropertyNone)
      n.V = std::clamp(n.V + n.dV, -kClampMargin, vdd + kClampMargin);
    else if (n.kind == kPropertyPulse || n.kind == kPropertyClock)
      n.V = WaveformVoltage(s, k, m.SimTime);
    Measure(s, m, k);
    n.Vprev = n.V;
    n.dVlast = n.dV;
  }
  if (s.halt.message) {
    m.halted = true;
    Say(s, *s.halt.message);
    s.halt.message = nullptr;
  }
  ++m.stepCount;
  m.SimTime += m.TimeStep;
  if (m.stepCount % kStatusInterval == 0) Say(s, "t=" + Ns(m.SimTime, 2) + " ns");
  if (m.stepCount % std::max(1, m.stepsPerPixel) != 0) return;
  if (!m.dumpPath.empty()) DumpLine(s);
  if (view) view->PlottedStep(s, PlotColumn(m));
  for (SimNode& n : nodes) n.Vplot = n.V;
}

double NodeCurrent(const Simulation& s, int k) {
  double current = TypeNodeCurrent<false>(s, k) + TypeNodeCurrent<true>(s, k);
  if (!s.state.resistances.empty()) current += ResistanceCurrent(s, k);
  if (s.options.Crosstalk()) current += CouplingCurrent(s, k);
  return current;
}

double DeviceCurrent(const Simulation& s, bool pmos, int index) {
  const std::vector<SimNode>& n = s.state.nodes;
  const MosDevice& d = (pmos ? s.circuit.pmos : s.circuit.nmos)[index];
  if (pmos)
    return PmosCurrent(s.model, n[d.Source].V, n[d.Gate].V, n[d.Drain].V, n[d.Bulk].V, d.Wm, d.Leff);
  return NmosCurrent(s.model, n[d.Drain].V, n[d.Gate].V, n[d.Source].V, n[d.Bulk].V, d.Wm, d.Leff);
}

bool SelectDeviceCurrent(SimulationState& state, int item) {
  if (item < 0 || item >= int(state.deviceList.size())) return false;
  state.currentDevice = item;
  return true;
}

// The device list holds the nMOS devices first, then the pMOS devices.
double ChosenDeviceCurrent(const Simulation& s) {
  const int item = s.state.currentDevice;
  const int nmos = int(s.circuit.nmos.size());
  if (item < 0 || item >= nmos + int(s.circuit.pmos.size())) return 0;
  const bool pmos = item >= nmos;
  return std::fabs(DeviceCurrent(s, pmos, pmos ? item - nmos : item));
}

double WaveformVoltage(const Simulation& s, int node, double t) {
  const nodeBaseRecord& r = s.layout.nodes.nodes[node];
  std::array<double, 4> T = r.edgeTimes;
  for (double& edge : T)
    if (edge <= 0) edge = kMinEdgeTime;
  if (T[1] == T[0]) T[1] = T[0] + kMinEdgeTime;
  if (T[3] == T[2]) T[3] = T[2] + kMinEdgeTime;
  const bool clock = r.property == kPropertyClock;
  const double tp = clock ? t - T[3] * std::trunc(t / T[3]) : t;
  const double vl = s.technology.VDD * r.lowLevel / 1000.0;
  const double vh = s.technology.VDD * r.highLevel / 1000.0;
  if (tp < T[0]) return vl;
  if (tp < T[1]) return vl + (vh - vl) * (tp - T[0]) / (T[1] - T[0]);
  if (tp < T[2]) return vh;
  if (!clock && tp >= T[3]) return vl;
  return vh + (vl - vh) * (tp - T[2]) / (T[3] - T[2]);
}

void DcAnalysisPoint(Simulation& s, int column, int width, SimulationView* view) {
  SimulationState& m = s.state;
  for (SimNode& n : m.nodes) n.Vplot = n.V;
  const bool haveX = ValidNode(s, m.StartNode), haveY = ValidNode(s, m.StopNode);
  const double x = s.technology.VDD * column / std::max(1, width);
  if (haveX) {
    m.nodes[m.StartNode].V = x;
    if (column % kDcStatusInterval == 0)
      Say(s, "Running DC simulation at " + s.layout.nodes.nodes[m.StartNode].name +
                                 "=" + FormatFixed(x, 5, 3));
  }
  if (haveX && haveY) Relax(s, m.StartNode, m.StopNode);
  const double y = haveY ? m.nodes[m.StopNode].V : 0;
  if (haveY && Crossed(m.nodes[m.StopNode].Vplot, y, s.technology.VDD / 2)) m.switchingThreshold = x;
  if (view) view->DcPoint(s, column, x, y);
}

void RequestStop(SimulationState& state) {
  if (state.Running) state.StopRequested = true;
}

std::string DelayText(double seconds) {
  int64_t value = std::llround(seconds * 1e12);
  const bool nano = value > 10000;
  if (nano) value /= 1000;
  return Plain(value) + (nano ? "ns" : "ps");
}

}  // namespace tarnisk
