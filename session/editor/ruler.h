#pragma once
// The distance ruler: up to two legs between two points, with ticks every
// half grid step and the distances in lambda and microns.

#include "core/geometry.h"

namespace tarnisk {

struct Session;

// Draws the ruler from pixel a to pixel b and shows the distances in the
// status line.
void Ruler(Session& s, Point a, Point b);

}  // namespace tarnisk
