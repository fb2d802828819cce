#include "compile/cell_compiler.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <set>

#include "core/number_format.h"
#include "core/progress.h"
#include "core/utf8.h"
#include "gen/contact.h"
#include "gen/path.h"
#include "route/router.h"

namespace tarnisk {

namespace {

constexpr int kGround = 0, kSupply = 1;
constexpr int kNoContact = 0;
const char* kInverterInput = "XXX";
constexpr size_t kMaxWirePoints = 32;

// A diffusion column of the cell: the device's x and the two ends of its
// n and p diffusion.
struct Column {
  int64_t x = 0;
  int64_t nx1 = 0, nx2 = 0, px1 = 0, px2 = 0;
};

// A terminal to wire: a layout point on a diffusion layer.
struct Terminal {
  Point at;
  int layer;
};

class CellBuilder {
 public:
  CellBuilder(CompilerContext& c, LayoutWriter& out, const CheckedEquation& eq,
              bool inverterPending, CompiledCell& cell, bool lowRow)
      : c_(c),
        t_(c.technology),
        out_(out),
        eq_(eq),
        pending_(inverterPending),
        cell_(cell),
        lowRow_(lowRow) {}

  int Build() {
    ShowStatus(c_.progress, "Cell Compiler with " + ValidUtf8(eq_.text) + "...");
    Frame();
    if (const int error = Register(); error != kCompileOk) return error;
    Place();
    Body();
    Touched();
    ReserveTerminals();
    Gates();
    MarkGateContacts();
    if (!Supplies() || !WireWithRetries()) return kCompileNoRoute;
    if (tie_) TieInverterInput(*tie_);
    return kCompileOk;
  }

 private:
  int n() const { return int(cell_.nmos.size()); }
  int p() const { return int(cell_.pmos.size()); }
  int m() const { return std::max(n(), p()); }
  const std::string& Name(int node) const { return cell_.nodes.Name(node); }

  // ---- nodes and devices

  void Frame() {
    cellStart_ = c_.layout.boxes.Count();
    step_ = RoutingStep(t_);
    if (c_.grid.Step() != step_) c_.grid.SetStep(step_);
    const DeviceSizes& s = c_.state.sizes;
    const int64_t c = int64_t{t_.R405} + t_.R401 / 2;
    supplyY_ = 6 * int64_t{step_};
    // A cell drawn again with a low nMOS row has it one step above the
    // ground rail, which leaves two routing tracks between the rows.
    y0_ = (lowRow_ ? 1 : 2) * int64_t{step_};
    cc_ = t_.ContactCellWidth;
    nTop_ = y0_ + c;
    nBottom_ = nTop_ - s.wn;
    pBottom_ = 4 * int64_t{step_} - c;
    pTop_ = pBottom_ + s.wp;
    mid_ = 3 * int64_t{step_};  // the same in every cell: the inverter tie runs there
  }

  int Add(const std::string& name) { return cell_.nodes.Add(name); }
  std::string OutputName(const std::string& output) const {
    return pending_ ? "n" + output : output;
  }

  int Register() {
    const std::string output = OutputIdentifier(eq_.text);
    const std::vector<std::string> inputs = Identifiers(RightHandSide(eq_.text));
    if (output.empty() || inputs.empty()) return kCompileNoInput;
    if (eq_.xorMode) return RegisterXor(output, inputs);
    if (eq_.pass != PassDevice::None) return RegisterPass(output, inputs);
    const std::string normalised = NormalisedEquation(eq_.text);
    const std::string_view rhs = RightHandSide(normalised);
    output_ = Add(OutputName(output));
    std::vector<int> gates;
    for (const std::string& input : inputs) gates.push_back(Add(input));
    if (!BuildNetwork(rhs, kGround, output_, gates, true, cell_.nodes, cell_.nmos) ||
        !BuildNetwork(DualExpression(rhs), kSupply, output_, gates, true, cell_.nodes,
                      cell_.pmos))
      return kCompileNoInput;
    Size();
    return kCompileOk;
  }

  // The XOR cell: an inverter of a, a pass pair that passes a or its
  // complement as b chooses, and an inverter onto the output.
  int RegisterXor(const std::string& output, const std::vector<std::string>& inputs) {
    if (inputs.size() < 2) return kCompileNoInput;
    if (inputs.size() > 2) return kCompileXorInputs;
    const std::string y = OutputName(output);
    const int a = Add(inputs[0]), b = Add(inputs[1]);
    output_ = Add(y);
    const int na = Add("n" + inputs[0]), ny = Add("n" + y);
    for (const int layer : {kDiffn, kDiffp})
      ShowStatus(c_.progress, "Xor into device for " + c_.layout.layers[layer].name);
    cell_.nmos = {{0, 0, a, na, kGround}, {0, 0, b, ny, a}, {0, 0, ny, output_, kGround}};
    cell_.pmos = {{0, 0, a, na, kSupply}, {0, 0, b, ny, na}, {0, 0, ny, output_, kSupply}};
    Size();
    return kCompileOk;
  }

