#include "session/analysis/simulation_plot.h"

#include <algorithm>
#include <cmath>

#include "core/layout.h"
#include "core/technology.h"
#include "core/number_format.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

namespace {

constexpr Colour kBackground = 0x000000, kAxis = 0x808080, kLabel = 0xC0C0C0;
constexpr Colour kMarker = 0xFFFFFF, kCurrent = 0xFF4040, kDeviceCurrent = 0xFF80C0;
constexpr Colour kAscending = 0xFF0000, kDescending = 0xFFFF00;
constexpr Colour kCurves[] = {0x00FF00, 0x00FFFF, 0xFF8000, 0xFF00FF, 0x8080FF, 0xFFFF80};
constexpr int kFontSize = 8;

int Round(double v) { return int(std::lround(v)); }

int StripCount(const Simulation& s) { return std::max<int>(1, int(s.state.nodeList.size())); }

// Position of node k in the plotted list, or -1.
int StripOf(const Simulation& s, int k) {
  const std::vector<int>& list = s.state.nodeList;
  const auto it = std::find(list.begin(), list.end(), k);
  return it == list.end() ? -1 : int(it - list.begin());
}

Colour CurveColour(int strip) { return kCurves[strip % std::size(kCurves)]; }

}  // namespace

int SimulationPlot::PlotWidth() const { return std::max(1, surface_.Width() - kPlotLeftMargin); }

int SimulationPlot::PlotHeight() const {
  return std::max(1, surface_.Height() - kPlotTopMargin - kPlotBottomMargin);
}

int SimulationPlot::TimeX(const Simulation& s, double t) const {
  return kPlotLeftMargin + Round((t - runStart_) * PlotWidth() / s.state.SimLength);
}

int SimulationPlot::StripY(const Simulation& s, int strip, double v) const {
  if (s.state.SimMode == kSimCurrents) return UpperY(s, v);
  const int n = StripCount(s);
  const int base = kPlotTopMargin + (strip + 1) * PlotHeight() / n;
  return base - Round(v * PlotHeight() / ((s.technology.VDD + kClampMargin) * n));
}

// Mode 2: voltages 0..VDD over the upper half of the plot.
int SimulationPlot::UpperY(const Simulation& s, double v) const {
  return kPlotTopMargin + PlotHeight() / 2 - Round(v * (PlotHeight() / 2) / s.technology.VDD);
}

// Mode 2: currents 0..full scale over the lower half, kept inside it.
int SimulationPlot::CurrentY(double amperes) const {
  const double share = std::clamp(amperes / fullScaleCurrent_, 0.0, 1.0);
  return kPlotTopMargin + PlotHeight() - Round(share * (PlotHeight() / 2));
}

void SimulationPlot::DrawAxes(const Simulation& s, double fullScaleCurrent) {
  runStart_ = s.state.SimTime;
  fullScaleCurrent_ = fullScaleCurrent;
  lastX_ = kPlotLeftMargin;
  lastIdd_ = lastDeviceCurrent_ = 0;
  markedStopColumn_ = s.state.delayStopColumn;
  shownFrequency_ = shownMax_ = shownMin_ = 0;
  lastDcX_ = -1;
  surface_.Clear(kBackground);
  surface_.SetPen(kAxis, 1, PenStyle::Solid, PenMode::Copy);
  switch (s.state.SimMode) {
    case kSimDc: DrawDcAxes(s); break;
    case kSimCurrents: DrawVoltageCurrentScales(s); break;
    default: DrawStrips(s); break;
  }
}

void SimulationPlot::DrawStrips(const Simulation& s) {
  const std::vector<int>& list = s.state.nodeList;
  const int right = surface_.Width() - 1;
  const std::string vddLabel = FormatFixed(s.technology.VDD, 0, 1) + "V";
  for (int i = 0; i < StripCount(s); ++i) {
    const int base = StripY(s, i, 0), top = StripY(s, i, s.technology.VDD);
    surface_.SetPen(kAxis, 1, PenStyle::Solid, PenMode::Copy);
    surface_.Line(kPlotLeftMargin, base, right, base);
    if (i >= int(list.size())) continue;
    surface_.SetPen(kAxis, 1, PenStyle::Dotted, PenMode::Copy);
    surface_.Line(kPlotLeftMargin, top, right, top);
    surface_.Text(2, top, vddLabel, kFontSize, kFontPlain, kLabel);
    surface_.Text(2, base - 12, s.layout.nodes.nodes[list[i]].name, kFontSize, kFontBold,
                  CurveColour(i));
  }
}

