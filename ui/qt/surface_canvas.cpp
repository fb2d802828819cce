#include "ui/qt/surface_canvas.h"

#include <QMouseEvent>

namespace tarnisk {

void SurfaceCanvas::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (pressed) pressed({p.x(), p.y()});
}

void SurfaceCanvas::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (released) released({p.x(), p.y()});
}

}  // namespace tarnisk