  // One switch from the second identifier to the output, its gate the third.
  int RegisterPass(const std::string& output, const std::vector<std::string>& inputs) {
    if (inputs.size() < 2) return kCompileNoInput;
    output_ = Add(output);
    const int from = Add(inputs[0]), gate = Add(inputs[1]);
    const CompiledDevice d{0, 0, gate, output_, from};
    (eq_.pass == PassDevice::N ? cell_.nmos : cell_.pmos).push_back(d);
    Size();
    return kCompileOk;
  }

  void Size() {
    const DeviceSizes& s = c_.state.sizes;
    for (CompiledDevice& d : cell_.nmos) d.width = s.wn, d.length = s.ln;
    for (CompiledDevice& d : cell_.pmos) d.width = s.wp, d.length = s.lp;
  }

  // ---- placement and body

  // Whether the cells from the ground rail to the supply rail over columns
  // first..last hold nothing but poly, nwell, metal2 or mixed cells.
  bool Free(int64_t first, int64_t last) const {
    for (int64_t x = first; x <= last; ++x)
      for (int64_t y = 0; y <= 6; ++y) {
        const uint8_t code = c_.grid.Code(x, y);
        if (code != kCellFree && code != kCellMixed) return false;
      }
    return true;
  }

  // The first free span of the cell's width from the placement origin; the
  // cell's origin is one step left of it.
  void Place() {
    c_.grid.Rebuild(c_.layout);
    int64_t first = 0;
    while (!Free(first, first + n()) && first + n() < kGridLastX) ++first;
    x0_ = (first - 1) * step_;
  }

  void Box(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int layer) {
    out_.Box(x1, y1, x2, y2, layer);
  }
  void Contact(int64_t x, int64_t y, int kind) {
    DrawContact(out_, t_, {ClampCoordinate(x), ClampCoordinate(y)}, kind);
  }
  void Label(int64_t x, int64_t y, const std::string& name, int property = kPropertyNone) {
    const int before = c_.layout.texts.Count();
    out_.Text(ClampCoordinate(x), ClampCoordinate(y), ValidUtf8(name));
    if (c_.layout.texts.Count() > before) c_.layout.texts[before + 1].property = uint8_t(property);
  }

  bool Breaks(const std::vector<CompiledDevice>& row, int j) const {
    return j < int(row.size()) && (eq_.arrow || row[size_t(j - 1)].right != row[size_t(j)].left);
  }

  void Body() {
    const DeviceSizes& s = c_.state.sizes;
    int64_t shift = 0;
    for (int j = 1; j <= m(); ++j) {
      Column col;
      col.x = x0_ + int64_t{j} * step_ + shift;
      const bool nBreak = Breaks(cell_.nmos, j), pBreak = Breaks(cell_.pmos, j);
      const bool split = j < m() && (nBreak || pBreak || eq_.arrow);
      col.nx1 = col.px1 = col.x - 1;
      col.nx2 = col.px2 = col.x + step_;
      if (split && !nBreak) col.nx2 += step_;
      if (split && !pBreak) col.px2 += step_;
      if (split) shift += step_;
      const int64_t xc = col.x + step_ / 2;
      if (j <= n()) {
        Box(col.nx1, nBottom_, col.nx2, nTop_, kDiffn);
        Box(xc - s.ln / 2, nBottom_ - t_.R307, xc - s.ln / 2 + s.ln, nTop_ + t_.R307, kPoly);
      }
      if (j <= p()) {
        Box(col.px1, pBottom_, col.px2, pTop_, kDiffp);
        Box(xc - s.lp / 2, pBottom_ - t_.R307, xc - s.lp / 2 + s.lp, pTop_ + t_.R307, kPoly);
      }
      columns_.push_back(col);
    }
    const int64_t xa = x0_ + step_ / 2, xb = xa + int64_t{m() + 1} * step_ + shift;
    Box(xa - t_.R203, pBottom_ - t_.R203, xb + 2 * int64_t{t_.R203},
        std::max(supplyY_, pTop_) + t_.R203, kNwell);
    const int64_t railLow = -cc_ / 2, railHigh = railLow + cc_;
    if (nBottom_ - railHigh > cc_) Contact(xa, 0, kContactDiffp);
    if (supplyY_ + railLow - pTop_ > cc_) Contact(xa, supplyY_, kContactDiffn);
    // The rails reach one step further left than the cell, so that they
    // meet the rails of the cell placed before it (the free span begins a
    // grid cell beyond that cell's rail ends).
    rails_ = c_.layout.boxes.Count() + 1;
    Box(xa - step_, railLow, xb + step_, railHigh, kMetal);
    Box(xa - step_, supplyY_ + railLow, xb + step_, supplyY_ + railHigh, kMetal);
    if (c_.state.firstCell && c_.state.labelMode != kLabelNone) {
      Label(xa + 5, 0, "Vss", kPropertyVss);
      Label(xb - 5, supplyY_, "Vdd", kPropertyVdd);
      c_.state.firstCell = false;
    }
  }

