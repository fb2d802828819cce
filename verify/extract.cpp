#include "verify/extract.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/box_index.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "core/progress.h"
#include "core/technology.h"
#include "models/mos_models.h"
#include "verify/drc_grid.h"
#include "verify/parasitics.h"

namespace tarnisk {

namespace {

using ConnectionTable = std::array<std::array<bool, kLayerCount + 1>, kLayerCount + 1>;

// Which layers join one node when their boxes touch. Diffusion does not
// connect to the gate layers, so a gate separates its two diffusion nodes.
ConnectionTable MakeConnections() {
  ConnectionTable t{};
  for (int layer = 1; layer <= kLayerCount; ++layer) t[layer][layer] = true;
  const std::pair<int, int> pairs[] = {
      {kNwell, kDiffn},   {kContact, kDiffp}, {kContact, kDiffn}, {kContact, kPoly},
      {kContact, kMetal}, {kContact, kGaten}, {kContact, kGatep}, {kPoly, kGaten},
      {kPoly, kGatep},    {kMetal, kVia},     {kVia, kMetal2},    {kMetal2, kVia2},
      {kMetal2, kPassiv}, {kVia2, kMetal3},   {kMetal3, kVia3},   {kMetal3, kPassiv},
      {kVia3, kMetal4},   {kMetal4, kVia4},   {kMetal4, kPassiv}, {kVia4, kMetal5},
      {kMetal5, kPassiv}};
  for (const auto& [a, b] : pairs) t[a][b] = t[b][a] = true;
  return t;
}

const ConnectionTable kConnects = MakeConnections();

std::string Plain(int64_t n) { return std::to_string(n); }

// ---- Gate splitting --------------------------------------------------------

// Cell codes: 1 diffn, 2 diffp (over diffn), plus 4 under poly.
constexpr uint8_t kCellDiffn = 1, kCellDiffp = 2, kCellPoly = 4;

uint8_t CellCode(uint8_t painted) {
  const uint8_t diffusion = (painted & kCellDiffp) ? kCellDiffp : (painted & kCellDiffn);
  return diffusion | (painted & kCellPoly);
}

// Covers every cell of `code` with rectangles: from the first such cell
// (columns left to right, rows upward) along its row, then up while the
// whole span has the code. Cells already covered are cleared, so one pass in
// scan order finds the same rectangles as restarting the scan each time.
void CoverCells(const DrcGrid& grid, std::vector<uint8_t>& cells, int stride, uint8_t code,
                std::vector<Rect>& pieces) {
  auto at = [&](int i, int j) -> uint8_t& { return cells[size_t(i) * stride + j]; };
  for (int i = 1; i <= grid.NX(); ++i)
    for (int j = 1; j <= grid.NY(); ++j) {
      if (at(i, j) != code) continue;
      int i2 = i;
      while (i2 + 1 <= grid.NX() && at(i2 + 1, j) == code) ++i2;
      int j2 = j;
      auto rowHasCode = [&](int row) {
        for (int k = i; k <= i2; ++k)
          if (at(k, row) != code) return false;
        return true;
      };
      while (j2 + 1 <= grid.NY() && rowHasCode(j2 + 1)) ++j2;
      for (int k = i; k <= i2; ++k)
        for (int row = j; row <= j2; ++row) at(k, row) = 0;
      pieces.push_back({grid.X(i), grid.Y(j), grid.X(i2 + 1), grid.Y(j2 + 1)});
    }
}

// Records a table that filled: the first one is the run's table, and every
// one's warning says what was left out.
void TableFull(ExtractionRun& s, TableStatus table, const std::string& warning) {
  if (s.circuit.table == kTableOk) s.circuit.table = table;
  s.circuit.warnings.push_back(warning);
  ShowStatus(s.progress, warning);
}

// ---- Node numbering ---------------------------------------------------------

// Union-find over the box table, for the fast numbering.
class Components {
 public:
  explicit Components(int n) : parent_(size_t(n) + 1) { std::iota(parent_.begin(), parent_.end(), 0); }
  int Find(int i) {
    while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
    return i;
  }
  void Join(int a, int b) {
    a = Find(a), b = Find(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<int> parent_;
};

// The boxes connected to box `start` among those without a node, with index
// start or above, by flooding through the connecting layers.
std::vector<int> FloodPlain(ExtractionRun& s, int start) {
  auto& boxes = s.layout.boxes;
  const LayoutWideState& w = s.layout.wide;
  std::vector<int> members{start};
  boxes[start].node = -2;  // in the node being built
  for (size_t k = 0; k < members.size(); ++k) {
    const Box& q = boxes[members[k]];
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      if (!kConnects[q.layer][layer]) continue;
      for (int b = std::max(w.layerFirst[layer], start); b <= w.layerLast[layer]; ++b)
        if (boxes[b].node == -1 && BoxIntersects(s.layout, b, RectOf(q))) {
          boxes[b].node = -2;
          members.push_back(b);
        }
    }
  }
  return members;
}

// Every box's component, found through a spatial index.
std::vector<std::vector<int>> ComponentsFast(ExtractionRun& s) {
  const int n = s.layout.boxes.Count();
  Components uf(n);
  const BoxIndex index(s.layout, 1, n);
  for (int a = 1; a <= n; ++a) {
    const Box& box = s.layout.boxes[a];
    for (int b : index.Touching(RectOf(box)))
      if (b > a && kConnects[box.layer][s.layout.boxes[b].layer]) uf.Join(a, b);
  }
  std::vector<std::vector<int>> members(size_t(n) + 1);
  for (int i = 1; i <= n; ++i) members[size_t(uf.Find(i))].push_back(i);
  return members;
}

// Adds the measures of the node's boxes, in table order.
void AccumulateNode(ExtractionRun& s, int node, std::vector<int>& members) {
  std::sort(members.begin(), members.end());
  nodeBaseRecord& n = s.layout.nodes.nodes[node];
  for (int i : members) {
    Box& b = s.layout.boxes[i];
    b.node = node;
    const int32_t w = b.x2 - b.x1, h = b.y2 - b.y1;
    n.InterconnectLength += std::max(w, h);
    const double squares = double(std::max(w, h)) / std::min(w, h);
    const double r = squares * s.layout.layers[b.layer].sheetResistance;
    if (b.layer == kDiffp || b.layer == kDiffn || b.layer == kPoly) n.PolyDiffResistance += r;
    else if (b.layer >= kMetal) n.MetalResistance += r;
    if (b.layer == kDiffp || b.layer == kDiffn) n.NoDiffusion = 0;
  }
}

void ShowNumberingProgress(ExtractionRun& s, int box) {
  const int count = s.layout.nodes.count;
  if (count >= 50 && count % 16 != 2) return;
  const std::string p = FormatFixed(100.0 * box / s.layout.boxes.Count(), 4, 1);
  const std::string ignored = s.options.ignoreShortInterconnects
                                  ? std::string("(") + Plain(s.circuit.ignoredNodes) + " ignored) "
                                  : "";
  ShowStatus(s.progress, "Extracting " + Plain(count) + " nodes, " + ignored + p + " % complete");
}

// A node shorter than the threshold is given back: its boxes join node 0.
void ReleaseShortNode(ExtractionRun& s, int node, const std::vector<int>& members) {
  NodeTable& t = s.layout.nodes;
  const double microns = t.nodes[node].InterconnectLength * s.technology.LAMB;
  if (microns >= s.options.ignoreThreshold) return;
  for (int i : members) s.layout.boxes[i].node = 0;
  ++s.circuit.ignoredNodes;
  t.nodes[node] = {};
  t.count = std::max(1, t.count - 1);
}

// ---- Transistor recognition -------------------------------------------------

// The boxes of one layer that touch a rectangle: through a spatial index on
// the fast path, by scanning the layer otherwise.
class LayerLookup {
 public:
  LayerLookup(const Layout& layout, int layer, bool fast)
      : layout_(layout), first_(layout.wide.layerFirst[layer]), last_(layout.wide.layerLast[layer]) {
    if (fast) index_.emplace(layout, first_, last_);
  }
  std::vector<int> Touching(const Rect& r) const {
    return index_ ? index_->Touching(r) : TouchingPlain(layout_, first_, last_, r);
  }

