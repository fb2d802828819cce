#include "interchange/flatten.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "interchange/imported_layout.h"

namespace tarnisk {

namespace {

Int128 Abs(Int128 v) { return v < 0 ? -v : v; }

Int128 Gcd(Int128 a, Int128 b) {
  a = Abs(a), b = Abs(b);
  while (b != 0) a = std::exchange(b, a % b);
  return a;
}

bool WithinLimit(Int128 v) { return v <= kTransformLimit && v >= -kTransformLimit; }

bool Reduce(Transform& t) {
  const Int128 g = Gcd(Gcd(t.scale, t.den), Gcd(t.tx, t.ty));
  if (g > 1) t.scale /= g, t.den /= g, t.tx /= g, t.ty /= g;
  return WithinLimit(t.scale) && WithinLimit(t.den) && WithinLimit(t.tx) && WithinLimit(t.ty);
}

Placement ToLambda(Int128 numerator, Int128 den, int32_t& out) {
  if (numerator % den != 0) return Placement::OffGrid;
  const Int128 v = numerator / den;
  if (v > kCoordinateLimit || v < -kCoordinateLimit) return Placement::OutOfRange;
  out = static_cast<int32_t>(v);
  return Placement::Exact;
}

Placement Worst(Placement a, Placement b) { return a > b ? a : b; }

// -------------------------------------------------------------- flattening

constexpr uint64_t kSaturated = uint64_t{1} << 62;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return std::min(kSaturated, a + b); }
uint64_t SaturatingMul(uint64_t a, uint64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kSaturated / b ? kSaturated : a * b;
}


// Items a cell produces by itself: boxes, texts and what it left out.
uint64_t OwnItems(const Cell& cell) {
  uint64_t n = cell.boxes.size() + cell.texts.size();
  for (const auto& [kind, count] : cell.dropped) n = SaturatingAdd(n, uint64_t(count));
  return n;
}

class Flattener {
 public:
  Flattener(const std::vector<Cell>& cells, FlattenSink& sink, std::map<std::string, int>& dropped)
      : cells_(cells), sink_(sink), dropped_(dropped), weight_(cells.size()),
        height_(cells.size()), followed_(cells.size()) {}

  // Weight (items produced when placed once) and height of every cell, and
  // which placements are followed: one depth-first pass with an explicit
  // stack, so that long chains of cells cannot exhaust the call stack.
  void Analyse() {
    std::vector<uint8_t> state(cells_.size(), 0);  // 0 new, 1 open, 2 done
    for (size_t start = 0; start < cells_.size(); ++start) {
      if (state[start] != 0) continue;
      std::vector<std::pair<size_t, size_t>> stack{{start, 0}};
      state[start] = 1;
      while (!stack.empty()) {
        auto& [cell, next] = stack.back();
        const auto& refs = cells_[cell].refs;
        if (next < refs.size()) {
          const size_t child = size_t(refs[next++].cell);
          if (state[child] == 0) state[child] = 1, stack.emplace_back(child, 0);
          continue;
        }
        Finish(cell, state);
        state[cell] = 2;
        stack.pop_back();
      }
    }
  }

  void Run(const std::vector<int>& roots, const Transform& root) {
    uint64_t items = 0;
    for (int cell : roots) items = SaturatingAdd(items, weight_[size_t(cell)]);
    sink_.Reserve(size_t(std::min(items, budget_)));
    for (int cell : roots) {
      const uint64_t w = weight_[size_t(cell)];
      if (w <= budget_) {
        budget_ -= w;
        Visit(size_t(cell), root, true);
      } else {
        Visit(size_t(cell), root, false);
      }
    }
  }

 private:
  // A cell's refs once its children are done; a child still open is an
  // ancestor, so that placement would recurse. Placements of cells that
  // produce nothing are not followed, so that each one followed takes
  // something from the budget.
  void Finish(size_t cell, const std::vector<uint8_t>& state) {
    const Cell& c = cells_[cell];
    uint64_t weight = OwnItems(c);
    int height = 0;
    for (size_t r = 0; r < c.refs.size(); ++r) {
      const CellRef& ref = c.refs[r];
      const size_t child = size_t(ref.cell);
      if (state[child] == 1) {
        AddDropped(dropped_, drop::kRecursiveReference);
        continue;
      }
      if (height_[child] + 1 > kMaxCellDepth) {
        AddDropped(dropped_, drop::kTooDeep);
        continue;
      }
      height = std::max(height, height_[child] + 1);
      if (weight_[child] == 0) continue;
      followed_[cell].push_back(uint32_t(r));
      const uint64_t instances = SaturatingMul(uint64_t(ref.cols), uint64_t(ref.rows));
      weight = SaturatingAdd(weight, SaturatingMul(instances, weight_[child]));
    }
    weight_[cell] = weight;
    height_[cell] = height;
  }

