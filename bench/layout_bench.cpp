// Layout database and MSK file on the largest layouts the tables allow.
// Run: build/release/bench/tarnisk_bench --benchmark_filter=Layout

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#include "core/msk_file.h"
#include "core/progress.h"

namespace tarnisk {
namespace {

struct BenchState {
  SilentProgress progress;
  std::unique_ptr<Layout> layout = std::make_unique<Layout>();
};

void FillRandom(Layout& l, int count, unsigned seed) {
  ReleaseAll(l);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pos(-20000, 20000), size(1, 40), layer(1, kLayerCount);
  for (int i = 0; i < count; ++i) {
    const int x = pos(rng), y = pos(rng);
    AddBox(l, x, y, x + size(rng), y + size(rng), layer(rng));
  }
}

std::string BenchFile() {
  return (std::filesystem::temp_directory_path() / "tarnisk-bench.msk").string();
}

void BM_LayoutWriteMsk80k(benchmark::State& st) {
  BenchState b;
  FillRandom(*b.layout, kMaxBoxes, 1);
  const std::string path = BenchFile();
  for (auto _ : st) benchmark::DoNotOptimize(WriteLayoutFile(*b.layout, path, 0, b.progress));
  std::remove(path.c_str());
}

void BM_LayoutReadMsk80k(benchmark::State& st) {
  BenchState b;
  FillRandom(*b.layout, kMaxBoxes, 2);
  const std::string path = BenchFile();
  WriteLayoutFile(*b.layout, path, 0, b.progress);
  for (auto _ : st) {
    ReleaseAll(*b.layout);
    ReadLayoutFile(*b.layout, path, ReadMode::Open, b.progress);
  }
  if (b.layout->boxes.Count() != kMaxBoxes) st.SkipWithError("not every box was read");
  std::remove(path.c_str());
}

void BM_LayoutPurge80k(benchmark::State& st) {
  BenchState b;
  for (auto _ : st) {
    st.PauseTiming();
    FillRandom(*b.layout, kMaxBoxes, 3);
    for (int i = 1; i <= kMaxBoxes; i += 3) b.layout->boxes[i].state = kErased;
    st.ResumeTiming();
    Purge(*b.layout);
  }
}

void BM_LayoutOrderByLayer80k(benchmark::State& st) {
  BenchState b;
  for (auto _ : st) {
    st.PauseTiming();
    FillRandom(*b.layout, kMaxBoxes, 4);
    st.ResumeTiming();
    OrderBoxesByLayer(*b.layout, b.progress);
  }
}

BENCHMARK(BM_LayoutWriteMsk80k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutReadMsk80k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutPurge80k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutOrderByLayer80k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