 private:
  const Layout& layout_;
  int first_, last_;
  std::optional<BoxIndex> index_;
};

void AddOrMergeDevice(ExtractionRun& s, std::vector<MosDevice>& table, MosDevice d, bool pmos) {
  for (MosDevice& m : table)
    if (m.Gate == d.Gate && ((m.Source == d.Source && m.Drain == d.Drain) ||
                             (m.Source == d.Drain && m.Drain == d.Source))) {
      m.W += d.W;
      m.L = std::max(m.L, d.L);
      m.Wm = EffectiveWidth(s.technology, m.W);
      m.Leff = EffectiveLength(s.technology, s.options.modelLevel, m.L, pmos);
      return;
    }
  if (int(table.size()) >= kMaxMosDevices) {
    ++s.circuit.leftOutDevices[pmos];
    return;
  }
  if (d.Drain == 0 || d.Drain == 1) std::swap(d.Source, d.Drain);
  d.L = std::max(2, d.L);
  d.Wm = EffectiveWidth(s.technology, d.W);
  d.Leff = EffectiveLength(s.technology, s.options.modelLevel, d.L, pmos);
  table.push_back(d);
}

void RecognizeType(ExtractionRun& s, int diffusion, int gate, bool pmos, bool fast) {
  const Layout& l = s.layout;
  const LayoutWideState& w = l.wide;
  std::vector<MosDevice>& table = pmos ? s.circuit.pmos : s.circuit.nmos;
  table.clear();
  s.circuit.leftOutDevices[pmos] = 0;
  const LayerLookup diffs(l, diffusion, fast), wells(l, kNwell, fast);
  for (int g = w.layerFirst[gate]; g <= w.layerLast[gate]; ++g) {
    const Box& gb = l.boxes[g];
    const std::vector<int> touching = diffs.Touching(RectOf(gb));
    if (touching.empty()) continue;
    const int a = l.boxes[touching[0]].node;
    const auto second = std::find_if(touching.begin(), touching.end(),
                                     [&](int d) { return l.boxes[d].node != a; });
    if (second == touching.end()) continue;
    const Box& db = l.boxes[*second];
    const bool horizontal = db.x2 == gb.x1 || db.x1 == gb.x2;
    MosDevice d;
    d.Gate = gb.node;
    d.Source = a;
    d.Drain = db.node;
    d.GateBox = g;
    d.W = horizontal ? gb.y2 - gb.y1 : gb.x2 - gb.x1;
    d.L = horizontal ? gb.x2 - gb.x1 : gb.y2 - gb.y1;
    if (pmos) {
      const std::vector<int> under = wells.Touching(RectOf(gb));
      d.Bulk = under.empty() ? 0 : l.boxes[under[0]].node;
      if (under.empty()) ++s.circuit.wellMissing;
    }
    AddOrMergeDevice(s, table, d, pmos);
    if (table.size() % 16 == 1)
      ShowStatus(s.progress, std::string("MOS device") + (pmos ? "P" : "N") + Plain(table.size()));
  }
}

// ---- Texts and resistance marks ---------------------------------------------

// The last box in table order that contains p, or 0.
int LastBoxContaining(const Layout& layout, const std::optional<BoxIndex>& index, Point p) {
  const std::vector<int> near =
      index ? index->Touching({p.x, p.y, p.x, p.y})
            : TouchingPlain(layout, 1, layout.boxes.Count(), {p.x, p.y, p.x, p.y});
  return near.empty() ? 0 : near.back();
}

void AttachText(ExtractionRun& s, int textIndex, int node) {
  LayoutText& t = s.layout.texts[textIndex];
  t.node = node;
  t.state = 2;
  if (node < 0) return;  // the node table overflowed before this box was reached
  nodeBaseRecord& n = s.layout.nodes.nodes[node];
  if (n.property != kPropertyNone) return;
  n.name = t.text;
  n.highLevel = t.highLevel;
  n.lowLevel = t.lowLevel;
  n.property = t.property;
  n.edgeTimes = t.edgeTimes;
  if (t.visible) n.display = 2;
}

void AttachTexts(ExtractionRun& s, const std::optional<BoxIndex>& index) {
  Layout& l = s.layout;
  for (int k = 0; k <= l.nodes.count; ++k) l.nodes.nodes[k].display = 1;
  for (int t = 1; t <= l.texts.Count(); ++t) l.texts[t].state = 1;
  // Boxes are visited from the last to the first, and each text goes to the
  // first box that holds its anchor: the last one in table order.
  std::vector<std::pair<int, int>> order;  // (box, text)
  for (int t = 1; t <= l.texts.Count(); ++t) {
    const int box = LastBoxContaining(l, index, {l.texts[t].x, l.texts[t].y});
    if (box != 0) order.emplace_back(box, t);
  }
  std::sort(order.begin(), order.end(), [](const auto& p, const auto& q) {
    return p.first != q.first ? p.first > q.first : p.second < q.second;
  });
  for (const auto& [box, t] : order) AttachText(s, t, l.boxes[box].node);
  for (int t = 1; t <= l.texts.Count(); ++t) {
    LayoutText& text = l.texts[t];
    text.state = 1;
    const bool timed = text.property == kPropertyPulse || text.property == kPropertyClock;
    if (timed && text.node >= 0 && l.nodes.nodes[text.node].name == text.text)
      l.nodes.nodes[text.node].NoDiffusion = 0;
  }
}

void AttachMarks(ExtractionRun& s, const std::optional<BoxIndex>& index) {
  Layout& l = s.layout;
  auto nodeAt = [&](Point p) {
    const int box = LastBoxContaining(l, index, p);
    return box == 0 ? 0 : std::max(0, l.boxes[box].node);
  };
  for (int i = 1; i <= l.resistances.Count(); ++i) {
    ResistanceMark& m = l.resistances[i];
    const ParsedNumber ohms = ParseNumber(m.text, 0.1, 100000, 1000);
    if (ohms.ok) m.value = ohms.value;
    m.nodeA = nodeAt({m.x, m.y});
    m.nodeB = nodeAt({m.x + 5, m.y});
  }
}

// ---- The run ----------------------------------------------------------------

struct RunClock {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
};

// The counts of the run; a run that left something out does not call
// itself complete.
std::string SummaryLine(const ExtractionRun& s, bool complete, double elapsed, double fill) {
  const Layout& l = s.layout;
  const Circuit& e = s.circuit;
  std::string line = std::string(complete ? "Extraction complete :" : "Extraction incomplete :") +
                     Plain(l.boxes.Count()) + " boxes, " +
                     Plain(e.nmos.size()) + " nMOS," + Plain(e.pmos.size()) + " pMOS, ";
  if (l.resistances.Count() > 0) line += Plain(l.resistances.Count()) + " res, ";
  return line + Plain(l.nodes.count) + " nodes, in " + FormatFixed(elapsed, 5, 1) + " s, (" +
         FormatFixed(fill, 3, 1) + "% full)";
}

// Gate boxes exist only during a run; they return to their diffusion.
void RestoreGates(ExtractionRun& s) {
  auto& boxes = s.layout.boxes;
  for (int i = 1; i <= boxes.Count(); ++i) {
    Box& b = boxes[i];
    if (b.layer == kGaten) b.layer = kDiffn;
    if (b.layer == kGatep) b.layer = kDiffp;
    b.state = kNormal;
  }
}

enum class RunEnd { Complete, Incomplete, Overload };

void ReportLeftOutDevices(ExtractionRun& s) {
  for (const bool pmos : {false, true})
    if (const int n = s.circuit.leftOutDevices[pmos])
      TableFull(s, kErrorDeviceTableFull,
                std::string(pmos ? "pMOS" : "nMOS") + " table full (" + Plain(kMaxMosDevices) +
                    " devices): " + Plain(n) + " transistors left out");
}

// The couplings of nodes beyond the coupling table are left out.
void ReportLeftOutCouplings(ExtractionRun& s) {
  if (const int n = s.circuit.coupling.LeftOut())
    TableFull(s, kErrorCouplingTableFull,
              "Coupling table full (" + Plain(kMaxCoupledNode) + " nodes): " + Plain(n) +
                  " couplings of higher nodes left out");
}

RunEnd RunSteps(ExtractionRun& s, double& fill) {
  const bool fast = s.options.fast;
  ClearNodes(s.layout);
  if (s.options.cleaningMode != kFastExtraction)
    if (const int uncut = CleanBoxes(s, s.options.cleaningMode, fast))
      TableFull(s, kErrorBoxTableFull,
                "Box table full (" + Plain(kMaxBoxes) + " boxes): " + Plain(uncut) +
                    " overlapping box pairs left uncut while cleaning");
  Purge(s.layout);
  OrderBoxesByLayer(s.layout, s.progress);
  ComputeExtent(s.layout);
  ShowStatus(s.progress, "Extract MOS devices...");
  int columns = 0, rows = 0;
  const bool cut = SplitGates(s, columns, rows);
  s.circuit.gridColumns = columns, s.circuit.gridRows = rows;
  fill = std::max({100.0 * std::max(columns, rows) / 2000, 100.0 * s.layout.boxes.Count() / kMaxBoxes,
                   100.0 * s.layout.nodes.count / kMaxNodeNumber});
  if (!cut) return RunEnd::Incomplete;
  ShowStatus(s.progress, "Prepare for node extraction...");
  if (!NumberNodes(s, fast)) return RunEnd::Incomplete;
  RecognizeTransistors(s, fast);
  ReportLeftOutDevices(s);
  ComputeCapacitances(s.layout, s.technology, s.progress);
  if (s.options.Crosstalk()) {
    if (ComputeCrosstalk(s) != 0) {
      if (s.circuit.table == kTableOk) s.circuit.table = kErrorCouplingTableFull;
      ShowStatus(s.progress, "Crosstalk extraction : data base overload");
      return RunEnd::Overload;
    }
    ReportLeftOutCouplings(s);
  }
  OrderBoxesByLayer(s.layout, s.progress);
  AttachTextsAndMarks(s, fast);
  return s.circuit.table == kTableOk ? RunEnd::Complete : RunEnd::Incomplete;
}

}  // namespace

bool SplitGates(ExtractionRun& s, int& gridColumns, int& gridRows) {
  DrcGrid grid(s.layout);
  const DrcPaint paints[] = {{kDiffn, kCellDiffn}, {kDiffp, kCellDiffp}, {kPoly, kCellPoly}};
  const bool built = grid.Build(paints);
  gridColumns = grid.MaxColumns();
  gridRows = grid.MaxRows();
  if (!built) {
    const std::string warning =
        std::string("Too much diffusion in ") + (grid.MaxColumns() >= kDrcMaxColumns ? "X" : "Y");
    s.circuit.warnings.push_back(warning);
    ShowStatus(s.progress, warning);
    return false;
  }
  const DrcLines columns = grid.Columns();
  std::vector<uint8_t> cells(size_t(columns.count + 2) * columns.stride);
  for (size_t k = 0; k < cells.size(); ++k) cells[k] = CellCode(columns.cells[k]);
  const std::pair<uint8_t, int> targets[] = {{kCellDiffn, kDiffn},
                                             {kCellDiffp, kDiffp},
                                             {kCellDiffn | kCellPoly, kGaten},
                                             {kCellDiffp | kCellPoly, kGatep}};
  std::vector<Rect> pieces[4];
  size_t pieceCount = 0;
  for (int t = 0; t < 4; ++t) {
    CoverCells(grid, cells, columns.stride, targets[t].first, pieces[t]);
    pieceCount += pieces[t].size();
  }
  // The diffusion boxes give way to the pieces only when all of them fit:
  // a partial cut would lose diffusion from the drawing.
  auto& boxes = s.layout.boxes;
  int kept = 0;
  for (int i = 1; i <= boxes.Count(); ++i)
    if (boxes[i].state != kErased && boxes[i].layer != kDiffn && boxes[i].layer != kDiffp) ++kept;
  if (size_t(kept) + pieceCount > size_t(kMaxBoxes)) {
    TableFull(s, kErrorBoxTableFull,
              "Box table full (" + Plain(kMaxBoxes) + " boxes): the gates need " +
                  Plain(int64_t(size_t(kept) + pieceCount) - kMaxBoxes) +
                  " more, no transistor extracted");
    return false;
  }
  for (int i = 1; i <= boxes.Count(); ++i)
    if (boxes[i].layer == kDiffn || boxes[i].layer == kDiffp) boxes[i].state = kErased;
  Purge(s.layout);
  for (int t = 0; t < 4; ++t)
    for (const Rect& r : pieces[t])
      AddBox(s.layout, r.xmin, r.ymin, r.xmax, r.ymax, targets[t].second);
  return true;
}

bool NumberNodes(ExtractionRun& s, bool fast) {
  Purge(s.layout);
  OrderBoxesByLayer(s.layout, s.progress);
  auto& boxes = s.layout.boxes;
  for (int i = 1; i <= boxes.Count(); ++i) boxes[i].node = -1;
  s.circuit.ignoredNodes = 0;
  std::vector<std::vector<int>> components = fast ? ComponentsFast(s) : std::vector<std::vector<int>>{};
  for (int i = 1; i <= boxes.Count(); ++i) {
    if (boxes[i].node != -1) continue;
    const int node = AddNode(s.layout, "?");
    if (node < 0) {
      int left = 0;
      for (int j = i; j <= boxes.Count(); ++j) left += boxes[j].node == -1;
      TableFull(s, kErrorNodeTableFull,
                "Node table full (" + Plain(kMaxNodeNumber) + " nodes): " + Plain(left) +
                    " boxes left without a node");
      return false;
    }
    ShowNumberingProgress(s, i);
    std::vector<int> members = fast ? std::move(components[size_t(i)]) : FloodPlain(s, i);
    AccumulateNode(s, node, members);
    if (s.options.ignoreShortInterconnects) ReleaseShortNode(s, node, members);
  }
  return true;
}

void RecognizeTransistors(ExtractionRun& s, bool fast) {
  s.circuit.wellMissing = 0;
  RecognizeType(s, kDiffn, kGaten, false, fast);
  RecognizeType(s, kDiffp, kGatep, true, fast);
  if (s.circuit.wellMissing > 0) ShowStatus(s.progress, "Warning : well missing in pMOS");
}

void AttachTextsAndMarks(ExtractionRun& s, bool fast) {
  std::optional<BoxIndex> index;
  if (fast) index.emplace(s.layout, 1, s.layout.boxes.Count());
  AttachTexts(s, index);
  AttachMarks(s, index);
}

Circuit ExtractLayout(Layout& layout, Technology& technology, const ExtractOptions& options,
                      Progress& progress) {
  const RunClock clock;
  UpdateTemperature(technology, technology.TEMP);
  Circuit circuit;
  ExtractionRun s{layout, technology, options, circuit, progress};
  double fill = 0;
  const RunEnd end = RunSteps(s, fill);
  if (circuit.wellMissing > 0) circuit.warnings.push_back("Warning : well missing in pMOS");
  RestoreGates(s);
  if (end == RunEnd::Overload) {
    circuit.summary = "Crosstalk extraction : data base overload";
    circuit.warnings.push_back(circuit.alert);
    circuit.warnings.push_back(circuit.summary);
    return circuit;
  }
  circuit.fill = fill;
  circuit.elapsed = clock.Seconds();
  circuit.complete = end == RunEnd::Complete;
  circuit.summary = SummaryLine(s, circuit.complete, circuit.elapsed, fill);
  layout.wide.extracted = circuit.complete;
  return circuit;
}

bool LayersConnect(int a, int b) {
  return a >= 1 && a <= kLayerCount && b >= 1 && b <= kLayerCount && kConnects[a][b];
}

std::vector<int> FloatingNodes(const Layout& layout) {
  std::vector<int> floating;
  for (int k = 2; k <= layout.nodes.count; ++k)
    if (layout.nodes.nodes[k].NoDiffusion) floating.push_back(k);
  return floating;
}

TableStatus EnsureNodeText(Layout& l, int node) {
  const std::string& name = l.nodes.nodes[node].name;
  for (int t = 1; t <= l.texts.Count(); ++t)
    if (l.texts[t].text == name) return kTableOk;
  for (int i = 1; i <= l.boxes.Count(); ++i)
    if (l.boxes[i].node == node) return AddLayoutText(l, l.boxes[i].x1, l.boxes[i].y1, name);
  return kTableOk;
}

}  // namespace tarnisk
