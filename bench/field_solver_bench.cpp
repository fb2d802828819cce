// The capacitance matrix of a cross-section through ten conductors on the
// five metals of a 0.35 um-like process, at the default 1 % accuracy
// (budget 1 s).
// Run: build/release/bench/tarnisk_field_solver_bench

#include <benchmark/benchmark.h>

#include "process/field_solver.h"

namespace tarnisk {
namespace {

CrossSection FiveMetalSection() {
  CrossSection s;
  // Field oxide, the dielectrics between the metals, and nitride on top.
  s.dielectrics = {{0, 0.9, 3.9}, {0.9, 1.6, 4.2}, {1.6, 2.9, 3.9}, {2.9, 4.2, 3.9},
                   {4.2, 5.5, 3.9}, {5.5, 7.5, 3.9}, {7.5, 8.5, 7.0}};
  const double metal[5][2] = {{1.0, 1.5}, {2.3, 2.8}, {3.6, 4.1}, {4.9, 5.4}, {6.2, 7.2}};
  auto add = [&](const char* name, int m, double x0, double x1) {
    s.conductors.push_back({name, {{x0, x1, metal[m][0], metal[m][1]}}});
  };
  add("m1a", 0, 0.0, 0.5), add("m1b", 0, 1.0, 1.5), add("m1c", 0, 2.0, 2.5);
  add("m2a", 1, 0.5, 1.0), add("m2b", 1, 1.5, 2.0), add("m2c", 1, 2.5, 3.0);
  add("m3a", 2, 0.0, 1.2), add("m3b", 2, 2.0, 3.0);
  add("m4", 3, 0.6, 2.4);
  add("m5", 4, -1.0, 4.0);
  return s;
}

void BM_FieldSolveTenConductors(benchmark::State& state) {
  const CrossSection section = FiveMetalSection();
  FieldSolution result;
  for (auto _ : state) {
    result = SolveCapacitance(section);
    benchmark::DoNotOptimize(result.capacitance.data());
  }
  if (!result.ok()) {
    state.SkipWithError(result.error.c_str());
    return;
  }
  state.counters["nodes"] = double(result.nx) * result.ny;
  state.counters["unknowns"] = result.unknowns;
}
BENCHMARK(BM_FieldSolveTenConductors)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
