#pragma once
// Rectilinear shapes of a file cut into boxes: polygons into disjoint boxes,
// paths into one box per segment. Coordinates are half file units.

#include <cstdint>
#include <span>
#include <vector>

#include "interchange/flatten.h"

namespace tarnisk {

struct LocalPoint {
  int64_t x = 0, y = 0;
  friend bool operator==(const LocalPoint&, const LocalPoint&) = default;
};

// Cuts a closed ring (the last point may repeat the first) into disjoint
// boxes under the even-odd rule, appended to `out`. Returns nullptr, or the
// kind the polygon is left out as: an edge that is neither horizontal nor
// vertical, no area at all, or edges crossing so much that the cut would
// take more than linear work (a simple polygon never does).
const char* DecomposePolygon(std::span<const LocalPoint> ring, std::vector<LocalBox>& out);

// The boxes of a path with square ends: each segment as wide as the path,
// extended by the half-width into every corner (so consecutive segments
// overlap there), by beginExtension before the first point and by
// endExtension after the last. Returns nullptr or the kind left out as.
const char* PathBoxes(std::span<const LocalPoint> points, int64_t halfWidth,
                      int64_t beginExtension, int64_t endExtension, std::vector<LocalBox>& out);

}  // namespace tarnisk
