#pragma once
// The simulation plot on a drawing surface: one strip per visible node
// against time, the voltages over a current scale, or a DC transfer curve;
// with the delay markers, the frequency and the min/max texts. It draws the
// points of a run as the engine computes them.

#include <vector>

#include "sim/simulation.h"

namespace tarnisk {

class DrawingSurface;

inline constexpr int kPlotLeftMargin = 50;
inline constexpr int kPlotTopMargin = 20;
inline constexpr int kPlotBottomMargin = 20;

class SimulationPlot : public SimulationView {
 public:
  explicit SimulationPlot(DrawingSurface& surface) : surface_(surface) {}

  // Plot columns of the surface (the width right of the left margin).
  int PlotWidth() const;
  // Clears the surface and draws the axes of the present mode; call before
  // a run. fullScaleCurrent (A) is the top of the current scale in mode 2.
  void DrawAxes(const Simulation& s, double fullScaleCurrent = 1e-3);

  void PlottedStep(const Simulation& s, int column) override;
  void DcPoint(const Simulation& s, int column, double x, double y) override;

 private:
  int PlotHeight() const;
  int TimeX(const Simulation& s, double t) const;
  int StripY(const Simulation& s, int strip, double v) const;
  int UpperY(const Simulation& s, double v) const;
  int CurrentY(double amperes) const;
  void DrawStrips(const Simulation& s);
  void DrawVoltageCurrentScales(const Simulation& s);
  void DrawDcAxes(const Simulation& s);
  void DrawCurrents(const Simulation& s, int x);
  void DrawMeasurements(const Simulation& s, int x);

  DrawingSurface& surface_;
  double runStart_ = 0;
  double fullScaleCurrent_ = 1e-3;
  int lastX_ = -1;
  double lastIdd_ = 0, lastDeviceCurrent_ = 0;
  int markedStopColumn_ = -1;
  double shownFrequency_ = 0, shownMax_ = 0, shownMin_ = 0;
  double lastDcX_ = -1, lastDcY_ = 0;
};

}  // namespace tarnisk
