#include "verify/navigator.h"

#include "core/number_format.h"

namespace tarnisk {

namespace {

const char* kMicron = "\xC2\xB5m";

std::string Plain(int64_t n) { return std::to_string(n); }

}  // namespace

int NodeSearchTolerance(double pixelsPerLambda) {
  if (pixelsPerLambda >= 26) return 3;
  return pixelsPerLambda > 10 ? 1 : 0;
}

NodeHit NodeAt(const Layout& layout, Point p, int tolerance) {
  const Rect square{ClampCoordinate(int64_t{p.x} - tolerance),
                    ClampCoordinate(int64_t{p.y} - tolerance),
                    ClampCoordinate(int64_t{p.x} + tolerance),
                    ClampCoordinate(int64_t{p.y} + tolerance)};
  NodeHit hit;
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    const Box& b = layout.boxes[i];
    if (b.state == kErased || !BoxIntersects(layout, i, square)) continue;
    hit.box = i;
    hit.node = b.node;
    if (b.layer == kPoly) hit.poly = true;
    if (b.layer == kDiffp || b.layer == kDiffn) hit.diffusionBox = i;
  }
  return hit;
}

std::optional<DeviceRef> DeviceWithGateBox(const Circuit& circuit, int box) {
  for (const bool pmos : {false, true}) {
    const std::vector<MosDevice>& table = pmos ? circuit.pmos : circuit.nmos;
    for (size_t i = 0; i < table.size(); ++i)
      if (table[i].GateBox == box) return DeviceRef{pmos, int(i)};
  }
  return std::nullopt;
}

std::string DeviceHereMessage(const Circuit& circuit, DeviceRef device, double lambda) {
  const MosDevice& d = (device.pmos ? circuit.pmos : circuit.nmos)[size_t(device.index)];
  return std::string("There is a ") + (device.pmos ? "pMOS" : "nMOS") +
         " W=" + FormatFixed(d.W * lambda, 4, 2) + ", L=" + FormatFixed(d.L * lambda, 4, 2) +
         kMicron + "(" + Plain(d.W) + "x" + Plain(d.L) + " lambda) here.";
}

std::string NodePropertyWord(int property) {
  switch (property) {
    case kPropertyVdd: return "vdd supply";
    case kPropertyVss: return "vss supply";
    case kPropertyNone: return "variable";
    case kPropertyPulse: return "pulse";
    case kPropertyClock: return "clock";
    default: return "unknown";
  }
}

std::string TextPropertyWord(int property) {
  switch (property) {
    case kPropertyVss: return "ground";
    case kPropertyVdd: return "supply";
    case kPropertyClock: return "clock";
    case kPropertyPulse: return "pulse";
    default: return "";
  }
}

NodeProperties DescribeNode(const Layout& layout, double lambda, int node) {
  NodeProperties p;
  p.node = node;
  if (node < 0 || node > layout.nodes.count) {
    p.capacitance = "0 fF";
    p.length = std::string("0 ") + kMicron;
    p.resistance = "0 Ohm";
    p.property = "?";
    return p;
  }
  const nodeBaseRecord& n = layout.nodes.nodes[size_t(node)];
  p.name = n.name;
  p.property = NodePropertyWord(n.property);
  p.visible = n.display == 2;
  p.visibility = p.visible ? "visible" : "hidden";
  p.floating = n.NoDiffusion != 0;
  const std::string capacitance = FormatFixed(n.NodeCapacitance * 1e15, 5, 2);
  const std::string length = FormatFixed(n.InterconnectLength * lambda, 5, 0);
  p.capacitance = capacitance + " fF";
  p.number = Plain(node);
  p.length = length + " " + kMicron;
  p.resistance = FormatFixed(n.PolyDiffResistance, 2, 0) + "+" +
                 FormatFixed(n.MetalResistance, 2, 0) + " ohm";
  p.status = Quoted(n.name) + " " + "," + p.property + "," + p.visibility + ", " + "capa=" +
             capacitance + "fF, length=" + length + " " + kMicron + ", " + "res=" +
             FormatFixed(n.PolyDiffResistance + n.MetalResistance, 5, 2) + " Ohm, n\xC2\xB0" +
             Plain(node) + (p.floating ? ", floating" : "");
  return p;
}

std::vector<DeviceRow> DeviceRows(const Circuit& circuit, double lambda, int node) {
  std::vector<DeviceRow> rows;
  for (const bool pmos : {false, true}) {
    const std::vector<MosDevice>& table = pmos ? circuit.pmos : circuit.nmos;
    int listed = 0;
    for (size_t i = 0; i < table.size(); ++i) {
      const MosDevice& d = table[i];
      if (node >= 0 && d.Gate != node && d.Source != node && d.Drain != node) continue;
      rows.push_back({{pmos, int(i)},
                      std::string(pmos ? "P " : "N ") + Plain(++listed),
                      FormatFixed(d.W * lambda, 4, 2),
                      FormatFixed(d.L * lambda, 4, 2)});
    }
  }
  return rows;
}

std::vector<std::string> LengthHistogram(const NodeTable& nodes, double lambda,
                                         double threshold) {
  constexpr int kBounds[] = {0, 10, 30, 100, 300, 1000, 3000, 10000};
  constexpr int kClasses = 8;
  std::vector<std::string> lines{"----Below Filter-------"};
  if (nodes.count < 1) return lines;
  int counts[kClasses] = {};
  for (int k = 1; k <= nodes.count; ++k) {
    const double microns = nodes.nodes[size_t(k)].InterconnectLength * lambda;
    if (microns <= 0) continue;
    int c = kClasses - 1;
    while (c > 0 && microns <= kBounds[c]) --c;
    ++counts[c];
  }
  for (int c = 0; c < kClasses; ++c) {
    const bool last = c == kClasses - 1;
    if (!last && kBounds[c] <= threshold && threshold < kBounds[c + 1])
      lines.push_back("----Above Filter-------");
    const std::string percent = FormatFixed(counts[c] * 100.0 / nodes.count, 3, 1) + " %";
    lines.push_back(last ? "> " + Plain(kBounds[c]) + kMicron + " " + percent
                         : Plain(kBounds[c]) + "-" + Plain(kBounds[c + 1]) + kMicron + " " +
                               percent);
  }
  return lines;
}

}  // namespace tarnisk
