#pragma once
// Working state of the editing operations, kept between commands.

#include <cstdint>

#include "core/geometry.h"

namespace tarnisk {

// Stretch edges.
enum StretchEdge : int8_t { kEdgeSouth = -2, kEdgeWest = -1, kEdgeNone = 0, kEdgeEast = 1, kEdgeNorth = 2 };

struct EditState {
  Rect selection = kSentinelRect;  // lambda, bounding box of the last selection
  int stretchBox = 0;              // box index, 0 = none
  int stretchEdge = kEdgeNone;
  Rect savedStretch;
  int duplicateCountX = 2, duplicateCountY = 2;
  int duplicateSpacingX = 0, duplicateSpacingY = 0;
  int moveStep = 1;  // lambda per arrow click
};

}  // namespace tarnisk
