#include "route/router.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "gen/contact.h"
#include "gen/path.h"

namespace tarnisk {

namespace {

bool IsDiffusion(int layer) { return layer == kDiffp || layer == kDiffn; }
uint8_t DiffusionCode(int layer) { return layer == kDiffp ? kCellDiffp : kCellDiffn; }
bool IsContactKind(const Technology& t, int kind) { return ContactStackOf(t, kind).has_value(); }

// Half the width of a wire on the layer, rounded up.
int64_t HalfWidth(const Technology& t, int layer) {
  switch (layer) {
    case kMetal: return (int64_t{t.R501} + 1) / 2;
    case kDiffp:
    case kDiffn: return (int64_t{t.R201} + 1) / 2;
    case kPoly: return (int64_t{t.R301} + 1) / 2;
    default: return 2;
  }
}

// A wire may cross no metal, contact or mixed cell.
bool Crossable(uint8_t code) {
  return code != kCellMetal && code != kCellBlocked && code != kCellMixed;
}

// Draws with `draw` and marks in the grid every box it added; a layout
// that gained boxes is modified and no longer extracted.
template <class Draw>
Generated DrawAndMark(Layout& layout, OccupancyGrid& grid, Draw draw) {
  const int first = layout.boxes.Count() + 1;
  LayoutWriter out(layout);
  draw(out);
  grid.MarkFrom(layout, first);
  Generated drawn = out.Result("");
  if (drawn.boxesAdded > 0) {
    layout.wide.modified = 1;
    layout.wide.extracted = 0;
  }
  return drawn;
}

Point LayoutPoint(const OccupancyGrid& grid, Point cell) {
  return {ClampCoordinate(int64_t{cell.x} * grid.Step()),
          ClampCoordinate(int64_t{cell.y} * grid.Step())};
}

// A candidate: from the start to the first corner, the second corner and
// the end; every step moves one cell towards the next point.
using Candidate = std::array<Point, 4>;

int Sign(int32_t v) { return (v > 0) - (v < 0); }

// Calls visit(cell, isLast) along the candidate while it returns true;
// returns whether the walk reached the end.
template <class Visit>
bool Walk(const Candidate& path, Visit visit) {
  int64_t remaining = 0;
  for (size_t s = 1; s < path.size(); ++s)
    remaining += std::max(std::abs(int64_t{path[s].x} - path[s - 1].x),
                          std::abs(int64_t{path[s].y} - path[s - 1].y));
  Point c = path[0];
  if (!visit(c, remaining == 0)) return false;
  for (size_t s = 1; s < path.size(); ++s)
    while (c != path[s]) {
      c = {c.x + Sign(path[s].x - c.x), c.y + Sign(path[s].y - c.y)};
      if (!visit(c, --remaining == 0)) return false;
    }
  return true;
}

// No metal, contact or mixed cell between the ends, and no diffusion cell
// right after a metal cell.
bool Acceptable(const OccupancyGrid& grid, const Candidate& path) {
  bool first = true;
  uint8_t previous = kCellFree;
  return Walk(path, [&](Point c, bool last) {
    const uint8_t code = grid.Code(c.x, c.y);
    const bool crossing = !first && !last && !Crossable(code);
    const bool intoDiffusion =
        !first && previous == kCellMetal && (code == kCellDiffp || code == kCellDiffn);
    first = false;
    previous = code;
    return !crossing && !intoDiffusion;
  });
}

// How far a wire may run straight from an end in each direction: the number
// of cells it can pass before the first it may not cross (for the start, a
// first cell of diffusion after a metal start counts as such). A candidate
// whose legs reach further is refused without walking it.
struct Reach {
  int64_t up = 0, down = 0, left = 0, right = 0;