void SimulationPlot::DrawVoltageCurrentScales(const Simulation& s) {
  const int right = surface_.Width() - 1;
  for (int v = 0; v <= int(s.technology.VDD); ++v) {
    const int y = UpperY(s, v);
    surface_.Line(kPlotLeftMargin, y, right, y);
    surface_.Text(2, y - 6, FormatFixed(v, 0, 0) + "V", kFontSize, kFontPlain, kLabel);
  }
  for (int i = 1; i <= 5; ++i) {
    const int y = CurrentY(fullScaleCurrent_ * i * 0.2);
    surface_.Line(kPlotLeftMargin, y, right, y);
    surface_.Text(2, y - 6, FormatFixed(fullScaleCurrent_ * 1000 * i * 0.2, 0, 2) + "mA",
                  kFontSize, kFontPlain, kCurrent);
  }
  const int bottom = kPlotTopMargin + PlotHeight();
  surface_.Text(kPlotLeftMargin + 4, bottom + 4, "IDD", kFontSize, kFontBold, kCurrent);
  const SimulationState& m = s.state;
  if (m.currentDevice >= 0 && m.currentDevice < int(m.deviceList.size()))
    surface_.Text(kPlotLeftMargin + 40, bottom + 4, m.deviceList[size_t(m.currentDevice)],
                  kFontSize, kFontBold, kDeviceCurrent);
}

void SimulationPlot::DrawDcAxes(const Simulation& s) {
  const SimulationState& m = s.state;
  const int right = surface_.Width() - 1, bottom = kPlotTopMargin + PlotHeight();
  surface_.SetHollowBrush();
  surface_.Rectangle(kPlotLeftMargin, kPlotTopMargin, right, bottom);
  for (double v = 0.5; v < s.technology.VDD; v += 0.5) {
    const int y = bottom - Round(v * PlotHeight() / s.technology.VDD);
    surface_.SetPen(kAxis, 1, PenStyle::Dotted, PenMode::Copy);
    surface_.Line(kPlotLeftMargin, y, right, y);
    surface_.Text(2, y - 6, FormatFixed(v, 0, 2), kFontSize, kFontPlain, kLabel);
  }
  const auto name = [&](int k) {
    return k >= 1 && k <= s.layout.nodes.count ? s.layout.nodes.nodes[k].name : std::string();
  };
  surface_.Text(kPlotLeftMargin + 4, 2, name(m.StopNode), kFontSize, kFontBold, kLabel);
  surface_.Text(right - 80, bottom + 4, name(m.StartNode), kFontSize, kFontBold, kLabel);
}

void SimulationPlot::PlottedStep(const Simulation& s, int) {
  const SimulationState& m = s.state;
  const int x = TimeX(s, m.SimTime);
  for (size_t i = 0; i < m.nodeList.size(); ++i) {
    const SimNode& n = m.nodes[m.nodeList[i]];
    surface_.SetPen(CurveColour(int(i)), 1, PenStyle::Solid, PenMode::Copy);
    surface_.Line(lastX_, StripY(s, int(i), n.Vplot), x, StripY(s, int(i), n.V));
  }
  if (m.SimMode == kSimCurrents) DrawCurrents(s, x);
  DrawMeasurements(s, x);
  lastX_ = x;
}

