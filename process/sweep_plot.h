#pragma once
// The plot of a parametric sweep: the measured quantity against the swept
// parameter, each point a small red square, with the measurement's axis
// label and a vertical scale the user can make larger or smaller.

#include <vector>

#include "process/parametric.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

struct SweepPlot {
  int measure = kMeasureRiseDelay;
  double from = 0, to = 1;  // the parameter axis
  std::vector<SweepPoint> points;
  double verticalZoom = 1;  // above 1 magnifies the values
};

// The top of the value axis: the largest value shown (at least a small
// positive span), rounded up to 1, 2 or 5 times a power of ten, divided by
// the zoom.
double PlotTop(const SweepPlot& plot);

void PaintSweepPlot(DrawingSurface& out, const SweepPlot& plot);

}  // namespace tarnisk
