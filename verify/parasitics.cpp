#include "verify/parasitics.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/box_index.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/technology.h"
#include "verify/drc_grid.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

int64_t Area(const Box& b) { return int64_t{b.x2 - b.x1} * (b.y2 - b.y1); }
int64_t HalfPerimeter(const Box& b) { return int64_t{b.x2 - b.x1} + (b.y2 - b.y1); }
int64_t OverlapArea(const Box& a, const Box& b) {
  const int64_t w = int64_t{std::min(a.x2, b.x2)} - std::max(a.x1, b.x1);
  const int64_t h = int64_t{std::min(a.y2, b.y2)} - std::max(a.y1, b.y1);
  return w > 0 && h > 0 ? w * h : 0;
}

template <class F>
void ForLayer(const Layout& l, int layer, F f) {
  for (int i = l.wide.layerFirst[layer]; i <= l.wide.layerLast[layer]; ++i) f(l.boxes[i]);
}

// Calls f(a, b) for each box a of `lower` and each box b of `upper` that
// touches it, b in table order.
template <class F>
void ForCrossings(const Layout& l, int lower, int upper, F f) {
  const BoxIndex index(l, l.wide.layerFirst[upper], l.wide.layerLast[upper]);
  ForLayer(l, lower, [&](const Box& a) {
    for (int b : index.Touching(RectOf(a))) f(a, l.boxes[b]);
  });
}

struct MetalCapacitance {
  int layer;
  double Technology::*area;
  double Technology::*line;
};

const MetalCapacitance kMetals[] = {{kMetal, &Technology::CMEB, &Technology::CMEL},
                                    {kMetal2, &Technology::CM2B, &Technology::CM2L},
                                    {kMetal3, &Technology::CM3B, &Technology::CM3L},
                                    {kMetal4, &Technology::CM4B, &Technology::CM4L},
                                    {kMetal5, &Technology::CM5B, &Technology::CM5L}};

class CapacitanceSum {
 public:
  CapacitanceSum(const Layout& layout, Progress& progress, std::vector<double>& caps)
      : layout_(layout), progress_(progress), caps_(caps) {}
  void Status(const std::string& title) const {
    ShowStatus(progress_, "Compute Capas : " + title);
  }
  template <class F>
  void Add(int layer, F perBox) const {
    ForLayer(layout_, layer, [&](const Box& b) {
      if (b.node >= 0) caps_[size_t(b.node)] += perBox(b);
    });
  }

 private:
  const Layout& layout_;
  Progress& progress_;
  std::vector<double>& caps_;
};

// ---- Lateral coupling ----------------------------------------------------------

struct LateralLayer {
  int layer;
  double Technology::*capacitance;
  int32_t Technology::*reach;
};

const LateralLayer kLateral[] = {{kMetal, &Technology::CMEX, &Technology::R501},
                                 {kMetal2, &Technology::CM2X, &Technology::R701},
                                 {kMetal3, &Technology::CM3X, &Technology::R901},
                                 {kMetal4, &Technology::CM4X, &Technology::RB01},
                                 {kMetal5, &Technology::CM5X, &Technology::RD01}};

