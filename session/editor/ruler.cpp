#include "session/editor/ruler.h"

#include <cstdlib>
#include <string>

#include "session/session.h"
#include "core/number_format.h"
#include "session/editor/view.h"

namespace tarnisk {

namespace {

constexpr int kLabelPointSize = 7;
// Beyond this many ticks a leg (a ruler across a huge zoomed-out layout) is
// drawn without intermediate ticks: they would merge into a solid bar anyway.
constexpr int64_t kMaxTicks = 100000;

// One straight leg from (x0, y0) to (x1, y1) in lambda, horizontal or vertical.
struct Leg {
  Point from, to;
  bool horizontal;
  int64_t Length() const {
    return horizontal ? std::abs(int64_t{to.x} - from.x) : std::abs(int64_t{to.y} - from.y);
  }
};

// Pixel of the point at `distance` lambda along the leg from its start.
Point Along(const Session& s, const Leg& leg, int64_t distance) {
  const int sign = (leg.horizontal ? leg.to.x - leg.from.x : leg.to.y - leg.from.y) < 0 ? -1 : 1;
  const double x = leg.horizontal ? leg.from.x + double(sign) * distance : leg.from.x;
  const double y = leg.horizontal ? leg.from.y : leg.from.y + double(sign) * distance;
  return {LambdaToPixelX(s, x), LambdaToPixelY(s, y)};
}

// A tick of `size` pixels: above a horizontal leg, left of a vertical one;
// `across` draws it through the line instead.
void Tick(DrawingSurface& out, const Leg& leg, Point p, int size, bool across) {
  const int back = across ? size / 2 : 0;
  if (leg.horizontal) out.Line(p.x, p.y + back, p.x, p.y - size + back);
  else out.Line(p.x - size + back, p.y, p.x + back, p.y);
}

void Label(Session& s, DrawingSurface& out, const Leg& leg, Point p, int64_t value) {
  const std::string text = std::to_string(value);
  const Colour colour = s.view.colours.ruler;
  if (leg.horizontal) out.Text(p.x - 3 * int(text.size()), p.y + 3, text, kLabelPointSize, kFontPlain, colour);
  else out.Text(p.x - 12 - 6 * int(text.size()), p.y - 6, text, kLabelPointSize, kFontPlain, colour);
}

void DrawLeg(Session& s, DrawingSurface& out, const Leg& leg) {
  const int64_t length = leg.Length();
  const int64_t tick = std::max<int64_t>(1, s.layout.wide.gridStep / 2);
  SetDrawingColour(s, s.view.colours.ruler);
  const Point start = Along(s, leg, 0), end = Along(s, leg, length);
  out.Line(start.x, start.y, end.x, end.y);
  bool labelBeyondZero = false;
  for (int64_t d = 0; d <= length && length / tick <= kMaxTicks; d += tick) {
    const Point p = Along(s, leg, d);
    const bool major = d % (5 * tick) == 0;
    Tick(out, leg, p, major ? 8 : 4, false);
    if (!major) continue;
    Label(s, out, leg, p, d);
    labelBeyondZero = labelBeyondZero || d > 0;
  }
  Tick(out, leg, end, 8, true);
  if (!labelBeyondZero) Label(s, out, leg, end, length);
}

std::string LegText(const Session& s, const Leg& leg) {
  const int64_t length = leg.Length();
  return std::string(leg.horizontal ? "dx=" : "dy=") + std::to_string(length) + " lambda (" +
         FormatFixed(length * s.technology.LAMB, 3, 1) + "\xC2\xB5m)";
}

}  // namespace

void Ruler(Session& s, Point a, Point b) {
  const Point la{PixelToLambdaX(s, a.x), PixelToLambdaY(s, a.y)};
  const Point lb{PixelToLambdaX(s, b.x), PixelToLambdaY(s, b.y)};
  if (la == lb) {
    ShowStatus(s.platform,
               "Click at location " + std::to_string(la.x) + "," + std::to_string(la.y));
    return;
  }
  const int64_t dx = int64_t{lb.x} - la.x, dy = int64_t{lb.y} - la.y;
  Leg horizontal{}, vertical{};
  bool hasHorizontal = true, hasVertical = true;
  if (std::abs(dx) >= std::abs(dy)) {
    vertical = {la, {la.x, lb.y}, false};
    horizontal = {{la.x, lb.y}, lb, true};
    hasVertical = la.y != lb.y;
  } else {
    horizontal = {la, {lb.x, la.y}, true};
    vertical = {{lb.x, la.y}, lb, false};
    hasHorizontal = la.x != lb.x;
  }
  if (DrawingSurface* out = s.view.surface) {
    if (hasVertical) DrawLeg(s, *out, vertical);
    if (hasHorizontal) DrawLeg(s, *out, horizontal);
  }
  const std::string h = hasHorizontal ? LegText(s, horizontal) : "";
  const std::string v = hasVertical ? LegText(s, vertical) : "";
  ShowStatus(s.platform, h + "," + v);
}

}  // namespace tarnisk
