#pragma once
// The truth table of an extracted circuit as the analog simulator settles
// it: each input combination is held on the input nodes (0 V or the supply)
// until every free node comes to rest, and an output reads 1 above half the
// supply, 0 below it; X when the circuit did not come to rest and the output
// lies within a tenth of the supply of its half.

#include "verify/truth_table.h"

namespace tarnisk {

class Simulation;

// Rest: no free node moves by more than this over a check interval.
inline constexpr double kSettledVolts = 1e-4;
// A combination that has not come to rest after this long reads X.
inline constexpr double kSettleLimit = 50e-9;  // s
// The share of the supply either side of its half where an output that has
// not come to rest reads X.
inline constexpr double kUndecidedBand = 0.1;

// The simulation must be initialised (InitSimulation) on the circuit.
// Each combination starts from the node voltages the previous one left.
TruthTable AnalogTruthTable(Simulation& s, const TruthSignals& signals);

}  // namespace tarnisk
