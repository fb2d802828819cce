#include "session/editor/view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "session/session.h"
#include "core/number_format.h"
#include "session/editor/commands.h"
#include "session/editor/render.h"

namespace tarnisk {

namespace {

// Pixels far beyond any surface stay within a range where the drawing code
// can add its label widths and marks without overflowing an int.
constexpr double kPixelLimit = 1 << 28;

int32_t RoundPixel(double v) { return RoundToInt32(std::clamp(v, -kPixelLimit, kPixelLimit)); }

void ComputeScale(Session& s) {
  LayoutWideState& w = s.layout.wide;
  const ViewState& v = s.view;
  const double width = double(w.window.xmax) - w.window.xmin;
  const double height = double(w.window.ymax) - w.window.ymin;
  const double sx = std::abs(width) > 5 ? v.clientWidth / width : 10.0;
  const double sy = std::abs(height) > 5 ? (v.clientHeight - 30) / height : 10.0;
  w.scale = std::min(sx, sy);
  w.xOffset = -w.window.xmin * w.scale;
  w.yOffset = 10.0 - w.window.ymin * w.scale;
}

// Lambda step of the grid and the scale bar for the present scale.
int32_t GridStep(const Session& s) {
  const int32_t d = LambdaToPixelX(s, 50) - LambdaToPixelX(s, 0);
  if (d >= 501) return 1;
  if (d >= 151) return 5;
  if (d >= 51) return 10;
  if (d >= 16) return 50;
  if (d >= 6) return 100;
  if (d >= 3) return 500;
  return 1000;
}

void DrawScaleBar(Session& s, DrawingSurface& out, int32_t step) {
  const Colour fg = s.view.colours.foreground;
  SetDrawingColour(s, fg);
  const int w = LambdaToPixelX(s, step) - LambdaToPixelX(s, 0);
  out.Line(0, 56, 0, 64);
  out.Line(w, 56, w, 64);
  out.Line(0, 60, w, 60);
  out.Line(0, 61, w, 61);
  out.Text(5, 40, std::to_string(step) + " lambda", 7, kFontPlain, fg);
  out.Text(5, 65, FormatFixed(step * s.technology.LAMB, 4, 2) + "\xC2\xB5m", 7, kFontPlain, fg);
}

// The first grid value at or above `value` on the grid of `step` through `origin`.
int64_t GridCeil(double value, int64_t origin, int64_t step) {
  const double k = std::ceil((value - double(origin)) / double(step));
  return origin + int64_t(std::max(0.0, k)) * step;
}

// Draws the grid points that fall in the window. Where several grid values
// land on one pixel, the loops jump straight to the next pixel's first grid
// value, so the time grows with the pixels of the window and never with the
// span of the layout it shows.
void DrawGrid(Session& s, DrawingSurface& out, int32_t step) {
  const ViewState& v = s.view;
  const LayoutWideState& w = s.layout.wide;
  const int64_t xmin = PixelToLambdaX(s, 0), xmax = PixelToLambdaX(s, v.clientWidth);
  const int64_t ymin = PixelToLambdaY(s, v.clientHeight), ymax = PixelToLambdaY(s, 0);
  const int64_t major = 10 * int64_t{step};
  const int64_t x0 = xmin / 5 * 5, y0 = ymin / 5 * 5;
  SetDrawingColour(s, v.colours.grid);
  for (int64_t x = x0, nextX; x < xmax; x = nextX) {
    const int px = LambdaToPixelX(s, double(x));
    nextX = std::max(x + step, GridCeil((px + 0.5 - w.xOffset) / w.scale, x0, step));
    if (px <= 0 || px >= v.clientWidth) continue;
    for (int64_t y = y0, nextY; y < ymax; y = nextY) {
      const int py = LambdaToPixelY(s, double(y));
      nextY = std::max(y + step,
                       GridCeil((v.clientHeight - py + 0.5 - w.yOffset) / w.scale, y0, step));
      if (py <= 0 || py >= v.clientHeight) continue;
      out.Pixel(px, py, v.colours.grid);
      if (x % major == 0 && y % major == 0) out.FillRect(px - 1, py - 1, px + 1, py + 1);
    }
  }
}

void SetWindowRect(Session& s, const Rect& r) { SetWindow(s, r.xmin, r.ymin, r.xmax, r.ymax); }

Rect Centred(int64_t cx, int64_t cy, int64_t hx, int64_t hy) {
  return {ClampCoordinate(cx - hx), ClampCoordinate(cy - hy), ClampCoordinate(cx + hx),
          ClampCoordinate(cy + hy)};
}

}  // namespace

void AttachSurface(Session& s, DrawingSurface* surface) {
  s.view.surface = surface;
  if (!surface) return;
  s.view.clientWidth = surface->Width();
  s.view.clientHeight = surface->Height();
}

int32_t LambdaToPixelX(const Session& s, double x) {
  return RoundPixel(x * s.layout.wide.scale + s.layout.wide.xOffset);
}

int32_t LambdaToPixelY(const Session& s, double y) {
  return RoundPixel(s.view.clientHeight - y * s.layout.wide.scale - s.layout.wide.yOffset);
}

int32_t PixelToLambdaX(const Session& s, double px) {
  return RoundToInt32((px - s.layout.wide.xOffset) / s.layout.wide.scale);
}

int32_t PixelToLambdaY(const Session& s, double py) {
  return RoundToInt32((s.view.clientHeight - py - s.layout.wide.yOffset) / s.layout.wide.scale);
}

Rect PixelAreaToLambda(const Session& s, Point a, Point b) {
  return {PixelToLambdaX(s, std::min(a.x, b.x)), PixelToLambdaY(s, std::max(a.y, b.y)),
          PixelToLambdaX(s, std::max(a.x, b.x)), PixelToLambdaY(s, std::min(a.y, b.y))};
}

void SetWindow(Session& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  LayoutWideState& w = s.layout.wide;
  const auto far = [](int32_t a, int32_t b) { return std::abs(int64_t{a} - b) >= 11; };
  if (far(w.window.xmin, w.previousWindow.xmin) || far(w.window.ymin, w.previousWindow.ymin) ||
      far(w.window.xmax, w.previousWindow.xmax) || far(w.window.ymax, w.previousWindow.ymax))
    w.previousWindow = w.window;
  w.window = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  ComputeScale(s);
  DrawingSurface* out = s.view.surface;
  if (!out) return;
  out->Clear(s.view.colours.background);
  const int32_t step = GridStep(s);
  DrawScaleBar(s, *out, step);
  DrawGrid(s, *out, step);
  DrawAll(s);
  RestoreShape(s);
}

void Redraw(Session& s) { SetWindowRect(s, s.layout.wide.window); }

void ViewAll(Session& s) {
  ComputeExtent(s.layout);
  const Rect& e = s.layout.wide.extent;
  const int64_t mx = std::max<int64_t>(5, (int64_t{e.xmax} - e.xmin) / 20);
  const int64_t my = std::max<int64_t>(5, (int64_t{e.ymax} - e.ymin) / 20);
  SetWindowRect(s, {ClampCoordinate(e.xmin - mx), ClampCoordinate(e.ymin - my),
                    ClampCoordinate(e.xmax + mx), ClampCoordinate(e.ymax + my)});
}

void ZoomToArea(Session& s, Point a, Point b) {
  const Rect area = PixelAreaToLambda(s, a, b);
  if (int64_t{area.xmax} - area.xmin >= 10 && int64_t{area.ymax} - area.ymin >= 10) {
    SetWindowRect(s, area);
    return;
  }
  const Rect& w = s.layout.wide.window;
  const int64_t cx = (int64_t{area.xmin} + area.xmax) / 2, cy = (int64_t{area.ymin} + area.ymax) / 2;
  const int64_t hx = std::max<int64_t>(10, (int64_t{w.xmax} - w.xmin) / 3);
  const int64_t hy = std::max<int64_t>(10, (int64_t{w.ymax} - w.ymin) / 3);
  SetWindowRect(s, Centred(cx, cy, hx, hy));
}

void ZoomOut(Session& s) {
  const Rect& w = s.layout.wide.window;
  const int64_t cx = (int64_t{w.xmin} + w.xmax) / 2, cy = (int64_t{w.ymin} + w.ymax) / 2;
  const int64_t hx = std::max<int64_t>(10, (int64_t{w.xmax} - w.xmin) * 2 / 3);
  const int64_t hy = std::max<int64_t>(10, (int64_t{w.ymax} - w.ymin) * 2 / 3);
  SetWindowRect(s, Centred(cx, cy, hx, hy));
}

void PreviousZoom(Session& s) {
  ShowStatus(s.platform, "Previous zoom ...");
  SetWindowRect(s, s.layout.wide.previousWindow);
}

void PanHorizontal(Session& s, int direction) {
  Rect& w = s.layout.wide.window;
  const int64_t step = std::max<int64_t>(10, std::abs(int64_t{w.xmax} - w.xmin) / 6) * direction;
  w.xmin = ClampCoordinate(w.xmin + step);
  w.xmax = ClampCoordinate(w.xmax + step);
  Redraw(s);
}

void PanVertical(Session& s, int direction) {
  Rect& w = s.layout.wide.window;
  const int64_t step = std::abs(int64_t{w.ymax} - w.ymin) / 6 * direction;
  w.ymin = ClampCoordinate(w.ymin + step);
  w.ymax = ClampCoordinate(w.ymax + step);
  Redraw(s);
}

Rect WindowZoomedAbout(const Session& s, Point pixel, double factor) {
  constexpr double kNarrowestLambda = 10;
  const LayoutWideState& w = s.layout.wide;
  const ViewState& v = s.view;
  const int usableHeight = std::max(1, v.clientHeight - 30);
  const double largest = std::min(v.clientWidth, usableHeight) / kNarrowestLambda;
  const double scale = std::min(w.scale * factor, std::max(largest, w.scale));
  // The lambda point under the pointer, unrounded, keeps its pixel: the
  // window's lower left corner lies at the left edge, 10 pixels above the
  // bottom (the scale's own placement).
  const double x = (pixel.x - w.xOffset) / w.scale;
  const double y = (v.clientHeight - pixel.y - w.yOffset) / w.scale;
  const double xmin = x - pixel.x / scale;
  const double ymin = y - (v.clientHeight - 10 - pixel.y) / scale;
  const auto at = [](double lambda) { return ClampCoordinate(std::llround(lambda)); };
  return {at(xmin), at(ymin), at(xmin + v.clientWidth / scale), at(ymin + usableHeight / scale)};
}

Rect WindowPannedBy(const Session& s, const Rect& from, Point pixels) {
  const double scale = s.layout.wide.scale;
  const int64_t dx = -std::llround(pixels.x / scale), dy = std::llround(pixels.y / scale);
  return {ClampCoordinate(from.xmin + dx), ClampCoordinate(from.ymin + dy),
          ClampCoordinate(from.xmax + dx), ClampCoordinate(from.ymax + dy)};
}

void ZoomAboutPixel(Session& s, Point pixel, double factor) {
  SetWindowRect(s, WindowZoomedAbout(s, pixel, factor));
}

std::string PointerPosition(const Session& s, Point pixel) {
  const int32_t x = PixelToLambdaX(s, pixel.x), y = PixelToLambdaY(s, pixel.y);
  const double lambda = s.technology.LAMB;
  return std::to_string(x) + ", " + std::to_string(y) + " lambda  (" +
         FormatFixed(x * lambda, 0, 2) + ", " + FormatFixed(y * lambda, 0, 2) + " \xC2\xB5m)";
}

void RedrawClean(Session& s) {
  auto& boxes = s.layout.boxes;
  ForEachLive(boxes, [](int, Box& b) { b.state = kNormal; });
  Redraw(s);
  ShowStatus(s.platform, "Redraw " + s.layout.wide.currentFileName + " (" +
                             std::to_string(boxes.Count()) + " boxes)");
}

void SetColourMode(Session& s) {
  s.view.colourMode = true;
  s.view.colours = DisplayColours{};
  for (int layer = 1; layer <= kLayerCount; ++layer) s.layout.layers[layer].colourMode = 1;
}

void SetMonochromeMode(Session& s) {
  s.view.colourMode = false;
  DisplayColours& c = s.view.colours;
  c.background = MakeColour(255, 255, 255);
  c.foreground = c.ruler = c.grid = MakeColour(0, 0, 0);
  for (Colour& accent : c.accent) accent = MakeColour(0, 0, 0);
  for (int layer = 1; layer <= kLayerCount; ++layer) s.layout.layers[layer].colourMode = 0;
}

void SetDrawingColour(Session& s, Colour colour) {
  DrawingSurface* out = s.view.surface;
  if (!out) return;
  const bool whiteBackground = s.view.colours.background == MakeColour(255, 255, 255);
  out->SetPen(colour, 1, PenStyle::Solid, whiteBackground ? PenMode::Copy : PenMode::Merge);
  out->SetBrush(colour);
}

void PrintLayout(Session& s) {
  if (!s.view.surface || !s.platform.ConfirmPrint()) return;
  ShowStatus(s.platform, "Print the layout...");
  const bool wasColour = s.view.colourMode;
  if (wasColour) {
    SetMonochromeMode(s);
    Redraw(s);
  }
  s.platform.PrintImage(*s.view.surface);
  if (wasColour) {
    SetColourMode(s);
    Redraw(s);
  }
  ShowStatus(s.platform, "Print complete");
}

}  // namespace tarnisk
