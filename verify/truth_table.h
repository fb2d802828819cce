#pragma once
// Truth tables of an extracted circuit, for checking that a drawn or
// compiled cell does what its equation says. Signals are node names: every
// node that carries the name is driven together (equal-named ports of a
// cell are meant to be joined) and an output is the value its nodes agree
// on. The switch-level evaluator here treats each transistor as a switch:
// an nMOS conducts when its gate is 1, a pMOS when its gate is 0, and each
// node resolves to 0, 1 or X (undriven, fighting or undecided) from the
// supplies and inputs it is connected to.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnisk {

struct Circuit;
struct Layout;
struct NodeTable;

enum class Logic : uint8_t { Zero, One, X };

// Rows beyond 2^16 are not enumerated.
inline constexpr size_t kMaxTruthInputs = 16;

struct TruthTable {
  std::vector<std::string> inputs, outputs;
  // One row per input combination, counting up with the first input as the
  // most significant: the input values, then the output values.
  std::vector<std::vector<Logic>> rows;
};

// The default signals: the labelled nodes (other than the supplies) that no
// transistor's source or drain touches are inputs, the others outputs, each
// list in name order.
struct TruthSignals {
  std::vector<std::string> inputs, outputs;
};
TruthSignals DefaultTruthSignals(const Layout& layout, const Circuit& circuit);

// The nodes that carry a name.
std::vector<int> NodesNamed(const NodeTable& nodes, const std::string& name);

// The node values (indexed by node number) for given values of the driven
// nodes; the supply nodes are driven by their property.
class SwitchLevelEvaluator {
 public:
  SwitchLevelEvaluator(const NodeTable& nodes, const Circuit& circuit);
  std::vector<Logic> Evaluate(const std::vector<std::pair<int, Logic>>& driven) const;

 private:
  struct Switch {
    int gate, a, b;
    bool pmos;
  };
  int count_;
  std::vector<Logic> supplies_;  // per node: its supply value, or X when it is no supply
  std::vector<Switch> switches_;
};

// Enumerates the input combinations of `signals` (each input drives every
// node of its name) and asks `outputsOf` for each row's node values, indexed
// by node number; an output whose nodes disagree is X.
using NodeValues =
    std::function<std::vector<Logic>(const std::vector<std::pair<int, Logic>>& driven)>;
TruthTable EnumerateTruthTable(const NodeTable& nodes, const TruthSignals& signals,
                               const NodeValues& nodeValues);

// The switch-level truth table of the layout's extracted circuit.
TruthTable SwitchLevelTruthTable(const Layout& layout, const Circuit& circuit,
                                 const TruthSignals& signals);

}  // namespace tarnisk
