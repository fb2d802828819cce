#include "session/analysis/truth_command.h"

#include <set>
#include <utility>

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

// A signal named twice (or two names of one node), a node both driven and
// read, or a supply driven as an input would give columns that contradict
// each other: what is wrong with the lists, or empty.
std::string SignalProblem(const Session& s, const TruthSignals& signals) {
  std::set<int> inputNodes, outputNodes;
  for (const std::string& name : signals.inputs)
    for (const int node : NodesNamed(s.layout.nodes, name)) {
      if (IsSupplyNode(s.layout.nodes.nodes[size_t(node)]))
        return "\"" + name + "\" is a supply, not an input";
      if (!inputNodes.insert(node).second) return "\"" + name + "\" is named twice as an input";
    }
  for (const std::string& name : signals.outputs)
    for (const int node : NodesNamed(s.layout.nodes, name)) {
      if (inputNodes.count(node)) return "\"" + name + "\" is both an input and an output";
      if (!outputNodes.insert(node).second) return "\"" + name + "\" is named twice as an output";
    }
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
  if (std::string problem = SignalProblem(s, signals); !problem.empty()) {
    outcome.problem = std::move(problem);
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
