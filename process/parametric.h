#pragma once
// The parametric analysis: steps one parameter (the stretch of the layout
// across a spacing line, the voltage of a node, the temperature, the supply
// voltage or the capacitance of a node) through a range and, at each point,
// extracts when the layout changed, simulates, and measures one quantity
// (a delay, the frequency, the dissipated power, the crosstalk extremes or
// the switching point).
//
// A sweep puts the layout back exactly as it found it, also when it is
// stopped or fails half way, unless the caller asked to keep the stretched
// layout or the swept node capacitance.

#include <string>
#include <vector>

#include "core/geometry.h"

namespace tarnisk {

class Progress;
struct Circuit;
struct ExtractOptions;
struct Layout;
struct SimulationState;
struct Technology;

enum class SweepParameter { Spacing, Voltage, Temperature, Supply, Capacitance };

// Measurement codes.
enum MeasureCode : int {
  kMeasureFrequency = 0,
  kMeasurePower = 1,
  kMeasureCrosstalk = 2,
  kMeasureRiseDelay = 3,
  kMeasureFallDelay = 4,
  kMeasureSwitching = 5,
};

// The plot's axis label of a measurement code ("dt(ns)", "freq(MHz)", ...).
const char* MeasureAxisLabel(int code);

struct SweepRange {
  double from = 1, to = 10, step = 1;
  bool logarithmic = false;
};

// Whether the range's points move towards its end (a linear step above 0, or
// a logarithmic factor above 1 from a positive start); a range that does not
// repeats its first point until stopped.
bool SweepAdvances(const SweepRange& range);

// A segment drawn in the layout, lambda.
struct SpacingLine {
  Point a, b;
};

// Stretches the layout by k lambda across the line: along x when the line is
// mostly vertical, else along y. Boxes that straddle the line grow, boxes,
// texts and resistance marks beyond it move. Refused (false, nothing changed)
// when a straddling box would lose its whole width.
bool StretchAcrossLine(Layout& layout, const SpacingLine& line, int32_t k);

struct SweepRequest {
  SweepParameter parameter = SweepParameter::Spacing;
  SweepRange range;
  int measure = kMeasureRiseDelay;
  SpacingLine line;           // spacing
  int node = 0;               // the node whose voltage or capacitance is swept
  std::string measuredNode;   // by name; empty: the simulator's default choice
  bool restore = true;        // put the layout or parameter back at the end
};

struct SweepPoint {
  double parameter = 0;
  double value = 0;   // what the plot shows for the measurement
  double second = 0;  // the fall delay (codes 3, 4) or the lower crosstalk extreme
};

struct SweepResult {
  std::vector<SweepPoint> points;
  std::vector<std::string> dataLines;  // the "Data Array" page, header first
  std::string message;
  bool stopped = false;
  bool failed = false;
};

// What the window shows while a sweep runs.
class SweepObserver {
 public:
  virtual ~SweepObserver() = default;
  // The header line of the "Data Array" page, before the first point.
  virtual void Started(const std::string& header) { (void)header; }
  virtual void PointStarting(const std::string& caption) { (void)caption; }
  virtual void PointDone(const SweepPoint& point, const std::string& dataLine) {
    (void)point, (void)dataLine;
  }
  // Asked between points: true ends the sweep after the point under way.
  virtual bool StopRequested() { return false; }
};

struct SweepInputs {
  Layout& layout;
  Technology& technology;
  Circuit& circuit;
  const ExtractOptions& options;
  SimulationState& simulation;
  Progress& progress;
};

SweepResult RunSweep(SweepInputs in, const SweepRequest& request, SweepObserver* observer);

}  // namespace tarnisk
