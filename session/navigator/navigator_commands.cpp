#include "session/navigator/navigator_commands.h"

#include <algorithm>

#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/analysis/extract_command.h"
#include "session/editor/view.h"
#include "session/session.h"
#include "verify/drc_grid.h"
#include "verify/interconnect.h"
#include "verify/parasitics.h"

namespace tarnisk {

namespace {

constexpr Colour kCrossHair = MakeColour(128, 128, 128);
constexpr int32_t kTextZoom = 50;  // lambda around a text the list zooms on
constexpr int32_t kNodeZoomMargin = 20, kNodeZoomRight = 100;

Point ToLambda(const Session& s, Point p) { return {PixelToLambdaX(s, p.x), PixelToLambdaY(s, p.y)}; }

std::string At(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

void Zoom(Session& s, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  SetWindow(s, ClampCoordinate(x1), ClampCoordinate(y1), ClampCoordinate(x2), ClampCoordinate(y2));
}

// Marked boxes and selected texts back to normal.
void ClearMarks(Session& s) {
  ForEachLive(s.layout.boxes, [](int, Box& b) {
    if (b.state == kMarked) b.state = kNormal;
  });
  ForEachLive(s.layout.texts, [](int, LayoutText& t) {
    if (t.state == 2) t.state = 1;
  });
}

std::string EntryText(const LayoutText& t) {
  std::string text = t.text;
  if (t.visible) text += ", visible ";
  const std::string word = TextPropertyWord(t.property);
  return word.empty() ? text : text + " " + word;
}

// The list: the texts of a node.
void ListTextsOfNode(Session& s, int node) {
  NavigatorState& n = s.navigator;
  n.list.clear();
  ForEachLive(s.layout.texts, [&](int i, const LayoutText& t) {
    if (t.node == node) n.list.push_back({EntryText(t), node, i});
  });
}

int NodeUnder(Session& s, Point at) {
  return NodeAt(s.layout, at, NodeSearchTolerance(s.layout.wide.scale)).node;
}

// A cross-hair through a point, across the whole view.
void DrawCrossHair(Session& s, Point at) {
  DrawingSurface* out = s.view.surface;
  if (!out) return;
  out->SetPen(kCrossHair, 1, PenStyle::Solid, PenMode::Copy);
  const int x = LambdaToPixelX(s, at.x), y = LambdaToPixelY(s, at.y);
  out->Line(x, 0, x, s.view.clientHeight);
  out->Line(0, y, s.view.clientWidth, y);
}

}  // namespace

void UpdateListNodes(Session& s) {
  NavigatorState& n = s.navigator;
  n.list.clear();
  const NodeTable& t = s.layout.nodes;
  for (int k = n.supplyInList ? 0 : 2; k <= t.count; ++k)
    n.list.push_back({t.nodes[size_t(k)].name, k, 0});
}

void UpdateNodeProps(Session& s, int node) {
  NavigatorState& n = s.navigator;
  n.node = node;
  n.properties = DescribeNode(s.layout, s.technology.LAMB, node);
  if (!n.properties.status.empty()) ShowStatus(s.platform, n.properties.status);
}

void UpdateListMos(Session& s, int node) {
  s.navigator.listAllDevices = false;
  s.navigator.devices = DeviceRows(s.circuit, s.technology.LAMB, node);
}

void ViewNodeAt(Session& s, Point pixel) {
  ClearMarks(s);
  const Point at = ToLambda(s, pixel);
  ShowStatus(s.platform, "View node at " + At(at));
  const NodeHit hit = NodeAt(s.layout, at, NodeSearchTolerance(s.layout.wide.scale));
  NavigatorState& n = s.navigator;
  if (hit.box != 0) {
    ForEachLive(s.layout.boxes, [&](int, Box& b) {
      if (b.node != hit.node) b.state = kMarked, b.highlightColour = 0;
    });
    ListTextsOfNode(s, hit.node);
    Redraw(s);
    n.page = kNavigatorProperties;
    UpdateNodeProps(s, hit.node);
    UpdateListMos(s, hit.node);
  }
  if (hit.poly && hit.diffusionBox != 0)
    if (const auto device = DeviceWithGateBox(s.circuit, hit.diffusionBox)) {
      ShowStatus(s.platform, DeviceHereMessage(s.circuit, *device, s.technology.LAMB));
      n.page = kNavigatorDevices;
    }
}

void ExtractInterconnectAt(Session& s, Point pixel) {
  const Interconnect wire = [&] {
    const DrawingSuspended quiet(s);
    return TraceInterconnect(s.layout, s.technology, ToLambda(s, pixel), s.progress);
  }();
  if (!wire.found) return;
  Redraw(s);
  NavigatorState& n = s.navigator;
  n.list.clear();
  for (int t : wire.texts) n.list.push_back({EntryText(s.layout.texts[t]), 1, t});
  n.page = kNavigatorProperties;
  const double lambda = s.technology.LAMB;
  n.properties = DescribeNode(s.layout, lambda, -1);
  n.properties.length = FormatFixed(double(wire.length) * lambda, 5, 0) + " \xC2\xB5m";
  n.properties.capacitance = FormatFixed(wire.capacitance * 1e15, 5, 1) + " fF";
  ShowStatus(s.platform,
             InterconnectMessage(wire, lambda, s.extractOptions.ignoreThreshold));
}

bool FlatCrosstalk(Session& s) {
  ShowStatus(s.platform, " Start flat crosstalk analysis...");
  if (!EnsureExtracted(s)) return false;
  // The analysis couples across layers and within each metal layer, whatever
  // the extraction options ask of a plain extraction.
  ExtractOptions options = s.extractOptions;
  options.lateralCrosstalk = options.verticalCrosstalk = true;
  ExtractionRun run{s.layout, s.technology, options, s.circuit, s.progress};
  const int overflow = ComputeCrosstalk(run);
  if (overflow != 0) {
    const bool x = overflow == 1;
    ShowStatus(s.platform, std::string(" Error : too much coordinates in ") + (x ? "X" : "Y") +
                               ", limit is " + std::to_string(x ? kDrcMaxColumns : kDrcMaxRows));
    return false;
  }
  ColourByNoise(s.layout, s.technology.VDD, s.navigator.gain);
  Redraw(s);
  return true;
}

void CrosstalkAt(Session& s, Point pixel) {
  const Point at = ToLambda(s, pixel);
  ShowStatus(s.platform, "View crosstalk at " + At(at));
  if (!EnsureExtracted(s)) return;
  const NodeHit hit = NodeAt(s.layout, at, NodeSearchTolerance(s.layout.wide.scale));
  if (hit.box != 0) CrosstalkOfNode(s, hit.node);
}

void CrosstalkOfNode(Session& s, int node) {
  const NodeCrosstalk c = ColourCouplingOf(s.layout, s.circuit, s.technology.LAMB, node);
  const Rect& r = c.area;
  if (c.hasBoxes)
    Zoom(s, int64_t{r.xmin} - kNodeZoomMargin, int64_t{r.ymin} - kNodeZoomMargin,
         int64_t{r.xmax} + kNodeZoomRight, int64_t{r.ymax} + kNodeZoomMargin);
  else
    Redraw(s);
  ShowStatus(s.platform, c.message);
}

void NoiseView(Session& s) {
  ShowStatus(s.platform, "Start noise view...");
  Point start{0, 0};
  ForEachLive(s.layout.texts, [&](int, const LayoutText& t) {
    if (t.property == kPropertyNone) start = {t.x, t.y};
  });
  ShowStatus(s.platform, "Start " + At(start));
  ShowStatus(s.platform, "Prepare for NoiseView...");
  {
    const DrawingSuspended quiet(s);
    const Interconnect wire = TraceInterconnect(s.layout, s.technology, start, s.progress);
    if (!wire.found) return;
  }
  ForEachLive(s.layout.boxes, [](int, Box& b) {
    if (b.node != 1) b.state = kMarked, b.highlightColour = MakeColour(128, 128, 128);
  });
  ShowStatus(s.platform, "Scan coupling...");
  for (const std::string& message : ScanCoupling(s.layout)) ShowStatus(s.platform, message);
  ForEachLive(s.layout.boxes, [](int, Box& b) {
    if (b.node == 2) b.state = kHighlighted, b.highlightColour = MakeColour(255, 0, 0);
  });
  Redraw(s);
}

void SelectListEntry(Session& s, int entry) {
  NavigatorState& n = s.navigator;
  if (entry < 0 || entry >= int(n.list.size())) return;
  const NavigatorEntry e = n.list[size_t(entry)];
  if (n.page == kNavigatorCrosstalk) {
    ShowStatus(s.platform, "Select node n\xC2\xB0" + std::to_string(e.node));
    CrosstalkOfNode(s, e.node);
    return;
  }
  ShowStatus(s.platform, "Scan text location...");
  UpdateNodeProps(s, e.node);
  ForEachLive(s.layout.texts, [&](int i, const LayoutText& t) {
    if (e.textIndex != 0 ? i != e.textIndex : t.node != e.node || e.node < 0) return;
    ShowStatus(s.platform, "Zoom at text location " + t.text);
    Zoom(s, int64_t{t.x} - kTextZoom, int64_t{t.y} - kTextZoom, int64_t{t.x} + kTextZoom,
         int64_t{t.y} + kTextZoom);
    DrawCrossHair(s, {t.x, t.y});
    UpdateNodeProps(s, t.node);
  });
}

void LocateDevice(Session& s, int row) {
  const NavigatorState& n = s.navigator;
  if (row < 0 || row >= int(n.devices.size())) return;
  const DeviceRow& r = n.devices[size_t(row)];
  ShowStatus(s.platform, "Locate MOS " + r.name);
  const std::vector<MosDevice>& table = r.device.pmos ? s.circuit.pmos : s.circuit.nmos;
  const int gate = table[size_t(r.device.index)].GateBox;
  if (gate < 1 || gate > s.layout.boxes.Count()) return;
  const Box& b = s.layout.boxes[gate];
  Zoom(s, b.x1, b.y1, b.x2, b.y2);
}

void SetSupplyInList(Session& s, bool shown) {
  s.navigator.supplyInList = shown;
  ShowStatus(s.platform, std::string("Vss,Vdd option ") + (shown ? "enable" : "disable"));
  UpdateListNodes(s);
}

void SetListAllDevices(Session& s, bool all) {
  const int node = s.navigator.node;
  UpdateListMos(s, all ? -1 : node);
  s.navigator.listAllDevices = all;
}

bool SetFilterThreshold(Session& s, const std::string& text) {
  const ParsedNumber n = ParseNumber(text, 0, 1e6, s.extractOptions.ignoreThreshold);
  if (!n.ok) return false;
  s.extractOptions.ignoreThreshold = n.value;
  ShowStatus(s.platform, "Filter edit change to" + FormatFixed(n.value, 0, 1));
  s.layout.wide.extracted = 0;
  return true;
}

void SetFiltering(Session& s, bool on) {
  s.extractOptions.ignoreShortInterconnects = on;
  ShowStatus(s.platform, on ? "Ignore metal interconnects less than " +
                                  FormatFixed(s.extractOptions.ignoreThreshold, 0, 1) + " \xC2\xB5m"
                            : "All interconnects will be extracted");
  s.layout.wide.extracted = 0;
  EnsureExtracted(s);
}

void ShowHistogram(Session& s) {
  ShowStatus(s.platform, "Compute Histogram");
  ShowStatus(s.platform, "Update the histogram");
  NavigatorState& n = s.navigator;
  n.list.clear();
  for (std::string& line :
       LengthHistogram(s.layout.nodes, s.technology.LAMB, s.extractOptions.ignoreThreshold))
    n.list.push_back({std::move(line), -1, 0});
}

void LowerCrosstalkScale(Session& s) {
  ShowStatus(s.platform, "Lower scale");
  s.navigator.gain = LowerScale(s.navigator.gain);
  FlatCrosstalk(s);
}

void HigherCrosstalkScale(Session& s) {
  ShowStatus(s.platform, "Higher scale");
  s.navigator.gain = HigherScale(s.navigator.gain);
  FlatCrosstalk(s);
}

}  // namespace tarnisk
