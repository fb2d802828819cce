#include "verify/truth_table.h"

#include <algorithm>
#include <numeric>
#include <set>

#include "core/layout.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

// Groups of nodes joined by conducting switches.
class Groups {
 public:
  explicit Groups(int count) : parent_(size_t(count)), reaches_(size_t(count), 0) {
    std::iota(parent_.begin(), parent_.end(), 0);
  }
  int Find(int k) {
    while (parent_[size_t(k)] != k) k = parent_[size_t(k)] = parent_[size_t(parent_[size_t(k)])];
    return k;
  }
  void Join(int a, int b) { parent_[size_t(Find(a))] = Find(b); }
  // What the group of node k reaches: bit 1 a driven 0, bit 2 a driven 1.
  uint8_t& Reaches(int k) { return reaches_[size_t(Find(k))]; }

 private:
  std::vector<int> parent_;
  std::vector<uint8_t> reaches_;
};

uint8_t Bit(Logic v) { return v == Logic::Zero ? 1 : v == Logic::One ? 2 : 3; }

}  // namespace

std::vector<int> NodesNamed(const NodeTable& nodes, const std::string& name) {
  std::vector<int> found;
  for (int k = 0; k <= nodes.count; ++k)
    if (nodes.nodes[size_t(k)].name == name) found.push_back(k);
  return found;
}

TruthSignals DefaultTruthSignals(const Layout& layout, const Circuit& circuit) {
  const NodeTable& nodes = layout.nodes;
  std::set<int> terminals;
  for (const auto* devices : {&circuit.nmos, &circuit.pmos})
    for (const MosDevice& d : *devices) terminals.insert({d.Source, d.Drain});
  std::set<std::string> inputs, outputs;
  ForEachLive(layout.texts, [&](int, const LayoutText& t) {
    if (t.node < 2 || t.node > nodes.count) return;
    const nodeBaseRecord& n = nodes.nodes[size_t(t.node)];
    if (n.name != t.text || IsSupplyNode(n)) return;
    (terminals.count(t.node) ? outputs : inputs).insert(t.text);
  });
  TruthSignals signals;
  for (const std::string& name : inputs)
    if (!outputs.count(name)) signals.inputs.push_back(name);
  signals.outputs.assign(outputs.begin(), outputs.end());
  return signals;
}

SwitchLevelEvaluator::SwitchLevelEvaluator(const NodeTable& nodes, const Circuit& circuit)
    : count_(nodes.count + 1), supplies_(size_t(nodes.count) + 1, Logic::X) {
  for (int k = 0; k < count_; ++k) {
    const uint8_t property = nodes.nodes[size_t(k)].property;
    if (property == kPropertyVdd) supplies_[size_t(k)] = Logic::One;
    if (property == kPropertyVss) supplies_[size_t(k)] = Logic::Zero;
  }
  const auto valid = [&](int k) { return k >= 0 && k < count_; };
  for (const bool pmos : {false, true})
    for (const MosDevice& d : pmos ? circuit.pmos : circuit.nmos)
      if (valid(d.Gate) && valid(d.Source) && valid(d.Drain))
        switches_.push_back({d.Gate, d.Source, d.Drain, pmos});
}

std::vector<Logic> SwitchLevelEvaluator::Evaluate(
    const std::vector<std::pair<int, Logic>>& driven) const {
  std::vector<Logic> fixed = supplies_;
  for (const auto& [node, value] : driven)
    if (node >= 0 && node < count_) fixed[size_t(node)] = value;
  std::vector<bool> isFixed(static_cast<size_t>(count_), false);
  for (int k = 0; k < count_; ++k) isFixed[size_t(k)] = fixed[size_t(k)] != Logic::X;
  for (const auto& [node, value] : driven)
    if (node >= 0 && node < count_) isFixed[size_t(node)] = true;
  std::vector<Logic> values = fixed;
  // Each round decides the switches from the present values; the values
  // settle within as many rounds as the circuit is deep. A loop that keeps
  // changing is left as it stands after one round per node.
  for (int round = 0; round <= count_; ++round) {
    Groups surely(count_), maybe(count_);
    std::vector<std::pair<int, Logic>> touches[2];  // (free node, fixed value): sure, possible
    for (const Switch& s : switches_) {
      const Logic g = values[size_t(s.gate)];
      const bool on = s.pmos ? g == Logic::Zero : g == Logic::One;
      if (!on && g != Logic::X) continue;
      const bool fa = isFixed[size_t(s.a)], fb = isFixed[size_t(s.b)];
      if (fa && fb) continue;
      if (fa || fb) {
        const int free = fa ? s.b : s.a;
        const Logic v = fixed[size_t(fa ? s.a : s.b)];
        touches[1].push_back({free, v});
        if (on) touches[0].push_back({free, v});
        continue;
      }
      maybe.Join(s.a, s.b);
      if (on) surely.Join(s.a, s.b);
    }
    for (const auto& [node, v] : touches[0]) surely.Reaches(node) |= Bit(v);
    for (const auto& [node, v] : touches[1]) maybe.Reaches(node) |= Bit(v);
    std::vector<Logic> next = fixed;
    for (int k = 0; k < count_; ++k) {
      if (isFixed[size_t(k)]) continue;
      const uint8_t sure = surely.Reaches(k), possible = maybe.Reaches(k);
      if (possible == 2 && (sure & 2)) next[size_t(k)] = Logic::One;
      else if (possible == 1 && (sure & 1)) next[size_t(k)] = Logic::Zero;
      else next[size_t(k)] = Logic::X;
    }
    if (next == values) break;
    values = std::move(next);
  }
  return values;
}

TruthTable EnumerateTruthTable(const NodeTable& nodes, const TruthSignals& signals,
                               const NodeValues& nodeValues) {
  TruthTable table{signals.inputs, signals.outputs, {}};
  const size_t n = std::min(signals.inputs.size(), kMaxTruthInputs);
  std::vector<std::vector<int>> inputNodes, outputNodes;
  for (const std::string& name : signals.inputs) inputNodes.push_back(NodesNamed(nodes, name));
  for (const std::string& name : signals.outputs) outputNodes.push_back(NodesNamed(nodes, name));
  for (uint32_t row = 0; row < (uint32_t{1} << n); ++row) {
    std::vector<Logic> line;
    std::vector<std::pair<int, Logic>> driven;
    for (size_t i = 0; i < n; ++i) {
      const Logic v = (row >> (n - 1 - i)) & 1 ? Logic::One : Logic::Zero;
      line.push_back(v);
      for (const int node : inputNodes[i]) driven.push_back({node, v});
    }
    const std::vector<Logic> values = nodeValues(driven);
    for (const std::vector<int>& group : outputNodes) {
      Logic v = group.empty() ? Logic::X : values[size_t(group.front())];
      for (const int node : group)
        if (values[size_t(node)] != v) v = Logic::X;
      line.push_back(v);
    }
    table.rows.push_back(std::move(line));
  }
  return table;
}

TruthTable SwitchLevelTruthTable(const Layout& layout, const Circuit& circuit,
                                 const TruthSignals& signals) {
  const SwitchLevelEvaluator evaluator(layout.nodes, circuit);
  return EnumerateTruthTable(layout.nodes, signals,
                             [&](const auto& driven) { return evaluator.Evaluate(driven); });
}

}  // namespace tarnisk
