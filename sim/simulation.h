#pragma once
// The analog simulator: an explicit, charge-based scheme over the extracted
// circuit. Every node holds one capacitance to ground; the MOS devices,
// resistances and (optionally) coupling capacitances give the current that
// leaves it, and each time step moves each free node by -I·dt/C. Supplies
// stay fixed, clock and pulse nodes follow piecewise-linear waveforms. The
// same node current relaxes the circuit at each point of a DC sweep. While a
// run goes on, delays, the frequency and the extremes of chosen nodes are
// measured.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "models/mos_models.h"

namespace tarnisk {

class Progress;
class Simulation;
struct Circuit;
struct ExtractOptions;
struct Layout;
struct Technology;

enum SimModeCode : uint8_t { kSimVoltageTime = 0, kSimDc = 1, kSimCurrents = 2 };

inline constexpr double kMinNodeCapacitance = 1e-16;  // F, replaces a zero capacitance
inline constexpr double kMinEdgeTime = 1e-11;         // s, replaces a waveform time <= 0
inline constexpr double kClampMargin = 1.0;           // V beyond the rails a free node may reach
inline constexpr int kNoNode = 0;                     // a start, stop or watch node not chosen

// The state of one node during simulation. kind is the node's property code.
struct SimNode {
  double V = 0, dV = 0, dVlast = 0, Vprev = 0, Vplot = 0;
  double C = kMinNodeCapacitance;
  // S: how fast the node's current can change with its voltage, the
  // conductance of its resistances and of its transistors' channels fully
  // on. Where TimeStep·G exceeds C the step is longer than the node's time
  // constant.
  double G = 0;
  uint8_t kind = 2;
  // Index ranges (0-based) of the devices whose source or drain is this node;
  // empty when last < first.
  int32_t firstN = 0, lastN = -1, firstP = 0, lastP = -1;
};

struct SimResistance {
  int32_t a = 0, b = 0;
  double R = 0;
};

// Receives the points of a run as they are computed, to draw or record them.
class SimulationView {
 public:
  virtual ~SimulationView() = default;
  // A transient step that falls on plot column `column` (0 = run start).
  virtual void PlottedStep(const Simulation& s, int column) = 0;
  // One DC sweep point: X voltage x and Y voltage y at plot column `column`.
  virtual void DcPoint(const Simulation& s, int column, double x, double y) = 0;
};

// The most steps one transient run takes.
inline constexpr int kMaxSteps = 2'000'000'000;

struct SimulationState {
  std::vector<SimNode> nodes;  // 0..N, sized by InitSimulation
  std::vector<SimResistance> resistances;  // the live resistances of the run
  double SimTime = 0;          // s
  double TimeStep = 5e-12;     // s
  double SimLength = 2e-8;     // s
  uint8_t SimMode = kSimVoltageTime;
  int StartNode = kNoNode, StopNode = kNoNode, WatchNode = kNoNode;
  bool Running = false;
  bool StopRequested = false;
  bool halted = false;  // a model guard stopped an evaluation during the run
  double HalfSupply = 2.5;  // V
  bool MinMaxOn = false, FreqOn = false;
  double IDD = 0, IDDTotal = 0, ISS = 0;  // A
  int plotWidth = 1000;     // plot columns of one run
  int stepCount = 0;        // steps done in the present run
  int stepsPerPixel = 1;
  std::string caption = "Simulation";
  std::string message;  // the latest status message of the simulator

  // Delay between StartNode and StopNode.
  bool delayArmed = false;
  double delayStartTime = 0;
  int delayStartColumn = 0, delayStopColumn = 0;
  double delayRise = 0, delayFall = 0;  // s
  double delayLast = 0;                 // s, the latest of the two
  // Frequency of WatchNode; lastRisingCrossing < 0 when none yet.
  double lastRisingCrossing = -1;
  double frequency = 0, period = 0;  // Hz, s
  // Extremes of WatchNode; watchDirection is +1 rising, -1 falling, 0 unknown.
  int watchDirection = 0;
  double localMax = 0, localMin = 0;  // V
  // DC sweep direction of the next run and the X voltage where Y crossed
  // half the supply (negative when it did not).
  bool dcAscending = true;
  double switchingThreshold = -1;