std::vector<int32_t> SortedDistinct(std::vector<int32_t> v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

int IndexOf(const std::vector<int32_t>& list, int32_t value) {
  return int(std::lower_bound(list.begin(), list.end(), value) - list.begin());
}

// Walks one line of cells (node numbers, 0 empty); between consecutive runs
// of different nodes closer than the reach, adds capacitance * width / gap.
void ScanLine(CouplingMatrix& m, const std::vector<int32_t>& cells, size_t offset, size_t step,
              const std::vector<int32_t>& along, double width, double cap, int32_t reach) {
  int previous = 0;
  int32_t previousEnd = 0;
  for (size_t k = 0; k + 1 < along.size(); ++k) {
    const int node = cells[offset + k * step];
    if (node == 0) continue;
    const bool startsRun = k == 0 || cells[offset + (k - 1) * step] != node;
    if (startsRun && previous != 0 && previous != node) {
      const int64_t gap = int64_t{along[k]} - previousEnd;
      if (gap > 0 && gap < reach) m.Couple(previous, node, cap * width / double(gap));
    }
    previous = node;
    previousEnd = along[k + 1];
  }
}

// Grid of the layer's boxes on nodes above 0, each cell holding its node.
// Returns 1 or 2 when the X or Y list would exceed the checker's capacities.
int CoupleLaterally(ExtractionRun& s, const LateralLayer& layer) {
  const Layout& l = s.layout;
  std::vector<int32_t> xs, ys;
  ForLayer(l, layer.layer, [&](const Box& b) {
    if (b.node <= 0) return;
    xs.insert(xs.end(), {b.x1, b.x2});
    ys.insert(ys.end(), {b.y1, b.y2});
  });
  xs = SortedDistinct(std::move(xs));
  ys = SortedDistinct(std::move(ys));
  if (xs.size() > size_t(kDrcMaxColumns)) return 1;
  if (ys.size() > size_t(kDrcMaxRows)) return 2;
  if (xs.size() < 2 || ys.size() < 2) return 0;
  const size_t nx = xs.size() - 1, ny = ys.size() - 1;
  std::vector<int32_t> cells(nx * ny, 0);  // column-major
  ForLayer(l, layer.layer, [&](const Box& b) {
    if (b.node <= 0) return;
    for (int i = IndexOf(xs, b.x1); i < IndexOf(xs, b.x2); ++i)
      for (int j = IndexOf(ys, b.y1); j < IndexOf(ys, b.y2); ++j) cells[size_t(i) * ny + j] = b.node;
  });
  const double cap = s.technology.*layer.capacitance;
  const int32_t reach = s.technology.*layer.reach;
  CouplingMatrix& m = s.circuit.coupling;
  for (size_t i = 0; i < nx; ++i)
    ScanLine(m, cells, i * ny, 1, ys, double(xs[i + 1]) - xs[i], cap, reach);
  for (size_t j = 0; j < ny; ++j)
    ScanLine(m, cells, j, ny, xs, double(ys[j + 1]) - ys[j], cap, reach);
  return 0;
}

void CoupleVertically(ExtractionRun& s) {
  struct Crossing {
    int lower, upper;
    double Technology::*capacitance;
  };
  const Crossing crossings[] = {{kPoly, kMetal, &Technology::CMEP},
                                {kMetal, kMetal2, &Technology::CM2M},
                                {kPoly, kMetal2, &Technology::CM2P}};
  for (const Crossing& c : crossings) {
    const double cap = s.technology.*c.capacitance;
    ForCrossings(s.layout, c.lower, c.upper, [&](const Box& a, const Box& b) {
      if (a.node < 0 || b.node < 0 || a.node == b.node) return;
      s.circuit.coupling.Couple(a.node, b.node, double(OverlapArea(a, b)) * cap);
    });
  }
}

struct DriveSum {
  int32_t w = 0, l = 10000;
  void Add(const std::vector<MosDevice>& table, int node) {
    for (const MosDevice& d : table)
      if (d.Source == node || d.Drain == node) w += d.W, l = std::min(l, d.L);
  }
  void Add(const Circuit& e, int node) { Add(e.nmos, node), Add(e.pmos, node); }
};

void EvaluateCrosstalk(ExtractionRun& s) {
  Circuit& e = s.circuit;
  NodeTable& t = s.layout.nodes;
  e.maxCoupling = e.maxCouplingRatio = 0;
  const int last = std::min(kMaxCoupledNode, t.count);
  for (int v = 1; v <= last; ++v) {
    nodeBaseRecord& victim = t.nodes[v];
    if (victim.InterconnectLength <= s.options.ignoreThreshold) continue;
    double cx = 0;
    DriveSum aggressors, own;
    for (int k = 1; k <= last; ++k) {
      if (k == v) continue;
      const double c = e.coupling.At(v, k);
      e.maxCoupling = std::max(e.maxCoupling, c);
      cx += c;
      if (c > 0) aggressors.Add(e, k);
    }
    e.coupling.At(v, v) = cx;
    own.Add(e, v);
    if (victim.NodeCapacitance <= 0) continue;
    const double ratio = cx / victim.NodeCapacitance;
    e.maxCouplingRatio = std::max(e.maxCouplingRatio, ratio);
    victim.CrosstalkNoise = s.technology.VDD * ratio;
    const bool undriven = own.w == 0 || own.l == 0 || aggressors.w == 0 || aggressors.l == 0;
    victim.DrivenNoise =
        undriven ? victim.CrosstalkNoise
                 : s.technology.VDD * 0.5 * ratio /
                       (1 + (double(own.w) / own.l) / (double(aggressors.w) / aggressors.l));
  }
  ShowStatus(s.progress, "Crosstalk coupling ratio " + FormatFixed(e.maxCouplingRatio, 5, 3));
}

// Capacitance (F) of every node 0..count of the extracted layout.
std::vector<double> NodeCapacitances(const Layout& l, const Technology& t, Progress& progress) {
  std::vector<double> caps(size_t(l.nodes.count) + 1, 0.0);
  const CapacitanceSum sum(l, progress, caps);
  sum.Status("clean arrays");
  sum.Status("MOS capas");
  sum.Add(kGatep, [&](const Box& b) { return double(Area(b)) * t.CDPN; });
  for (int gate : {kGaten, kGatep}) {
    ForCrossings(l, kPoly, gate, [&](const Box& poly, const Box& g) {
      if (poly.node >= 0) caps[size_t(poly.node)] += double(OverlapArea(poly, g)) * t.CPOO;
    });
  }
  sum.Add(kPoly, [&](const Box& b) { return double(Area(b)) * t.CPOB; });
  sum.Status("Parasitic N/P junctions");
  sum.Add(kDiffn, [&](const Box& b) { return double(Area(b)) * t.CDNP; });
  sum.Add(kNwell, [&](const Box& b) { return double(Area(b)) * t.CNWE; });
  sum.Add(kDiffn, [&](const Box& b) { return double(HalfPerimeter(b)) * t.CLDN; });
  sum.Add(kDiffp, [&](const Box& b) { return double(Area(b)) * t.CDPN; });
  sum.Add(kPwell, [&](const Box& b) { return double(Area(b)) * t.CPWE; });
  sum.Add(kDiffp, [&](const Box& b) { return double(HalfPerimeter(b)) * t.CLDP; });
  int number = 1;
  for (const MetalCapacitance& m : kMetals) {
    sum.Status("Metal" + std::to_string(number++) + " Capa");
    sum.Add(m.layer, [&](const Box& b) {
      return double(Area(b)) * (t.*m.area) + 2.0 * double(HalfPerimeter(b)) * (t.*m.line);
    });
  }
  return caps;
}

}  // namespace