// Mode 2: the supply current and the chosen device's current on the lower
// scale.
void SimulationPlot::DrawCurrents(const Simulation& s, int x) {
  const SimulationState& m = s.state;
  surface_.SetPen(kCurrent, 1, PenStyle::Solid, PenMode::Copy);
  surface_.Line(lastX_, CurrentY(lastIdd_), x, CurrentY(m.IDD));
  lastIdd_ = m.IDD;
  if (m.currentDevice < 0) return;
  const double device = ChosenDeviceCurrent(s);
  surface_.SetPen(kDeviceCurrent, 1, PenStyle::Solid, PenMode::Copy);
  surface_.Line(lastX_, CurrentY(lastDeviceCurrent_), x, CurrentY(device));
  lastDeviceCurrent_ = device;
}

void SimulationPlot::DrawMeasurements(const Simulation& s, int x) {
  const SimulationState& m = s.state;
  const double columnTime = m.stepsPerPixel * m.TimeStep;
  if (m.SimMode == kSimVoltageTime && m.delayStopColumn != markedStopColumn_ &&
      m.delayStopColumn > m.delayStartColumn) {
    markedStopColumn_ = m.delayStopColumn;
    const int x1 = TimeX(s, runStart_ + m.delayStartColumn * columnTime);
    const int x2 = TimeX(s, runStart_ + m.delayStopColumn * columnTime);
    surface_.SetPen(kMarker, 1, PenStyle::Solid, PenMode::Copy);
    surface_.Line(x1, kPlotTopMargin, x1, kPlotTopMargin + PlotHeight());
    surface_.Line(x2, kPlotTopMargin, x2, kPlotTopMargin + PlotHeight());
    surface_.Line(x1, kPlotTopMargin + 6, x2, kPlotTopMargin + 6);
    surface_.Text(x1 + 2, kPlotTopMargin - 14, DelayText(m.delayLast), kFontSize, kFontPlain,
                  kMarker);
  }
  const int strip = StripOf(s, m.WatchNode);
  if (strip < 0) return;
  const Colour colour = CurveColour(strip);
  if (m.FreqOn && m.frequency != shownFrequency_) {
    shownFrequency_ = m.frequency;
    surface_.Text(x, StripY(s, strip, s.technology.VDD) - 2,
                  FormatFixed(m.frequency * 1e-9, 5, 3) + "GHz " +
                      FormatFixed(m.period * 1e9, 5, 3) + "ns",
                  kFontSize, kFontPlain, colour);
  }
  if (m.MinMaxOn && m.localMax != shownMax_) {
    shownMax_ = m.localMax;
    surface_.Text(x, StripY(s, strip, m.localMax) - 12, FormatFixed(m.localMax, 5, 3), kFontSize,
                  kFontPlain, colour);
  }
  if (m.MinMaxOn && m.localMin != shownMin_) {
    shownMin_ = m.localMin;
    surface_.Text(x, StripY(s, strip, m.localMin) + 2, FormatFixed(m.localMin, 5, 3), kFontSize,
                  kFontPlain, colour);
  }
}

void SimulationPlot::DcPoint(const Simulation& s, int, double x, double y) {
  const SimulationState& m = s.state;
  const double vdd = s.technology.VDD;
  const int bottom = kPlotTopMargin + PlotHeight();
  const auto px = [&](double v) { return kPlotLeftMargin + Round(v * PlotWidth() / vdd); };
  const auto py = [&](double v) { return bottom - Round(v * PlotHeight() / vdd); };
  surface_.SetPen(m.dcAscending ? kAscending : kDescending, 1, PenStyle::Solid, PenMode::Copy);
  if (lastDcX_ >= 0) surface_.Line(px(lastDcX_), py(lastDcY_), px(x), py(y));
  const bool crossed = (lastDcY_ > vdd / 2) != (y > vdd / 2);
  if (m.MinMaxOn && lastDcX_ >= 0 && crossed) {
    surface_.SetPen(kMarker, 1, PenStyle::Dotted, PenMode::Copy);
    surface_.Line(kPlotLeftMargin, py(vdd / 2), surface_.Width() - 1, py(vdd / 2));
    surface_.Line(px(x), kPlotTopMargin, px(x), bottom);
    surface_.Text(px(x) + 2, py(vdd / 2) + 2, FormatFixed(x, 5, 3), kFontSize, kFontPlain,
                  kMarker);
  }
  lastDcX_ = x, lastDcY_ = y;
}

}  // namespace tarnisk
