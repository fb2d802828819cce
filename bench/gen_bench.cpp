// The router and the generator: 1,000 routes between random points across
// 2,000 x 2,000 lambda of which a fifth is occupied (budget 1 s for all),
// a ring of 100 pads with their library cells (budget 50 ms), and a rebuild
// of the occupancy grid over 80,000 boxes (budget 50 ms).
// Run: build/release/bench/tarnisk_gen_bench

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "bench/bench_layout.h"
#include "core/progress.h"
#include "core/rule_file.h"
#include "gen/pad_ring.h"
#include "route/router.h"

namespace tarnisk {
namespace {

struct BenchState : BenchLayout {

  BenchState() : BenchLayout(TARNISK_GEN_RULES) {}
};

// Random metal obstacles until a fifth of the area's grid cells hold one.
void FillObstacles(Layout& layout, OccupancyGrid& grid, int32_t side, std::mt19937& random) {
  std::uniform_int_distribution<int> position(0, side - 40), size(10, 60);
  const int32_t cells = side / grid.Step();
  int64_t occupied = 0;
  while (occupied * 5 < int64_t{cells} * cells) {
    const int x = position(random), y = position(random);
    AddBox(layout, x, y, x + size(random), y + size(random), kMetal);
    grid.Mark(layout.boxes[layout.boxes.Count()]);
    occupied = 0;
    for (int32_t j = 0; j < cells; ++j)
      for (int32_t i = 0; i < cells; ++i) occupied += grid.Code(i, j) != kCellFree;
  }
}

void BM_ThousandRoutes(benchmark::State& bench) {
  BenchState b;
  OccupancyGrid grid(RoutingStep(b.technology));
  std::mt19937 random(7);
  constexpr int32_t kSide = 2000;
  FillObstacles(*b.layout, grid, kSide, random);
  const int obstacles = b.layout->boxes.Count();
  std::uniform_int_distribution<int32_t> cell(0, kSide / grid.Step() - 1);
  std::vector<std::pair<Point, Point>> pairs;
  while (pairs.size() < 1000) {
    const Point a{cell(random), cell(random)}, c{cell(random), cell(random)};
    if (grid.Code(a.x, a.y) == kCellFree && grid.Code(c.x, c.y) == kCellFree)
      pairs.push_back({a, c});
  }
  int routed = 0;
  for (auto _ : bench) {
    bench.PauseTiming();
    b.layout->boxes.Truncate(obstacles);
    grid.Rebuild(*b.layout);
    routed = 0;
    bench.ResumeTiming();
    for (const auto& [a, c] : pairs)
      routed += Route(*b.layout, b.technology, grid, {a, kMetal}, {c, kMetal}, kJogAnywhere).routed;
  }
  bench.counters["routed"] = routed;
  bench.counters["obstacles"] = obstacles;
}
BENCHMARK(BM_ThousandRoutes)->Unit(benchmark::kMillisecond);

void BM_HundredPadRing(benchmark::State& bench) {
  BenchState b;
  PadSettings settings;
  settings.padsX = settings.padsY = 25;
  PadFile file{.chipName = "bench", .padsX = 25, .padsY = 25, .pads = {}};
  const char sides[] = {'N', 'S', 'E', 'W'};
  const int types[] = {kPadVss, kPadVdd, kPadInput, kPadOutput, kPadBare};
  for (int i = 0; i < 100; ++i)
    file.pads.push_back({sides[i % 4], i / 4 + 1, types[i % 5], std::to_string(i)});
  for (auto _ : bench) {
    bench.PauseTiming();
    ReleaseAll(*b.layout);
    AddBox(*b.layout, 0, 0, 4000, 4000, kNwell);
    bench.ResumeTiming();
    GeneratePadRing(*b.layout, b.technology, settings, &file, TARNISK_PAD_CELLS, b.progress);
  }
  bench.counters["boxes"] = b.layout->boxes.Count();
}
BENCHMARK(BM_HundredPadRing)->Unit(benchmark::kMillisecond);

void BM_RebuildGrid(benchmark::State& bench) {
  BenchState b;
  std::mt19937 random(3);
  std::uniform_int_distribution<int> x(0, 27000), y(0, 18000), size(2, 40), layer(1, 14);
  while (!b.layout->boxes.Full()) {
    const int x1 = x(random), y1 = y(random);
    AddBox(*b.layout, x1, y1, x1 + size(random), y1 + size(random), layer(random));
  }
  OccupancyGrid grid(RoutingStep(b.technology));
  for (auto _ : bench) grid.Rebuild(*b.layout);
  bench.counters["boxes"] = b.layout->boxes.Count();
}
BENCHMARK(BM_RebuildGrid)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
