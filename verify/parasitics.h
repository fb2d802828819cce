#pragma once
// Node capacitances to ground from the areas and perimeters of the boxes, and
// on request the coupling capacitances between nodes with the crosstalk noise
// they cause.

namespace tarnisk {

class Progress;
struct ExtractionRun;
struct Layout;
struct Technology;

// Fills NodeCapacitance of every node and clears its noise figures.
void ComputeCapacitances(Layout& layout, const Technology& t, Progress& progress);

// Builds the run's coupling matrix (vertical overlap and lateral proximity, as
// the options ask) and evaluates the crosstalk. Returns 0, or 1 / 2 when the
// X / Y coordinate list of the lateral grid overflowed (the circuit's alert
// then says so).
int ComputeCrosstalk(ExtractionRun& run);

}  // namespace tarnisk
