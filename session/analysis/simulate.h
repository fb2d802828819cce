#pragma once
// The analog simulator on the session's extracted circuit.

#include "sim/simulation.h"

namespace tarnisk {

struct Session;

// The session's simulation state over its layout, circuit, technology and
// extraction options, reporting to the session's progress.
Simulation SimulationOf(Session& s);

// Extracts when needed and initialises the simulation. False, with the
// extraction's summary in the status line, when the circuit is incomplete.
bool PrepareSimulation(Session& s);

}  // namespace tarnisk
