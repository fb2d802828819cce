#pragma once
// A paint box for the tool windows: an image surface the size of the widget,
// drawn by the window's drawing function whenever it is resized or asked to,
// with the mouse presses and releases passed on in pixels.

#include <QPainter>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/geometry.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

class SurfaceCanvas : public QWidget {
 public:
  SurfaceCanvas(const char* name, QSize minimum, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setMinimumSize(minimum);
    surface_ = std::make_unique<ImageSurface>(minimum.width(), minimum.height());
  }
  std::function<void(DrawingSurface&)> draw;
  std::function<void(Point)> pressed, released;

  void Redraw() {
    if (draw) draw(*surface_);
    update();
  }
  const QImage& Image() const { return surface_->Image(); }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, surface_->Image()); }
  void resizeEvent(QResizeEvent*) override {
    surface_ = std::make_unique<ImageSurface>(std::max(1, width()), std::max(1, height()));
    Redraw();
  }
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::unique_ptr<ImageSurface> surface_;
};

}  // namespace tarnisk
