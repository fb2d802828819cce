#pragma once
// A widget that shows an image painted by a function on a drawing surface:
// the painting is redone when the widget is resized or asked to, and mouse
// presses are passed on in the image's pixels.

#include <QWidget>
#include <functional>
#include <memory>

#include "ui/qt/image_surface.h"

namespace tarnisk {

class ImageCanvas : public QWidget {
 public:
  ImageCanvas(std::function<void(DrawingSurface&)> paint, QSize minimum, QWidget* parent);

  // Paints the image again and shows it.
  void Repaint();
  const QImage& Image() const { return surface_->Image(); }
  std::function<void(QPoint)> pressed;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::function<void(DrawingSurface&)> paint_;
  std::unique_ptr<ImageSurface> surface_;
};

}  // namespace tarnisk
