#pragma once
// A raster surface that owns its pixels and keeps the texts drawn on it as a
// list instead of rendering glyphs: exact pixels for everything else without
// a font engine (tests, headless runs).

#include <string>
#include <vector>

#include "ui/raster_surface.h"

namespace tarnisk {

class BufferSurface : public RasterSurface {
 public:
  struct TextItem {
    int x, y;
    std::string text;
    int pointSize;
    unsigned style;
    Colour colour;
  };

  BufferSurface(int width, int height);

  void Text(int x, int y, const std::string& text, int pointSize, unsigned style,
            Colour colour) override;
  void Clear(Colour colour) override;

  const std::vector<TextItem>& Texts() const { return texts_; }

 private:
  std::vector<uint32_t> pixels_;
  std::vector<TextItem> texts_;
};

}  // namespace tarnisk
