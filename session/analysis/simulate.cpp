#include "session/analysis/simulate.h"

#include "session/analysis/extract_command.h"
#include "session/session.h"

namespace tarnisk {

Simulation SimulationOf(Session& s) {
  return Simulation(s.simulation, s.layout, s.circuit, s.technology, s.extractOptions,
                    s.progress);
}

bool PrepareSimulation(Session& s) {
  if (!EnsureExtracted(s)) return false;
  Simulation simulation = SimulationOf(s);
  InitSimulation(simulation);
  return true;
}

}  // namespace tarnisk
