#pragma once
// A bucket grid over a range of the box table, so that the boxes near a
// rectangle are found without comparing every pair of boxes. Cells that a
// cluster of boxes crowds get a finer grid of their own, so that a layout
// with a dense block far from its other boxes is not searched box by box.

#include <cstdint>
#include <vector>

#include "core/geometry.h"
#include "core/layout.h"

namespace tarnisk {

class BoxIndex {
 public:
  // Indexes the boxes first..last (table indexes) with their present corners.
  BoxIndex(const Layout& layout, int first, int last);

  // Indexes of the indexed boxes whose closed rectangle touches `r`, in
  // ascending order.
  std::vector<int> Touching(const Rect& r) const;

 private:
  // A finer grid over `boxes` where they lie within `clip`.
  BoxIndex(const Layout& layout, const std::vector<int>& boxes, const Rect& clip, int depth);

  void Build(const std::vector<int>& boxes, int depth);
  Rect Clipped(int box) const;
  int CellX(int64_t x) const;
  int CellY(int64_t y) const;
  int64_t CellsCovered(const Rect& r) const;
  void RefineCrowdedCells(int depth);
  bool Spreads(size_t boxes) const;
  void Collect(const Rect& r, std::vector<int>& found) const;

  const Layout* layout_;
  Rect clip_;
  int64_t x0_ = 0, y0_ = 0, cellSize_ = 1;
  int nx_ = 0, ny_ = 0;
  std::vector<int32_t> start_;  // bucket i holds entries_[start_[i] .. start_[i+1])
  std::vector<int32_t> entries_;
  std::vector<int32_t> spanning_;  // boxes over a large part of the grid, checked on every search
  std::vector<int32_t> finer_;     // per cell: its entry in finer grids_, or -1 (empty: none)
  std::vector<BoxIndex> grids_;
};

// The same answer as BoxIndex::Touching over first..last, by comparing every
// box: the plain path that the index must agree with.
std::vector<int> TouchingPlain(const Layout& layout, int first, int last, const Rect& r);

}  // namespace tarnisk
