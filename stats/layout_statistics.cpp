#include "stats/layout_statistics.h"

#include <algorithm>
#include <cmath>

#include "core/number_format.h"
#include "core/technology.h"
#include "verify/drc_grid.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kCurve = MakeColour(255, 0, 0);
constexpr int kMargin = 30, kBottomMargin = 50;
constexpr int kLabelPoints = 8;
const char* kMicron = "\xC2\xB5m";

TableFill Fill(const std::string& number, double percent) {
  return {number, FormatFixed(percent, 3, 1) + "% full", int(std::lround(percent)), percent};
}

std::string Micron(double lambdaExtent, double lambda) {
  return FormatFixed(lambdaExtent * lambda, 5, 1) + " " + kMicron;
}

// Tick step of the vertical axis for its maximum.
int VerticalStep(int maximum) {
  constexpr int kLimits[] = {10, 20, 50, 100, 200, 500};
  constexpr int kSteps[] = {1, 2, 5, 10, 20, 50};
  for (size_t i = 0; i < std::size(kLimits); ++i)
    if (maximum < kLimits[i]) return kSteps[i];
  return 100;
}

void UseColour(DrawingSurface& out, Colour c, PenStyle style = PenStyle::Solid) {
  out.SetPen(c, 1, style, PenMode::Copy);
  out.SetBrush(c);
}

}  // namespace

GeneralFigures DescribeLayout(const Layout& l, const Technology& t, const Circuit& c,
                              int gridColumns, int gridRows) {
  GeneralFigures g;
  g.technology = t.Name;
  const int boxes = l.boxes.Count(), texts = l.texts.Count();
  g.boxes = Fill(std::to_string(boxes) + "/" + std::to_string(kMaxBoxes), boxes * 100.0 / kMaxBoxes);
  g.texts = Fill(std::to_string(texts) + "/" + std::to_string(kMaxTexts), texts * 100.0 / kMaxTexts);
  g.checkGrid = Fill(std::to_string(gridColumns) + " x " + std::to_string(gridRows),
                     100 * std::max(double(gridColumns) / kDrcMaxColumns,
                                    double(gridRows) / kDrcMaxRows));
  g.extracted = l.wide.extracted != 0;
  const std::string click = "Click \"Extract\"";
  g.nodes = g.extracted ? std::to_string(l.nodes.count) : click;
  g.nmos = g.extracted ? std::to_string(c.nmos.size()) : click;
  g.pmos = g.extracted ? std::to_string(c.pmos.size()) : click;
  const Rect& e = l.wide.extent;
  g.size = {Micron(double(e.xmax) - e.xmin, t.LAMB), "   x", Micron(double(e.ymax) - e.ymin, t.LAMB)};
  return g;
}

LengthClasses ClassifyLengths(const NodeTable& nodes, double lambda) {
  LengthClasses c;
  c.nodeCount = nodes.count;
  double length = 0, resistance = 0, capacitance = 0;
  for (int k = 1; k <= nodes.count; ++k) {
    const nodeBaseRecord& n = nodes.nodes[size_t(k)];
    const double microns = n.InterconnectLength * lambda;
    const int i = int(std::clamp(std::floor(microns / 10), 0.0, double(kLengthClasses)));
    ++c.counts[size_t(i)];
    length += microns;
    resistance += n.MetalResistance + n.PolyDiffResistance;
    capacitance += n.NodeCapacitance;
  }
  if (nodes.count >= 1) {
    c.averageLength = length / nodes.count;
    c.averageResistance = resistance / nodes.count;
    c.averageCapacitance = capacitance / nodes.count;
  }
  return c;
}

void ZoomHistogramIn(HistogramRange& range) { range.yMax = std::max(1, range.yMax / 2); }

void ZoomHistogramOut(HistogramRange& range) {
  range.yMax = std::min(range.yMax, 1 << 29) * 2;
}

void DrawLengthHistogram(DrawingSurface& out, int width, int height, const LengthClasses& classes,
                         const HistogramRange& range, Colour background, Colour gridColour) {
  out.Clear(background);
  const int left = kMargin, top = kMargin, right = width - kMargin, bottom = height - kBottomMargin;
  const int yStep = VerticalStep(range.yMax);
  const double xScale = double(right - left) / std::max(1, range.xMax - range.xMin);
  const double yScale = double(bottom - top) / std::max(1, range.yMax - range.yMin);
  UseColour(out, kBlack);
  out.SetHollowBrush();
  out.Rectangle(left - 1, top - 1, right + 1, bottom + 1);
  for (int v = range.xMin; v <= range.xMax; v += std::max(1, range.xStep)) {
    const int x = int(std::lround(v * xScale)) + left;
    if (x < left || x > right) continue;
    out.Text(x - 5, bottom + 5, FormatFixed(v, 3, 0), kLabelPoints, kFontPlain, kBlack);
    UseColour(out, kBlack);
    out.Line(x, bottom + 5, x, bottom);
    UseColour(out, gridColour, PenStyle::Dotted);
    out.Line(x, top, x, bottom);
  }
  for (int v = range.yMin; v <= range.yMax; v += yStep) {
    const int y = bottom - int(std::lround(v * yScale));
    if (y < top || y > bottom) continue;
    out.Text(left - 30, y - 8, FormatFixed(v, 3, 0), kLabelPoints, kFontPlain, kBlack);
    UseColour(out, kBlack);
    out.Line(left - 5, y, left, y);
    UseColour(out, gridColour, PenStyle::Dotted);
    out.Line(left, y, right, y);
  }
  out.Text(left + 100, bottom + 20, std::string("Length (") + kMicron + ")", kLabelPoints,
           kFontPlain, kBlack);
  out.Text(left - 15, top - 25, "Nbr", kLabelPoints, kFontPlain, kBlack);
  UseColour(out, kCurve);
  auto point = [&](int i) {
    return std::pair{int(std::lround(10.0 * i * xScale + left)),
                     int(std::lround(bottom - classes.counts[size_t(i)] * yScale))};
  };
  for (int i = 1; i < kLengthClasses; ++i) {
    const auto [x1, y1] = point(i);
    const auto [x2, y2] = point(i + 1);
    out.Line(x1, y1, x2, y2);
  }
}

}  // namespace tarnisk
