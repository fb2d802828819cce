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

namespace tarnisk {

struct AppState;

// Both phases with the status messages and the redraw.
void ArrangeLayout(AppState& s);

// Purges the box table, then merges until nothing changes.
// Returns whether anything was merged.
bool ArrangeMergePhase(AppState& s);

// Splits overlapping boxes until nothing changes; the table is purged after
// every round. A split whose parts do not fit in the table waits for the next
// round; when overlaps are left for that reason LastError is the full-table
// code. Returns whether anything was split.
bool ArrangeSplitPhase(AppState& s);

}  // namespace tarnisk
