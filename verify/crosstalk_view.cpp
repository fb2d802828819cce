#include "verify/crosstalk_view.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/number_format.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

namespace {

constexpr double kGains[] = {0.5, 1, 2, 5, 10, 20, 50};
constexpr double kCouplingShown = 0.05;  // fraction of a node's capacitance
constexpr Colour kRed = MakeColour(255, 0, 0);
constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kGrey = MakeColour(128, 128, 128);

Colour ScaleRgb(double r, double g, double b) {
  auto channel = [](double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
  return MakeColour(channel(r), channel(g), channel(b));
}

size_t GainStep(double gain) {
  size_t i = 0;
  while (i + 1 < std::size(kGains) && kGains[i] < gain) ++i;
  return i;
}

bool IsWell(int layer) { return layer == kNwell || layer == kPwell; }

void Dim(Box& b, Colour colour) {
  b.state = kMarked;
  b.highlightColour = colour;
}

void Tint(Box& b, double percent) {
  b.state = kHighlighted;
  b.highlightColour = CrosstalkColour(percent);
}

}  // namespace

uint32_t CrosstalkColour(double p) {
  p = std::clamp(p, 0.0, 100.0);
  if (p < 25) return ScaleRgb(0, 10 * p, 10 * (25 - p));
  if (p < 50) return ScaleRgb(10 * (p - 25), 10 * (50 - p), 0);
  if (p < 75) return ScaleRgb(250, 10 * (75 - p), 0);
  return ScaleRgb(250, 250, 10 * (p - 75));
}

std::vector<std::pair<int, uint32_t>> LegendStripes() {
  std::vector<std::pair<int, uint32_t>> stripes;
  for (int i = 0; i <= 25; ++i) stripes.emplace_back(i, ScaleRgb(0, 10 * i, 10 * (25 - i)));
  for (int i = 0; i <= 25; ++i) stripes.emplace_back(25 + i, ScaleRgb(10 * i, 10 * (25 - i), 0));
  for (int i = 0; i <= 15; ++i) stripes.emplace_back(50 + i, ScaleRgb(250, 10 * i, 0));
  return stripes;
}

double LowerScale(double gain) {
  return kGains[std::min(GainStep(gain) + 1, std::size(kGains) - 1)];
}

double HigherScale(double gain) {
  const size_t i = GainStep(gain);
  return kGains[i == 0 ? 0 : i - 1];
}

std::string ScaleLabel(double vdd, double gain) { return FormatFixed(vdd / gain, 3, 2) + "V"; }

void ColourByNoise(Layout& layout, double vdd, double gain) {
  const NodeTable& nodes = layout.nodes;
  ForEachLive(layout.boxes, [&](int, Box& b) {
    Dim(b, kGrey);
    if (IsWell(b.layer) || b.node >= kMaxCoupledNode) {
      Dim(b, kRed);
    } else if (b.node == 0) {
      Dim(b, kBlack);
    } else if (b.node > 0 && b.node <= nodes.count) {
      const double noise = nodes.nodes[size_t(b.node)].DrivenNoise;
      Tint(b, vdd > 0 ? std::round(100 * noise * gain / vdd) : 0);
    }
  });
}

NodeCrosstalk ColourCouplingOf(Layout& layout, const Circuit& circuit, double lambda, int n) {
  const NodeTable& nodes = layout.nodes;
  const int last = std::min(nodes.count, kMaxCoupledNode);
  // The colour each coupled node gives its boxes: the last partner j whose
  // coupling exceeds 5 % of the node's capacitance decides.
  std::vector<double> shown(size_t(kMaxCoupledNode), -1);
  for (int b = 0; b < std::min(nodes.count + 1, kMaxCoupledNode); ++b) {
    const double c0 = nodes.nodes[size_t(b)].NodeCapacitance;
    for (int j = 1; j <= last && c0 > 0; ++j) {
      const double r = circuit.coupling.At(b, j) / c0;
      if (j != b && r > kCouplingShown) shown[size_t(b)] = std::round(100 * r);
    }
  }
  NodeCrosstalk result;
  ForEachLive(layout.boxes, [&](int, Box& b) {
    if (IsWell(b.layer) || b.node == n) {
      b.state = kNormal;
      if (b.node != n) return;
      if (!result.hasBoxes) result.area = RectOf(b);
      GrowRect(result.area, RectOf(b));
      result.hasBoxes = true;
      return;
    }
    Dim(b, kGrey);
    if (b.node >= 0 && b.node < kMaxCoupledNode && shown[size_t(b.node)] >= 0)
      Tint(b, shown[size_t(b.node)]);
  });
  if (n < 0 || n >= kMaxCoupledNode || n > nodes.count) {
    result.message = "This node has no available crosstalk data. Try again.";
    return result;
  }
  const nodeBaseRecord& node = nodes.nodes[size_t(n)];
  result.message = Quoted(node.name) + " ctk=" + FormatFixed(circuit.coupling.At(n, n) * 1e15, 5, 2) +
                   " fF, c0=" + FormatFixed(node.NodeCapacitance * 1e15, 5, 2) + " fF, n\xC2\xB0" +
                   std::to_string(n) + "," + "max. noise " + FormatFixed(node.CrosstalkNoise, 5, 3) +
                   " V" + "," + "length " + FormatFixed(node.InterconnectLength * lambda, 5, 0) +
                   " \xC2\xB5m";
  return result;
}

}  // namespace tarnisk
