#include "interchange/rectilinear.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "interchange/imported_layout.h"

namespace tarnisk {

namespace {

// The points without repeats of the previous point (nor, for a ring, of the
// first point at the end).
std::vector<LocalPoint> WithoutRepeats(std::span<const LocalPoint> points, bool ring) {
  std::vector<LocalPoint> kept;
  kept.reserve(points.size());
  for (const LocalPoint& p : points)
    if (kept.empty() || !(kept.back() == p)) kept.push_back(p);
  if (ring) {
    while (kept.size() > 1 && kept.back() == kept.front()) kept.pop_back();
  }
  return kept;
}

bool AxisParallel(const LocalPoint& p, const LocalPoint& q) { return p.x == q.x || p.y == q.y; }

struct HorizontalEdge {
  int64_t y, x1, x2;  // x1 < x2
};

// Sweeps upward over the horizontal edges. The cross-section is a set of
// disjoint x intervals, each remembering the height where it began; an edge
// toggles its x range (even-odd), and an interval that ends or changes
// closes its box.
class Sweep {
 public:
  Sweep(std::vector<LocalBox>& out, size_t workLimit) : out_(out), workLimit_(workLimit) {}

  bool Toggle(int64_t a, int64_t b, int64_t y) {
    removed_.clear();
    toggles_.assign({a, b});
    auto it = open_.upper_bound(a);
    if (it != open_.begin() && std::prev(it)->second.end >= a) --it;
    while (it != open_.end() && it->first <= b) {
      removed_.push_back({it->first, it->second.end, it->second.y0, false});
      toggles_.push_back(it->first), toggles_.push_back(it->second.end);
      it = open_.erase(it);
      if (++work_ > workLimit_) return false;
    }
    Reopen(y);
    for (const Removed& r : removed_)
      if (!r.kept && y > r.y0) out_.push_back({r.start, r.y0, r.end, y});
    return true;
  }

 private:
  struct Interval {
    int64_t end, y0;
  };
  struct Removed {
    int64_t start, end, y0;
    bool kept;
  };

  // The region's new intervals: boundary points that occur an odd number of
  // times, paired in order. An interval that comes back unchanged keeps its
  // starting height.
  void Reopen(int64_t y) {
    std::sort(toggles_.begin(), toggles_.end());
    bounds_.clear();
    for (size_t i = 0; i < toggles_.size();) {
      size_t j = i;
      while (j < toggles_.size() && toggles_[j] == toggles_[i]) ++j;
      if ((j - i) % 2 == 1) bounds_.push_back(toggles_[i]);
      i = j;
    }
    // Both lists are ordered by start, so one merge pass matches them.
    size_t r = 0;
    for (size_t i = 0; i + 1 < bounds_.size(); i += 2) {
      while (r < removed_.size() && removed_[r].start < bounds_[i]) ++r;
      int64_t y0 = y;
      if (r < removed_.size() && removed_[r].start == bounds_[i] &&
          removed_[r].end == bounds_[i + 1])
        y0 = removed_[r].y0, removed_[r].kept = true;
      open_.emplace(bounds_[i], Interval{bounds_[i + 1], y0});
    }
  }

  std::vector<LocalBox>& out_;
  std::map<int64_t, Interval> open_;
  std::vector<Removed> removed_;
  std::vector<int64_t> toggles_, bounds_;
  size_t work_ = 0;
  const size_t workLimit_;
};

bool IsRectangle(std::span<const LocalPoint> p) {
  if (p.size() == 5 && p[4] == p[0]) p = p.first(4);
  if (p.size() != 4) return false;
  return p[0].x != p[2].x && p[0].y != p[2].y &&
         ((p[0].x == p[1].x && p[1].y == p[2].y && p[2].x == p[3].x && p[3].y == p[0].y) ||
          (p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x));
}

}  // namespace

const char* DecomposePolygon(std::span<const LocalPoint> ring, std::vector<LocalBox>& out) {
  // Most polygons are rectangles, which need no copy and no sweep.
  if (IsRectangle(ring)) {
    const LocalPoint& a = ring[0];
    const LocalPoint& c = ring[2];
    out.push_back({std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)});
    return nullptr;
  }
  const std::vector<LocalPoint> p = WithoutRepeats(ring, true);
  for (size_t i = 0; i < p.size(); ++i)
    if (!AxisParallel(p[i], p[(i + 1) % p.size()])) return drop::kNonManhattan;
  std::vector<HorizontalEdge> edges;
  for (size_t i = 0; i < p.size(); ++i) {
    const LocalPoint& a = p[i];
    const LocalPoint& b = p[(i + 1) % p.size()];
    if (a.y == b.y && a.x != b.x) edges.push_back({a.y, std::min(a.x, b.x), std::max(a.x, b.x)});
  }
  std::sort(edges.begin(), edges.end(),
            [](const HorizontalEdge& l, const HorizontalEdge& r) { return l.y < r.y; });
  const size_t before = out.size();
  Sweep sweep(out, 4 * edges.size() + 16);
  for (const HorizontalEdge& e : edges) {
    if (!sweep.Toggle(e.x1, e.x2, e.y)) {
      out.resize(before);
      return drop::kSelfIntersecting;
    }
  }
  return out.size() > before ? nullptr : drop::kDegenerate;
}

const char* PathBoxes(std::span<const LocalPoint> points, int64_t halfWidth,
                      int64_t beginExtension, int64_t endExtension, std::vector<LocalBox>& out) {
  std::vector<LocalPoint> p = WithoutRepeats(points, false);
  for (size_t i = 0; i + 1 < p.size(); ++i)
    if (!AxisParallel(p[i], p[i + 1])) return drop::kNonManhattan;
  if (p.size() < 2 || halfWidth <= 0) return drop::kDegenerate;
  const size_t before = out.size();
  const size_t last = p.size() - 2;
  for (size_t i = 0; i <= last; ++i) {
    const LocalPoint& a = p[i];
    const LocalPoint& b = p[i + 1];
    const int64_t back = i == 0 ? beginExtension : halfWidth;
    const int64_t ahead = i == last ? endExtension : halfWidth;
    // Along the segment from a - back to b + ahead, across it +- halfWidth.
    const int64_t dx = (b.x > a.x) - (b.x < a.x), dy = (b.y > a.y) - (b.y < a.y);
    const int64_t s1 = dx != 0 ? a.x - dx * back : a.y - dy * back;
    const int64_t s2 = dx != 0 ? b.x + dx * ahead : b.y + dy * ahead;
    if (s1 == s2 || (s2 > s1) != (dx + dy > 0)) continue;  // extensions ate the segment
    const int64_t lo = std::min(s1, s2), hi = std::max(s1, s2);
    if (dx != 0) out.push_back({lo, a.y - halfWidth, hi, a.y + halfWidth});
    else out.push_back({a.x - halfWidth, lo, a.x + halfWidth, hi});
  }
  return out.size() > before ? nullptr : drop::kDegenerate;
}

}  // namespace tarnisk