  // ---- gate columns, output strips and ports

  // A metal2 strip on x from port to port with a via at each port and one
  // at the mid-height point `midX`.
  void Strip(int64_t x, int64_t midX) {
    const int64_t low = -2 * int64_t{step_}, high = supplyY_ + 2 * step_;
    const int64_t left = x - t_.R701 / 2;
    Box(left, low, left + t_.R701, high, kMetal2);
    Contact(midX, mid_, kContactVia);
    Contact(x, high, kContactVia);
    Contact(x, low, kContactVia);
  }

  void Port(const std::string& name, int64_t x) {
    const int32_t low = ClampCoordinate(-2 * int64_t{step_});
    const int32_t high = ClampCoordinate(supplyY_ + 2 * step_);
    if (c_.state.ports.Record({name, ClampCoordinate(x), low, high, false}))
      ShowStatus2(c_.progress, "IO " + std::to_string(c_.state.ports.io.size()));
  }

  bool SharedGate(int j) const {
    if (eq_.pass != PassDevice::None) return true;
    return j <= n() && j <= p() && cell_.nmos[size_t(j - 1)].gate == cell_.pmos[size_t(j - 1)].gate;
  }

  void Gates() {
    if (eq_.arrow) return;
    const int64_t yt = SnapToGrid(supplyY_, step_), yb = 0;
    const int labels = c_.state.labelMode;
    for (int j = 1; j <= m(); ++j) {
      if (!SharedGate(j)) continue;
      const Column& col = columns_[size_t(j - 1)];
      const CompiledDevice& d = (j <= n() ? cell_.nmos : cell_.pmos)[size_t(j - 1)];
      const std::string& gate = Name(d.gate);
      const bool inverterInput = gate == kInverterInput;
      const int64_t xc = col.x + step_ / 2, x1 = xc - 2;
      Box(x1, nTop_ + t_.R307, xc + 1, pBottom_ - t_.R307, kPoly);
      Box(x1, pTop_ + t_.R307, xc + 1, yt + step_, kPoly);
      Box(x1, yb - step_, xc + 1, nBottom_ - t_.R307, kPoly);
      Contact(x1, yt + step_, kContactPoly);
      Contact(x1, yb - step_, kContactPoly);
      Contact(x1, yt + 2 * step_, kContactVia);
      Contact(x1, yb - 2 * step_, kContactVia);
      Box(x1, yt + step_, x1 + t_.R501, yt + 2 * step_, kMetal);
      Box(x1, yb - 2 * step_, x1 + t_.R501, yb - step_, kMetal);
      if (labels == kLabelAll && !inverterInput) Label(x1 + 2, nTop_ + t_.R307 + 1, gate);
      if (!inverterInput) Port(gate, x1);
      if (inverterInput || (j == m() && !pending_)) {
        Strip(x1 + step_, x1 + step_);
        // The networks' wiring need not pass the strip's via (the XOR and
        // pass-device ties end on it by construction): it is wired to it.
        if (!eq_.xorMode && eq_.pass == PassDevice::None)
          outputVia_ = Terminal{LayoutPointOf(x1 + step_, mid_), kMetal};
        if (labels == kLabelAll || labels == kLabelCellIo)
          Label(x1 + step_ + 1, yt + 2 * step_, Name(output_));
        Port(Name(output_), x1 + step_);
      }
      if (eq_.pass != PassDevice::None) {
        const int from = d.left;
        Strip(x1 - step_, x1 - step_ + step_ / 2);
        if (labels == kLabelAll || labels == kLabelCellIo)
          Label(x1 - step_ + 1, yt + 2 * step_, Name(from));
        Port(Name(from), x1 - step_);
      }
      if (inverterInput && n() == 1) tie_ = col;
    }
  }

