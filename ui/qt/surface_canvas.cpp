#include "ui/qt/surface_canvas.h"

#include <QMouseEvent>

namespace tarnisk {

void SurfaceCanvas::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (released) released({p.x(), p.y()});
}

}  // namespace tarnisk