  // Places one instance of `cell`; the heights keep the recursion within
  // kMaxCellDepth. An accounted visit has had its whole
  // weight taken from the budget already; otherwise each part takes its own
  // share, and what does not fit is counted as left out.
  void Visit(size_t cell, const Transform& t, bool accounted) {
    const Cell& c = cells_[cell];
    const uint64_t own = OwnItems(c);
    if (!accounted && own > budget_) {
      AddDropped(dropped_, drop::kShapeLimit, int64_t(own));
    } else {
      if (!accounted) budget_ -= own;
      Emit(c, t);
    }
    for (uint32_t r : followed_[cell]) Place(c.refs[r], t, accounted);
  }

  void Emit(const Cell& c, const Transform& t) {
    for (const CellShape& s : c.shapes)
      sink_.Shape(s.layer, std::span(c.boxes).subspan(s.first, s.count), t);
    for (const CellText& text : c.texts) sink_.Text(text, t);
    for (const auto& [kind, count] : c.dropped) AddDropped(dropped_, kind, count);
  }

  void Place(const CellRef& ref, const Transform& parent, bool accounted) {
    const uint64_t w = weight_[size_t(ref.cell)];
    const uint64_t instances = uint64_t(ref.cols) * uint64_t(ref.rows);
    uint64_t placed = 0;
    for (int32_t i = 0; i < ref.cols; ++i) {
      for (int32_t j = 0; j < ref.rows; ++j, ++placed) {
        bool childAccounted = accounted;
        if (!accounted) {
          if (w > budget_ && placed > 0) {
            AddDropped(dropped_, drop::kShapeLimit, int64_t(SaturatingMul(instances - placed, w)));
            return;
          }
          childAccounted = w <= budget_;
          if (childAccounted) budget_ -= w;
        }
        Transform placement;
        if (!Instance(ref, i, j, parent, placement)) {
          AddDropped(dropped_, drop::kOutOfRange);
          continue;
        }
        Visit(size_t(ref.cell), placement, childAccounted);
      }
    }
  }

  static bool Instance(const CellRef& ref, int32_t i, int32_t j, const Transform& parent,
                       Transform& out) {
    Transform local = ref.transform;
    local.tx += ref.ux * i + ref.vx * j;
    local.ty += ref.uy * i + ref.vy * j;
    return Reduce(local) && Compose(parent, local, out);
  }

  const std::vector<Cell>& cells_;
  FlattenSink& sink_;
  std::map<std::string, int>& dropped_;
  std::vector<uint64_t> weight_;
  std::vector<int> height_;
  std::vector<std::vector<uint32_t>> followed_;  // indices into each cell's refs
  uint64_t budget_ = kMaxFlattenedItems;
};

}  // namespace

bool Compose(const Transform& o, const Transform& i, Transform& r) {
  r.a = o.a * i.a + o.b * i.c;
  r.b = o.a * i.b + o.b * i.d;
  r.c = o.c * i.a + o.d * i.c;
  r.d = o.c * i.b + o.d * i.d;
  r.scale = o.scale * i.scale;
  r.den = o.den * i.den;
  // outer((s_i Q_i p + t_i) / D_i) = (s_o s_i Q_o Q_i p + s_o Q_o t_i + D_i t_o) / (D_o D_i)
  const Int128 qx = o.a * i.tx + o.b * i.ty, qy = o.c * i.tx + o.d * i.ty;
  const Int128 limit = kTransformLimit;
  if (Abs(qx) > limit || Abs(qy) > limit) return false;
  r.tx = o.scale * qx + i.den * o.tx;
  r.ty = o.scale * qy + i.den * o.ty;
  return Reduce(r);
}

Transform QuarterTurns(int quarterTurns) {
  Transform t;
  switch (((quarterTurns % 4) + 4) % 4) {
    case 1: t.a = 0, t.b = -1, t.c = 1, t.d = 0; break;
    case 2: t.a = -1, t.d = -1; break;
    case 3: t.a = 0, t.b = 1, t.c = -1, t.d = 0; break;
    default: break;
  }
  return t;
}

Transform MirrorY() {
  Transform t;
  t.d = -1;
  return t;
}

