#pragma once
// The raster surface on a Qt image: the editor shows this image, the batch
// tool saves it as PNG. Text is drawn with Qt's fonts; everything else by the
// raster code, pixel-exact.

#include <QImage>
#include <string>

#include "ui/raster_surface.h"

namespace tarnisk {

class ImageSurface : public RasterSurface {
 public:
  ImageSurface(int width, int height);

  void Text(int x, int y, const std::string& text, int pointSize, unsigned style,
            Colour colour) override;

  const QImage& Image() const { return image_; }
  // Writes the image as a PNG file through the atomic writer; returns 0 or
  // the errno-style cause.
  int SavePng(const std::string& path) const;

 private:
  QImage image_;
};

// Qt needs an application object before it can use fonts. Creates one on the
// off-screen platform when the process has none (batch runs, tests).
void EnsureGuiApplication();

}  // namespace tarnisk