  // Filled by AssignNodes: visible nodes (clocks and pulses first, then by
  // name) and the device current labels.
  std::vector<int> nodeList;
  std::vector<std::string> deviceList;
  // The item of deviceList whose current the voltages-and-currents mode
  // draws, or -1 for none.
  int currentDevice = -1;

  // The result file of a run that writes one: its path (empty when none)
  // and its lines, written whole when the run ends.
  std::string dumpPath, dump;

  // Nodes whose step is longer than their time constant take it in stable
  // substeps (and relax stably in DC). Off, every node takes the plain
  // explicit step, which such nodes cannot follow: they ring between the
  // clamps.
  bool stabiliseStiffNodes = true;
  // Scratch of a step: its stiff nodes and their voltages at its start.
  std::vector<int> stiffNodes;
  std::vector<double> stiffStart;
};

// A simulation of an extracted circuit: the state it advances, what it reads
// (the layout's nodes, texts and resistance marks, the circuit's devices and
// coupling, the technology, the model level and crosstalk and dump options)
// and where its progress goes. A run brings the technology's
// temperature-corrected parameters up to date.
class Simulation {
 public:
  Simulation(SimulationState& state, const Layout& layout, const Circuit& circuit,
             Technology& technology, const ExtractOptions& options, Progress& progress);
  Simulation(const Simulation&) = delete;
  Simulation& operator=(const Simulation&) = delete;

  SimulationState& state;
  const Layout& layout;
  const Circuit& circuit;
  Technology& technology;
  const ExtractOptions& options;
  Progress& progress;
  ModelHalt halt;  // a Level 9 guard's message, shown after the step
  const MosModel model;
  // The circuit's devices prepared for the model, by PrepareTopology.
  std::vector<PreparedMos> preparedNmos, preparedPmos;
  // Within a time step each device's current is computed once and serves
  // both of its diffusion nodes (with opposite signs).
  struct StepCurrents {
    int64_t step = 0;  // 0 outside a step: every current is computed afresh
    int64_t steps = 0;  // steps begun, for the stamps
    std::vector<int64_t> stampN, stampP;
    std::vector<double> currentN, currentP;
  };
  mutable StepCurrents stepCurrents;
};

// Resets the node states and the measurements after an extraction, names the
// window after the layout file and checks the floating wells.
void InitSimulation(Simulation& s);

// Sets every nwell box's node that is free (not tied to a supply) to the
// supply voltage; shows and returns the number of such boxes.
int CheckFloatingWells(Simulation& s);

// Fills the node and device lists and chooses the default start, stop and
// watch nodes. Returns the summary of the choice.
std::string AssignNodes(Simulation& s);

// Takes the step field's text (ps): accepted in 0.01 .. 1000, an empty field
// gives 5. Returns false and leaves the step unchanged when it is unreadable.
bool ApplyStepField(SimulationState& state, const std::string& text);

// One run in the present mode; view may be null.
void RunSimulation(Simulation& s, SimulationView* view);

// One transient time step over all nodes.
void SimulationStep(Simulation& s, SimulationView* view);

// Current (A) leaving node k through devices, resistances and, when the
// crosstalk options are on, coupling capacitances.
double NodeCurrent(const Simulation& s, int k);

// Current (A) of one device, index 0-based in its table.
double DeviceCurrent(const Simulation& s, bool pmos, int index);

// Chooses item `item` of the device list for the current curve; an item out
// of range is ignored. Returns whether the choice was taken.
bool SelectDeviceCurrent(SimulationState& state, int item);

// Absolute current (A) of the chosen device list item, 0 when none is chosen.
double ChosenDeviceCurrent(const Simulation& s);

// Voltage of a pulse or clock node at time t (s).
double WaveformVoltage(const Simulation& s, int node, double t);

// Recomputes every node's device index ranges, prepares the devices for the
// model as the technology stands, collects the resistances and sums every
// node's conductance (SimNode::G).
void PrepareTopology(Simulation& s);

// The DC operating point of plot column `column` out of `width`.
void DcAnalysisPoint(Simulation& s, int column, int width, SimulationView* view);

// Asks a run in progress to stop after its present step.
void RequestStop(SimulationState& state);

// A delay as the plot labels it: whole picoseconds, or nanoseconds above
// 10000 ps ("85ps", "12ns").
std::string DelayText(double seconds);

}  // namespace tarnisk
