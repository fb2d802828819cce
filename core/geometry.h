#pragma once
// Rectangles and points in lambda, the layout grid unit (y axis up).

#include <cstdint>

namespace tarnisk {

struct Rect {
  int32_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  int32_t x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Coordinates beyond this magnitude are refused when read from files, so that
// widths, extents and text frames computed from them cannot overflow 32 bits.
inline constexpr int64_t kCoordinateLimit = 1'000'000'000;

// Starting value of every bounding-box accumulation: empty, and beyond every
// coordinate a layout can hold, so that the first rectangle grown into it is
// the bound whatever side of the origin it lies on.
inline constexpr Rect kSentinelRect{int32_t(2 * kCoordinateLimit), int32_t(2 * kCoordinateLimit),
                                    int32_t(-2 * kCoordinateLimit),
                                    int32_t(-2 * kCoordinateLimit)};

// A coordinate computed in 64 bits, brought back within the limit.
inline int32_t ClampCoordinate(int64_t v) {
  return static_cast<int32_t>(v < -kCoordinateLimit ? -kCoordinateLimit
                              : v > kCoordinateLimit ? kCoordinateLimit
                                                     : v);
}

inline bool PointInRect(Point p, const Rect& r) {
  return p.x >= r.xmin && p.x <= r.xmax && p.y >= r.ymin && p.y <= r.ymax;
}

inline void GrowRect(Rect& r, const Rect& by) {
  if (by.xmin < r.xmin) r.xmin = by.xmin;
  if (by.ymin < r.ymin) r.ymin = by.ymin;
  if (by.xmax > r.xmax) r.xmax = by.xmax;
  if (by.ymax > r.ymax) r.ymax = by.ymax;
}

}  // namespace tarnisk
