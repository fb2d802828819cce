#include "ui/buffer_surface.h"

namespace tarnisk {

BufferSurface::BufferSurface(int width, int height)
    : pixels_(size_t(width > 0 ? width : 0) * size_t(height > 0 ? height : 0), 0xFF000000u) {
  Attach(pixels_.data(), width > 0 ? width : 0, height > 0 ? height : 0, width > 0 ? width : 0);
}

void BufferSurface::Text(int x, int y, const std::string& text, int pointSize, unsigned style,
                         Colour colour) {
  texts_.push_back({x, y, text, pointSize, style, colour});
}

void BufferSurface::Clear(Colour colour) {
  texts_.clear();
  RasterSurface::Clear(colour);
}

}  // namespace tarnisk
