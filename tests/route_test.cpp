// The occupancy grid and the three-segment router: cell codes, the order of
// the jogs tried and the limit of tries, layer changes at diffusion ends, and
// on random obstacle fields, wires that join their two ends and nothing else.

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "gen/contact.h"
#include "route/occupancy_grid.h"
#include "route/router.h"
#include "tests/test_support.h"
#include "verify/extract.h"

namespace tarnisk {
namespace {

Box BoxOn(int layer, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Box b;
  b.state = kNormal;
  b.layer = uint8_t(layer);
  b.x1 = x1, b.y1 = y1, b.x2 = x2, b.y2 = y2;
  return b;
}

// The code of cell (0, 0) after marking a box of each layer over it, in order.
uint8_t CodeAfter(std::initializer_list<int> layers) {
  OccupancyGrid grid(10);
  for (int layer : layers) grid.Mark(BoxOn(layer, -2, -2, 2, 2));
  return grid.Code(0, 0);
}

TEST(OccupancyGrid, CoordinatesGoToTheNearestCellAndAreClamped) {
  OccupancyGrid grid(10);
  EXPECT_EQ(grid.CellX(14), 1);
  EXPECT_EQ(grid.CellX(15), 2);
  EXPECT_EQ(grid.CellX(25), 2);
  EXPECT_EQ(grid.CellX(-15), -2);
  EXPECT_FALSE(grid.OutOfGrid());
  EXPECT_EQ(grid.CellX(40000), kGridLastX);
  EXPECT_TRUE(grid.OutOfGrid());
  grid.ClearOutOfGrid();
  EXPECT_EQ(grid.CellY(-1000), kGridFirstY);
  EXPECT_TRUE(grid.OutOfGrid());
  EXPECT_EQ(grid.Code(kGridLastX + 1, 0), kCellBlocked) << "outside the grid nothing passes";
}

TEST(OccupancyGrid, ACellsCodeFollowsTheLayersOverItWhateverTheirOrder) {
  EXPECT_EQ(CodeAfter({kPoly}), kCellFree);
  EXPECT_EQ(CodeAfter({kNwell, kMetal2}), kCellFree);
  EXPECT_EQ(CodeAfter({kMetal}), kCellMetal);
  EXPECT_EQ(CodeAfter({kDiffp}), kCellDiffp);
  EXPECT_EQ(CodeAfter({kDiffn, kDiffn}), kCellDiffn);
  EXPECT_EQ(CodeAfter({kContact}), kCellBlocked);
  for (auto [a, b, code] : {std::tuple{kPoly, kDiffn, kCellBlocked},
                            {kMetal, kDiffp, kCellMixed},
                            {kMetal, kPoly, kCellMixed},
                            {kDiffp, kDiffn, kCellBlocked},
                            {kMetal, kVia, kCellBlocked}}) {
    EXPECT_EQ(CodeAfter({a, b}), code) << a << " then " << b;
    EXPECT_EQ(CodeAfter({b, a}), code) << b << " then " << a;
  }
  EXPECT_EQ(CodeAfter({kMetal, kDiffn, kMetal}), kCellMixed);
}

TEST(OccupancyGrid, ABoxCoversTheCellsOfItsEdgesGrownByOneLambda) {
  OccupancyGrid grid(10);
  grid.Mark(BoxOn(kMetal, 0, 0, 4, 3));  // grown: -1..5, which rounds to cell 0 (halves to even)
  grid.Mark(BoxOn(kMetal, 40, 40, 45, 44));  // grown: 39..46, cells 4 and 5 across
  EXPECT_EQ(grid.Code(0, 0), kCellMetal);
  EXPECT_EQ(grid.Code(1, 0), kCellFree);
  EXPECT_EQ(grid.Code(4, 4), kCellMetal);
  EXPECT_EQ(grid.Code(5, 4), kCellMetal);
  EXPECT_EQ(grid.Code(4, 5), kCellFree);
  grid.Mark(BoxOn(kMetal, 100000, 0, 100010, 10));  // beyond the grid: left out
  EXPECT_EQ(grid.Code(kGridLastX, 0), kCellFree);
}

TEST(OccupancyGrid, RollingBackTheJournalRestoresEveryCellMarkedSince) {
  OccupancyGrid grid(10);
  grid.Mark(BoxOn(kDiffn, 0, 0, 20, 4));
  grid.OpenJournal();
  grid.Mark(BoxOn(kMetal, 0, 0, 4, 3));
  const size_t afterFirst = grid.JournalSize();
  grid.Mark(BoxOn(kMetal, 10, 0, 30, 3));
  grid.Mark(BoxOn(kContact, 50, 50, 52, 52));
  grid.RollBack(afterFirst);
  EXPECT_EQ(grid.Code(0, 0), kCellMixed);
  EXPECT_EQ(grid.Code(2, 0), kCellDiffn) << "metal over diffusion taken back";
  EXPECT_EQ(grid.Code(3, 0), kCellFree);
  EXPECT_EQ(grid.Code(5, 5), kCellFree);
  grid.RollBack(0);
  EXPECT_EQ(grid.Code(0, 0), kCellDiffn);
  grid.CloseJournal();
  grid.Mark(BoxOn(kMetal, 0, 0, 4, 3));
  EXPECT_EQ(grid.JournalSize(), 0u) << "nothing is noted once the journal is closed";
}

struct Routing : ::testing::Test, testing::WithRules {
  OccupancyGrid grid{10};
  RouteResult Go(Point a, int la, Point b, int lb, int jog = kJogAnywhere) {
    return Route(layout, s.technology, grid, {a, la}, {b, lb}, jog);
  }
  void Wall(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    AddBox(layout, x1, y1, x2, y2, kMetal);
    grid.Mark(layout.boxes[layout.boxes.Count()]);
  }
  Rect Last() const { return RectOf(layout.boxes[layout.boxes.Count()]); }
};

TEST_F(Routing, EndsInOneColumnTakeTheStraightPathFirst) {
  const RouteResult r = Go({5, 5}, kMetal, {5, 20}, kMetal);
  EXPECT_TRUE(r.routed);
  EXPECT_EQ(r.tries, 1);
  ASSERT_EQ(r.drawn.boxesAdded, 1);
  EXPECT_EQ(Last(), (Rect{48, 48, 52, 202}));
  EXPECT_EQ(grid.Code(5, 12), kCellMetal) << "the wire is marked at once";
  EXPECT_EQ(layout.wide.modified, 1);
}

TEST_F(Routing, ABlockedRowGivesUpAfterFiveTries) {
  Wall(98, -1000, 102, 1000);
  const RouteResult r = Go({0, 5}, kMetal, {20, 5}, kMetal);
  EXPECT_FALSE(r.routed);
  EXPECT_EQ(r.tries, 5);
  EXPECT_EQ(layout.boxes.Count(), 1) << "nothing laid";
}

TEST_F(Routing, AnEnclosedEndFailsAfterTheProductOfTheDistancesPlusFive) {
  Wall(-25, -25, 25, -15);  // a metal frame around cell (0, 0)
  Wall(-25, 15, 25, 25);
  Wall(-25, -25, -15, 25);
  Wall(15, -25, 25, 25);
  const RouteResult r = Go({0, 0}, kMetal, {6, 4}, kMetal);
  EXPECT_FALSE(r.routed);
  EXPECT_EQ(r.tries, 6 * 4 + 5);
}

TEST_F(Routing, TheJogConstraintKeepsTheWireOnItsSide) {
  Wall(48, -2, 52, 2);  // blocks cell (5, 0) on the straight row
  RouteResult below = Go({0, 0}, kMetal, {10, 0}, kMetal, kJogNotAbove);
  ASSERT_TRUE(below.routed);
  EXPECT_EQ(below.tries, 2) << "row 0, then row -1; row 1 is skipped";
  EXPECT_LT(below.drawn.extentAdded.ymin, -5);
  Wall(48, 198, 52, 202);  // the same elsewhere, with the row above taken too
  Wall(18, 208, 82, 212);
  const RouteResult above = Go({0, 20}, kMetal, {10, 20}, kMetal, kJogNotBelow);
  ASSERT_TRUE(above.routed);
  EXPECT_EQ(above.tries, 3) << "rows 20, 21 and 22; row 19 is skipped";
  EXPECT_GE(above.drawn.extentAdded.ymax, 220);
}

TEST_F(Routing, ADiffusionEndKeepsItsDiffusionAndGetsAContact) {
  AddBox(layout, -5, -5, 25, 5, kDiffn);
  AddBox(layout, -3, 57, 3, 63, kMetal);  // the other end
  grid.Rebuild(layout);
  const RouteResult r = Go({0, 0}, kDiffn, {0, 6}, kMetal);
  ASSERT_TRUE(r.routed);
  int contacts = 0;
  ForEachLive(layout.boxes, [&](int, const Box& b) { contacts += b.layer == kContact; });
  EXPECT_EQ(contacts, 1);
  Layout copy = layout;
  SilentProgress quiet;
  ExtractLayout(copy, s.technology, {}, quiet);
  std::set<int> nodes;
  ForEachLive(copy.boxes, [&](int, const Box& b) { nodes.insert(b.node); });
  EXPECT_EQ(nodes.size(), 1u) << "the diffusion reaches the metal end";
}

TEST_F(Routing, ContactsAndStraightWiresAreMarkedInTheGrid) {
  const Generated c = PlaceContactAtCell(layout, s.technology, grid, {3, 3}, kContactPoly);
  EXPECT_EQ(c.boxesAdded, 3);
  EXPECT_EQ(grid.Code(3, 3), kCellBlocked);
  const Generated w =
      StraightWire(layout, s.technology, grid, {104, 0}, kContactDiffn, {146, 0}, 0);
  EXPECT_EQ(w.boxesAdded, 4) << "the wire and one contact";
  EXPECT_EQ(w.extentAdded, (Rect{98, -2, 152, 2}));
  EXPECT_EQ(grid.Code(13, 0), kCellMetal);
  EXPECT_EQ(grid.Code(10, 0), kCellBlocked);
}

int NodeAt(const Layout& l, Point p) {
  for (int i = 1; i <= l.boxes.Count(); ++i)
    if (l.boxes[i].state != kErased && l.boxes[i].layer == kMetal &&
        PointInRect(p, RectOf(l.boxes[i])))
      return l.boxes[i].node;
  return -1;
}

// A seeded field of metal obstacles over a fifth of its area (with some
// poly and diffusion) and pairs of free cells with a metal terminal each.
struct ObstacleField {
  std::vector<Point> obstacles;  // a point inside each metal obstacle
  std::vector<std::pair<Point, Point>> pairs;
};

ObstacleField MakeField(Layout& layout, OccupancyGrid& grid, unsigned seed) {
  ObstacleField field;
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> position(0, 780), size(5, 40), cell(1, 77), layer(0, 5);
  int64_t area = 0;
  while (area < 800 * 800 / 5) {
    const int x = position(random), y = position(random), w = size(random), h = size(random);
    const int which = layer(random);
    AddBox(layout, x, y, x + w, y + h, which == 0 ? kPoly : which == 1 ? kDiffn : kMetal);
    if (which > 1) field.obstacles.push_back({x + w / 2, y + h / 2});
    area += int64_t{w} * h;
  }
  grid.Rebuild(layout);
  while (field.pairs.size() < 25) {
    const Point a{cell(random), cell(random)}, b{cell(random), cell(random)};
    if (a == b || grid.Code(a.x, a.y) != kCellFree || grid.Code(b.x, b.y) != kCellFree) continue;
    for (Point p : {a, b}) {
      AddBox(layout, p.x * 10 - 1, p.y * 10 - 1, p.x * 10 + 1, p.y * 10 + 1, kMetal);
      grid.Mark(layout.boxes[layout.boxes.Count()]);
    }
    field.pairs.push_back({a, b});
  }
  return field;
}

// Each route laid joins its pair and touches no obstacle and no other wire;
// each route refused has used up its tries.
TEST_F(Routing, RoutesOnRandomObstacleFieldsJoinTheirEndsAndNothingElse) {
  for (unsigned seed : {1u, 2u, 3u}) {
    ReleaseAll(layout);
    const ObstacleField field = MakeField(layout, grid, seed);
    std::vector<std::pair<Point, Point>> routed;
    for (const auto& [a, b] : field.pairs) {
      const RouteResult r = Go(a, kMetal, b, kMetal);
      if (r.routed)
        routed.push_back({a, b});
      else
        EXPECT_EQ(r.tries, int64_t{std::abs(b.x - a.x)} * std::abs(b.y - a.y) + 5);
    }
    EXPECT_GE(routed.size(), 3u) << "seed " << seed;
    Layout copy = layout;
    SilentProgress quiet;
    ExtractLayout(copy, s.technology, {}, quiet);
    std::set<int> others;
    for (Point o : field.obstacles) others.insert(NodeAt(copy, o));
    std::set<int> wires;
    for (const auto& [a, b] : field.pairs) {
      const int na = NodeAt(copy, {a.x * 10, a.y * 10}), nb = NodeAt(copy, {b.x * 10, b.y * 10});
      const bool isRouted = std::count(routed.begin(), routed.end(), std::pair{a, b}) > 0;
      EXPECT_EQ(na == nb, isRouted) << "seed " << seed;
      EXPECT_EQ(others.count(na) + others.count(nb), 0u) << "a wire touched an obstacle";
      EXPECT_TRUE(wires.insert(na).second) << "two wires touched";
      if (na != nb) {
        EXPECT_TRUE(wires.insert(nb).second);
      }
    }
  }
}

// Refusing candidates by the reach of the ends finds what walking every
// candidate finds, after as many tries, with the same wires.
TEST_F(Routing, TheReachOfTheEndsChangesNoRoute) {
  for (unsigned seed : {4u, 5u}) {
    ReleaseAll(layout);
    const ObstacleField field = MakeField(layout, grid, seed);
    Layout walked = layout;
    OccupancyGrid walkedGrid = grid;
    for (const auto& [a, b] : field.pairs)
      for (int jog : {kJogNotBelow, kJogNotAbove, kJogAnywhere}) {
        const RouteResult fast = Route(layout, s.technology, grid, {a, kMetal}, {b, kMetal}, jog);
        const RouteResult plain = Route(walked, s.technology, walkedGrid, {a, kMetal}, {b, kMetal},
                                        jog, RouteSearch::Walk);
        EXPECT_EQ(fast.routed, plain.routed);
        EXPECT_EQ(fast.tries, plain.tries);
        EXPECT_EQ(fast.drawn.extentAdded, plain.drawn.extentAdded);
      }
    ASSERT_EQ(layout.boxes.Count(), walked.boxes.Count());
    for (int i = 1; i <= layout.boxes.Count(); ++i)
      EXPECT_EQ(RectOf(layout.boxes[i]), RectOf(walked.boxes[i]));
  }
}

}  // namespace
}  // namespace tarnisk