void ComputeCapacitances(Layout& layout, const Technology& technology, Progress& progress) {
  const std::vector<double> caps = NodeCapacitances(layout, technology, progress);
  NodeTable& t = layout.nodes;
  for (int k = 0; k <= t.count; ++k) {
    t.nodes[k].NodeCapacitance = caps[size_t(k)];
    t.nodes[k].CrosstalkNoise = t.nodes[k].DrivenNoise = 0;
  }
}

int ComputeCrosstalk(ExtractionRun& s) {
  s.circuit.coupling.Clear();
  if (s.options.verticalCrosstalk) {
    ShowStatus(s.progress, "Compute Capas : Crossing between layers");
    CoupleVertically(s);
  }
  if (s.options.lateralCrosstalk) {
    int number = 1;
    for (const LateralLayer& layer : kLateral) {
      ShowStatus(s.progress, "Compute Capas : Crosstalk metal " + std::to_string(number++));
      if (const int overflow = CoupleLaterally(s, layer)) {
        s.circuit.alert = std::string("Too much coordinates in ") + (overflow == 1 ? "X" : "Y");
        return overflow;
      }
    }
  }
  ShowStatus(s.progress, "Compute Capas : Total crosstalk");
  EvaluateCrosstalk(s);
  return 0;
}

}  // namespace tarnisk
