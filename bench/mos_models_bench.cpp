// One drain-current evaluation per level, over a sweep of gate and drain
// voltages: the simulator makes one such call per device and node each step.
// Run: build/release/bench/tarnisk_bench --benchmark_filter=Mos

#include <benchmark/benchmark.h>


#include "core/technology.h"
#include "models/mos_models.h"

namespace tarnisk {
namespace {

void BM_MosCurrent(benchmark::State& st) {
  Technology t;
  t.pmos.PHIB = 0.7;
  UpdateTemperature(t, t.TEMP);
  const MosModel model{t, int(st.range(0))};
  double v = 0;
  for (auto _ : st) {
    v += 0.001;
    if (v > 5) v = 0;
    benchmark::DoNotOptimize(NmosCurrent(model, v, 5 - v, 0, 0, 10e-6, 2e-6));
    benchmark::DoNotOptimize(PmosCurrent(model, v, 5 - v, 5, 5, 20e-6, 2e-6));
  }
}
BENCHMARK(BM_MosCurrent)->Arg(kModelLevel1)->Arg(kModelLevel3)->Arg(kModelLevel9);

}  // namespace
}  // namespace tarnisk
