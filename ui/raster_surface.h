#pragma once
// A drawing surface on a block of 32-bit pixels (0xffRRGGBB, the layout of a
// Qt RGB32 image). Everything but text is drawn here, pixel-exact; text is
// left to the subclass that owns a font engine.

#include <cstdint>
#include <vector>

#include "ui/drawing_surface.h"

namespace tarnisk {

class RasterSurface : public DrawingSurface {
 public:
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void SetPen(Colour colour, int width, PenStyle style, PenMode mode) override;
  void SetBrush(Colour colour) override;
  void SetHollowBrush() override;
  void Line(int x1, int y1, int x2, int y2) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void FillRect(int x1, int y1, int x2, int y2) override;
  void Pixel(int x, int y, Colour colour) override;
  void Clear(Colour colour) override;
  void PatternFill(int x1, int y1, int x2, int y2, const FillPattern& pattern,
                   Colour colour) override;

  // The colour at (x, y), without the alpha byte; 0 outside the surface.
  Colour At(int x, int y) const;

 protected:
  // The subclass hands over its pixel block (rows of `stride` pixels).
  void Attach(uint32_t* pixels, int width, int height, int stride);
  PenMode Mode() const { return penMode_; }

 private:
  void Plot(int x, int y, Colour colour, PenMode mode);
  void HorizontalSpan(int x1, int x2, int y, Colour colour, PenMode mode);
  void ThinLine(int x1, int y1, int x2, int y2);
  // Cuts the segment to a margin around the surface; false when no part of
  // it lies there.
  bool CutToMargin(int& x1, int& y1, int& x2, int& y2) const;

  uint32_t* pixels_ = nullptr;
  int width_ = 0, height_ = 0, stride_ = 0;
  Colour penColour_ = 0;
  int penWidth_ = 1;
  PenStyle penStyle_ = PenStyle::Solid;
  PenMode penMode_ = PenMode::Copy;
  Colour brushColour_ = 0;
  bool hollowBrush_ = false;
};

}  // namespace tarnisk
