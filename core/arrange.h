#pragma once
// "Arrange the Layout": merges boxes of a layer that abut or overlap along a
// common width or height, then splits overlapping boxes into pieces that do
// not overlap, so that the same area is covered by fewer, disjoint boxes.
// Contacts are never merged or split.
//
// Each phase works in rounds until a round changes nothing; a round visits
// every pair (i, j > i) of a layer that changed in the round before. Spatial
// look-ups stand in for the pairwise scan: the boxes, their count and their
// table order after each phase are those of the plain pairwise scan.

#include <array>
#include <string>

#include "core/geometry.h"
#include "core/layout.h"

namespace tarnisk {

class Progress;

// The progress words shown while boxes are being cleaned up, in turn.
inline constexpr const char* kCleaningWords[8] = {"Cleaning", "cLeaning", "clEaning", "cleAning",
                                                  "cleaNing", "cleanIng", "cleaniNg", "cleaninG"};

// The rules for one pair of boxes of a layer, shared with the extraction's
// cleaning of the box store.

// Merges b into a when they share x1 and x2 and their y ranges touch, or
// share y1 and y2 and their x ranges touch; b is then erased.
bool MergeTouching(Box& a, Box& b);

bool InteriorsOverlap(const Box& a, const Box& b);

// Which box of an overlapping pair (a at index i, b at index j) goes, and the
// parts that replace it (empty rectangles are not added).
struct BoxReplacement {
  int victim;
  std::array<Rect, 4> parts;
};
BoxReplacement ResolveOverlap(const Box& a, int i, const Box& b, int j);

// Adds the parts and erases the victim; false, with nothing changed, when the
// parts do not fit in the table.
bool ReplaceBox(Layout& layout, const BoxReplacement& r);

// One merge pass over the boxes first..last of a layer: each live box takes
// in, one after the other, every later live box that MergeTouching accepts,
// exactly as the pairwise scan does. Returns whether anything merged.
bool MergeLayerBoxes(RecordTable<Box, kMaxBoxes>& boxes, int first, int last);

// What both phases did.
struct ArrangeResult {
  bool merged = false, split = false;
  int countBefore = 0, countAfter = 0;
  TableStatus status = kTableOk;  // full when overlaps were left for want of room
  std::string message;            // the closing status message
};

// Both phases, then the boxes ordered by layer.
ArrangeResult ArrangeBoxes(Layout& layout, Progress& progress);

// Purges the box table, then merges until nothing changes.
// Returns whether anything was merged.
bool ArrangeMergePhase(Layout& layout, Progress& progress);

// Splits overlapping boxes until nothing changes; the table is purged after
// every round. A split whose parts do not fit in the table waits for the next
// round; when overlaps are left for that reason the status is the full-table
// code.
struct SplitPhaseResult {
  bool split = false;
  TableStatus status = kTableOk;
};
SplitPhaseResult ArrangeSplitPhase(Layout& layout, Progress& progress);

}  // namespace tarnisk
