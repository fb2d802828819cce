#include "core/box_index.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/layout.h"

namespace tarnisk {

namespace {

// Buckets per box on average; the grid never holds more than this many
// buckets per indexed box.
constexpr int64_t kBucketsPerBox = 2;
// A cell holding more boxes than this gets a finer grid, down to this depth.
constexpr int32_t kCrowdedCell = 48;
constexpr int kMaxDepth = 3;
// A finer grid is kept only while it holds at most this many entries per box.
constexpr size_t kFinerEntriesPerBox = 8;

constexpr Rect kEverywhere = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

}  // namespace

BoxIndex::BoxIndex(const Layout& layout, int first, int last)
    : layout_(&layout), clip_(kEverywhere) {
  if (last < first) return;
  std::vector<int> boxes(size_t(last - first + 1));
  std::iota(boxes.begin(), boxes.end(), first);
  Build(boxes, 0);
}

BoxIndex::BoxIndex(const Layout& layout, const std::vector<int>& boxes, const Rect& clip, int depth)
    : layout_(&layout), clip_(clip) {
  Build(boxes, depth);
}

Rect BoxIndex::Clipped(int box) const {
  const Box& b = layout_->boxes[box];
  return {std::max(b.x1, clip_.xmin), std::max(b.y1, clip_.ymin), std::min(b.x2, clip_.xmax),
          std::min(b.y2, clip_.ymax)};
}

void BoxIndex::Build(const std::vector<int>& boxes, int depth) {
  Rect bounds = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  int64_t sides = 0;
  for (int i : boxes) {
    const Rect r = Clipped(i);
    GrowRect(bounds, r);
    sides += int64_t{r.xmax} - r.xmin + r.ymax - r.ymin;
  }
  if (boxes.empty() || bounds.xmin > bounds.xmax || bounds.ymin > bounds.ymax) return;
  const int64_t count = int64_t(boxes.size());
  const int64_t w = int64_t{bounds.xmax} - bounds.xmin + 1, h = int64_t{bounds.ymax} - bounds.ymin + 1;
  // Cells about the size of a typical box, but not more cells than boxes allow.
  cellSize_ = std::max<int64_t>(1, sides / (2 * count));
  const double minCell = std::sqrt(double(w) * double(h) / double(kBucketsPerBox * count));
  cellSize_ = std::max<int64_t>(cellSize_, int64_t(std::ceil(minCell)));
  x0_ = bounds.xmin, y0_ = bounds.ymin;
  nx_ = int(w / cellSize_ + 1), ny_ = int(h / cellSize_ + 1);
  clip_ = bounds;
  // A box over a quarter of a large grid touches a quarter of all searches
  // anyway: it is checked on each rather than stored in every cell.
  const int64_t cells = int64_t(nx_) * ny_;
  std::vector<int> gridded;
  for (int i : boxes) {
    const int64_t covered = CellsCovered(Clipped(i));
    if (covered > 16 && covered > cells / 4) spanning_.push_back(i);
    else gridded.push_back(i);
  }
  std::vector<int32_t> counts(size_t(cells) + 1, 0);
  auto forCells = [&](int box, auto&& f) {
    const Rect r = Clipped(box);
    for (int cx = CellX(r.xmin); cx <= CellX(r.xmax); ++cx)
      for (int cy = CellY(r.ymin); cy <= CellY(r.ymax); ++cy) f(size_t(cx) * ny_ + cy);
  };
  for (int i : gridded) forCells(i, [&](size_t c) { ++counts[c + 1]; });
  for (size_t c = 1; c < counts.size(); ++c) counts[c] += counts[c - 1];
  start_ = counts;
  entries_.resize(size_t(counts.back()));
  for (int i : gridded) forCells(i, [&](size_t c) { entries_[size_t(counts[c]++)] = i; });
  if (depth < kMaxDepth) RefineCrowdedCells(depth);
}

int64_t BoxIndex::CellsCovered(const Rect& r) const {
  return (int64_t{CellX(r.xmax)} - CellX(r.xmin) + 1) * (int64_t{CellY(r.ymax)} - CellY(r.ymin) + 1);
}

// A crowded cell (a cluster far smaller than the layout's span, or a heap of
// boxes in one place) gets a grid over its own area, which is kept when it
// does spread the boxes out.
void BoxIndex::RefineCrowdedCells(int depth) {
  for (int cx = 0; cx < nx_; ++cx)
    for (int cy = 0; cy < ny_; ++cy) {
      const size_t c = size_t(cx) * ny_ + cy;
      if (start_[c + 1] - start_[c] <= kCrowdedCell) continue;
      const std::vector<int> inCell(entries_.begin() + start_[c], entries_.begin() + start_[c + 1]);
      const int64_t left = x0_ + cx * cellSize_, bottom = y0_ + cy * cellSize_;
      const Rect cell = {int32_t(std::max<int64_t>(left, clip_.xmin)),
                         int32_t(std::max<int64_t>(bottom, clip_.ymin)),
                         int32_t(std::min<int64_t>(left + cellSize_ - 1, clip_.xmax)),
                         int32_t(std::min<int64_t>(bottom + cellSize_ - 1, clip_.ymax))};
      BoxIndex finer(*layout_, inCell, cell, depth + 1);
      if (!finer.Spreads(inCell.size())) continue;
      if (finer_.empty()) finer_.assign(start_.size() - 1, -1);
      finer_[c] = int32_t(grids_.size());
      grids_.push_back(std::move(finer));
    }
}

// Whether this grid, built over `boxes` boxes, leaves fewer in each cell
// than there were and stores each box only a few times.
bool BoxIndex::Spreads(size_t boxes) const {
  if (entries_.size() + spanning_.size() > kFinerEntriesPerBox * boxes) return false;
  for (size_t c = 0; c + 1 < start_.size(); ++c)
    if (size_t(start_[c + 1] - start_[c]) >= boxes) return false;
  return true;
}

int BoxIndex::CellX(int64_t x) const {
  return int(std::clamp<int64_t>((x - x0_) / cellSize_, 0, nx_ - 1));
}

int BoxIndex::CellY(int64_t y) const {
  return int(std::clamp<int64_t>((y - y0_) / cellSize_, 0, ny_ - 1));
}

void BoxIndex::Collect(const Rect& r, std::vector<int>& found) const {
  if (nx_ == 0) return;
  for (int i : spanning_)
    if (BoxIntersects(*layout_, i, r)) found.push_back(i);
  for (int cx = CellX(r.xmin); cx <= CellX(r.xmax); ++cx)
    for (int cy = CellY(r.ymin); cy <= CellY(r.ymax); ++cy) {
      const size_t c = size_t(cx) * ny_ + cy;
      if (!finer_.empty() && finer_[c] >= 0) {
        grids_[size_t(finer_[c])].Collect(r, found);
        continue;
      }
      for (int32_t k = start_[c]; k < start_[c + 1]; ++k) {
        const int i = entries_[size_t(k)];
        if (BoxIntersects(*layout_, i, r)) found.push_back(i);
      }
    }
}

std::vector<int> BoxIndex::Touching(const Rect& r) const {
  std::vector<int> found;
  Collect(r, found);
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

std::vector<int> TouchingPlain(const Layout& layout, int first, int last, const Rect& r) {
  std::vector<int> found;
  for (int i = first; i <= last; ++i)
    if (BoxIntersects(layout, i, r)) found.push_back(i);
  return found;
}

}  // namespace tarnisk
