#include "ui/qt/image_canvas.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarnisk {

ImageCanvas::ImageCanvas(std::function<void(DrawingSurface&)> paint, QSize minimum, QWidget* parent)
    : QWidget(parent), paint_(std::move(paint)) {
  setMinimumSize(minimum);
  surface_ = std::make_unique<ImageSurface>(minimum.width(), minimum.height());
}

void ImageCanvas::Repaint() {
  paint_(*surface_);
  update();
}

void ImageCanvas::paintEvent(QPaintEvent*) { QPainter(this).drawImage(0, 0, surface_->Image()); }

void ImageCanvas::resizeEvent(QResizeEvent*) {
  surface_ = std::make_unique<ImageSurface>(std::max(1, width()), std::max(1, height()));
  Repaint();
}

void ImageCanvas::mousePressEvent(QMouseEvent* event) {
  if (pressed) pressed(event->position().toPoint());
}

}  // namespace tarnisk
