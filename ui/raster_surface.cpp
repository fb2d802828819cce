#include "ui/raster_surface.h"

#include <algorithm>
#include <cstdlib>

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
void RasterSurface::ThinLine(int x1, int y1, int x2, int y2) {
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
  if (!hollowBrush_ && x2 - x1 >= 2 && y2 - y1 >= 2)
    for (int y = y1 + 1; y < y2; ++y) HorizontalSpan(x1 + 1, x2 - 1, y, brushColour_, penMode_);
  // Each outline pixel exactly once, so that a not-xor outline drawn twice
  // leaves no trace.
  HorizontalSpan(x1, x2, y1, penColour_, penMode_);
  if (y2 != y1) HorizontalSpan(x1, x2, y2, penColour_, penMode_);
  for (int y = y1 + 1; y < y2; ++y) {
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
