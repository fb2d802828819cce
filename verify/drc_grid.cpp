#include "verify/drc_grid.h"

#include <algorithm>
#include <climits>
#include <iterator>

#include "core/layout.h"

namespace tarnisk {

namespace {

std::vector<int32_t> SortedDistinct(std::vector<int32_t> values) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

// The frame lines just outside the extent, saturated at the ends of the range.
int32_t Before(int32_t v) { return v == INT32_MIN ? v : v - 1; }
int32_t After(int32_t v) { return v == INT32_MAX ? v : v + 1; }

// Index (1-based) of a coordinate that the list holds.
int IndexOf(const std::vector<int32_t>& list, int32_t value) {
  return int(std::lower_bound(list.begin() + 1, list.end(), value) - list.begin());
}

}  // namespace

DrcGrid::DrcGrid(const Layout& layout) : layout_(layout) {
  const LayoutWideState& w = layout.wide;
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    std::vector<int32_t> xs, ys;
    for (int b = w.layerFirst[layer]; b <= w.layerLast[layer]; ++b) {
      const Box& box = layout.boxes[b];
      xs.insert(xs.end(), {box.x1, box.x2});
      ys.insert(ys.end(), {box.y1, box.y2});
    }
    edges_[layer] = {SortedDistinct(std::move(xs)), SortedDistinct(std::move(ys))};
  }
}

std::vector<int32_t> DrcGrid::Merge(int32_t low, int32_t high, std::span<const DrcPaint> paints,
                                    std::vector<int32_t> Edges::*list,
                                    const std::array<Edges, kLayerCount + 1>& edges) {
  std::vector<int32_t> merged{low, high}, next;
  for (const DrcPaint& p : paints) {
    const std::vector<int32_t>& more = edges[p.layer].*list;
    next.clear();
    std::set_union(merged.begin(), merged.end(), more.begin(), more.end(),
                   std::back_inserter(next));
    merged.swap(next);
  }
  merged.insert(merged.begin(), 0);  // index 0 unused
  return merged;
}

bool DrcGrid::Build(std::span<const DrcPaint> paints) {
  const Rect& e = layout_.wide.extent;
  std::vector<int32_t> xs = Merge(Before(e.xmin), After(e.xmax), paints, &Edges::xs, edges_);
  std::vector<int32_t> ys = Merge(Before(e.ymin), After(e.ymax), paints, &Edges::ys, edges_);
  const int nx = int(xs.size()) - 1, ny = int(ys.size()) - 1;
  maxColumns_ = std::max(maxColumns_, std::min(nx, kDrcMaxColumns));
  maxRows_ = std::max(maxRows_, std::min(ny, kDrcMaxRows));
  if (nx > kDrcMaxColumns || ny > kDrcMaxRows) return false;
  xs_.swap(xs);
  ys_.swap(ys);
  columns_.assign(size_t(nx + 2) * (ny + 2), 0);
  for (const DrcPaint& p : paints) PaintLayer(p);
  Transpose();
  return true;
}

// Sweeps the columns from left to right, keeping for every row the number of
// the layer's boxes over it: each box costs its height in rows twice, and
// each column one pass over its cells, however large the boxes are.
void DrcGrid::PaintLayer(const DrcPaint& paint) {
  const int nx = NX(), ny = NY(), stride = ny + 2;
  const LayoutWideState& w = layout_.wide;
  bucket_.assign(nx + 3, 0);
  spans_.resize(2 * size_t(std::max(0, w.layerLast[paint.layer] - w.layerFirst[paint.layer] + 1)));
  for (int b = w.layerFirst[paint.layer]; b <= w.layerLast[paint.layer]; ++b) {
    const Box& box = layout_.boxes[b];
    ++bucket_[IndexOf(xs_, box.x1) + 1];
    ++bucket_[IndexOf(xs_, box.x2) + 1];
  }
  for (int i = 1; i < nx + 3; ++i) bucket_[i] += bucket_[i - 1];
  std::vector<int32_t> fill(bucket_.begin(), bucket_.end() - 1);
  for (int b = w.layerFirst[paint.layer]; b <= w.layerLast[paint.layer]; ++b) {
    const Box& box = layout_.boxes[b];
    const int32_t row1 = IndexOf(ys_, box.y1), row2 = IndexOf(ys_, box.y2);
    spans_[fill[IndexOf(xs_, box.x1)]++] = {row1, row2, 1};
    spans_[fill[IndexOf(xs_, box.x2)]++] = {row1, row2, -1};
  }
  depth_.assign(stride, 0);
  mask_.assign(stride, 0);
  int coveredRows = 0;
  for (int i = 1; i <= nx; ++i) {
    for (int k = bucket_[i]; k < bucket_[i + 1]; ++k) {
      const Span& span = spans_[k];
      for (int j = span.row1; j < span.row2; ++j) {
        const bool was = depth_[j] > 0;
        depth_[j] += span.delta;
        const bool is = depth_[j] > 0;
        coveredRows += int(is) - int(was);
        mask_[j] = is ? paint.code : 0;
      }
    }
    if (coveredRows == 0) continue;
    uint8_t* column = &columns_[size_t(i) * stride];
    for (int j = 0; j < stride; ++j) column[j] |= mask_[j];
  }
}

// The row-major copy lets the row passes read their cells in memory order.
void DrcGrid::Transpose() {
  const int width = NX() + 2, height = NY() + 2;
  constexpr int kBlock = 64;
  rows_.resize(size_t(width) * height);
  for (int i0 = 0; i0 < width; i0 += kBlock)
    for (int j0 = 0; j0 < height; j0 += kBlock)
      for (int i = i0; i < std::min(i0 + kBlock, width); ++i)
        for (int j = j0; j < std::min(j0 + kBlock, height); ++j)
          rows_[size_t(j) * width + i] = columns_[size_t(i) * height + j];
}

DrcLines DrcGrid::Columns() const {
  return {columns_.data(), NY() + 2, NX(), NY(), ys_.data(), true};
}

DrcLines DrcGrid::Rows() const { return {rows_.data(), NX() + 2, NY(), NX(), xs_.data(), false}; }

}  // namespace tarnisk
