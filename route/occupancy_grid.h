#pragma once
// The occupancy grid over which the compilers place cells and lay wires: one
// cell per routing step in each direction, telling what already lies there
// (free, metal, a diffusion, metal over diffusion, or something a wire must
// not cross), so that wires keep clear of metal and contacts.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/layout.h"
#include "core/technology.h"

namespace tarnisk {

// Cell indexes run from -50 to 3000 in x and from -50 to 2000 in y.
inline constexpr int32_t kGridFirstX = -50, kGridLastX = 3000;
inline constexpr int32_t kGridFirstY = -50, kGridLastY = 2000;
// The routing step until a compiler sets the technology's.
inline constexpr int32_t kInitialRoutingStep = 10;

// What a cell holds. Poly, nwell and metal2 alone leave a cell free.
enum GridCode : uint8_t {
  kCellFree = 0,
  kCellMetal = 1,
  kCellDiffp = 3,
  kCellBlocked = 4,  // a contact, or two things that may not share a cell (a gate)
  kCellDiffn = 5,
  kCellMixed = 6,  // metal over diffusion, or poly with metal
};

// The step the compilers route on: room for a contact cell beside a poly
// line, or for a via and the metal2 spacing, whichever is larger.
int32_t RoutingStep(const Technology& t);

class OccupancyGrid {
 public:
  explicit OccupancyGrid(int32_t step = kInitialRoutingStep);

  int32_t Step() const { return step_; }
  // A new step empties the grid: its cells no longer stand for the same places.
  void SetStep(int32_t step);

  // The cell of a layout coordinate: the nearest multiple of the step (halves
  // to even), clamped to the grid; a clamped value sets the out-of-grid flag.
  int32_t CellX(int64_t x);
  int32_t CellY(int64_t y);
  Point CellOf(Point p) { return {CellX(p.x), CellY(p.y)}; }
  bool OutOfGrid() const { return outOfGrid_; }
  void ClearOutOfGrid() { outOfGrid_ = false; }

  static bool Inside(int64_t x, int64_t y) {
    return x >= kGridFirstX && x <= kGridLastX && y >= kGridFirstY && y <= kGridLastY;
  }
  // The code of a cell; a cell outside the grid is blocked.
  uint8_t Code(int64_t x, int64_t y) const;

  void Clear();
  // Combines the cells the box covers, grown by one lambda, with its layer.
  // The code of a cell depends on which layers cover it, not on the order in
  // which they were marked. Parts outside the grid are left out.
  void Mark(const Box& box);
  // Boxes first..Count() of the layout, live ones only.
  void MarkFrom(const Layout& layout, int first);
  void Rebuild(const Layout& layout);

  // A journal of the cells Mark changes, so that wiring laid on trial can be
  // taken back without a copy of the grid. Clear empties it.
  void OpenJournal() { journal_.clear(), journaling_ = true; }
  void CloseJournal() { journal_.clear(), journaling_ = false; }
  size_t JournalSize() const { return journal_.size(); }
  // Puts back the cells changed since the journal had `size` entries.
  void RollBack(size_t size);

 private:
  uint8_t& Presence(int32_t x, int32_t y) {
    return presence_[size_t(y - kGridFirstY) * kWidth + size_t(x - kGridFirstX)];
  }
  int32_t CellIndex(int64_t v, int32_t first, int32_t last);

  static constexpr size_t kWidth = size_t(kGridLastX - kGridFirstX + 1);
  static constexpr size_t kHeight = size_t(kGridLastY - kGridFirstY + 1);
  int32_t step_;
  bool outOfGrid_ = false;
  std::vector<uint8_t> presence_;  // per cell, one bit per kind of layer covering it
  bool journaling_ = false;
  std::vector<std::pair<size_t, uint8_t>> journal_;  // cell index and its former presence
};

}  // namespace tarnisk
