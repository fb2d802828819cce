#include "process/sweep_plot.h"

#include <algorithm>
#include <cmath>

#include "core/number_format.h"

namespace tarnisk {

namespace {

constexpr int kLeft = 60, kRight = 16, kTop = 24, kBottom = 32;
constexpr Colour kBackground = MakeColour(0, 0, 0);
constexpr Colour kAxes = MakeColour(255, 255, 255);
constexpr Colour kGrid = MakeColour(90, 90, 90);
constexpr Colour kPoint = MakeColour(255, 0, 0);
constexpr int kTicks = 5;

double NiceCeiling(double v) {
  const double power = std::pow(10.0, std::floor(std::log10(v)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (v <= m * power * (1 + 1e-9)) return m * power;
  return 10 * power;
}

bool ShowsSecond(int measure) { return measure == kMeasureCrosstalk; }

struct PlotArea {
  int x0, y0, x1, y1;
  double from, to, top;
  int X(double p) const {
    const double span = to > from ? to - from : 1;
    return x0 + int(std::lround((p - from) / span * (x1 - x0)));
  }
  int Y(double v) const { return y1 - int(std::lround(v / top * (y1 - y0))); }
};

void DrawFrame(DrawingSurface& out, const PlotArea& a, const SweepPlot& plot) {
  out.SetPen(kGrid, 1, PenStyle::Dotted, PenMode::Copy);
  for (int i = 1; i <= kTicks; ++i) out.Line(a.x0, a.Y(a.top * i / kTicks), a.x1, a.Y(a.top * i / kTicks));
  out.SetPen(kAxes, 1, PenStyle::Solid, PenMode::Copy);
  out.Line(a.x0, a.y0, a.x0, a.y1);
  out.Line(a.x0, a.y1, a.x1, a.y1);
  const int decimals = a.top < 1 ? 3 : a.top < 10 ? 2 : 1;
  for (int i = 0; i <= kTicks; ++i)
    out.Text(2, a.Y(a.top * i / kTicks) - 7, FormatFixed(a.top * i / kTicks, 0, decimals), 7,
             kFontPlain, kAxes);
  for (int i = 0; i <= kTicks; ++i) {
    const double p = plot.from + (plot.to - plot.from) * i / kTicks;
    out.Text(a.X(p) - 12, a.y1 + 6, FormatFixed(p, 0, 2), 7, kFontPlain, kAxes);
  }
  out.Text(a.x0 + 4, 4, MeasureAxisLabel(plot.measure), 8, kFontBold, kAxes);
}

void DrawPoint(DrawingSurface& out, const PlotArea& a, double p, double v) {
  const int x = a.X(p), y = std::clamp(a.Y(v), a.y0, a.y1);
  out.SetBrush(kPoint);
  out.SetPen(kPoint, 1, PenStyle::Solid, PenMode::Copy);
  out.FillRect(x - 2, y - 2, x + 2, y + 2);
}

}  // namespace

double PlotTop(const SweepPlot& plot) {
  double largest = 0;
  for (const SweepPoint& p : plot.points) {
    largest = std::max(largest, std::abs(p.value));
    if (ShowsSecond(plot.measure)) largest = std::max(largest, std::abs(p.second));
  }
  return NiceCeiling(std::max(largest, 1e-3)) / std::max(plot.verticalZoom, 1e-6);
}

void PaintSweepPlot(DrawingSurface& out, const SweepPlot& plot) {
  out.Clear(kBackground);
  const PlotArea a{kLeft, kTop, std::max(kLeft + 1, out.Width() - kRight),
                   std::max(kTop + 1, out.Height() - kBottom), plot.from, plot.to, PlotTop(plot)};
  DrawFrame(out, a, plot);
  for (const SweepPoint& p : plot.points) {
    DrawPoint(out, a, p.parameter, p.value);
    if (ShowsSecond(plot.measure)) DrawPoint(out, a, p.parameter, p.second);
  }
}

}  // namespace tarnisk
