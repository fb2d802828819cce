#pragma once
// The three-segment router of the compilers: a wire between two grid cells
// runs along a jog row or a jog column with one corner near each end, the
// jog searched outward from the midpoint until a path that crosses no metal,
// contact or mixed cell is found or the tries run out. The contacts and
// straight wires the compilers lay beside it go through here too, so that
// every box they add is marked in the grid at once.

#include <cstdint>

#include "core/technology.h"
#include "gen/generated.h"
#include "route/occupancy_grid.h"

namespace tarnisk {

// Which jogs a route may take.
enum JogConstraint : int {
  kJogNotBelow = 0,  // no jog row below both ends
  kJogNotAbove = 1,  // no jog row above both ends
  kJogAnywhere = 2,  // (any other value)
};

// An end of a route: a grid cell and the layer the wire meets there.
struct RouteEnd {
  Point cell;
  int layer = kMetal;
};

struct RouteResult {
  bool routed = false;
  int64_t tries = 0;  // candidate paths examined
  Generated drawn;    // the wire's boxes
};

// How the candidates are examined: each walked cell by cell, or first held
// against how far each end can reach in a straight line, which refuses most
// of them at once. Both find the same routes after the same tries.
enum class RouteSearch { Walk, Reach };

// Routes from `from` to `to` and lays the first acceptable path: metal, with
// up to three cells of diffusion kept at an end that lies on diffusion and a
// diffusion contact where the wire changes layer (at the end cell itself
// when the grid shows no diffusion there, as beside a gate), and a contact
// of the end's layer at a poly or upper-metal end. Tries at most |dx| |dy| + 5 paths.
RouteResult Route(Layout& layout, const Technology& t, OccupancyGrid& grid, RouteEnd from,
                  RouteEnd to, int jog, RouteSearch search = RouteSearch::Reach);

// One contact of `kind` at the layout point of `cell`.
Generated PlaceContactAtCell(Layout& layout, const Technology& t, OccupancyGrid& grid, Point cell,
                             int kind);

// A metal wire between two layout points taken to the routing grid, reaching
// half a metal width beyond them, with a contact of kindA at the first and of
// kindB at the second (another number for none).
Generated StraightWire(Layout& layout, const Technology& t, OccupancyGrid& grid, Point a, int kindA,
                       Point b, int kindB);

}  // namespace tarnisk
