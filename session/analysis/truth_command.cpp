#include "session/analysis/truth_command.h"

#include "session/analysis/extract_command.h"
#include "session/analysis/simulate.h"
#include "session/session.h"
#include "sim/analog_truth.h"

namespace tarnisk {

namespace {

// The first name that no node carries, or empty.
std::string Unknown(const Session& s, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    if (NodesNamed(s.layout.nodes, name).empty()) return name;
  return "";
}

}  // namespace

TruthOutcome TruthTableOf(Session& s, const TruthRequest& request) {
  TruthOutcome outcome;
  if (!EnsureExtracted(s)) {
    outcome.problem = "the extraction is incomplete: " + s.circuit.summary;
    return outcome;
  }
  TruthSignals signals = DefaultTruthSignals(s.layout, s.circuit);
  if (!request.inputs.empty()) signals.inputs = request.inputs;
  if (!request.outputs.empty()) signals.outputs = request.outputs;
  for (const auto* names : {&signals.inputs, &signals.outputs})
    if (const std::string name = Unknown(s, *names); !name.empty()) {
      outcome.problem = "no node is named \"" + name + "\"";
      return outcome;
    }
  if (signals.inputs.size() > kMaxTruthInputs) {
    outcome.problem = std::to_string(signals.inputs.size()) + " inputs: at most " +
                      std::to_string(kMaxTruthInputs) + " are enumerated";
    return outcome;
  }
  if (!request.analog) {
    outcome.table = SwitchLevelTruthTable(s.layout, s.circuit, signals);
    return outcome;
  }
  PrepareSimulation(s);
  Simulation simulation = SimulationOf(s);
  outcome.table = AnalogTruthTable(simulation, signals);
  return outcome;
}

}  // namespace tarnisk