  Reach(const OccupancyGrid& grid, Point end, bool start) {
    const bool fromMetal = start && grid.Code(end.x, end.y) == kCellMetal;
    const auto run = [&](int dx, int dy) {
      int64_t n = 0;
      for (Point c{end.x + dx, end.y + dy}; OccupancyGrid::Inside(c.x, c.y);
           c = {c.x + dx, c.y + dy}) {
        const uint8_t code = grid.Code(c.x, c.y);
        if (!Crossable(code) || (n == 0 && fromMetal && (code == kCellDiffp || code == kCellDiffn)))
          break;
        ++n;
      }
      return n;
    };
    up = run(0, 1), down = run(0, -1), left = run(-1, 0), right = run(1, 0);
  }
  // Whether a leg from this end to row (or column) `to` can pass.
  bool Vertical(int64_t from, int64_t to) const {
    return (to >= from ? up : down) >= std::abs(to - from);
  }
  bool Horizontal(int64_t from, int64_t to) const {
    return (to >= from ? right : left) >= std::abs(to - from);
  }
};

class WireLayer {
 public:
  WireLayer(LayoutWriter& out, const Technology& t, const OccupancyGrid& grid,
            const std::vector<Point>& cells)
      : out_(out), t_(t), grid_(grid), cells_(cells) {}

  // Cells first..last as straight boxes around the cell centres.
  void Run(size_t first, size_t last, int layer) {
    size_t start = first;
    for (size_t k = first + 1; k <= last; ++k)
      if (k == last || Turns(k)) {
        Piece(start, k, layer);
        start = k;
      }
    if (first == last) Piece(first, first, layer);
  }

 private:
  bool Turns(size_t k) const {
    const Point a = cells_[k - 1], b = cells_[k], c = cells_[k + 1];
    return b.x - a.x != c.x - b.x || b.y - a.y != c.y - b.y;
  }
  void Piece(size_t a, size_t b, int layer) {
    const int64_t step = grid_.Step(), h = HalfWidth(t_, layer);
    const Point p = cells_[a], q = cells_[b];
    out_.Box(std::min(p.x, q.x) * step - h, std::min(p.y, q.y) * step - h,
             std::max(p.x, q.x) * step + h, std::max(p.y, q.y) * step + h, layer);
  }

