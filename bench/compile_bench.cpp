// The compilers and the truth table: the 8-bit ripple-carry adder of
// data/examples/add8.v compiled into 40 cells with its module and I/O
// wiring routed (budget 1 s), and the switch-level truth table of a
// compiled 10-input cell, 1,024 rows (budget 50 ms).
// Run: build/release/bench/tarnisk_compile_bench

#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>

#include "compile/verilog.h"
#include "bench/bench_layout.h"
#include "core/file_io.h"
#include "core/progress.h"
#include "core/rule_file.h"
#include "verify/extract.h"
#include "verify/truth_table.h"

namespace tarnisk {
namespace {

// A fresh layout with the rules and the compilers' state they set.
struct BenchState : BenchLayout {
  CompilerState compiler;
  std::unique_ptr<OccupancyGrid> grid;

  BenchState() : BenchLayout(TARNISK_COMPILE_RULES) {
    compiler.sizes = DefaultDeviceSizes(technology);
    compiler.labelMode = kLabelAll;
    grid = std::make_unique<OccupancyGrid>(RoutingStep(technology));
  }
  CompilerContext Context() { return {*layout, technology, *grid, compiler, progress}; }
};

std::vector<std::string> SourceLines() {
  std::string text;
  ReadWholeFile(TARNISK_ADDER_SOURCE, text);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void BM_RippleAdderCompileAndRoute(benchmark::State& bench) {
  const std::vector<std::string> lines = SourceLines();
  for (auto _ : bench) {
    bench.PauseTiming();
    BenchState b;
    CompilerContext c = b.Context();
    bench.ResumeTiming();
    const VerilogResult r = CompileVerilog(c, lines);
    if (r.counts.cells != 40 || r.counts.errors != 0) bench.SkipWithError("the adder did not compile");
    benchmark::DoNotOptimize(r.counts.routedWires);
  }
}
BENCHMARK(BM_RippleAdderCompileAndRoute)->Unit(benchmark::kMillisecond);

void BM_TenInputSwitchLevelTruthTable(benchmark::State& bench) {
  BenchState b;
  CompilerContext c = b.Context();
  if (CompileEquation(c, "y=/(a.b.c.d.e.f.g.h.i.j)").error != kCompileOk)
    return bench.SkipWithError("the cell did not compile");
  const Circuit circuit = ExtractLayout(*b.layout, b.technology, {}, b.progress);
  const TruthSignals signals{{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}, {"y"}};
  for (auto _ : bench) {
    const TruthTable t = SwitchLevelTruthTable(*b.layout, circuit, signals);
    if (t.rows.size() != 1024 || t.rows.back().back() != Logic::Zero)
      bench.SkipWithError("wrong table");
    benchmark::DoNotOptimize(t.rows.data());
  }
}
BENCHMARK(BM_TenInputSwitchLevelTruthTable)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
