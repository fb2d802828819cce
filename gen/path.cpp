#include "gen/path.h"

#include <algorithm>

#include "core/number_format.h"
#include "gen/contact.h"

namespace tarnisk {

int64_t RoundedQuotient(int64_t v, int64_t step) {
  int64_t q = v / step, r = v % step;
  if (r < 0) r += step, --q;  // floor division
  if (2 * r > step || (2 * r == step && q % 2 != 0)) ++q;
  return q;
}

PathSegment DrawPathSegment(LayoutWriter& out, const Technology& t, const PathSettings& path,
                            int32_t routingStep, Point start, Point end) {
  int64_t x0 = start.x, y0 = start.y, x1 = end.x, y1 = end.y;
  if (path.alignToGrid) {
    x0 = SnapToGrid(x0, routingStep), y0 = SnapToGrid(y0, routingStep);
    x1 = SnapToGrid(x1, routingStep), y1 = SnapToGrid(y1, routingStep);
  }
  const int64_t xmin = std::min(x0, x1), xmax = std::max(x0, x1);
  const int64_t ymin = std::min(y0, y1), ymax = std::max(y0, y1);
  // An odd width puts its extra lambda on the low side.
  const int64_t high = path.width / 2, low = RoundToInt32(path.width * 0.5 + 0.1);
  const bool horizontal = xmax - xmin > ymax - ymin;
  Rect box;
  Point next;
  if (horizontal) {
    box = {ClampCoordinate(xmin - low), ClampCoordinate(y0 - low), ClampCoordinate(xmax + high),
           ClampCoordinate(y0 + high)};
    next = {ClampCoordinate(x1), ClampCoordinate(y0)};
  } else {
    box = {ClampCoordinate(x0 - low), ClampCoordinate(ymin - low), ClampCoordinate(x0 + high),
           ClampCoordinate(ymax + high)};
    next = {ClampCoordinate(x0), ClampCoordinate(y1)};
  }
  out.Box(box, PathWireLayer(path.layer));
  if (path.layer == kDiffn || path.layer == kDiffp) {
    // Diffusion contacts one contact cell apart along the wire.
    const int64_t pitch = int64_t{t.R401} + 2 * int64_t{t.R405};
    const int64_t length = horizontal ? int64_t{box.xmax} - box.xmin : int64_t{box.ymax} - box.ymin;
    for (int64_t k = 1; pitch > 0 && k < length / pitch && !out.Full(); ++k) {
      const Point at = horizontal ? Point{ClampCoordinate(xmin + k * pitch), next.y}
                                  : Point{next.x, ClampCoordinate(ymin + k * pitch)};
      DrawContact(out, t, at, path.layer);
    }
  }
  if (path.contactsAtEnds) {
    const Point from{ClampCoordinate(x0), ClampCoordinate(y0)};
    DrawContactArray(out, t, from, path.contacts, path.contacts, kContactVia);
    DrawContactArray(out, t, next, path.contacts, path.contacts, kContactVia);
  }
  return {box, next};
}

}  // namespace tarnisk