  // The added inverter's input joins the output of the cell on its left:
  // a poly contact on the gate at mid-height and a straight metal wire from
  // two steps to the left, where that cell brought its output (OutputPin).
  void TieInverterInput(const Column& col) {
    const int64_t y = SnapToGrid(mid_, step_);
    Contact(col.x, y, kContactPoly);
    Box(col.x, y - 3, col.x + 6, y + 3, kPoly);
    MarkDrawn();
    Wire(col.x - 2 * step_, y, kNoContact, col.x, y, kNoContact);
  }

  // ---- wiring

  static Point LayoutPointOf(int64_t x, int64_t y) { return {ClampCoordinate(x), ClampCoordinate(y)}; }

  // The body stays out of the grid (it was rebuilt before the cell was
  // placed): the router may cross the cell's own poly and lay its wires
  // through the diffusion ends it joins.
  void Touched() {
    marked_ = c_.layout.boxes.Count();
    if (!out_.Result("").Empty()) {
      c_.layout.wide.modified = 1;
      c_.layout.wide.extracted = 0;
    }
  }
  // Each diffusion end is held in the grid as a contact would be: a wire
  // may end there but not pass through, so that no wire of one node runs
  // over another node's terminal before that terminal's contact lands on it.
  void ReserveTerminals() {
    const auto reserve = [&](int64_t x, int64_t y) {
      tarnisk::Box b;
      b.state = kNormal;
      b.layer = kContact;
      b.x1 = b.x2 = ClampCoordinate(x);
      b.y1 = b.y2 = ClampCoordinate(y);
      c_.grid.Mark(b);
    };
    for (int j = 1; j <= m(); ++j) {
      const Column& col = columns_[size_t(j - 1)];
      if (j <= n()) reserve(col.nx1, nTop_), reserve(col.nx2, nTop_);
      if (j <= p()) reserve(col.px1, pBottom_), reserve(col.px2, pBottom_);
    }
  }

  // The gate columns' contacts, vias and metal beyond the rails go into
  // the grid, so that no wire jogging round a row joins them; their poly
  // stays out, as the body's does, and so does the output strip's via at
  // mid-height, which the output's wiring passes through.
  void MarkGateContacts() {
    for (int i = rails_; i <= c_.layout.boxes.Count(); ++i) {
      const tarnisk::Box& b = c_.layout.boxes[i];
      const bool beyondRails = b.y2 < 0 || b.y1 > supplyY_;
      const bool rail = i < rails_ + 2;
      if (b.state != kErased && ((b.layer != kPoly && beyondRails) || rail)) c_.grid.Mark(b);
    }
    Touched();
  }
  // Marks in the grid the ties the builder drew itself since the last time.
  void MarkDrawn() {
    c_.grid.MarkFrom(c_.layout, marked_ + 1);
    Touched();
  }
  void Drawn(const Generated& g) {
    out_.Note(g.status);
    marked_ = c_.layout.boxes.Count();
  }

  bool Route(Terminal from, Terminal to, int jog) {
    OccupancyGrid& grid = c_.grid;
    const RouteEnd a{grid.CellOf(from.at), from.layer}, b{grid.CellOf(to.at), to.layer};
    const RouteResult r = tarnisk::Route(c_.layout, t_, grid, a, b, jog);
    Drawn(r.drawn);
    return r.routed;
  }

  // Each device end on a supply node goes straight to its rail.
  // Two device ends that share a grid cell (one column's right end and the
  // next one's left end) get one wire: a second would find the first in its
  // way and go round over a neighbouring terminal.
  bool Supplies() {
    if (eq_.arrow) return true;
    const int64_t e = int64_t{t_.R401} + t_.R403;
    std::set<std::pair<int64_t, int64_t>> done;
    const auto supply = [&](int64_t x, int64_t y, int layer, int64_t railY, int jog) {
      const Point from = LayoutPointOf(x, y);
      const Point cell = c_.grid.CellOf(from);
      if (!done.insert({cell.x, cell.y}).second) return true;
      return Route({from, layer}, {LayoutPointOf(x, railY), kMetal}, jog);
    };
    for (int j = 1; j <= m(); ++j) {
      const Column& col = columns_[size_t(j - 1)];
      if (j <= n()) {
        const CompiledDevice& d = cell_.nmos[size_t(j - 1)];
        for (const auto& [node, x] : {std::pair{d.left, col.nx1}, {d.right, col.nx2}})
          if (node == kGround && !supply(x, nBottom_ + e, kDiffn, 0, kJogNotAbove)) return false;
      }
      if (j <= p()) {
        const CompiledDevice& d = cell_.pmos[size_t(j - 1)];
        for (const auto& [node, x] : {std::pair{d.left, col.px1}, {d.right, col.px2}})
          if (node == kSupply && !supply(x, pTop_ - e, kDiffp, supplyY_, kJogNotBelow))
            return false;
      }
    }
    return true;
  }

