// GDSII writing and reading back of the largest layout the box table allows
// (budget: 100 ms each in a Release build).
// Run: build/release/bench/tarnisk_gds_bench

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "core/layout.h"
#include "interchange/gds_file.h"

namespace tarnisk {
namespace {

// 80,000 boxes on every written layer, each with its own GDS2 number, and
// 500 texts.
std::unique_ptr<Layout> FullLayout() {
  auto layout = std::make_unique<Layout>();
  for (int layer = 1; layer <= kLayerCount; ++layer)
    layout->layers[layer].gds2 = uint8_t(20 + layer);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pos(-20000, 20000), size(2, 40), layer(1, kLayerCount);
  while (!layout->boxes.Full()) {
    const int x = pos(rng), y = pos(rng), l = layer(rng);
    if (l == kGatep || l == kGaten) continue;
    layout->boxes.Append({kNormal, x, y, x + size(rng), y + size(rng), -1, uint8_t(l), 0});
  }
  for (int i = 0; i < 500; ++i) {
    LayoutText text;
    text.x = i, text.y = -i, text.text = "node" + std::to_string(i), text.state = 1;
    layout->texts.Append(text);
  }
  return layout;
}

Technology Lambda() {
  Technology t;
  t.LAMB = 0.35;
  return t;
}

void BM_GdsWrite80k(benchmark::State& st) {
  const auto layout = FullLayout();
  const Technology t = Lambda();
  for (auto _ : st) benchmark::DoNotOptimize(FormatGds(*layout, t, "bench", nullptr));
}
BENCHMARK(BM_GdsWrite80k)->Unit(benchmark::kMillisecond);

void BM_GdsRead80k(benchmark::State& st) {
  const auto layout = FullLayout();
  const Technology t = Lambda();
  const std::string bytes = FormatGds(*layout, t, "bench", nullptr);
  for (auto _ : st) {
    const ImportedLayout in = ReadGds(bytes, layout->layers, t);
    if (in.boxes.size() != size_t(kMaxBoxes)) st.SkipWithError("boxes were lost");
  }
}
BENCHMARK(BM_GdsRead80k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
