#include "core/box_index.h"

#include <algorithm>
#include <cmath>

#include "core/layout.h"

namespace tarnisk {

namespace {

// Buckets per box on average; the grid never holds more than this many
// buckets per indexed box.
constexpr int64_t kBucketsPerBox = 2;

}  // namespace

BoxIndex::BoxIndex(const Layout& layout, int first, int last) : layout_(layout) {
  if (last < first) return;
  Rect bounds = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  int64_t sides = 0;
  for (int i = first; i <= last; ++i) {
    const Box& b = layout.boxes[i];
    GrowRect(bounds, {b.x1, b.y1, b.x2, b.y2});
    sides += int64_t{b.x2} - b.x1 + b.y2 - b.y1;
  }
  const int64_t count = last - first + 1;
  const int64_t w = int64_t{bounds.xmax} - bounds.xmin + 1, h = int64_t{bounds.ymax} - bounds.ymin + 1;
  // Cells about the size of a typical box, but not more cells than boxes allow.
  cellSize_ = std::max<int64_t>(1, sides / (2 * count));
  const double minCell = std::sqrt(double(w) * double(h) / double(kBucketsPerBox * count));
  cellSize_ = std::max<int64_t>(cellSize_, int64_t(std::ceil(minCell)));
  x0_ = bounds.xmin, y0_ = bounds.ymin;
  nx_ = int(w / cellSize_ + 1), ny_ = int(h / cellSize_ + 1);
  std::vector<int32_t> counts(size_t(nx_) * ny_ + 1, 0);
  auto forCells = [&](const Box& b, auto&& f) {
    for (int cx = CellX(b.x1); cx <= CellX(b.x2); ++cx)
      for (int cy = CellY(b.y1); cy <= CellY(b.y2); ++cy) f(size_t(cx) * ny_ + cy);
  };
  for (int i = first; i <= last; ++i) forCells(layout.boxes[i], [&](size_t c) { ++counts[c + 1]; });
  for (size_t c = 1; c < counts.size(); ++c) counts[c] += counts[c - 1];
  start_ = counts;
  entries_.resize(size_t(counts.back()));
  for (int i = first; i <= last; ++i)
    forCells(layout.boxes[i], [&](size_t c) { entries_[size_t(counts[c]++)] = i; });
}

int BoxIndex::CellX(int64_t x) const {
  return int(std::clamp<int64_t>((x - x0_) / cellSize_, 0, nx_ - 1));
}

int BoxIndex::CellY(int64_t y) const {
  return int(std::clamp<int64_t>((y - y0_) / cellSize_, 0, ny_ - 1));
}

std::vector<int> BoxIndex::Touching(const Rect& r) const {
  std::vector<int> found;
  if (nx_ == 0) return found;
  for (int cx = CellX(r.xmin); cx <= CellX(r.xmax); ++cx)
    for (int cy = CellY(r.ymin); cy <= CellY(r.ymax); ++cy) {
      const size_t c = size_t(cx) * ny_ + cy;
      for (int32_t k = start_[c]; k < start_[c + 1]; ++k) {
        const int i = entries_[size_t(k)];
        if (BoxIntersects(layout_, i, r)) found.push_back(i);
      }
    }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

}  // namespace tarnisk