  // The node wiring and the output's connection, laid again while a net
  // fails. First the failing net moves to the front every other try, and
  // those between chain each net's terminals along x instead of row by row.
  // Then, from the first order again, the nets of one row laid before the
  // failing one across its span are bridged over it in metal2 and laid
  // first, and the failing net follows them. Each try starts from the
  // layout and grid as they were.
  bool WireWithRetries() {
    if (eq_.xorMode) return XorWiring() && JoinOutput();
    if (eq_.pass != PassDevice::None) return PassWiring() && JoinOutput();
    if (eq_.arrow) return ArrowWiring() && JoinOutput();
    std::vector<int> first;
    for (int k = 2; k < cell_.nodes.Count(); ++k) first.push_back(k);
    const int boxes = c_.layout.boxes.Count();
    const Journal journal(c_.grid);
    const int tries = 2 * std::max<int>(int(first.size()), 1) + 2;
    for (const bool bridging : {false, true}) {
      std::vector<int> order = first;
      std::set<int> bridged;
      for (int attempt = 0; attempt < tries; ++attempt) {
        std::stable_partition(order.begin(), order.end(),
                              [&](int k) { return bridged.count(k) > 0; });
        const bool alongX = attempt % 2 == 1;
        const int failed = Wiring(order, alongX, bridged);
        if (failed == kWired) return true;
        TakeBack(boxes, 0);
        outputMetal_.clear();
        const auto at = std::find(order.begin(), order.end(), failed);
        if (bridging)
          for (auto k = order.begin(); k != at; ++k)
            if (OnOneRow(*k) && SpansMeet(*k, failed)) bridged.insert(*k);
        if (bridging || alongX) std::rotate(order.begin(), at, at + (at != order.end()));
      }
    }
    return false;
  }

  // Whether the node's terminals all lie on one diffusion row.
  bool OnOneRow(int k) const {
    const std::vector<Terminal> points = TerminalsOf(k);
    return std::all_of(points.begin(), points.end(),
                       [&](const Terminal& t) { return t.layer == points.front().layer; });
  }

  // Whether the terminals of two nodes span overlapping ranges of x.
  bool SpansMeet(int a, int b) const {
    const auto span = [&](int k) {
      std::pair<int32_t, int32_t> r{INT32_MAX, INT32_MIN};
      for (const Terminal& t : TerminalsOf(k))
        r = {std::min(r.first, t.at.x), std::max(r.second, t.at.x)};
      return r;
    };
    const auto [a1, a2] = span(a);
    const auto [b1, b2] = span(b);
    return a1 <= b2 && b1 <= a2;
  }

  // Lays the nets in `order` (a bridged net's terminals joined by a metal2
  // bar where one fits) and then joins the output to its strip's via or
  // pin; returns the net that could not be laid (the output's for its
  // connection), or kWired.
  static constexpr int kWired = -1;
  int Wiring(const std::vector<int>& order, bool alongX, const std::set<int>& bridged) {
    for (const int k : order) {
      std::vector<Terminal> points = TerminalsOf(k);
      if (alongX)
        std::stable_sort(points.begin(), points.end(),
                         [](const Terminal& a, const Terminal& b) { return a.at.x < b.at.x; });
      const int before = c_.layout.boxes.Count();
      for (size_t i = 0; i + 1 < points.size(); ++i) {
        const Terminal &from = points[i], &to = points[i + 1];
        if (bridged.count(k) && from.layer == to.layer && Bridge(from, to)) continue;
        if (!Join(from, to, MetalPointsSince(before))) return k;
      }
      if (k == output_) outputMetal_ = MetalPointsSince(before);
    }
    return JoinOutput() ? kWired : output_;
  }

  // Joins the output to its strip's via and to the pin the added inverter reaches.
  bool JoinOutput() {
    return (!outputVia_ || RouteOutputTo(*outputVia_)) && (!pending_ || RouteOutputTo(OutputPin()));
  }

  // Joins two terminals of a node. A wire that finds no path on its own
  // side of the rows may still find one through the channel between them,
  // or from the node's wiring laid so far (`net`, nearest first), which
  // may wall in the terminal it starts from.
  bool Join(const Terminal& from, const Terminal& to, std::vector<Terminal> net) {
    const bool nn = from.layer == kDiffn && to.layer == kDiffn;
    const bool pp = from.layer == kDiffp && to.layer == kDiffp;
    const int jog = nn ? kJogNotAbove : pp ? kJogNotBelow : kJogAnywhere;
    if (Route(from, to, jog) || (jog != kJogAnywhere && Route(from, to, kJogAnywhere)))
      return true;
    const auto distance = [&](const Terminal& t) {
      return std::abs(int64_t{t.at.x} - to.at.x) + std::abs(int64_t{t.at.y} - to.at.y);
    };
    std::stable_sort(net.begin(), net.end(), [&](const Terminal& a, const Terminal& b) {
      return distance(a) < distance(b);
    });
    for (const Terminal& start : net)
      if (Route(start, to, kJogAnywhere)) return true;
    return Bridge(from, to);
  }

