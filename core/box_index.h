#pragma once
// A uniform bucket grid over a range of the box table, so that the boxes near
// a rectangle are found without comparing every pair of boxes.

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
  int CellX(int64_t x) const;
  int CellY(int64_t y) const;

  const Layout& layout_;
  int64_t x0_ = 0, y0_ = 0, cellSize_ = 1;
  int nx_ = 0, ny_ = 0;
  std::vector<int32_t> start_;  // bucket i holds entries_[start_[i] .. start_[i+1])
  std::vector<int32_t> entries_;
};

}  // namespace tarnisk
