#pragma once
// Paths laid segment by segment as the user clicks: each segment runs
// straight from the path's start along the longer direction towards the
// point clicked, on the path's layer and width, with via arrays at its ends
// on request; a polarization path is metal with diffusion contacts along it.

#include <cstdint>

#include "core/technology.h"
#include "gen/generated.h"
#include "gen/settings.h"

namespace tarnisk {

// The nearest integer to v / step, halves to even (step >= 1).
int64_t RoundedQuotient(int64_t v, int64_t step);

// The nearest multiple of `step` (halves to even): the routing grid's
// coordinate of v. v itself when step < 1.
inline int64_t SnapToGrid(int64_t v, int64_t step) {
  return step < 1 ? v : RoundedQuotient(v, step) * step;
}

struct PathSegment {
  Rect box;         // the segment's wire
  Point nextStart;  // where the next segment starts: the end of this one
};

// One segment from `start` towards `end` (lambda). With alignment on, both
// are first taken to the routing grid of `routingStep`.
PathSegment DrawPathSegment(LayoutWriter& out, const Technology& t, const PathSettings& path,
                            int32_t routingStep, Point start, Point end);

// The layer a path's wire is drawn on: metal for the polarization paths.
inline int PathWireLayer(int pathLayer) {
  return pathLayer == kDiffn || pathLayer == kDiffp ? kMetal : pathLayer;
}

}  // namespace tarnisk
