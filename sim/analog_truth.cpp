#include "sim/analog_truth.h"

#include <algorithm>
#include <cmath>

#include "core/layout.h"
#include "core/technology.h"
#include "sim/simulation.h"

namespace tarnisk {

namespace {

constexpr int kCheckInterval = 100;  // steps

// Steps until no free node moves; false when the limit came first.
bool Settle(Simulation& s) {
  std::vector<SimNode>& nodes = s.state.nodes;
  const int limit = std::max(kCheckInterval, int(kSettleLimit / s.state.TimeStep));
  std::vector<double> before(nodes.size());
  for (int done = 0; done < limit; done += kCheckInterval) {
    for (size_t k = 0; k < nodes.size(); ++k) before[k] = nodes[k].V;
    for (int i = 0; i < kCheckInterval; ++i) SimulationStep(s, nullptr);
    double moved = 0;
    for (size_t k = 0; k < nodes.size(); ++k)
      if (nodes[k].kind == kPropertyNone) moved = std::max(moved, std::fabs(nodes[k].V - before[k]));
    if (moved < kSettledVolts) return true;
  }
  return false;
}

}  // namespace

TruthTable AnalogTruthTable(Simulation& s, const TruthSignals& signals) {
  std::vector<SimNode>& nodes = s.state.nodes;
  const double vdd = s.technology.VDD;
  // The input nodes are held like supplies: no step moves them.
  for (const std::string& name : signals.inputs)
    for (const int k : NodesNamed(s.layout.nodes, name))
      if (k >= 2 && k < int(nodes.size())) nodes[size_t(k)].kind = kPropertyVss;
  PrepareTopology(s);
  return EnumerateTruthTable(s.layout.nodes, signals, [&](const auto& driven) {
    for (const auto& [k, v] : driven)
      if (k >= 2 && k < int(nodes.size())) nodes[size_t(k)].V = v == Logic::One ? vdd : 0.0;
    // A node still creeping at the limit (an internal node of a series
    // chain charged through a device near its threshold) reads by its
    // level all the same, unless it lies near the half.
    const double band = Settle(s) ? 0 : kUndecidedBand * vdd;
    std::vector<Logic> values(nodes.size(), Logic::X);
    for (size_t k = 0; k < nodes.size(); ++k)
      if (std::fabs(nodes[k].V - vdd / 2) >= band)
        values[k] = nodes[k].V > vdd / 2 ? Logic::One : Logic::Zero;
    return values;
  });
}

}  // namespace tarnisk
