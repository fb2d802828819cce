// One drain-current evaluation per level, over a sweep of gate and drain
// voltages: the simulator makes one such call per device and node each step.
// Run: build/release/bench/tarnisk_bench --benchmark_filter=Mos

#include <benchmark/benchmark.h>

#include <memory>

#include "core/app_state.h"
#include "sim/mos_models.h"
#include "ui/headless_platform.h"
#include "verify/extract.h"

namespace tarnisk {
namespace {

void BM_MosCurrent(benchmark::State& st) {
  HeadlessPlatform platform;
  auto s = std::make_unique<AppState>(platform);
  s->extraction.options.modelLevel = int(st.range(0));
  s->technology.pmos.PHIB = 0.7;
  UpdateTemperature(s->technology, s->technology.TEMP);
  double v = 0;
  for (auto _ : st) {
    v += 0.001;
    if (v > 5) v = 0;
    benchmark::DoNotOptimize(NmosCurrent(*s, v, 5 - v, 0, 0, 10e-6, 2e-6));
    benchmark::DoNotOptimize(PmosCurrent(*s, v, 5 - v, 5, 5, 20e-6, 2e-6));
  }
}
BENCHMARK(BM_MosCurrent)->Arg(kModelLevel1)->Arg(kModelLevel3)->Arg(kModelLevel9);

}  // namespace
}  // namespace tarnisk
