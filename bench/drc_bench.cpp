// The design rule checker on a layout that fills its grid near capacity.
// Run: build/release/bench/tarnisk_bench --benchmark_filter=Drc

#include <benchmark/benchmark.h>

#include <memory>

#include "core/layout.h"
#include "core/progress.h"
#include "core/rule_file.h"
#include "core/technology.h"
#include "verify/drc.h"

namespace tarnisk {
namespace {

struct TileBox {
  int32_t x1, y1, x2, y2;
  int layer;
};

// A rule-clean tile for the five-metal rules: an inverter with its rails,
// well and ties, a staircase of vias from metal up to metal5, and one box on
// each layer that the checker does not measure.
constexpr TileBox kTile[] = {
    {0, 0, 24, 6, kMetal}, {0, 44, 24, 50, kMetal}, {-3, 22, 27, 54, kNwell},
    {1, 1, 5, 5, kDiffp}, {2, 2, 4, 4, kContact}, {1, 45, 5, 49, kDiffn},
    {2, 46, 4, 48, kContact}, {7, 10, 19, 16, kDiffn}, {8, 12, 10, 14, kContact},
    {16, 12, 18, 14, kContact}, {7, 28, 19, 40, kDiffp}, {8, 30, 10, 32, kContact},
    {8, 35, 10, 37, kContact}, {16, 30, 18, 32, kContact}, {16, 35, 18, 37, kContact},
    {12, 8, 14, 42, kPoly}, {0, 19, 14, 23, kPoly}, {1, 20, 3, 22, kContact},
    {0, 19, 4, 23, kMetal}, {7, 0, 11, 15, kMetal}, {7, 29, 11, 50, kMetal},
    {15, 11, 19, 38, kMetal},
    {30, 0, 34, 4, kMetal}, {31, 1, 33, 3, kVia}, {30, 0, 38, 4, kMetal2},
    {35, 1, 37, 3, kVia2}, {34, 0, 42, 4, kMetal3}, {39, 1, 41, 3, kVia3},
    {38, 0, 46, 4, kMetal4}, {43, 1, 45, 3, kVia4}, {42, -1, 47, 4, kMetal5},
    {30, 10, 36, 16, kPassiv}, {38, 10, 44, 16, kNitride}, {30, 20, 36, 26, kGatep},
    {38, 20, 44, 26, kGaten}, {30, 30, 36, 36, kPwell}, {38, 30, 44, 36, kAarea},
};

// A metal strip 2 lambda wide in each tile, for a run with violations.
constexpr TileBox kNarrowMetal{30, 42, 32, 52, kMetal};

// Tiles are at least 12 lambda apart (the widest spacing rule) whatever their
// shifts; the shifts, different in each row and column, make the edges of
// neighbouring tiles distinct so that the grid fills.
constexpr int kShifts = 10;
constexpr int kPitchX = 50 + 12 + kShifts, kPitchY = 55 + 12 + kShifts;
constexpr int kColumns = 66, kRows = 31;

void AddTile(Layout& l, int32_t x, int32_t y, const TileBox& b) {
  AddBox(l, x + b.x1, y + b.y1, x + b.x2, y + b.y2, b.layer);
}

void FillTiles(Layout& l, bool withViolations) {
  ReleaseAll(l);
  for (int c = 0; c < kColumns; ++c)
    for (int r = 0; r < kRows; ++r) {
      const int32_t x = c * kPitchX + r * 7 % kShifts, y = r * kPitchY + c * 3 % kShifts;
      for (const TileBox& b : kTile) AddTile(l, x, y, b);
      if (withViolations) AddTile(l, x, y, kNarrowMetal);
    }
  ComputeExtent(l);
}

struct DrcFixture {
  explicit DrcFixture(bool withViolations) {
    ReadRuleFile({technology, *layout, ranges}, TARNISK_DRC_RULES, progress);
    FillTiles(*layout, withViolations);
  }
  SilentProgress progress;
  Technology technology;
  MosViewerRanges ranges;
  std::unique_ptr<Layout> layout = std::make_unique<Layout>();
};

void RunChecker(benchmark::State& st, bool withViolations, bool everyCheck) {
  DrcFixture f(withViolations);
  DrcReport result;
  for (auto _ : st)
    result = RunDesignRuleCheck(*f.layout, f.technology, {.runEveryCheck = everyCheck}, f.progress);
  st.counters["boxes"] = f.layout->boxes.Count();
  st.counters["columns"] = result.maxColumns;
  st.counters["rows"] = result.maxRows;
  st.counters["errors"] = result.errorCount;
  if (!result.Complete()) st.SkipWithError("a check overflowed the grid");
  else if ((result.errorCount > 0) != withViolations) st.SkipWithError("unexpected verdict");
}

void BM_DrcCompleteRun(benchmark::State& st) { RunChecker(st, false, false); }
void BM_DrcEveryCheck(benchmark::State& st) { RunChecker(st, false, true); }
void BM_DrcEveryCheckWithViolations(benchmark::State& st) { RunChecker(st, true, true); }

BENCHMARK(BM_DrcCompleteRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrcEveryCheck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrcEveryCheckWithViolations)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