  // Joins two terminals whose metal wire is walled in by another node's
  // wiring: a short wire from each up (or down) to a via, and between the
  // vias a straight metal2 bar over the other wiring. The bar runs on a row
  // between the rails (the nearest first), its vias on free grid cells near
  // the ends.
  bool Bridge(const Terminal& from, const Terminal& to) {
    const Point a = c_.grid.CellOf(from.at), b = c_.grid.CellOf(to.at);
    const int32_t nRow = c_.grid.CellY(nTop_), pRow = c_.grid.CellY(pBottom_);
    std::vector<int32_t> rows;
    for (int32_t row = c_.grid.CellY(0) + 1; row < c_.grid.CellY(supplyY_); ++row)
      if (row != nRow && row != pRow) rows.push_back(row);
    std::stable_sort(rows.begin(), rows.end(), [&](int32_t r, int32_t s) {
      return std::abs(r - a.y) < std::abs(s - a.y);
    });
    for (const int32_t row : rows)
      for (const int da : {0, -1, 1})
        for (const int db : {0, 1, -1}) {
          const Point va{a.x + da, row}, vb{b.x + db, row};
          if (va.x == vb.x || !FreeForBar(va, vb)) continue;
          if (LayBridge(from, va, vb, to)) return true;
        }
    return false;
  }

  // Whether the vias' cells are free in the grid and a metal2 bar with its
  // vias keeps the metal2 spacing from every metal2 box of this cell.
  bool FreeForBar(Point va, Point vb) const {
    if (c_.grid.Code(va.x, va.y) != kCellFree || c_.grid.Code(vb.x, vb.y) != kCellFree)
      return false;
    const int64_t reach = (cc_ + 1) / 2 + t_.R702;
    const int64_t y = int64_t{va.y} * step_;
    const int64_t x1 = int64_t{std::min(va.x, vb.x)} * step_ - reach;
    const int64_t x2 = int64_t{std::max(va.x, vb.x)} * step_ + reach;
    for (int i = cellStart_ + 1; i <= c_.layout.boxes.Count(); ++i) {
      const tarnisk::Box& box = c_.layout.boxes[i];
      if (box.state == kErased || box.layer != kMetal2) continue;
      if (box.x2 > x1 && box.x1 < x2 && box.y2 > y - reach && box.y1 < y + reach) return false;
    }
    return true;
  }

  // The two wires to the vias and the bar; nothing stays when a wire fails.
  bool LayBridge(const Terminal& from, Point va, Point vb, const Terminal& to) {
    const int boxes = c_.layout.boxes.Count();
    const size_t marks = c_.grid.JournalSize();
    const Terminal viaA{LayoutPointOf(int64_t{va.x} * step_, int64_t{va.y} * step_), kMetal2};
    const Terminal viaB{LayoutPointOf(int64_t{vb.x} * step_, int64_t{vb.y} * step_), kMetal2};
    if (Route(from, viaA, kJogAnywhere) && Route(viaB, to, kJogAnywhere)) {
      const int64_t h = t_.R701 / 2;
      Box(std::min(viaA.at.x, viaB.at.x) - h, viaA.at.y - h,
          std::max(viaA.at.x, viaB.at.x) - h + t_.R701, viaA.at.y - h + t_.R701, kMetal2);
      marked_ = c_.layout.boxes.Count();
      return true;
    }
    TakeBack(boxes, marks);
    return false;
  }

  // Removes the boxes after `boxes` and their marks in the grid after `marks`.
  void TakeBack(int boxes, size_t marks) {
    c_.layout.boxes.Truncate(boxes);
    c_.grid.RollBack(marks);
    marked_ = boxes;
  }

  // The grid's journal, open while wiring is laid on trial.
  struct Journal {
    explicit Journal(OccupancyGrid& grid) : grid(grid) { grid.OpenJournal(); }
    ~Journal() { grid.CloseJournal(); }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    OccupancyGrid& grid;
  };

