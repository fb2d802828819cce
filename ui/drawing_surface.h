#pragma once
// The drawing surface the layout is drawn on: the editor's window image, a
// printer page, a PNG in the batch tool, or a recorder in tests.
//
// Coordinates are pixels with y pointing down. Rectangles and lines include
// both of their end points.

#include <array>
#include <cstdint>
#include <string>

namespace tarnisk {

using Colour = uint32_t;  // 0xRRGGBB

constexpr Colour MakeColour(uint8_t r, uint8_t g, uint8_t b) {
  return (Colour{r} << 16) | (Colour{g} << 8) | b;
}

enum class PenStyle { Solid, Dotted };
// Copy replaces pixels; Merge ORs the colour into them (layers mix on black);
// NotXor sets ~(pixel ^ colour), so drawing the same shape twice restores them.
enum class PenMode { Copy, Merge, NotXor };

enum FontStyle : unsigned { kFontPlain = 0, kFontBold = 1, kFontItalic = 2, kFontUnderline = 4 };

using FillPattern = std::array<uint8_t, 8>;

class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  virtual void SetPen(Colour colour, int width, PenStyle style, PenMode mode) = 0;
  virtual void SetBrush(Colour colour) = 0;
  virtual void SetHollowBrush() = 0;

  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  // Outline with the pen; interior with the brush unless the brush is hollow.
  virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
  // Interior only, in the brush colour with the pen's mode.
  virtual void FillRect(int x1, int y1, int x2, int y2) = 0;
  // Sets one pixel, whatever the pen's mode.
  virtual void Pixel(int x, int y, Colour colour) = 0;
  // Text with its top-left corner at (x, y).
  virtual void Text(int x, int y, const std::string& text, int pointSize, unsigned style,
                    Colour colour) = 0;
  virtual void Clear(Colour colour) = 0;

  // Sets (whatever the pen's mode) every pixel of the closed rectangle whose bit
  // (7 - x mod 8) of pattern byte (y mod 8) is 1: the pattern is anchored to
  // the surface, not to the rectangle.
  virtual void PatternFill(int x1, int y1, int x2, int y2, const FillPattern& pattern,
                           Colour colour) = 0;
};

}  // namespace tarnisk
