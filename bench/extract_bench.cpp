// Full extraction ("Purge and Merge") of a 1,900-inverter array (budget 1 s)
// and of an 80,000-box layout of wiring and contacts (budget 3 s); with the
// lateral and vertical crosstalk options, under twice those budgets.
// Run: build/release/bench/tarnisk_extract_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/msk_file.h"
#include "core/rule_file.h"
#include "ui/headless_platform.h"
#include "verify/extract.h"

namespace tarnisk {
namespace {

struct BenchState {
  HeadlessPlatform platform;
  std::unique_ptr<AppState> state = std::make_unique<AppState>(platform);
  std::vector<Box> pristine;

  BenchState() { ReadRuleFile(*state, TARNISK_EXTRACT_RULES); }
  void Keep() {
    for (int i = 1; i <= state->layout.boxes.Count(); ++i) pristine.push_back(state->layout.boxes[i]);
  }
  void Restore() {
    state->layout.boxes.Clear();
    for (const Box& b : pristine) state->layout.boxes.Append(b);
    state->layout.wide.extracted = 0;
  }
};

bool ReadInverterArray(AppState& s, int inverters) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnisk-extract-bench.msk").string();
  const std::string command = std::string("python3 '") + TARNISK_INVERTER_GENERATOR +
                              "' --texts --inverters " + std::to_string(inverters) + " '" + path +
                              "' > /dev/null";
  const bool generated = std::system(command.c_str()) == 0;
  if (generated) ReadLayoutFile(s, path, ReadMode::Open);
  std::remove(path.c_str());
  return generated && s.LastError == 0;
}

// Rows of tiles, each a metal wire with a contact to a poly strap and a via
// to a metal2 jumper; the tiles of a row share one metal wire, so a row is
// a handful of nodes and 80,000 boxes stay within the node table.
void MakeWiring(AppState& s, int boxes) {
  constexpr int kTileBoxes = 6, kColumns = 130;
  const int tiles = boxes / kTileBoxes;
  for (int t = 0; t < tiles; ++t) {
    const int32_t x = (t % kColumns) * 20, y = (t / kColumns) * 24;
    AddBox(s, x, y, x + 20, y + 4, kMetal);
    AddBox(s, x + 2, y + 1, x + 4, y + 3, kContact);
    AddBox(s, x + 1, y, x + 5, y + 14, kPoly);
    AddBox(s, x + 10, y + 1, x + 12, y + 3, kVia);
    AddBox(s, x + 9, y, x + 13, y + 18, kMetal2);
    AddBox(s, x + 14, y + 4, x + 18, y + 8, kMetal);
  }
}

void RunExtraction(benchmark::State& bench, BenchState& b) {
  ExtractOptions& o = b.state->extraction.options;
  o.lateralCrosstalk = o.verticalCrosstalk = bench.range(0) != 0;
  b.Keep();
  for (auto _ : bench) {
    bench.PauseTiming();
    b.Restore();
    bench.ResumeTiming();
    if (!ExtractLayout(*b.state)) bench.SkipWithError(b.state->extraction.summary.c_str());
  }
  bench.counters["nodes"] = b.state->layout.nodes.count;
  bench.counters["devices"] = double(b.state->extraction.nmos.size() + b.state->extraction.pmos.size());
}

void BM_ExtractInverterArray(benchmark::State& bench) {
  BenchState b;
  if (!ReadInverterArray(*b.state, 1900)) {
    bench.SkipWithError("the inverter array could not be generated");
    return;
  }
  RunExtraction(bench, b);
}
BENCHMARK(BM_ExtractInverterArray)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ExtractWiring(benchmark::State& bench) {
  BenchState b;
  MakeWiring(*b.state, kMaxBoxes);
  RunExtraction(bench, b);
}
BENCHMARK(BM_ExtractWiring)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