  // The grid points inside the metal boxes drawn after box `before`: the
  // wiring of the node being joined, from which further wires may start.
  std::vector<Terminal> MetalPointsSince(int before) const {
    std::vector<Terminal> points;
    for (int i = before + 1; i <= c_.layout.boxes.Count(); ++i) {
      const tarnisk::Box& b = c_.layout.boxes[i];
      if (b.state != kNormal || b.layer != kMetal) continue;
      for (int64_t x = SnapToGrid(b.x1 + step_ / 2, step_); x <= b.x2; x += step_)
        for (int64_t y = SnapToGrid(b.y1 + step_ / 2, step_); y <= b.y2; y += step_)
          points.push_back({LayoutPointOf(x, y), kMetal});
    }
    return points;
  }

  // A cell whose inverter follows brings its output out to mid-height two
  // steps right of its last column: free ground that the inverter's input
  // wire (TieInverterInput) reaches from the next free span, where the
  // output terminals themselves may lie several columns further left.
  Terminal OutputPin() const {
    return {LayoutPointOf(columns_.back().x + 2 * step_, SnapToGrid(mid_, step_)), kMetal};
  }

  // Joins the output node to `target` (the output strip's via, or the pin
  // of OutputPin): the output's wiring and then its terminals are tried
  // from the right until one routes (a terminal is often walled in by its
  // own wires).
  bool RouteOutputTo(const Terminal& target) {
    std::vector<Terminal> outputs = TerminalsOf(output_);
    outputs.insert(outputs.begin(), outputMetal_.begin(), outputMetal_.end());
    std::stable_sort(outputs.begin(), outputs.end(),
                     [](const Terminal& a, const Terminal& b) { return a.at.x > b.at.x; });
    for (const Terminal& from : outputs)
      if (Route(from, target, kJogAnywhere)) return true;
    return outputs.empty();
  }

  // The diffusion ends on node k: the nMOS row's left to right at the top
  // of the n diffusion, then the pMOS row's from the last column to the
  // first at the bottom of the p diffusion; at most 32.
  std::vector<Terminal> TerminalsOf(int k) const {
    std::vector<Terminal> points;
    const auto add = [&](int64_t x, int64_t y, int layer) {
      const Terminal t{LayoutPointOf(x, y), layer};
      if (points.size() < kMaxWirePoints) points.push_back(t);
      else points.back() = t;
    };
    for (int j = 1; j <= n(); ++j) {
      const CompiledDevice& d = cell_.nmos[size_t(j - 1)];
      const Column& col = columns_[size_t(j - 1)];
      if (d.left == k) add(col.nx1, nTop_, kDiffn);
      if (d.right == k) add(col.nx2, nTop_, kDiffn);
    }
    for (int j = p(); j >= 1; --j) {
      const CompiledDevice& d = cell_.pmos[size_t(j - 1)];
      const Column& col = columns_[size_t(j - 1)];
      if (d.left == k) add(col.px1, pBottom_, kDiffp);
      if (d.right == k) add(col.px2, pBottom_, kDiffp);
    }
    return points;
  }

  // Each nMOS device's ends go to the ends of the pMOS device above it.
  bool ArrowWiring() {
    for (int j = 1; j <= std::min(n(), p()); ++j) {
      const Column& col = columns_[size_t(j - 1)];
      if (!Route({LayoutPointOf(col.nx1, nTop_), kDiffn}, {LayoutPointOf(col.px1, pBottom_), kDiffp},
                 kJogAnywhere) ||
          !Route({LayoutPointOf(col.nx2, nTop_), kDiffn}, {LayoutPointOf(col.px2, pBottom_), kDiffp},
                 kJogAnywhere))
        return false;
    }
    return true;
  }

  void Wire(int64_t ax, int64_t ay, int kindA, int64_t bx, int64_t by, int kindB) {
    Drawn(StraightWire(c_.layout, t_, c_.grid, LayoutPointOf(ax, ay), kindA, LayoutPointOf(bx, by),
                       kindB));
  }

  bool XorWiring() {
    if (columns_.size() < 3) return true;
    const Column &c1 = columns_[0], &c2 = columns_[1], &c3 = columns_[2];
    const int64_t yl = nBottom_ - step_;
    Wire(c1.nx2, nBottom_, kContactDiffn, c1.nx2, pBottom_, kContactDiffp);  // n a
    Wire(c2.nx2, nBottom_, kContactDiffn, c2.px2, pBottom_, kContactDiffp);  // n y
    Wire(c2.nx1, yl, kNoContact, c2.nx1, nBottom_, kContactDiffn);           // a, device 2
    Wire(c1.nx2, yl, kContactPoly, c2.nx1, yl, kNoContact);                  // a, input
    Box(c1.nx2 - step_ / 2, yl, c1.nx2, yl + cc_, kPoly);
    MarkDrawn();
    const int before = c_.layout.boxes.Count();
    Wire(c3.nx2, nTop_, kContactDiffn, c3.px2, pBottom_, kContactDiffp);  // y
    outputMetal_ = MetalPointsSince(before);
    Wire(c2.nx2, mid_, kNoContact, c3.nx1, mid_, kContactPoly);           // n y to gates 3
    return true;
  }

