// A 20 ns transient at 5 ps (4,000 steps) of 1,000 generated inverters
// (2,000 devices) at each model level; budget 0.5 s at Level 3. The
// inverters form four chains of 250, each driven by its own clock: a single
// row of 1,000 cells is too wide for the extraction's gate grid.
// Run: build/release/bench/tarnisk_bench --benchmark_filter=Simulate

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "session/analysis/extract_command.h"
#include "session/analysis/simulate.h"
#include "session/files.h"
#include "session/session.h"
#include "ui/headless_platform.h"

namespace tarnisk {
namespace {

constexpr int kInverters = 1000;
constexpr int kChainLength = 250;

// Writes the chain with the generator script, opens and extracts it.
bool ExtractChain(Session& s) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnisk-sim-bench.msk").string();
  const std::string command = std::string("python3 '") + TARNISK_INVERTER_GENERATOR +
                              "' --texts --columns " + std::to_string(kChainLength) +
                              " --inverters " + std::to_string(kInverters) + " '" + path +
                              "' > /dev/null";
  const bool generated = std::system(command.c_str()) == 0;
  if (generated) OpenLayoutFile(s, path, ReadMode::Open);
  std::remove(path.c_str());
  return generated && s.LastError == 0 && EnsureExtracted(s);
}

void BM_SimulateInverterChain(benchmark::State& bench) {
  HeadlessPlatform platform;
  auto s = std::make_unique<Session>(platform);
  LoadRuleFile(*s, TARNISK_SIM_RULES);
  s->extractOptions.modelLevel = int(bench.range(0));
  if (!ExtractChain(*s)) {
    bench.SkipWithError("the inverter chain could not be generated or extracted");
    return;
  }
  Simulation simulation = SimulationOf(*s);
  for (auto _ : bench) {
    InitSimulation(simulation);
    AssignNodes(simulation);
    s->simulation.TimeStep = 5e-12;
    s->simulation.SimLength = 20e-9;
    RunSimulation(simulation, nullptr);
  }
  bench.counters["steps"] = s->simulation.stepCount;
  bench.counters["devices"] = double(s->circuit.nmos.size() + s->circuit.pmos.size());
}
BENCHMARK(BM_SimulateInverterChain)
    ->Arg(kModelLevel1)->Arg(kModelLevel3)->Arg(kModelLevel9)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
