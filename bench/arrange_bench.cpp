// "Arrange the Layout" on an inverter array near the box table's capacity,
// with one box in ten cut into two abutting or overlapping pieces.
// Run: build/release/bench/tarnisk_arrange_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "session/editor/editing.h"
#include "session/files.h"
#include "session/session.h"
#include "ui/headless_platform.h"

namespace tarnisk {
namespace {

constexpr int kGeneratedBoxes = 72700;  // plus one piece per ten boxes: under 80000

struct BenchState {
  HeadlessPlatform platform;
  std::unique_ptr<Session> state = std::make_unique<Session>(platform);
};

bool ReadGeneratedArray(Session& s) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnisk-arrange-bench.msk").string();
  const std::string command = std::string("python3 '") + TARNISK_INVERTER_GENERATOR + "' --boxes " +
                              std::to_string(kGeneratedBoxes) + " '" + path + "' > /dev/null";
  const bool generated = std::system(command.c_str()) == 0;
  if (generated) OpenLayoutFile(s, path, ReadMode::Open);
  std::remove(path.c_str());
  return generated && s.LastError == 0;
}

// Cuts the box in two pieces: abutting, overlapping along the cut, or
// overlapping across a corner so that the split phase has to undo it.
void CutInTwo(Session& s, int index, int kind) {
  Box& b = s.layout.boxes[index];
  const int32_t xm = b.x1 + (b.x2 - b.x1) / 2, ym = b.y1 + (b.y2 - b.y1) / 2;
  const Box whole = b;
  switch (kind) {
    case 0:
      b.x2 = xm;
      AddBox(s.layout, xm, whole.y1, whole.x2, whole.y2, whole.layer);
      break;
    case 1:
      b.y2 = ym + 1;
      AddBox(s.layout, whole.x1, ym, whole.x2, whole.y2, whole.layer);
      break;
    default:
      b.y2 = ym + 1;
      AddBox(s.layout, xm, whole.y1, whole.x2, whole.y2, whole.layer);
      break;
  }
}

// One box in each run of ten: the first that is not a contact and is at
// least 2 lambda in both directions.
void CutOneInTen(Session& s) {
  const int count = s.layout.boxes.Count();
  for (int start = 1, kind = 0; start <= count; start += 10) {
    for (int i = start; i < start + 10 && i <= count; ++i) {
      const Box& b = s.layout.boxes[i];
      if (b.layer == kContact || b.x2 - b.x1 < 2 || b.y2 - b.y1 < 2) continue;
      CutInTwo(s, i, kind++ % 3);
      break;
    }
  }
}

void BM_ArrangeLayout80k(benchmark::State& st) {
  BenchState source, work;
  if (!ReadGeneratedArray(*source.state)) {
    st.SkipWithError("the inverter array could not be generated");
    return;
  }
  CutOneInTen(*source.state);
  const int before = source.state->layout.boxes.Count();
  for (auto _ : st) {
    st.PauseTiming();
    work.state->layout = source.state->layout;
    st.ResumeTiming();
    ArrangeLayout(*work.state);
  }
  st.counters["boxes_before"] = before;
  st.counters["boxes_after"] = work.state->layout.boxes.Count();
}
BENCHMARK(BM_ArrangeLayout80k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
