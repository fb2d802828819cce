#pragma once
// The parametric analysis on the session: the node a spacing line points
// at, and the sweeps run on the session's layout, circuit, technology and
// simulation, reported in the status line.

#include "process/parametric.h"

namespace tarnisk {

struct Session;

struct SweepNodeChoice {
  int node = 0;        // 0 when nothing was found
  bool byBox = false;  // found through a box rather than a text
};

// The node of the last text near the line (its position within the line's
// bounding rectangle grown by 5 lambda, or its label holding the line's
// start) that names one of the nodes 2 .. N; else the node of the last box
// overlapping the line's bounding rectangle.
SweepNodeChoice SweepNodeNear(const Session& s, const SpacingLine& line);

// Runs the sweep without drawing the pieces the extractions add, then shows
// its message and redraws the layout.
SweepResult RunParametric(Session& s, const SweepRequest& request, SweepObserver* observer);

}  // namespace tarnisk
