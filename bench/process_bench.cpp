// The cross-section of a cut across a 1,900-inverter array (budget 50 ms)
// and a 20-point temperature sweep of the example ring oscillator, with an
// extraction and a 20 ns simulation at each point (budget 1 s).
// Run: build/release/bench/tarnisk_process_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/bench_layout.h"
#include "core/msk_file.h"
#include "core/progress.h"
#include "core/rule_file.h"
#include "core/technology.h"
#include "process/parametric.h"
#include "process/section.h"
#include "sim/simulation.h"
#include "verify/extract.h"

namespace tarnisk {
namespace {

struct BenchState : BenchLayout {
  ExtractOptions options;
  std::unique_ptr<Circuit> circuit = std::make_unique<Circuit>();
  SimulationState simulation;

  BenchState() : BenchLayout(TARNISK_PROCESS_RULES) {}
  bool Read(const std::string& path) {
    return ReadLayoutFile(*layout, path, ReadMode::Open, progress).LastError() == 0;
  }
};

void BM_SectionAcrossInverterArray(benchmark::State& state) {
  BenchState b;
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnisk-process-bench.msk").string();
  const std::string command = std::string("python3 '") + TARNISK_INVERTER_GENERATOR +
                              "' --inverters 1900 '" + path + "' > /dev/null";
  const bool read = std::system(command.c_str()) == 0 && b.Read(path);
  std::remove(path.c_str());
  if (!read) {
    state.SkipWithError("cannot generate the inverter array");
    return;
  }
  ComputeExtent(*b.layout);
  const Rect e = b.layout->wide.extent;
  const SectionCut cut = CutThrough({e.xmin, (e.ymin + e.ymax) / 2}, {e.xmax, (e.ymin + e.ymax) / 2});
  ProcessSection section;
  for (auto _ : state) {
    section = BuildSection(*b.layout, cut, 2);
    benchmark::DoNotOptimize(section.pieces.data());
  }
  state.counters["boxes"] = b.layout->boxes.Count();
  state.counters["crossed"] = double(section.crossedBoxes.size());
  state.counters["columns"] = double(section.boundaries.size() - 1);
}
BENCHMARK(BM_SectionAcrossInverterArray)->Unit(benchmark::kMillisecond);

void BM_TemperatureSweepOfRingOscillator(benchmark::State& state) {
  BenchState b;
  if (!b.Read(TARNISK_RING_LAYOUT)) {
    state.SkipWithError("cannot read the ring oscillator");
    return;
  }
  SweepRequest request;
  request.parameter = SweepParameter::Temperature;
  request.range = {0, 95, 5};
  request.measure = kMeasureFrequency;
  request.measuredNode = "out";
  SweepResult result;
  for (auto _ : state) {
    result = RunSweep({*b.layout, b.technology, *b.circuit, b.options, b.simulation, b.progress},
                      request, nullptr);
    benchmark::DoNotOptimize(result.points.data());
  }
  if (result.failed) state.SkipWithError(result.message.c_str());
  state.counters["points"] = double(result.points.size());
}
BENCHMARK(BM_TemperatureSweepOfRingOscillator)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
