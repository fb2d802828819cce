#include "route/occupancy_grid.h"

#include <algorithm>
#include <array>

#include "gen/path.h"

namespace tarnisk {

namespace {

// The kinds of layer the grid tells apart, one bit each.
enum Presence : uint8_t {
  kHasMetal = 1,
  kHasDiffp = 2,
  kHasDiffn = 4,
  kHasContact = 8,
  kHasPoly = 16,
  kHasOther = 32
};
constexpr int kPresenceCombinations = 64;

uint8_t PresenceOf(int layer) {
  switch (layer) {
    case kNwell:
    case kMetal2: return 0;
    case kMetal: return kHasMetal;
    case kDiffp: return kHasDiffp;
    case kDiffn: return kHasDiffn;
    case kContact: return kHasContact;
    case kPoly: return kHasPoly;
    default: return kHasOther;
  }
}

// A layer alone gives its own code (poly and the other layers leave the cell
// free); metal meeting a diffusion or poly gives the mixed code; any other
// meeting (poly over diffusion is a gate) blocks the cell.
uint8_t CodeOf(uint8_t p) {
  const bool diffusion = p & (kHasDiffp | kHasDiffn);
  if ((p & kHasContact) || ((p & kHasDiffp) && (p & kHasDiffn)) || ((p & kHasPoly) && diffusion) ||
      ((p & kHasOther) && (p & ~kHasOther)))
    return kCellBlocked;
  if (p & kHasMetal) return diffusion || (p & kHasPoly) ? kCellMixed : kCellMetal;
  if (p & kHasDiffp) return kCellDiffp;
  if (p & kHasDiffn) return kCellDiffn;
  return kCellFree;
}

const std::array<uint8_t, kPresenceCombinations> kCodes = [] {
  std::array<uint8_t, kPresenceCombinations> codes{};
  for (int p = 0; p < kPresenceCombinations; ++p) codes[size_t(p)] = CodeOf(uint8_t(p));
  return codes;
}();

}  // namespace

int32_t RoutingStep(const Technology& t) {
  const int64_t besidePoly = int64_t{t.ContactCellWidth} + t.R301 + 2 * int64_t{t.R305} + 1;
  const int64_t beside = int64_t{t.R601} + 2 * int64_t{t.R604} + t.R702;
  return int32_t(std::clamp<int64_t>(std::max(besidePoly, beside), 1, kCoordinateLimit));
}

OccupancyGrid::OccupancyGrid(int32_t step)
    : step_(std::max(step, 1)), presence_(kWidth * kHeight, 0) {}

void OccupancyGrid::SetStep(int32_t step) {
  step_ = std::max(step, 1);
  Clear();
}

int32_t OccupancyGrid::CellIndex(int64_t v, int32_t first, int32_t last) {
  const int64_t q = RoundedQuotient(v, step_);
  if (q < first || q > last) outOfGrid_ = true;
  return int32_t(std::clamp<int64_t>(q, first, last));
}

int32_t OccupancyGrid::CellX(int64_t x) { return CellIndex(x, kGridFirstX, kGridLastX); }
int32_t OccupancyGrid::CellY(int64_t y) { return CellIndex(y, kGridFirstY, kGridLastY); }

uint8_t OccupancyGrid::Code(int64_t x, int64_t y) const {
  if (!Inside(x, y)) return kCellBlocked;
  return kCodes[presence_[size_t(y - kGridFirstY) * kWidth + size_t(x - kGridFirstX)]];
}

void OccupancyGrid::Clear() {
  std::fill(presence_.begin(), presence_.end(), 0);
  journal_.clear();
}

void OccupancyGrid::Mark(const Box& box) {
  const uint8_t bit = PresenceOf(box.layer);
  if (bit == 0) return;
  const auto cells = [&](int64_t low, int64_t high, int32_t first, int32_t last) {
    return std::pair{std::max<int64_t>(RoundedQuotient(low - 1, step_), first),
                     std::min<int64_t>(RoundedQuotient(high + 1, step_), last)};
  };
  const auto [x1, x2] = cells(box.x1, box.x2, kGridFirstX, kGridLastX);
  const auto [y1, y2] = cells(box.y1, box.y2, kGridFirstY, kGridLastY);
  for (int64_t y = y1; y <= y2; ++y)
    for (int64_t x = x1; x <= x2; ++x) {
      uint8_t& cell = Presence(int32_t(x), int32_t(y));
      if (journaling_ && (cell | bit) != cell) journal_.emplace_back(&cell - presence_.data(), cell);
      cell |= bit;
    }
}

void OccupancyGrid::RollBack(size_t size) {
  for (; journal_.size() > size; journal_.pop_back())
    presence_[journal_.back().first] = journal_.back().second;
}

void OccupancyGrid::MarkFrom(const Layout& layout, int first) {
  for (int i = std::max(first, 1); i <= layout.boxes.Count(); ++i)
    if (layout.boxes[i].state != kErased) Mark(layout.boxes[i]);
}

void OccupancyGrid::Rebuild(const Layout& layout) {
  Clear();
  MarkFrom(layout, 1);
}

}  // namespace tarnisk
