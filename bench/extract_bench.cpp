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

#include "bench/bench_layout.h"
#include "core/msk_file.h"
#include "core/progress.h"
#include "core/rule_file.h"
#include "core/technology.h"
#include "verify/extract.h"

namespace tarnisk {
namespace {

struct BenchState : BenchLayout {
  ExtractOptions options;
  Circuit circuit;
  std::vector<Box> pristine;

  BenchState() : BenchLayout(TARNISK_EXTRACT_RULES) {}
  void Keep() {
    for (int i = 1; i <= layout->boxes.Count(); ++i) pristine.push_back(layout->boxes[i]);
  }
  void Restore() {
    layout->boxes.Clear();
    for (const Box& b : pristine) layout->boxes.Append(b);
    layout->wide.extracted = 0;
  }
};

bool ReadInverterArray(BenchState& b, int inverters) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnisk-extract-bench.msk").string();
  const std::string command = std::string("python3 '") + TARNISK_INVERTER_GENERATOR +
                              "' --texts --inverters " + std::to_string(inverters) + " '" + path +
                              "' > /dev/null";
  const bool generated = std::system(command.c_str()) == 0;
  const bool read =
      generated && ReadLayoutFile(*b.layout, path, ReadMode::Open, b.progress).LastError() == 0;
  std::remove(path.c_str());
  return read;
}

// Rows of tiles, each a metal wire with a contact to a poly strap and a via
// to a metal2 jumper; the tiles of a row share one metal wire, so a row is
// a handful of nodes and 80,000 boxes stay within the node table.
void MakeWiring(Layout& l, int boxes) {
  constexpr int kTileBoxes = 6, kColumns = 130;
  const int tiles = boxes / kTileBoxes;
  for (int t = 0; t < tiles; ++t) {
    const int32_t x = (t % kColumns) * 20, y = (t / kColumns) * 24;
    AddBox(l, x, y, x + 20, y + 4, kMetal);
    AddBox(l, x + 2, y + 1, x + 4, y + 3, kContact);
    AddBox(l, x + 1, y, x + 5, y + 14, kPoly);
    AddBox(l, x + 10, y + 1, x + 12, y + 3, kVia);
    AddBox(l, x + 9, y, x + 13, y + 18, kMetal2);
    AddBox(l, x + 14, y + 4, x + 18, y + 8, kMetal);
  }
}

void RunExtraction(benchmark::State& bench, BenchState& b) {
  b.options.lateralCrosstalk = b.options.verticalCrosstalk = bench.range(0) != 0;
  b.Keep();
  for (auto _ : bench) {
    bench.PauseTiming();
    b.Restore();
    bench.ResumeTiming();
    b.circuit = ExtractLayout(*b.layout, b.technology, b.options, b.progress);
    if (!b.circuit.complete) bench.SkipWithError(b.circuit.summary.c_str());
  }
  bench.counters["nodes"] = b.layout->nodes.count;
  bench.counters["devices"] = double(b.circuit.nmos.size() + b.circuit.pmos.size());
}

void BM_ExtractInverterArray(benchmark::State& bench) {
  BenchState b;
  if (!ReadInverterArray(b, 1900)) {
    bench.SkipWithError("the inverter array could not be generated");
    return;
  }
  RunExtraction(bench, b);
}
BENCHMARK(BM_ExtractInverterArray)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ExtractWiring(benchmark::State& bench) {
  BenchState b;
  MakeWiring(*b.layout, kMaxBoxes);
  RunExtraction(bench, b);
}
BENCHMARK(BM_ExtractWiring)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
