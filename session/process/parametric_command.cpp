#include "session/process/parametric_command.h"

#include <algorithm>
#include <cmath>

#include "session/editor/view.h"
#include "session/session.h"

namespace tarnisk {

namespace {

// Pixels of a drawn label: per character, and its height below the position.
constexpr double kLabelCharWidth = 6, kLabelHeight = 14;

Rect LineBounds(const SpacingLine& line, int32_t grow) {
  return {std::min(line.a.x, line.b.x) - grow, std::min(line.a.y, line.b.y) - grow,
          std::max(line.a.x, line.b.x) + grow, std::max(line.a.y, line.b.y) + grow};
}

bool LabelHolds(const Session& s, const LayoutText& t, Point p) {
  const double scale = std::max(s.layout.wide.scale, 1e-9);
  const double width = t.text.size() * kLabelCharWidth / scale;
  return p.x >= t.x - 1 && p.x <= t.x + width + 1 && p.y >= t.y - kLabelHeight / scale &&
         p.y <= t.y + 1;
}

int NodeNamed(const Session& s, const std::string& name) {
  for (int k = 2; k <= s.layout.nodes.count; ++k)
    if (s.layout.nodes.nodes[k].name == name) return k;
  return 0;
}

}  // namespace

SweepNodeChoice SweepNodeNear(const Session& s, const SpacingLine& line) {
  SweepNodeChoice choice;
  const Rect near = LineBounds(line, 5);
  ForEachLive(s.layout.texts, [&](int, const LayoutText& t) {
    if (!PointInRect({t.x, t.y}, near) && !LabelHolds(s, t, line.a)) return;
    if (const int k = NodeNamed(s, t.text)) choice.node = k;
  });
  if (choice.node != 0) return choice;
  const Rect bounds = LineBounds(line, 0);
  ForEachLive(s.layout.boxes, [&](int, const Box& b) {
    if (b.x1 <= bounds.xmax && b.x2 >= bounds.xmin && b.y1 <= bounds.ymax && b.y2 >= bounds.ymin &&
        b.node >= 2 && b.node <= s.layout.nodes.count)
      choice = {b.node, true};
  });
  return choice;
}

SweepResult RunParametric(Session& s, const SweepRequest& request, SweepObserver* observer) {
  s.progress.ClearStop();
  SweepResult result;
  {
    const DrawingSuspended quiet(s);
    result = RunSweep({s.layout, s.technology, s.circuit, s.extractOptions, s.simulation, s.progress},
                      request, observer);
  }
  s.progress.ClearStop();
  ShowStatus(s.platform, result.message);
  Redraw(s);
  return result;
}

}  // namespace tarnisk