  // Each end of the pass device's diffusion goes up (or down) to mid-height.
  bool PassWiring() {
    const Column& col = columns_.front();
    const bool nType = eq_.pass == PassDevice::N;
    const int64_t y = nType ? nBottom_ : pTop_;
    const int kind = nType ? kContactDiffn : kContactDiffp;
    for (const int64_t x : nType ? std::array{col.nx1, col.nx2} : std::array{col.px1, col.px2})
      Wire(x, y, kind, x, mid_, kNoContact);
    return true;
  }

  CompilerContext& c_;
  const Technology& t_;
  LayoutWriter& out_;
  const CheckedEquation& eq_;
  bool pending_;
  CompiledCell& cell_;
  bool lowRow_;
  std::optional<Terminal> outputVia_;  // the output strip's via at mid-height
  std::vector<Terminal> outputMetal_;  // the output's wiring, see MetalPointsSince
  std::optional<Column> tie_;        // the column of an added inverter's input
  int32_t step_ = 1;
  int64_t x0_ = 0, y0_ = 0, supplyY_ = 0, cc_ = 0;
  int64_t nBottom_ = 0, nTop_ = 0, pBottom_ = 0, pTop_ = 0, mid_ = 0;
  int output_ = 2;
  std::vector<Column> columns_;
  int marked_ = 0;
  int rails_ = 0;
  int cellStart_ = 0;  // the last box before the cell's  // the ground rail's box; the supply rail's follows it
};

// Builds a cell; a cell of networks whose wires do not all fit is taken
// away and drawn once more with its nMOS row lowered, which gives the
// wiring a second track between the rows.
int BuildCell(CompilerContext& c, LayoutWriter& out, const CheckedEquation& eq, bool pending,
              CompiledCell& cell) {
  const int boxes = c.layout.boxes.Count(), texts = c.layout.texts.Count();
  const CompilerState state = c.state;
  const int error = CellBuilder(c, out, eq, pending, cell, false).Build();
  if (error != kCompileNoRoute || eq.xorMode || eq.pass != PassDevice::None) return error;
  c.layout.boxes.Truncate(boxes);
  c.layout.texts.Truncate(texts);
  c.state = state;
  cell = CompiledCell{};
  return CellBuilder(c, out, eq, pending, cell, true).Build();
}

std::string CompilerErrorMessage(int code, const std::string& equation) {
  return "Compiler error " + std::to_string(code) + " with equation " + Quoted(ValidUtf8(equation));
}

void Say(CompilerContext& c, CompileResult& r, const std::string& message) {
  ShowStatus(c.progress, message);
  r.message = message;
}

}  // namespace

DeviceSizes DefaultDeviceSizes(const Technology& t) {
  return {t.VerilogCellWidth, t.VerilogPolyWidth, t.VerilogTrackPitch, t.VerilogGateSize};
}

CompileResult CompileEquation(CompilerContext& c, const std::string& equation) {
  CompileResult r;
  LayoutWriter out(c.layout);
  const CheckedEquation checked = CheckEquation(equation);
  if (checked.error != kCompileOk || checked.text.empty()) {
    r.error = checked.error;
    Say(c, r, CompilerErrorMessage(checked.error, checked.text));
    return r;
  }
  if (checked.xorMode) ShowStatus2(c.progress, "Xor");
  r.checked = true;
  Say(c, r, "Compile " + ValidUtf8(checked.text) + "...");
  r.cells.reserve(2);
  r.cells.emplace_back();
  r.error = BuildCell(c, out, checked, checked.inverter, r.cells.back());
  if (r.error == kCompileXorInputs) {
    Say(c, r, CompilerErrorMessage(r.error, equation));
    r.drawn = out.Result(r.message);
    return r;
  }
  if (checked.inverter && r.error != kCompileNoInput) {
    Say(c, r, "Add inverter");
    CheckedEquation inverter;
    inverter.text = OutputIdentifier(checked.text) + "=" + kInverterInput;
    inverter.inverter = false;
    r.cells.emplace_back();
    const int error = BuildCell(c, out, inverter, false, r.cells.back());
    if (error != kCompileOk) r.error = error;
  } else {
    Say(c, r, "Compiler : no inverter");
  }
  r.drawn = out.Result(r.message);
  return r;
}

}  // namespace tarnisk
