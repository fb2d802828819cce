// The CIF writer on the largest layout the box table allows.
// Run: build/release/bench/tarnisk_bench --benchmark_filter=Cif

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#include "core/layout.h"
#include "core/progress.h"
#include "core/technology.h"
#include "interchange/cif.h"

namespace tarnisk {
namespace {

// 80,000 boxes on every layer with overetch on the cuts, and a few labels.
void FillLayout(Layout& layout, Technology& technology) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pos(-20000, 20000), size(2, 40), layer(1, kLayerCount);
  for (int i = 0; i < kMaxBoxes; ++i) {
    const int x = pos(rng), y = pos(rng), l = layer(rng);
    const int w = l == kContact || l == kVia ? 2 : size(rng);
    AddBox(layout, x, y, x + w, y + size(rng), l);
  }
  for (int i = 0; i < 500; ++i) AddLayoutText(layout, i, i, "node " + std::to_string(i));
  technology.LAMB = 0.4;
  technology.R401 = technology.R601 = 2;
  layout.layers[kContact].overetch = layout.layers[kVia].overetch = 0.05;
}

void BM_CifWrite80k(benchmark::State& st) {
  auto layout = std::make_unique<Layout>();
  Technology technology;
  SilentProgress progress;
  FillLayout(*layout, technology);
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnisk-bench.CIF").string();
  CifSettings settings;
  for (auto _ : st) {
    const CifConversion c = ConvertIntoCif({*layout, technology, 0, progress}, settings, "1000", path, CifOptions{});
    if (!c.written) st.SkipWithError("the CIF file was not written");
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_CifWrite80k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
