#include "ui/raster_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace tarnisk {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

uint32_t Combine(uint32_t pixel, Colour colour, PenMode mode) {
  switch (mode) {
    case PenMode::Merge: return pixel | colour | kOpaque;
    case PenMode::NotXor: return (~(pixel ^ colour) & 0x00FFFFFFu) | kOpaque;
    default: return colour | kOpaque;
  }
}

}  // namespace

bool RasterSurface::CutToMargin(int& x1, int& y1, int& x2, int& y2) const {
  const double margin = 2.0 * (width_ + height_);
  const double lo[2] = {-margin, -margin}, hi[2] = {width_ + margin, height_ + margin};
  const double from[2] = {double(x1), double(y1)}, d[2] = {double(x2) - x1, double(y2) - y1};
  if (from[0] >= lo[0] && from[0] <= hi[0] && from[1] >= lo[1] && from[1] <= hi[1] &&
      x2 >= lo[0] && x2 <= hi[0] && y2 >= lo[1] && y2 <= hi[1])
    return true;
  // Liang-Barsky: the part of the segment inside the margin, as fractions.
  double t0 = 0, t1 = 1;
  for (int axis = 0; axis < 2; ++axis) {
    for (const auto& [p, q] : {std::pair{-d[axis], from[axis] - lo[axis]},
                               std::pair{d[axis], hi[axis] - from[axis]}}) {
      if (p == 0) {
        if (q < 0) return false;
        continue;
      }
      const double t = q / p;
      if (p < 0) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
    }
  }
  if (t0 > t1) return false;
  x2 = int(std::lround(from[0] + t1 * d[0])), y2 = int(std::lround(from[1] + t1 * d[1]));
  x1 = int(std::lround(from[0] + t0 * d[0])), y1 = int(std::lround(from[1] + t0 * d[1]));
  return true;
}

void RasterSurface::Attach(uint32_t* pixels, int width, int height, int stride) {
  pixels_ = pixels;
  width_ = width;
  height_ = height;
  stride_ = stride;
}

void RasterSurface::SetPen(Colour colour, int width, PenStyle style, PenMode mode) {
  penColour_ = colour & 0x00FFFFFFu;
  penWidth_ = std::max(1, width);
  penStyle_ = style;
  penMode_ = mode;
}

void RasterSurface::SetBrush(Colour colour) {
  brushColour_ = colour & 0x00FFFFFFu;
  hollowBrush_ = false;
}

void RasterSurface::SetHollowBrush() { hollowBrush_ = true; }

Colour RasterSurface::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[size_t(y) * stride_ + x] & 0x00FFFFFFu;
}

void RasterSurface::Plot(int x, int y, Colour colour, PenMode mode) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  uint32_t& p = pixels_[size_t(y) * stride_ + x];
  p = Combine(p, colour, mode);
}

void RasterSurface::HorizontalSpan(int x1, int x2, int y, Colour colour, PenMode mode) {
  if (y < 0 || y >= height_) return;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, width_ - 1);
  uint32_t* row = pixels_ + size_t(y) * stride_;
  for (int x = x1; x <= x2; ++x) row[x] = Combine(row[x], colour, mode);
}

// Bresenham, both end points included; a dotted pen leaves every other pixel.
// A line lying wholly beyond one edge draws nothing, and one reaching far
// beyond the surface (a label far outside the window) is first cut to a
// margin around it, so that the time goes by the pixels of the surface.
void RasterSurface::ThinLine(int x1, int y1, int x2, int y2) {
  if ((x1 < 0 && x2 < 0) || (y1 < 0 && y2 < 0) || (x1 >= width_ && x2 >= width_) ||
      (y1 >= height_ && y2 >= height_))
    return;
  if (!CutToMargin(x1, y1, x2, y2)) return;
  const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int error = dx + dy;
  for (int step = 0;; ++step) {
    if (penStyle_ == PenStyle::Solid || step % 2 == 0) Plot(x1, y1, penColour_, penMode_);
    if (x1 == x2 && y1 == y2) break;
    const int e2 = 2 * error;
    if (e2 >= dy) error += dy, x1 += sx;
    if (e2 <= dx) error += dx, y1 += sy;
  }
}

void RasterSurface::Line(int x1, int y1, int x2, int y2) {
  if (!CutToMargin(x1, y1, x2, y2)) return;
  if (penWidth_ == 1) {
    ThinLine(x1, y1, x2, y2);
    return;
  }
  // A wide pen: parallel lines across the main direction.
  const bool steep = std::abs(y2 - y1) > std::abs(x2 - x1);
  const int first = -(penWidth_ - 1) / 2;
  for (int k = first; k < first + penWidth_; ++k) {
    if (steep) ThinLine(x1 + k, y1, x2 + k, y2);
    else ThinLine(x1, y1 + k, x2, y2 + k);
  }
}

void RasterSurface::Rectangle(int x1, int y1, int x2, int y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  // The rows between the top and bottom edges that lie on the surface.
  const int inFrom = int(std::max<int64_t>(int64_t{y1} + 1, 0));
  const int inTo = int(std::min<int64_t>(int64_t{y2} - 1, height_ - 1));
  if (!hollowBrush_ && int64_t{x2} - x1 >= 2 && int64_t{y2} - y1 >= 2)
    for (int y = inFrom; y <= inTo; ++y) HorizontalSpan(x1 + 1, x2 - 1, y, brushColour_, penMode_);
  // Each outline pixel exactly once, so that a not-xor outline drawn twice
  // leaves no trace.
  HorizontalSpan(x1, x2, y1, penColour_, penMode_);
  if (y2 != y1) HorizontalSpan(x1, x2, y2, penColour_, penMode_);
  for (int y = inFrom; y <= inTo; ++y) {
    Plot(x1, y, penColour_, penMode_);
    if (x2 != x1) Plot(x2, y, penColour_, penMode_);
  }
}

void RasterSurface::FillRect(int x1, int y1, int x2, int y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  y1 = std::max(y1, 0);
  y2 = std::min(y2, height_ - 1);
  for (int y = y1; y <= y2; ++y) HorizontalSpan(x1, x2, y, brushColour_, penMode_);
}

void RasterSurface::Pixel(int x, int y, Colour colour) { Plot(x, y, colour, PenMode::Copy); }

void RasterSurface::Clear(Colour colour) {
  for (int y = 0; y < height_; ++y) HorizontalSpan(0, width_ - 1, y, colour, PenMode::Copy);
}

void RasterSurface::PatternFill(int x1, int y1, int x2, int y2, const FillPattern& pattern,
                                Colour colour) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max(x1, 0);
  x2 = std::min(x2, width_ - 1);
  y1 = std::max(y1, 0);
  y2 = std::min(y2, height_ - 1);
  const uint32_t value = (colour & 0x00FFFFFFu) | kOpaque;
  for (int y = y1; y <= y2; ++y) {
    const uint8_t bits = pattern[y & 7];
    if (bits == 0) continue;
    uint32_t* row = pixels_ + size_t(y) * stride_;
    // Only the set bits of each 8-pixel cell are visited.
    for (int bit = 0; bit < 8; ++bit) {
      if (!(bits & (0x80 >> bit))) continue;
      int x = (x1 & ~7) + bit;
      if (x < x1) x += 8;
      for (; x <= x2; x += 8) row[x] = value;
    }
  }
}

}  // namespace tarnisk