Transform MirrorX() {
  Transform t;
  t.a = -1;
  return t;
}

Transform Scaling(Int128 num, Int128 den) {
  Transform t;
  t.scale = num, t.den = den;
  Reduce(t);
  return t;
}

Transform Translation(Int128 tx, Int128 ty, Int128 den) {
  Transform t;
  t.scale = den, t.tx = tx, t.ty = ty, t.den = den;
  Reduce(t);
  return t;
}

RationalBox PlaceBoxRational(const Transform& t, const LocalBox& b) {
  const auto x = [&](int64_t px, int64_t py) { return t.scale * (t.a * px + t.b * py) + t.tx; };
  const auto y = [&](int64_t px, int64_t py) { return t.scale * (t.c * px + t.d * py) + t.ty; };
  const Int128 xa = x(b.x1, b.y1), xb = x(b.x2, b.y2);
  const Int128 ya = y(b.x1, b.y1), yb = y(b.x2, b.y2);
  return {std::min(xa, xb), std::min(ya, yb), std::max(xa, xb), std::max(ya, yb), t.den};
}

Placement PlaceBox(const Transform& t, const LocalBox& b, Rect& out) {
  const RationalBox r = PlaceBoxRational(t, b);
  Placement p = ToLambda(r.x1, r.den, out.xmin);
  p = Worst(p, ToLambda(r.y1, r.den, out.ymin));
  p = Worst(p, ToLambda(r.x2, r.den, out.xmax));
  return Worst(p, ToLambda(r.y2, r.den, out.ymax));
}

Placement PlacePoint(const Transform& t, int64_t x, int64_t y, Point& out) {
  const Int128 px = t.scale * (t.a * Int128{x} + t.b * y) + t.tx;
  const Int128 py = t.scale * (t.c * Int128{x} + t.d * y) + t.ty;
  return Worst(ToLambda(px, t.den, out.x), ToLambda(py, t.den, out.y));
}

void LambdaSink::Shape(uint8_t layer, std::span<const LocalBox> boxes, const Transform& t) {
  placed_.clear();
  for (const LocalBox& b : boxes) {
    Rect r;
    const Placement p = PlaceBox(t, b, r);
    if (p != Placement::Exact) {
      AddDropped(out_.dropped, p == Placement::OffGrid ? drop::kOffGrid : drop::kOutOfRange);
      return;
    }
    placed_.push_back(r);
  }
  for (const Rect& r : placed_) out_.boxes.push_back({r, layer});
}

void LambdaSink::Text(const CellText& text, const Transform& t) {
  Point p;
  const Placement placement = PlacePoint(t, text.x, text.y, p);
  if (placement != Placement::Exact) {
    const bool off = placement == Placement::OffGrid;
    return AddDropped(out_.dropped, off ? drop::kOffGridText : drop::kOutOfRange);
  }
  out_.texts.push_back({p.x, p.y, text.text});
}

void OffGridSink::Shape(uint8_t, std::span<const LocalBox>, const Transform&) {
  AddDropped(out_.dropped, drop::kOffGrid);
}

void OffGridSink::Text(const CellText&, const Transform&) {
  AddDropped(out_.dropped, drop::kOffGridText);
}

bool RationalApproximation(double value, int64_t maxNum, int64_t maxDen, double tolerance,
                           int64_t& p, int64_t& q) {
  if (!(value > 0) || !std::isfinite(value)) return false;
  // Convergents of the continued fraction: h/k, each the best approximation
  // with a denominator up to its own.
  int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
  double x = value;
  for (int step = 0; step < 64; ++step) {
    const double whole = std::floor(x);
    if (whole > double(maxNum)) return false;
    const int64_t w = int64_t(whole);
    const Int128 h = Int128{w} * h1 + h0, k = Int128{w} * k1 + k0;
    if (h > maxNum || k > maxDen) return false;
    h0 = std::exchange(h1, int64_t(h)), k0 = std::exchange(k1, int64_t(k));
    if (std::abs(double(h1) / double(k1) - value) <= tolerance * value) {
      p = h1, q = k1;
      return h1 > 0;
    }
    const double rest = x - whole;
    if (rest <= 0) return false;
    x = 1 / rest;
  }
  return false;
}

void Flatten(const std::vector<Cell>& cells, const std::vector<int>& roots, const Transform& root,
             FlattenSink& sink, std::map<std::string, int>& dropped) {
  Flattener flattener(cells, sink, dropped);
  flattener.Analyse();
  flattener.Run(roots, root);
}

}  // namespace tarnisk
