// The MOS viewer's recompute and redraw after one parameter step, at each
// model level (budget 16 ms, a frame at 60 Hz), and the flat crosstalk
// analysis with its view on the extracted 1,900-inverter array (budget
// 200 ms).
// Run: build/release/bench/tarnisk_bench --benchmark_filter='Viewer|Crosstalk'

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "session/analysis/extract_command.h"
#include "session/files.h"
#include "session/navigator/navigator_commands.h"
#include "session/session.h"
#include "session/viewer/mos_viewer.h"
#include "ui/headless_platform.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {
namespace {

void BM_ViewerStepAndRedraw(benchmark::State& bench) {
  EnsureGuiApplication();
  HeadlessPlatform platform;
  auto s = std::make_unique<Session>(platform);
  LoadRuleFile(*s, TARNISK_SIM_RULES);
  MosViewer viewer(*s);
  viewer.SelectModelPage(int(bench.range(0)));
  ImageSurface image(640, 480);
  viewer.Draw(image);
  int direction = 1;
  for (auto _ : bench) {
    viewer.StepParameter(Level3Parameters()[0], direction);
    viewer.Draw(image);
    direction = -direction;
  }
}
BENCHMARK(BM_ViewerStepAndRedraw)->Arg(kModelLevel1)->Arg(kModelLevel3)->Arg(kModelLevel9)
    ->Unit(benchmark::kMillisecond);

void BM_FlatCrosstalkInverterArray(benchmark::State& bench) {
  EnsureGuiApplication();
  HeadlessPlatform platform;
  auto s = std::make_unique<Session>(platform);
  LoadRuleFile(*s, TARNISK_SIM_RULES);
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnisk-crosstalk-bench.msk").string();
  const std::string command = std::string("python3 '") + TARNISK_INVERTER_GENERATOR +
                              "' --texts --inverters 1900 '" + path + "' > /dev/null";
  if (std::system(command.c_str()) != 0) {
    bench.SkipWithError("the inverter array could not be generated");
    return;
  }
  OpenLayoutFile(*s, path, ReadMode::Open);
  std::remove(path.c_str());
  ImageSurface image(1024, 768);
  AttachSurface(*s, &image);
  ViewAll(*s);
  if (!EnsureExtracted(*s)) {
    bench.SkipWithError("the inverter array could not be extracted");
    return;
  }
  for (auto _ : bench) FlatCrosstalk(*s);
  AttachSurface(*s, nullptr);
}
BENCHMARK(BM_FlatCrosstalkInverterArray)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
