// The editor's response to the mouse on the largest layouts: one mouse-move
// event while a rubber band or a moved selection follows the pointer,
// including the repaint of the window.
// Run: build/release/bench/tarnisk_editor_bench

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <memory>
#include <random>

#include "session/session.h"
#include "session/editor/editing.h"
#include "session/editor/view.h"
#include "ui/qt/layout_view.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_platform.h"

namespace tarnisk {
namespace {

struct Editor {
  Editor() {
    window.resize(1920, 1080);
    window.show();
    s.layout.wide.drawOnAdd = 0;
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> pos(0, 4000), size(2, 30), layer(1, 8);
    for (int i = 0; i < kMaxBoxes; ++i) {
      const int x = pos(rng), y = pos(rng);
      AddBox(s.layout, x, y, x + size(rng), y + size(rng), layer(rng));
    }
    s.layout.wide.drawOnAdd = 1;
    ViewAll(s);
    QApplication::processEvents();
  }
  void Send(QEvent::Type type, QPoint p) {
    QMouseEvent e(type, QPointF(p), QPointF(p), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&window.View(), &e);
  }
  // Moves the pointer over a circle of positions, one event per iteration.
  void Follow(benchmark::State& st) {
    int k = 0;
    for (auto _ : st) {
      Send(QEvent::MouseMove, QPoint(600 + (k * 37) % 700, 300 + (k * 53) % 500));
      QApplication::processEvents();  // the repaint the event scheduled
      ++k;
    }
  }
  QtPlatform platform;
  std::unique_ptr<Session> owner = std::make_unique<Session>(platform);
  Session& s = *owner;
  Tmdiframe window{s, platform, "", ""};
};

void BM_EditorRubberBandMove80k(benchmark::State& st) {
  Editor e;
  e.Send(QEvent::MouseButtonPress, QPoint(500, 200));
  e.Follow(st);
}

void BM_EditorMovedSelection80k(benchmark::State& st) {
  Editor e;
  e.window.EnterCommand(kCommandMoveSelect, "");
  e.Send(QEvent::MouseButtonPress, QPoint(300, 200));
  e.Send(QEvent::MouseButtonRelease, QPoint(700, 600));
  if (e.s.command.command != kCommandMoveTarget) st.SkipWithError("nothing selected");
  e.Follow(st);
}

BENCHMARK(BM_EditorRubberBandMove80k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorMovedSelection80k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnisk

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