  LayoutWriter& out_;
  const Technology& t_;
  const OccupancyGrid& grid_;
  const std::vector<Point>& cells_;
};

// Lays an accepted path: up to three cells of diffusion at an end that lies
// on its diffusion, metal between them with a diffusion contact on each
// change of layer, and the contact of a poly or upper-metal end.
// (DrawContact draws nothing for a metal end.)
void Lay(LayoutWriter& out, const Technology& t, const OccupancyGrid& grid, const Candidate& path,
         RouteEnd from, RouteEnd to) {
  std::vector<Point> cells;
  Walk(path, [&](Point c, bool) {
    cells.push_back(c);
    return true;
  });
  const size_t n = cells.size();
  const auto onDiffusion = [&](size_t k, int layer) {
    return IsDiffusion(layer) && grid.Code(cells[k].x, cells[k].y) == DiffusionCode(layer);
  };
  size_t s = 0, e = 0;
  while (s < std::min<size_t>(3, n) && onDiffusion(s, from.layer)) ++s;
  while (e < std::min<size_t>(3, n - s) && onDiffusion(n - 1 - e, to.layer)) ++e;
  WireLayer wire(out, t, grid, cells);
  if (s > 0) wire.Run(0, s - 1, from.layer);
  if (e > 0) wire.Run(n - e, n - 1, to.layer);
  wire.Run(s > 0 ? s - 1 : 0, e > 0 ? n - e : n - 1, kMetal);
  const auto contact = [&](size_t k, int kind) {
    DrawContact(out, t, LayoutPoint(grid, cells[k]), kind);
  };
  // A diffusion end whose cell the grid does not show as that diffusion
  // (a gate's poly beside it blocks the cell) changes to metal at once.
  contact(s > 0 ? s - 1 : 0, from.layer);
  contact(e > 0 ? n - e : n - 1, to.layer);
}

}  // namespace

RouteResult Route(Layout& layout, const Technology& t, OccupancyGrid& grid, RouteEnd from,
                  RouteEnd to, int jog, RouteSearch search) {
  grid.ClearOutOfGrid();
  RouteResult result;
  const Point a = from.cell, b = to.cell;
  if (a == b) {
    result.routed = true;
    result.drawn = DrawAndMark(layout, grid, [&](LayoutWriter& out) {
      const Point at = LayoutPoint(grid, a);
      if (IsContactKind(t, from.layer)) DrawContact(out, t, at, from.layer);
      if (IsContactKind(t, to.layer) && to.layer != from.layer) DrawContact(out, t, at, to.layer);
    });
    return result;
  }
  const int64_t xm = (int64_t{a.x} + b.x) / 2, ym = (int64_t{a.y} + b.y) / 2;
  const int64_t limit = std::abs(int64_t{b.x} - a.x) * std::abs(int64_t{b.y} - a.y) + 5;
  const int64_t top = std::max(a.y, b.y), bottom = std::min(a.y, b.y);
  const Candidate* found = nullptr;
  Candidate candidate;
  const Reach fromStart(grid, a, true), fromEnd(grid, b, false);
  // Tries one jog row (or column); a jog outside the grid, or beyond the
  // reach of either end, is refused unwalked.
  const auto tryJog = [&](int64_t line, bool row) {
    ++result.tries;
    const bool inside = row ? OccupancyGrid::Inside(a.x, line) : OccupancyGrid::Inside(line, a.y);
    const bool reached = search == RouteSearch::Walk ||
                         (row ? fromStart.Vertical(a.y, line) && fromEnd.Vertical(b.y, line)
                              : fromStart.Horizontal(a.x, line) && fromEnd.Horizontal(b.x, line));
    if (!inside || !reached) return false;
    const int32_t j = int32_t(line);
    candidate = row ? Candidate{a, Point{a.x, j}, Point{b.x, j}, b}
                    : Candidate{a, Point{j, a.y}, Point{j, b.y}, b};
    if (Acceptable(grid, candidate)) found = &candidate;
    return found != nullptr;
  };
  const auto more = [&] { return !found && result.tries < limit; };
  for (int64_t d = 0; more(); ++d) {
    if (a.x != b.x) {
      if (more() && !(jog == kJogNotAbove && ym + d > top)) tryJog(ym + d, true);
      if (more() && d > 0 && !(jog == kJogNotBelow && ym - d < bottom)) tryJog(ym - d, true);
    }
    if (a.y != b.y) {
      if (more()) tryJog(xm + d, false);
      if (more() && d > 0) tryJog(xm - d, false);
    }
  }
  if (!found) return result;
  result.routed = true;
  result.drawn =
      DrawAndMark(layout, grid, [&](LayoutWriter& out) { Lay(out, t, grid, *found, from, to); });
  return result;
}

Generated PlaceContactAtCell(Layout& layout, const Technology& t, OccupancyGrid& grid, Point cell,
                             int kind) {
  return DrawAndMark(
      layout, grid, [&](LayoutWriter& out) { DrawContact(out, t, LayoutPoint(grid, cell), kind); });
}

Generated StraightWire(Layout& layout, const Technology& t, OccupancyGrid& grid, Point a, int kindA,
                       Point b, int kindB) {
  const int64_t step = grid.Step();
  const Point p{ClampCoordinate(SnapToGrid(a.x, step)), ClampCoordinate(SnapToGrid(a.y, step))};
  const Point q{ClampCoordinate(SnapToGrid(b.x, step)), ClampCoordinate(SnapToGrid(b.y, step))};
  const int64_t h = HalfWidth(t, kMetal);
  return DrawAndMark(layout, grid, [&](LayoutWriter& out) {
    out.Box(int64_t{std::min(p.x, q.x)} - h, int64_t{std::min(p.y, q.y)} - h,
            int64_t{std::max(p.x, q.x)} + h, int64_t{std::max(p.y, q.y)} + h, kMetal);
    DrawContact(out, t, p, kindA);
    DrawContact(out, t, q, kindB);
  });
}

}  // namespace tarnisk
