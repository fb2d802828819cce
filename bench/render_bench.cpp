// Drawing the layout onto a full-HD window image.
// Run: build/release/bench/tarnisk_bench --benchmark_filter=Render

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "session/session.h"
#include "session/editor/view.h"
#include "ui/headless_platform.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {
namespace {

struct RenderFixture {
  RenderFixture() {
    EnsureGuiApplication();
    AttachSurface(*state, &surface);
  }
  HeadlessPlatform platform;
  std::unique_ptr<Session> state = std::make_unique<Session>(platform);
  ImageSurface surface{1920, 1080};
};

// 80,000 boxes of the drawing layers, sized and spread like a large chip.
void FillChip(Session& s) {
  s.layout.wide.drawOnAdd = 0;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pos(0, 40000), size(2, 60);
  const int layers[] = {kNwell, kDiffp, kDiffn, kContact, kPoly, kMetal, kVia, kMetal2};
  for (int i = 0; i < kMaxBoxes; ++i) {
    const int x = pos(rng), y = pos(rng);
    AddBox(s.layout, x, y, x + size(rng), y + size(rng), layers[i % 8]);
  }
  s.layout.wide.drawOnAdd = 1;
}

void BM_RenderViewAll80kColour(benchmark::State& st) {
  RenderFixture f;
  FillChip(*f.state);
  for (auto _ : st) ViewAll(*f.state);
}

// A zoomed view in which 28 patterned boxes tile the whole window.
void BM_RenderZoomedPatterns(benchmark::State& st) {
  RenderFixture f;
  Session& s = *f.state;
  if (st.range(0)) SetMonochromeMode(s);
  const int patterned[] = {kMetal3, kMetal4, kMetal5};
  for (int i = 0; i < 28; ++i) {
    const int x = (i % 7) * 40 - 20, y = (i / 7) * 40 - 20;
    AddBox(s.layout, x, y, x + 40, y + 40, patterned[i % 3]);
  }
  for (auto _ : st) SetWindow(s, 0, 0, 220, 120);
}

BENCHMARK(BM_RenderViewAll80kColour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderZoomedPatterns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk
