#pragma once
// The simulation plot on a drawing surface: one strip per visible node
// against a labelled time axis, the voltages over a current scale, or a DC
// transfer curve; with the delay markers, the frequency and the min/max
// texts. It draws the points of a run as the engine computes them and keeps
// them, so that the plot can be drawn again on a resized surface.

#include <vector>

#include "sim/simulation.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

inline constexpr int kPlotLeftMargin = 50;
inline constexpr int kPlotTopMargin = 20;
inline constexpr int kPlotBottomMargin = 20;

class SimulationPlot : public SimulationView {
 public:
  explicit SimulationPlot(DrawingSurface& surface) : surface_(&surface) {}

  // Draws on `surface` from now on; the points kept are not drawn until
  // Redraw.
  void SetSurface(DrawingSurface& surface) { surface_ = &surface; }

  // Plot columns of the surface (the width right of the left margin).
  int PlotWidth() const;
  // Clears the surface, forgets the points kept and draws the axes of the
  // present mode; call before a run. fullScaleCurrent (A) is the top of the
  // current scale in mode 2.
  void DrawAxes(const Simulation& s, double fullScaleCurrent = 1e-3);
  // Draws the axes and every point kept again, at the surface's present size
  // and the given current scale.
  void Redraw(const Simulation& s, double fullScaleCurrent);
  // Points kept since the last DrawAxes.
  size_t KeptPoints() const { return steps_.size() + dcPoints_.size(); }

  void PlottedStep(const Simulation& s, int column) override;
  void DcPoint(const Simulation& s, int column, double x, double y) override;

 private:
  // What one plotted step draws: the curves from the previous point to this
  // one, the currents, and the measurements as they stood.
  struct Step {
    double time;
    std::vector<double> from, to;  // V of each plotted node
    double idd;
    bool hasDevice;  // mode 2 with a device chosen: deviceCurrent is drawn
    double deviceCurrent;
    int delayStartColumn, delayStopColumn;
    double columnTime, delayLast;
    int watchStrip;  // -1 when the watched node is not plotted
    bool freqOn, minMaxOn;
    double frequency, period, localMax, localMin;
  };
  struct DcSample {
    double x, y;
    bool ascending, minMaxOn;
  };
  // A text's box, to keep texts from overlapping.
  struct Label {
    int x1, y1, x2, y2;
  };

  int PlotHeight() const;
  int TimeX(const Simulation& s, double t) const;
  int StripY(const Simulation& s, int strip, double v) const;
  int UpperY(const Simulation& s, double v) const;
  int CurrentY(double amperes) const;
  void DrawFrame(const Simulation& s);
  void DrawStrips(const Simulation& s);
  void DrawVoltageCurrentScales(const Simulation& s);
  void DrawDcAxes(const Simulation& s);
  void DrawTimeAxis(const Simulation& s);
  void DrawStep(const Simulation& s, const Step& step);
  void DrawCurrents(const Step& step, int x);
  void DrawMeasurements(const Simulation& s, const Step& step, int x);
  void DrawDcPoint(const Simulation& s, const DcSample& point);
  // Writes the text unless it would overlap one written since the frame was
  // drawn; returns whether it was written.
  bool PlaceText(int x, int y, const std::string& text, unsigned style, Colour colour);

  DrawingSurface* surface_;
  double runStart_ = 0;
  double fullScaleCurrent_ = 1e-3;
  int firstStopColumn_ = -1;  // the delay stop column when the run started
  std::vector<Step> steps_;
  std::vector<DcSample> dcPoints_;
  // Drawing state, set by DrawFrame and advanced point by point.
  int lastX_ = -1;
  double lastIdd_ = 0, lastDeviceCurrent_ = 0;
  int markedStopColumn_ = -1;
  double shownFrequency_ = 0, shownMax_ = 0, shownMin_ = 0;
  double lastDcX_ = -1, lastDcY_ = 0;
  std::vector<Label> labels_;
};

}  // namespace tarnisk
