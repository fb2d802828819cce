#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/number_format.h"
#include "session/editor/view.h"
#include "session/analysis/layout_animation.h"
#include "models/mos_models.h"
#include "sim/simulation.h"
#include "session/analysis/simulation_plot.h"
#include "tests/test_support.h"
#include "ui/recording_surface.h"
#include "session/analysis/extract_command.h"
#include "session/analysis/simulate.h"
#include "session/session.h"

namespace tarnisk {
namespace {

// A hand-made circuit of `count` nodes, all free until a test says otherwise.
struct Net : testing::Fresh {
  SimulationState& m = s.simulation;
  Simulation sim = SimulationOf(s);

  explicit Net(int count) {
    layout.nodes.count = count;
    for (int k = 2; k <= count; ++k) Node(k).name = "n" + std::to_string(k);
  }
  nodeBaseRecord& Node(int k) { return layout.nodes.nodes[k]; }
  double V(int k) const { return m.nodes[k].V; }
  void Drive(int k, uint8_t property, std::array<double, 4> times, int high = 1000, int low = 0) {
    Node(k).property = property;
    Node(k).edgeTimes = times;
    Node(k).highLevel = high;
    Node(k).lowLevel = low;
  }
  void Resistance(int a, int b, double ohms) {
    ResistanceMark r;
    r.value = ohms, r.nodeA = a, r.nodeB = b, r.state = 1;
    layout.resistances.Append(r);
  }
};

// Records every plotted step, and can ask for a stop at a given column.
struct Recorder : SimulationView {
  std::function<void(int)> onColumn;
  std::vector<int> columns;
  std::vector<double> xs, ys;
  void PlottedStep(const Simulation&, int column) override {
    columns.push_back(column);
    if (onColumn) onColumn(column);
  }
  void DcPoint(const Simulation&, int column, double x, double y) override {
    columns.push_back(column), xs.push_back(x), ys.push_back(y);
  }
};

TEST(SimEngine, FreeNodesWithoutDevicesKeepTheirVoltageAndRunsContinue) {
  Net c(3);
  InitSimulation(c.sim);
  EXPECT_EQ(c.m.caption, "Simulation of ");
  RunSimulation(c.sim, nullptr);
  EXPECT_EQ(c.platform.Panel(0),
            "20.00 ns simulation complete with MOS model Level 3 with 0 NMOS, 0 pMOS");
  EXPECT_EQ(c.m.stepCount, 4000);
  EXPECT_DOUBLE_EQ(c.m.SimTime, 2e-8);
  RunSimulation(c.sim, nullptr);
  EXPECT_DOUBLE_EQ(c.m.SimTime, 4e-8) << "a second run continues where the first ended";
  EXPECT_EQ(c.V(2), 0);
  EXPECT_EQ(c.V(3), 0);
  EXPECT_FALSE(c.m.Running);
}

TEST(SimEngine, OneMilliampereOutOfOneFemtofaradIsClampedAtMinusOneVolt) {
  Net c(3);
  c.Node(2).NodeCapacitance = 1e-15;
  c.Node(3).property = kPropertyVdd;
  c.Node(3).highLevel = -1000;  // a -5 V supply draws 1 mA through 5 kOhm
  c.Resistance(2, 3, 5000);
  InitSimulation(c.sim);
  PrepareTopology(c.sim);
  EXPECT_NEAR(NodeCurrent(c.sim, 2), 1e-3, 1e-12);
  SimulationStep(c.sim, nullptr);
  EXPECT_NEAR(c.m.nodes[2].dV, -5.0, 1e-9);
  EXPECT_EQ(c.V(2), -1.0);
  EXPECT_NEAR(c.m.IDD, 1e-3, 1e-12) << "the supply node's current";
  EXPECT_EQ(c.V(3), -5.0) << "a supply never moves";
}

TEST(SimEngine, UpdateIsSimultaneousAndZeroResistancesJoinNothing) {
  // Two equal nodes charged from each other's old values swap symmetrically.
  Net c(4);
  c.Node(2).lowLevel = 1000;
  c.Node(2).NodeCapacitance = c.Node(3).NodeCapacitance = 1e-13;
  c.Resistance(2, 3, 1000);
  c.Resistance(3, 4, 0);
  InitSimulation(c.sim);
  PrepareTopology(c.sim);
  SimulationStep(c.sim, nullptr);
  EXPECT_NEAR(c.V(2) + c.V(3), 5.0, 1e-12);
  EXPECT_NEAR(5.0 - c.V(2), 5e-12 * 5.0 / 1000 / 1e-13, 1e-12);
  EXPECT_EQ(c.V(4), 0);
}

TEST(SimEngine, FloatingWellsAreRaisedToTheSupply) {
  Net c(2);
  AddBox(c.s.layout, 0, 0, 10, 10, kNwell);
  c.layout.boxes[1].node = 2;
  InitSimulation(c.sim);
  EXPECT_EQ(c.platform.Panel(0), "1 float. wells");
  EXPECT_EQ(c.V(2), 5.0);
  c.Node(2).property = kPropertyVdd;
  InitSimulation(c.sim);
  EXPECT_EQ(c.platform.Panel(0), "No error");
}

TEST(SimWaveform, ClockAndPulseShapes) {
  Net c(4);
  c.Drive(2, kPropertyClock, {0, 0, 0, 0});
  c.Drive(3, kPropertyPulse, {1e-9, 2e-9, 3e-9, 4e-9}, 800, 200);
  c.Drive(4, kPropertyClock, {1e-9, 2e-9, 3e-9, 4e-9}, 800, 200);
  // Zero times: low for 10 ps, then a 10 ps ramp, period 20 ps.
  EXPECT_EQ(WaveformVoltage(c.sim, 2, 0), 0);
  EXPECT_EQ(WaveformVoltage(c.sim, 2, 0.5e-11), 0);
  EXPECT_NEAR(WaveformVoltage(c.sim, 2, 1.5e-11), 2.5, 1e-9);
  EXPECT_NEAR(WaveformVoltage(c.sim, 2, 3.5e-11), 2.5, 1e-9);
  EXPECT_EQ(WaveformVoltage(c.sim, 2, 2.5e-11), 0);
  // Levels in thousandths of the supply; the pulse happens once.
  EXPECT_NEAR(WaveformVoltage(c.sim, 3, 1.5e-9), 2.5, 1e-9);
  EXPECT_NEAR(WaveformVoltage(c.sim, 3, 2.5e-9), 4.0, 1e-9);
  EXPECT_NEAR(WaveformVoltage(c.sim, 3, 3.5e-9), 2.5, 1e-9);
  EXPECT_NEAR(WaveformVoltage(c.sim, 3, 5e-9), 1.0, 1e-9);
  EXPECT_NEAR(WaveformVoltage(c.sim, 3, 6.5e-9), 1.0, 1e-9);
  EXPECT_NEAR(WaveformVoltage(c.sim, 4, 6.5e-9), 4.0, 1e-9) << "the clock repeats";
}

TEST(SimRun, StopKeepsVoltagesAndRestartsTimeAtZero) {
  Net c(3);
  c.Node(2).NodeCapacitance = 1e-12;
  c.Node(3).property = kPropertyVdd;
  c.Resistance(2, 3, 1e5);
  InitSimulation(c.sim);
  Recorder stopper;
  stopper.onColumn = [&](int column) {
    if (column == 10) RequestStop(c.s.simulation);
  };
  RunSimulation(c.sim, &stopper);
  EXPECT_EQ(c.m.stepCount, 40);
  EXPECT_EQ(c.platform.Panel(0), "Simulation stopped at time  0.20 ns");
  EXPECT_EQ(c.m.SimTime, 0);
  const double kept = c.V(2);
  EXPECT_GT(kept, 0);
  c.m.StopRequested = false;
  RequestStop(c.s.simulation);
  EXPECT_FALSE(c.m.StopRequested) << "a stop request when idle does nothing";
  Recorder plain;
  RunSimulation(c.sim, &plain);
  EXPECT_DOUBLE_EQ(c.m.SimTime, 2e-8);
  ASSERT_EQ(plain.columns.size(), 1000u);
  EXPECT_EQ(plain.columns.front(), 1);
  EXPECT_GT(c.V(2), kept) << "the second run starts from the kept voltages";
}

TEST(SimRun, StepFieldAndStepsPerPixel) {
  Net c(2);
  InitSimulation(c.sim);
  EXPECT_TRUE(ApplyStepField(c.s.simulation, "20"));
  EXPECT_DOUBLE_EQ(c.m.TimeStep, 20e-12);
  EXPECT_FALSE(ApplyStepField(c.s.simulation, "abc"));
  EXPECT_FALSE(ApplyStepField(c.s.simulation, "5000"));
  EXPECT_DOUBLE_EQ(c.m.TimeStep, 20e-12) << "an unreadable field keeps the step";
  EXPECT_TRUE(ApplyStepField(c.s.simulation, ""));
  EXPECT_DOUBLE_EQ(c.m.TimeStep, 5e-12);
  c.m.plotWidth = 3000;
  Recorder r;
  RunSimulation(c.sim, &r);
  EXPECT_EQ(r.columns.size(), 4000u) << "at least one step per column";
}

TEST(SimMeasure, DelayFrequencyAndExtremesOfDrivenNodes) {
  Net c(3);
  c.Drive(2, kPropertyClock, {1e-9, 1.1e-9, 3e-9, 3.1e-9});  // the stop node
  c.Drive(3, kPropertyPulse, {2e-9, 2.1e-9, 10e-9, 10.1e-9});  // the start node
  c.Node(2).display = 2;
  InitSimulation(c.sim);
  c.m.StartNode = 3, c.m.StopNode = 2, c.m.WatchNode = 2;
  c.m.FreqOn = c.m.MinMaxOn = true;
  c.m.SimLength = 5e-9;
  RunSimulation(c.sim, nullptr);
  EXPECT_EQ(c.m.delayRise, 0) << "the clock rose before the start node crossed";
  EXPECT_NEAR(c.m.delayFall, 1e-9, 1e-11);
  EXPECT_GT(c.m.delayStopColumn, c.m.delayStartColumn);
  EXPECT_NEAR(c.m.frequency, 1 / 3.1e-9, 1 / 3.1e-9 * 0.01);
  EXPECT_NEAR(c.m.localMax, 5.0, 0.3);
  EXPECT_NEAR(c.m.localMin, 0.0, 0.3);
  EXPECT_EQ(DelayText(85.4e-12), "85ps");
  EXPECT_EQ(DelayText(10e-9), "10000ps");
  EXPECT_EQ(DelayText(12.3e-9), "12ns");
}

TEST(SimRun, ResultFileHasOneLinePerPlottedStep) {
  testing::TempDir dir;
  Net c(2);
  c.layout.wide.currentFileName = dir.File("inv.msk");
  c.s.extractOptions.dumpSimulation = true;
  InitSimulation(c.sim);
  c.m.StopNode = 2;
  c.m.SimLength = 1e-10;
  c.m.plotWidth = 10;
  RunSimulation(c.sim, nullptr);
  EXPECT_TRUE(c.m.dumpPath.empty());
  const std::string text = testing::ReadFile(dir.File("inv.DAT"));
  EXPECT_EQ(text.rfind("   TIME(ns)  n2(V)    IDD(A)\n"
                       "     0.010      0.000   0.000000\n"
                       "     0.020      0.000   0.000000\n",
                       0),
            0u)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
}

struct Example : testing::WithRules {
  SimulationState& m = s.simulation;
  Simulation sim = SimulationOf(s);
  int Named(const std::string& name) const {
    for (int k = 0; k <= layout.nodes.count; ++k)
      if (layout.nodes.nodes[k].name == name) return k;
    return -1;
  }
  void Prepare(const std::string& file) {
    Open(file);
    ASSERT_TRUE(EnsureExtracted(s));
    InitSimulation(sim);
    AssignNodes(sim);
  }
};

// Samples the voltage of one node at every plotted step.
struct Trace : SimulationView {
  int node;
  std::vector<double> v, t;
  explicit Trace(int n) : node(n) {}
  void PlottedStep(const Simulation& s, int) override {
    v.push_back(s.state.nodes[node].V), t.push_back(s.state.SimTime);
  }
  void DcPoint(const Simulation&, int, double, double) override {}
  double At(double time) const {
    return v[std::lower_bound(t.begin(), t.end(), time) - t.begin()];
  }
};

TEST(SimExamples, InverterSwingsRailToRailAndInvertsItsClock) {
  Example x;
  x.Prepare("inverter.msk");
  const int in = x.Named("in"), out = x.Named("out");
  EXPECT_EQ(x.m.StartNode, in);
  EXPECT_EQ(x.m.StopNode, out);
  Trace trace(out);
  RunSimulation(x.sim, &trace);
  EXPECT_GT(*std::max_element(trace.v.begin(), trace.v.end()), 4.95);
  EXPECT_LT(*std::min_element(trace.v.begin(), trace.v.end()), 0.05);
  // The input is high from 2.1 to 4.1 ns of every 4.2 ns period.
  for (double low : {1.5e-9, 5.5e-9, 18.5e-9}) EXPECT_GT(trace.At(low), 4.9) << low;
  for (double high : {3.5e-9, 7.7e-9, 16.3e-9}) EXPECT_LT(trace.At(high), 0.1) << high;
  EXPECT_GT(x.m.delayRise, 1e-12);
  EXPECT_LT(x.m.delayRise, 1e-9);
  EXPECT_GT(x.m.delayFall, 1e-12);
  EXPECT_LT(x.m.delayFall, 1e-9);
}

TEST(SimExamples, RingOscillatorOscillates) {
  Example x;
  x.Prepare("ring5.msk");
  const int out = x.Named("out");
  x.m.WatchNode = out, x.m.FreqOn = true;
  Trace trace(out);
  RunSimulation(x.sim, &trace);
  int risings = 0;
  for (size_t i = 1; i < trace.v.size(); ++i) risings += trace.v[i - 1] <= 2.5 && trace.v[i] > 2.5;
  EXPECT_GE(risings, 10);
  EXPECT_GT(x.m.frequency, 1e8);
  EXPECT_LT(x.m.frequency, 1e10);
}

TEST(SimExamples, NandNodeListsAndDefaults) {
  Example x;
  x.Open("nand2.msk");
  ASSERT_TRUE(EnsureExtracted(x.s));
  InitSimulation(x.sim);
  const std::string summary = AssignNodes(x.sim);
  const int a = x.Named("a"), b = x.Named("b"), out = x.Named("out");
  EXPECT_EQ(x.m.nodeList, (std::vector<int>{a, b, out}));
  EXPECT_EQ(x.m.StartNode, a);
  EXPECT_EQ(x.m.WatchNode, out);
  EXPECT_EQ(summary, std::to_string(x.layout.nodes.count) + " nodes, delay starter is n°" +
                         std::to_string(a) + ", delay end is n°" + std::to_string(out));
  ASSERT_EQ(x.m.deviceList.size(), 4u);
  EXPECT_EQ(x.m.deviceList[0], "I(N1 6 x 2)");
  EXPECT_EQ(x.m.deviceList[2].substr(0, 4), "I(P1");
}

TEST(SimDc, InverterTransferCurveAndSweepDirections) {
  Example x;
  x.Prepare("inverter.msk");
  x.m.SimMode = kSimDc;
  x.m.plotWidth = 100;
  Recorder up, down;
  RunSimulation(x.sim, &up);
  ASSERT_EQ(up.ys.size(), 101u);
  EXPECT_GT(up.ys.front(), 4.9);
  EXPECT_LT(up.ys.back(), 0.1);
  EXPECT_GT(x.m.switchingThreshold, 1.5);
  EXPECT_LT(x.m.switchingThreshold, 3.5);
  RunSimulation(x.sim, &down);
  EXPECT_EQ(down.columns.front(), 100) << "every other run sweeps downward";
  EXPECT_LT(down.ys.front(), 0.1);
}

TEST(SimDc, WithoutAnXNodeNothingRelaxes) {
  Example x;
  x.Prepare("inverter.msk");
  x.m.SimMode = kSimDc;
  x.m.StartNode = kNoNode;
  x.m.plotWidth = 10;
  Recorder r;
  RunSimulation(x.sim, &r);
  for (double y : r.ys) EXPECT_EQ(y, 0);
}

// ---- Stiff nodes -------------------------------------------------------------

// Every node's voltage at every step of a run (or every DC point), with the
// stable treatment of stiff nodes or with the plain explicit step.
struct AllVoltages : SimulationView {
  std::vector<double> v;
  void PlottedStep(const Simulation& s, int) override {
    for (const SimNode& n : s.state.nodes) v.push_back(n.V);
  }
  void DcPoint(const Simulation& s, int, double, double) override { PlottedStep(s, 0); }
};

std::vector<double> Voltages(const std::string& example, int level, uint8_t mode, bool stabilise,
                             int& stiffNodes) {
  Example x;
  x.s.extractOptions.modelLevel = level;
  x.Prepare(example);
  x.m.SimMode = mode;
  x.m.stabiliseStiffNodes = stabilise;
  x.m.plotWidth = 4000;  // every step plotted
  AllVoltages all;
  RunSimulation(x.sim, &all);
  stiffNodes = 0;
  for (const SimNode& n : x.m.nodes)
    stiffNodes += n.kind == kPropertyNone && n.G * x.m.TimeStep > n.C;
  return all.v;
}

// No node of the inverter and the ring is stiff at the default step: every
// voltage of every step and every DC point is the plain explicit step's, bit
// for bit.
TEST(SimStiff, ExamplesWithoutStiffNodesRunBitIdenticalToThePlainStep) {
  for (const char* example : {"inverter.msk", "ring5.msk"})
    for (int level : {kModelLevel1, kModelLevel3, kModelLevel9})
      for (uint8_t mode : {kSimVoltageTime, kSimDc}) {
        SCOPED_TRACE(std::string(example) + " level " + std::to_string(level) + " mode " +
                     std::to_string(mode));
        int stiff = 0, unused = 0;
        const std::vector<double> stable = Voltages(example, level, mode, true, stiff);
        EXPECT_EQ(stiff, 0);
        EXPECT_EQ(stable, Voltages(example, level, mode, false, unused));
      }
}

// The nand's node between its two nMOS (3 fF, two channels of 1 mS) swung
// between the clamps under the plain step; it now moves smoothly.
TEST(SimStiff, TheNandsInnerNodeNoLongerRings) {
  for (int level : {kModelLevel1, kModelLevel3}) {
    for (const bool stabilise : {false, true}) {
      Example x;
      x.s.extractOptions.modelLevel = level;
      x.Prepare("nand2.msk");
      const int inner = x.s.circuit.nmos[0].Source == x.s.circuit.nmos[1].Drain
                            ? x.s.circuit.nmos[0].Source
                            : x.s.circuit.nmos[0].Drain;
      x.m.stabiliseStiffNodes = stabilise;
      x.m.plotWidth = 4000;
      Trace trace(inner);
      RunSimulation(x.sim, &trace);
      int reversals = 0;
      for (size_t i = 2; i < trace.v.size(); ++i)
        reversals += (trace.v[i] - trace.v[i - 1]) * (trace.v[i - 1] - trace.v[i - 2]) < 0;
      const double low = *std::min_element(trace.v.begin(), trace.v.end());
      SCOPED_TRACE("level " + std::to_string(level));
      if (stabilise) {
        EXPECT_LT(reversals, 10);
        EXPECT_GE(low, 0);
      } else {
        EXPECT_GT(reversals, 100);
        EXPECT_EQ(low, -1.0);
      }
    }
  }
}

// Node 3 hangs from the supply by 2 kOhm and node 4 from node 3 by 2 kOhm,
// each of 0.5 fF: a time constant of 1 ps under a 5 ps step.
struct StiffPair : Net {
  StiffPair() : Net(4) {
    Node(2).property = kPropertyVdd;
    Node(3).NodeCapacitance = Node(4).NodeCapacitance = 0.5e-15;
    Resistance(2, 3, 2000);
    Resistance(3, 4, 2000);
    InitSimulation(sim);
  }
};

TEST(SimStiff, AShortTimeConstantFollowsTheSupplyWithoutRinging) {
  for (const bool stabilise : {false, true}) {
    StiffPair c;
    c.m.stabiliseStiffNodes = stabilise;
    c.m.WatchNode = 3, c.m.FreqOn = true;
    c.m.SimLength = 1e-10;
    AllVoltages all;
    RunSimulation(c.sim, &all);
    const auto [low, high] = std::minmax_element(all.v.begin(), all.v.end());
    if (!stabilise) {
      EXPECT_EQ(*high, 6.0) << "the plain step rings between the clamps";
      EXPECT_GT(c.m.frequency, 5e10);
      continue;
    }
    EXPECT_GE(*low, 0);
    EXPECT_LE(*high, 5.0);
    EXPECT_EQ(c.m.frequency, 0);
    EXPECT_NEAR(c.V(3), 5.0, 1e-6);
    EXPECT_NEAR(c.V(4), 5.0, 1e-6);
    // After one step node 3 has risen most of the way, node 4 behind it.
    EXPECT_GT(all.v[3], all.v[4]);
    EXPECT_GT(all.v[3], 2.5);
  }
}

TEST(SimStiff, DcRelaxationOfAStiffNodeSettles) {
  for (const bool stabilise : {false, true}) {
    StiffPair c;
    c.Node(2).property = kPropertyNone;  // the swept node
    InitSimulation(c.sim);
    c.m.stabiliseStiffNodes = stabilise;
    c.m.SimMode = kSimDc;
    c.m.StartNode = 2, c.m.StopNode = 4;
    c.m.plotWidth = 10;
    Recorder r;
    RunSimulation(c.sim, &r);
    double worst = 0;
    for (size_t i = 0; i < r.xs.size(); ++i) worst = std::max(worst, std::fabs(r.ys[i] - r.xs[i]));
    if (stabilise) EXPECT_LT(worst, 1e-3) << "at rest no current flows: node 4 sits at X";
    else EXPECT_GT(worst, 0.1) << "the plain relaxation swings and gives up";
  }
}

bool Drew(const RecordingSurface& surface, const std::string& ending) {
  for (const std::string& call : surface.Calls())
    if (call.size() >= ending.size() && call.compare(call.size() - ending.size(), ending.size(),
                                                     ending) == 0)
      return true;
  return false;
}

TEST(SimPlot, StripsNamesAndDelayMarkers) {
  Example x;
  x.Prepare("inverter.msk");
  RecordingSurface surface(1050, 600);
  SimulationPlot plot(surface);
  x.m.plotWidth = plot.PlotWidth();
  plot.DrawAxes(x.sim);
  RunSimulation(x.sim, &plot);
  EXPECT_TRUE(Drew(surface, " in"));
  EXPECT_TRUE(Drew(surface, " out"));
  EXPECT_TRUE(Drew(surface, " " + DelayText(x.m.delayLast)));
  // The output strip's base line is the bottom of the plot.
  EXPECT_TRUE(Drew(surface, "line 50,580,1049,580"));
  x.m.nodeList.clear();
  surface.Forget();
  plot.DrawAxes(x.sim);
  EXPECT_TRUE(Drew(surface, "line 50,580,1049,580")) << "one empty strip of the full height";
}

// The texts drawn, with the box each takes (at most 6 pixels a character, 12
// high at the plot's font size).
struct DrawnText {
  int x, y, width;
  std::string text;
};
std::vector<DrawnText> Texts(const RecordingSurface& surface) {
  std::vector<DrawnText> texts;
  for (const std::string& call : surface.Calls()) {
    if (call.rfind("text ", 0) != 0) continue;
    int x = 0, y = 0, size = 0, chars = 0;
    unsigned style = 0;
    char colour[16] = {};
    std::sscanf(call.c_str(), "text %d,%d %d %u %15s %n", &x, &y, &size, &style, colour, &chars);
    const std::string text = call.substr(size_t(chars));
    texts.push_back({x, y, int(text.size()) * 6, text});
  }
  return texts;
}

// A ring oscillator's run with every measurement on, in the time mode and
// with currents: the curves and texts drawn again on a new surface are
// those of the run; no text covers another; the time axis is labelled.
TEST(SimPlot, RedrawGivesBackTheRunAndTextsNeverOverlap) {
  for (const uint8_t mode : {kSimVoltageTime, kSimCurrents}) {
    Example x;
    x.Prepare("ring5.msk");
    x.m.SimMode = mode;
    x.m.WatchNode = x.Named("out"), x.m.FreqOn = true, x.m.MinMaxOn = true;
    RecordingSurface during(700, 300);
    SimulationPlot plot(during);
    x.m.plotWidth = plot.PlotWidth();
    plot.DrawAxes(x.sim, 5e-3);
    RunSimulation(x.sim, &plot);
    EXPECT_GE(plot.KeptPoints(), size_t(plot.PlotWidth()));
    RecordingSurface after(700, 300);
    plot.SetSurface(after);
    plot.Redraw(x.sim, 5e-3);
    EXPECT_EQ(after.Calls(), during.Calls());

    const std::vector<DrawnText> texts = Texts(after);
    for (size_t i = 0; i < texts.size(); ++i)
      for (size_t j = i + 1; j < texts.size(); ++j) {
        const DrawnText &a = texts[i], &b = texts[j];
        EXPECT_FALSE(a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + 12 && b.y < a.y + 12)
            << "\"" << a.text << "\" and \"" << b.text << "\"";
      }
    const bool timeAxis = mode == kSimVoltageTime;
    EXPECT_EQ(Drew(after, " t (ns)"), timeAxis);
    EXPECT_EQ(Drew(after, " 10"), timeAxis) << "20 ns over 650 pixels: a label every 2 ns";
    EXPECT_EQ(Drew(after, " 20"), timeAxis);
  }
}

TEST(SimPlot, DcThresholdIsMarked) {
  Example x;
  x.Prepare("inverter.msk");
  x.m.SimMode = kSimDc;
  x.m.MinMaxOn = true;
  RecordingSurface surface(250, 200);
  SimulationPlot plot(surface);
  x.m.plotWidth = plot.PlotWidth();
  plot.DrawAxes(x.sim);
  RunSimulation(x.sim, &plot);
  EXPECT_TRUE(Drew(surface, " " + FormatFixed(x.m.switchingThreshold, 5, 3)));
}

// The end heights of the lines drawn with pen `pen` ("pen ff80c0").
std::vector<int> LineEnds(const RecordingSurface& surface, const std::string& pen) {
  std::vector<int> ends;
  bool drawing = false;
  for (const std::string& call : surface.Calls()) {
    if (call.rfind("pen ", 0) == 0) drawing = call.rfind(pen, 0) == 0;
    else if (drawing && call.rfind("line ", 0) == 0)
      ends.push_back(std::stoi(call.substr(call.rfind(',') + 1)));
  }
  return ends;
}

TEST(SimPlot, CurrentsModeDrawsTheChosenDevice) {
  Example x;
  x.Prepare("inverter.msk");
  ASSERT_EQ(x.m.deviceList.size(), 2u);
  EXPECT_EQ(x.m.currentDevice, 0) << "the first device is chosen by default";
  // Input and output high: the nMOS (item 0) conducts, the pMOS (item 1) is off.
  PrepareTopology(x.sim);
  UpdateTemperature(x.s.technology, x.s.technology.TEMP);
  x.m.nodes[size_t(x.s.circuit.nmos[0].Gate)].V = 5;
  x.m.nodes[size_t(x.Named("out"))].V = 5;
  EXPECT_EQ(ChosenDeviceCurrent(x.sim), std::fabs(DeviceCurrent(x.sim, false, 0)));
  EXPECT_GT(ChosenDeviceCurrent(x.sim), 1e-5);
  EXPECT_TRUE(SelectDeviceCurrent(x.s.simulation, 1));
  EXPECT_LT(ChosenDeviceCurrent(x.sim), 1e-9);
  EXPECT_FALSE(SelectDeviceCurrent(x.s.simulation, 2));
  EXPECT_FALSE(SelectDeviceCurrent(x.s.simulation, -1));
  EXPECT_EQ(x.m.currentDevice, 1);

  InitSimulation(x.sim);
  x.m.SimMode = kSimCurrents;
  RecordingSurface surface(1050, 600);
  SimulationPlot plot(surface);
  x.m.plotWidth = plot.PlotWidth();
  plot.DrawAxes(x.sim);
  RunSimulation(x.sim, &plot);
  EXPECT_TRUE(Drew(surface, " " + x.m.deviceList[1]));
  // The pMOS pulls the output up at every falling input edge: its curve
  // leaves the zero line of the current scale and comes back to it.
  const std::vector<int> ends = LineEnds(surface, "pen ff80c0");
  ASSERT_EQ(ends.size(), size_t(plot.PlotWidth()));
  EXPECT_LT(*std::min_element(ends.begin(), ends.end()), ends.back() - 5);
  EXPECT_EQ(ends.back(), 580);
}

TEST(SimLayout, VoltageColourRunsFromBlueToRedWithinTheRails) {
  EXPECT_EQ(VoltageColour(0, 5), MakeColour(0, 127, 255));
  EXPECT_EQ(VoltageColour(1, 5), MakeColour(51, 76, 204));
  EXPECT_EQ(VoltageColour(2.5, 5), MakeColour(128, 0, 127));
  EXPECT_EQ(VoltageColour(5, 5), MakeColour(255, 0, 0));
  EXPECT_EQ(VoltageColour(6, 5), MakeColour(255, 0, 0)) << "above the supply";
  EXPECT_EQ(VoltageColour(-1, 5), MakeColour(0, 127, 255)) << "below ground";
}

struct LayoutRun : Example {
  int drawn = 0;
  LayoutRun() {
    Prepare("inverter.msk");
    PrepareTopology(sim);
  }
  const Box& GateBox(bool pmos) const {
    return layout.boxes[(pmos ? s.circuit.pmos : s.circuit.nmos)[0].GateBox];
  }
  // A box of node k other than a gate box.
  const Box& BoxOf(int k) const {
    for (int i = 1; i <= layout.boxes.Count(); ++i)
      if (layout.boxes[i].node == k && i != s.circuit.nmos[0].GateBox &&
          i != s.circuit.pmos[0].GateBox)
        return layout.boxes[i];
    ADD_FAILURE() << "no box of node " << k;
    return layout.boxes[1];
  }
};

TEST(SimLayout, BoxesTakeTheirNodeColourAndGatesShowTheirState) {
  LayoutRun x;
  const int in = x.Named("in"), out = x.Named("out");
  ASSERT_EQ(x.s.circuit.nmos[0].Gate, in);
  x.layout.boxes[1].state = kMarked;  // a mark made before the run
  LayoutAnimation animation(x.s, [&] { ++x.drawn; });
  x.m.nodes[size_t(in)].V = 5;
  x.m.nodes[size_t(out)].V = 0.2;
  animation.PlottedStep(x.sim, 0);
  EXPECT_EQ(x.drawn, 1);
  EXPECT_EQ(x.BoxOf(out).state, kHighlighted);
  EXPECT_EQ(x.BoxOf(out).highlightColour, VoltageColour(0.2, 5));
  EXPECT_EQ(x.BoxOf(x.Named("Vdd")).highlightColour, MakeColour(255, 0, 0));
  EXPECT_EQ(x.GateBox(false).highlightColour, MakeColour(255, 255, 0));
  EXPECT_EQ(x.GateBox(true).highlightColour, MakeColour(128, 128, 128));
  x.m.nodes[size_t(in)].V = 2.5;  // exactly half the supply is low
  animation.PlottedStep(x.sim, 1);
  EXPECT_EQ(x.GateBox(false).highlightColour, MakeColour(128, 128, 128));
  EXPECT_EQ(x.GateBox(true).highlightColour, MakeColour(0, 255, 0));
  animation.Restore();
  EXPECT_EQ(x.layout.boxes[1].state, kMarked);
  for (int i = 2; i <= x.layout.boxes.Count(); ++i)
    EXPECT_NE(x.layout.boxes[i].state, kHighlighted) << i;
}

TEST(SimLayout, ARunAnimatesEveryPlottedStepAndKeepsTheWindowMode) {
  LayoutRun x;
  RecordingSurface surface(400, 300);
  AttachSurface(x.s, &surface);
  x.m.SimMode = kSimDc;
  x.m.plotWidth = 40;
  x.m.Running = true;  // a run of the window is going on
  SimulateOnLayout(x.s, [&] { ++x.drawn; });
  EXPECT_EQ(x.drawn, 0);
  x.m.Running = false;
  SimulateOnLayout(x.s, [&] { ++x.drawn; });
  EXPECT_EQ(x.drawn, 41) << "40 plotted steps, then the restored layout";
  EXPECT_EQ(x.m.SimMode, kSimDc);
  EXPECT_NEAR(x.m.SimTime, x.m.SimLength, 1e-15) << "a transient run";
  // The inverter's input clock switches both gates on and off.
  for (const char* gate : {"pen ffff00", "pen 808080", "pen 00ff00"})
    EXPECT_TRUE(std::count(surface.Calls().begin(), surface.Calls().end(), std::string(gate) +
                                                                               " 1 solid copy"))
        << gate;
  for (int i = 1; i <= x.layout.boxes.Count(); ++i)
    EXPECT_NE(x.layout.boxes[i].state, kHighlighted) << i;
  AttachSurface(x.s, nullptr);
}

}  // namespace
}  // namespace tarnisk
