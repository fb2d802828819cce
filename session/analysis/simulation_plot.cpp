#include "session/analysis/simulation_plot.h"

#include <algorithm>
#include <cmath>

#include "core/layout.h"
#include "core/technology.h"
#include "core/number_format.h"

namespace tarnisk {

namespace {

constexpr Colour kBackground = 0x000000, kAxis = 0x808080, kLabel = 0xC0C0C0;
constexpr Colour kMarker = 0xFFFFFF, kCurrent = 0xFF4040, kDeviceCurrent = 0xFF80C0;
constexpr Colour kAscending = 0xFF0000, kDescending = 0xFFFF00;
constexpr Colour kCurves[] = {0x00FF00, 0x00FFFF, 0xFF8000, 0xFF00FF, 0x8080FF, 0xFFFF80};
constexpr int kFontSize = 8;
// The box a text of kFontSize takes, generously: labels are kept apart by it
// and by a small gap.
constexpr int kCharWidth = 7, kTextHeight = 12, kLabelGap = 3;
// Least distance between two labelled ticks of the time axis.
constexpr int kTickPixels = 60;
constexpr int kTickLength = 4;

int Round(double v) { return int(std::lround(v)); }

int StripCount(const Simulation& s) { return std::max<int>(1, int(s.state.nodeList.size())); }

// Position of node k in the plotted list, or -1.
int StripOf(const Simulation& s, int k) {
  const std::vector<int>& list = s.state.nodeList;
  const auto it = std::find(list.begin(), list.end(), k);
  return it == list.end() ? -1 : int(it - list.begin());
}

Colour CurveColour(int strip) { return kCurves[strip % std::size(kCurves)]; }

// Characters of a UTF-8 text.
int Characters(const std::string& text) {
  return int(std::count_if(text.begin(), text.end(),
                           [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The time between two labelled ticks: 1, 2 or 5 times a power of ten, the
// smallest that leaves kTickPixels between ticks.
double TickStep(double length, int width) {
  const double least = length * kTickPixels / std::max(1, width);
  const double decade = std::pow(10.0, std::floor(std::log10(least)));
  for (double m : {1.0, 2.0, 5.0})
    if (decade * m >= least * (1 - 1e-9)) return decade * m;
  return decade * 10;
}

// Decimals that tell ticks `step` nanoseconds apart.
int DecimalsOf(double step) { return std::max(0, int(std::ceil(-std::log10(step) - 1e-9))); }

}  // namespace

int SimulationPlot::PlotWidth() const { return std::max(1, surface_->Width() - kPlotLeftMargin); }

int SimulationPlot::PlotHeight() const {
  return std::max(1, surface_->Height() - kPlotTopMargin - kPlotBottomMargin);
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

bool SimulationPlot::PlaceText(int x, int y, const std::string& text, unsigned style,
                               Colour colour) {
  const Label box{x, y, x + Characters(text) * kCharWidth + kLabelGap, y + kTextHeight};
  if (box.x2 > surface_->Width() + kLabelGap) return false;  // it would be cut at the edge
  for (const Label& l : labels_)
    if (box.x1 < l.x2 && l.x1 < box.x2 && box.y1 < l.y2 && l.y1 < box.y2) return false;
  labels_.push_back(box);
  surface_->Text(x, y, text, kFontSize, style, colour);
  return true;
}

void SimulationPlot::DrawAxes(const Simulation& s, double fullScaleCurrent) {
  runStart_ = s.state.SimTime;
  firstStopColumn_ = s.state.delayStopColumn;
  steps_.clear();
  dcPoints_.clear();
  fullScaleCurrent_ = fullScaleCurrent;
  DrawFrame(s);
}

void SimulationPlot::Redraw(const Simulation& s, double fullScaleCurrent) {
  fullScaleCurrent_ = fullScaleCurrent;
  DrawFrame(s);
  for (const Step& step : steps_) DrawStep(s, step);
  for (const DcSample& point : dcPoints_) DrawDcPoint(s, point);
}

void SimulationPlot::DrawFrame(const Simulation& s) {
  lastX_ = kPlotLeftMargin;
  lastIdd_ = lastDeviceCurrent_ = 0;
  markedStopColumn_ = firstStopColumn_;
  shownFrequency_ = shownMax_ = shownMin_ = 0;
  lastDcX_ = -1;
  labels_.clear();
  surface_->Clear(kBackground);
  surface_->SetPen(kAxis, 1, PenStyle::Solid, PenMode::Copy);
  switch (s.state.SimMode) {
    case kSimDc: DrawDcAxes(s); break;
    case kSimCurrents: DrawVoltageCurrentScales(s); break;
    default:
      DrawStrips(s);
      DrawTimeAxis(s);
      break;
  }
}

void SimulationPlot::DrawStrips(const Simulation& s) {
  const std::vector<int>& list = s.state.nodeList;
  const int right = surface_->Width() - 1;
  const std::string vddLabel = FormatFixed(s.technology.VDD, 0, 1) + "V";
  // The names first: a supply label that would cover one is left out.
  for (int i = 0; i < StripCount(s) && i < int(list.size()); ++i)
    PlaceText(2, StripY(s, i, 0) - kTextHeight, s.layout.nodes.nodes[list[i]].name, kFontBold,
              CurveColour(i));
  for (int i = 0; i < StripCount(s); ++i) {
    const int base = StripY(s, i, 0), top = StripY(s, i, s.technology.VDD);
    surface_->SetPen(kAxis, 1, PenStyle::Solid, PenMode::Copy);
    surface_->Line(kPlotLeftMargin, base, right, base);
    if (i >= int(list.size())) continue;
    surface_->SetPen(kAxis, 1, PenStyle::Dotted, PenMode::Copy);
    surface_->Line(kPlotLeftMargin, top, right, top);
    PlaceText(2, top, vddLabel, kFontPlain, kLabel);
  }
}

// Volts above their lines, milliamperes below theirs, so that the top of
// the current scale and 0 V, which share a line, both keep their label.
void SimulationPlot::DrawVoltageCurrentScales(const Simulation& s) {
  const int right = surface_->Width() - 1;
  for (int v = 0; v <= int(s.technology.VDD); ++v) {
    const int y = UpperY(s, v);
    surface_->Line(kPlotLeftMargin, y, right, y);
    PlaceText(2, y - kTextHeight, FormatFixed(v, 0, 0) + "V", kFontPlain, kLabel);
  }
  for (int i = 1; i <= 5; ++i) {
    const int y = CurrentY(fullScaleCurrent_ * i * 0.2);
    surface_->Line(kPlotLeftMargin, y, right, y);
    PlaceText(2, y + 1, FormatFixed(fullScaleCurrent_ * 1000 * i * 0.2, 0, 2) + "mA", kFontPlain,
              kCurrent);
  }
  const int bottom = kPlotTopMargin + PlotHeight();
  PlaceText(kPlotLeftMargin + 4, bottom + 4, "IDD", kFontBold, kCurrent);
  const SimulationState& m = s.state;
  if (m.currentDevice >= 0 && m.currentDevice < int(m.deviceList.size()))
    PlaceText(kPlotLeftMargin + 40, bottom + 4, m.deviceList[size_t(m.currentDevice)], kFontBold,
              kDeviceCurrent);
}

void SimulationPlot::DrawDcAxes(const Simulation& s) {
  const SimulationState& m = s.state;
  const int right = surface_->Width() - 1, bottom = kPlotTopMargin + PlotHeight();
  surface_->SetHollowBrush();
  surface_->Rectangle(kPlotLeftMargin, kPlotTopMargin, right, bottom);
  for (double v = 0.5; v < s.technology.VDD; v += 0.5) {
    const int y = bottom - Round(v * PlotHeight() / s.technology.VDD);
    surface_->SetPen(kAxis, 1, PenStyle::Dotted, PenMode::Copy);
    surface_->Line(kPlotLeftMargin, y, right, y);
    PlaceText(2, y - 6, FormatFixed(v, 0, 2), kFontPlain, kLabel);
  }
  const auto name = [&](int k) {
    return k >= 1 && k <= s.layout.nodes.count ? s.layout.nodes.nodes[k].name : std::string();
  };
  PlaceText(kPlotLeftMargin + 4, 2, name(m.StopNode), kFontBold, kLabel);
  PlaceText(right - 80, bottom + 4, name(m.StartNode), kFontBold, kLabel);
}

// Ticks below the plot at round times, labelled in ns, with the unit in the
// left margin under the node names.
void SimulationPlot::DrawTimeAxis(const Simulation& s) {
  const double length = s.state.SimLength;
  if (!(length > 0)) return;
  const int bottom = kPlotTopMargin + PlotHeight(), right = surface_->Width() - 1;
  const double step = TickStep(length, PlotWidth());
  const int decimals = DecimalsOf(step * 1e9);
  surface_->SetPen(kAxis, 1, PenStyle::Solid, PenMode::Copy);
  surface_->Line(kPlotLeftMargin, bottom, right, bottom);
  PlaceText(2, bottom + 4, "t (ns)", kFontPlain, kLabel);
  for (double k = std::ceil(runStart_ / step - 1e-9);; ++k) {
    const double t = k == 0 ? 0.0 : k * step;  // never "-0"
    const int x = std::min(TimeX(s, t), right);  // the run's end falls just beyond the edge
    if (TimeX(s, t) > right + 1) break;
    surface_->SetPen(kAxis, 1, PenStyle::Solid, PenMode::Copy);
    surface_->Line(x, bottom, x, bottom + kTickLength);
    const std::string text = FormatFixed(t * 1e9, 0, decimals);
    const int left = std::min(x - Characters(text) * kCharWidth / 2,
                              right - Characters(text) * kCharWidth);
    PlaceText(std::max(kPlotLeftMargin, left), bottom + kTickLength + 1, text, kFontPlain, kLabel);
  }
}

void SimulationPlot::PlottedStep(const Simulation& s, int) {
  const SimulationState& m = s.state;
  const bool hasDevice = m.SimMode == kSimCurrents && m.currentDevice >= 0;
  Step step{m.SimTime, {}, {}, m.IDD, hasDevice, hasDevice ? ChosenDeviceCurrent(s) : 0,
            m.delayStartColumn, m.delayStopColumn,
            m.stepsPerPixel * m.TimeStep, m.delayLast, StripOf(s, m.WatchNode), m.FreqOn,
            m.MinMaxOn, m.frequency, m.period, m.localMax, m.localMin};
  for (int k : m.nodeList) {
    step.from.push_back(m.nodes[size_t(k)].Vplot);
    step.to.push_back(m.nodes[size_t(k)].V);
  }
  steps_.push_back(std::move(step));
  DrawStep(s, steps_.back());
}

void SimulationPlot::DrawStep(const Simulation& s, const Step& step) {
  const int x = TimeX(s, step.time);
  for (size_t i = 0; i < step.to.size(); ++i) {
    surface_->SetPen(CurveColour(int(i)), 1, PenStyle::Solid, PenMode::Copy);
    surface_->Line(lastX_, StripY(s, int(i), step.from[i]), x, StripY(s, int(i), step.to[i]));
  }
  if (s.state.SimMode == kSimCurrents) DrawCurrents(step, x);
  DrawMeasurements(s, step, x);
  lastX_ = x;
}

// Mode 2: the supply current and the chosen device's current on the lower
// scale.
void SimulationPlot::DrawCurrents(const Step& step, int x) {
  surface_->SetPen(kCurrent, 1, PenStyle::Solid, PenMode::Copy);
  surface_->Line(lastX_, CurrentY(lastIdd_), x, CurrentY(step.idd));
  lastIdd_ = step.idd;
  if (!step.hasDevice) return;
  surface_->SetPen(kDeviceCurrent, 1, PenStyle::Solid, PenMode::Copy);
  surface_->Line(lastX_, CurrentY(lastDeviceCurrent_), x, CurrentY(step.deviceCurrent));
  lastDeviceCurrent_ = step.deviceCurrent;
}

// The delay markers, and the frequency and extreme values of the watched
// node; a text that would cover another is left out.
void SimulationPlot::DrawMeasurements(const Simulation& s, const Step& step, int x) {
  if (s.state.SimMode == kSimVoltageTime && step.delayStopColumn != markedStopColumn_ &&
      step.delayStopColumn > step.delayStartColumn) {
    markedStopColumn_ = step.delayStopColumn;
    const int x1 = TimeX(s, runStart_ + step.delayStartColumn * step.columnTime);
    const int x2 = TimeX(s, runStart_ + step.delayStopColumn * step.columnTime);
    surface_->SetPen(kMarker, 1, PenStyle::Solid, PenMode::Copy);
    surface_->Line(x1, kPlotTopMargin, x1, kPlotTopMargin + PlotHeight());
    surface_->Line(x2, kPlotTopMargin, x2, kPlotTopMargin + PlotHeight());
    surface_->Line(x1, kPlotTopMargin + 6, x2, kPlotTopMargin + 6);
    PlaceText(x1 + 2, kPlotTopMargin - 14, DelayText(step.delayLast), kFontPlain, kMarker);
  }
  if (step.watchStrip < 0) return;
  const int strip = step.watchStrip;
  const Colour colour = CurveColour(strip);
  if (step.freqOn && step.frequency != shownFrequency_) {
    shownFrequency_ = step.frequency;
    PlaceText(x, StripY(s, strip, s.technology.VDD) - 2,
              FormatFixed(step.frequency * 1e-9, 5, 3) + "GHz " +
                  FormatFixed(step.period * 1e9, 5, 3) + "ns",
              kFontPlain, colour);
  }
  if (step.minMaxOn && step.localMax != shownMax_) {
    shownMax_ = step.localMax;
    PlaceText(x, StripY(s, strip, step.localMax) - 12, FormatFixed(step.localMax, 5, 3),
              kFontPlain, colour);
  }
  if (step.minMaxOn && step.localMin != shownMin_) {
    shownMin_ = step.localMin;
    PlaceText(x, StripY(s, strip, step.localMin) + 2, FormatFixed(step.localMin, 5, 3),
              kFontPlain, colour);
  }
}

void SimulationPlot::DcPoint(const Simulation& s, int, double x, double y) {
  dcPoints_.push_back({x, y, s.state.dcAscending, s.state.MinMaxOn});
  DrawDcPoint(s, dcPoints_.back());
}

void SimulationPlot::DrawDcPoint(const Simulation& s, const DcSample& point) {
  const double vdd = s.technology.VDD;
  const int bottom = kPlotTopMargin + PlotHeight();
  const auto px = [&](double v) { return kPlotLeftMargin + Round(v * PlotWidth() / vdd); };
  const auto py = [&](double v) { return bottom - Round(v * PlotHeight() / vdd); };
  surface_->SetPen(point.ascending ? kAscending : kDescending, 1, PenStyle::Solid, PenMode::Copy);
  if (lastDcX_ >= 0) surface_->Line(px(lastDcX_), py(lastDcY_), px(point.x), py(point.y));
  const bool crossed = (lastDcY_ > vdd / 2) != (point.y > vdd / 2);
  if (point.minMaxOn && lastDcX_ >= 0 && crossed) {
    surface_->SetPen(kMarker, 1, PenStyle::Dotted, PenMode::Copy);
    surface_->Line(kPlotLeftMargin, py(vdd / 2), surface_->Width() - 1, py(vdd / 2));
    surface_->Line(px(point.x), kPlotTopMargin, px(point.x), bottom);
    PlaceText(px(point.x) + 2, py(vdd / 2) + 2, FormatFixed(point.x, 5, 3), kFontPlain, kMarker);
  }
  lastDcX_ = point.x, lastDcY_ = point.y;
}

}  // namespace tarnisk
