#pragma once
// The design rule checker's occupancy grid: the layout compressed to the
// distinct box edges of the layers under check, one byte of layer flags per
// cell. Cell (i, j) stands for X(i) <= x < X(i+1), Y(j) <= y < Y(j+1).

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/layers.h"

namespace tarnisk {

struct Layout;

inline constexpr int kDrcMaxColumns = 3000;  // distinct X coordinates
inline constexpr int kDrcMaxRows = 2000;     // distinct Y coordinates

// One layer painted into the grid with its flag (a power of two).
struct DrcPaint {
  int layer;
  uint8_t code;
};

// The cells seen as parallel lines: the columns (positions run along Y) or the
// rows (positions run along X). Lines 1..count, positions 1..length; line and
// position 0 and count+1 / length+1 form an empty guard frame.
struct DrcLines {
  const uint8_t* cells;
  int stride;
  int count;
  int length;
  const int32_t* along;  // coordinate of each position, 1-based
  bool columns;

  uint8_t At(int line, int position) const { return cells[line * stride + position]; }
  int64_t Distance(int from, int to) const { return int64_t{along[to]} - along[from]; }
};

class DrcGrid {
 public:
  // The layout must be purged and ordered by layer with its extent computed,
  // and stay unchanged while the grid is in use.
  explicit DrcGrid(const Layout& layout);

  // Lists the extent frame and the edges of the painted layers' boxes, then
  // paints them. False, with nothing painted, when a list would exceed its
  // capacity.
  bool Build(std::span<const DrcPaint> paints);

  int NX() const { return int(xs_.size()) - 1; }
  int NY() const { return int(ys_.size()) - 1; }
  int32_t X(int i) const { return xs_[i]; }  // 1 <= i <= NX
  int32_t Y(int j) const { return ys_[j]; }  // 1 <= j <= NY

  DrcLines Columns() const;
  DrcLines Rows() const;

  // The longest lists reached since the grid was made (capped at capacity).
  int MaxColumns() const { return maxColumns_; }
  int MaxRows() const { return maxRows_; }

 private:
  struct Edges {
    std::vector<int32_t> xs, ys;  // sorted, distinct
  };
  struct Span {
    int32_t row1, row2, delta;
  };

  static std::vector<int32_t> Merge(int32_t low, int32_t high,
                                    std::span<const DrcPaint> paints,
                                    std::vector<int32_t> Edges::*list,
                                    const std::array<Edges, kLayerCount + 1>& edges);
  void PaintLayer(const DrcPaint& paint);
  void Transpose();

  const Layout& layout_;
  std::array<Edges, kLayerCount + 1> edges_;
  std::vector<int32_t> xs_, ys_;        // index 0 unused
  std::vector<uint8_t> columns_, rows_;  // column-major and row-major copies
  std::vector<int32_t> depth_;           // paint sweep: boxes over each row
  std::vector<uint8_t> mask_;            // paint sweep: code of each covered row
  std::vector<int32_t> bucket_;          // paint sweep: first span of each column
  std::vector<Span> spans_;
  int maxColumns_ = 0, maxRows_ = 0;
};

}  // namespace tarnisk
