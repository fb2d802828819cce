#pragma once
// What a generator or the router added to a layout: the counts of new boxes
// and texts, the rectangle they cover, whether a full table dropped some of
// them, and the closing message.

#include <cstdint>
#include <string>

#include "core/layout.h"

namespace tarnisk {

struct Generated {
  int boxesAdded = 0;
  int textsAdded = 0;
  Rect extentAdded = kSentinelRect;  // kSentinelRect while nothing was added
  TableStatus status = kTableOk;     // the table that filled up, or kTableOk
  std::string message;

  bool Complete() const { return status == kTableOk; }
  bool Empty() const { return boxesAdded == 0 && textsAdded == 0; }
  // Adds what `other` added; the first full table is kept.
  void Merge(const Generated& other);
};

// Adds boxes and texts through the database operations and tells what it
// added since it was made. A full table drops the boxes that follow, as the
// database does, and is remembered for the result.
class LayoutWriter {
 public:
  explicit LayoutWriter(Layout& layout);

  Layout& Target() { return layout_; }
  // Coordinates are computed in 64 bits from rules and fields of any size
  // and brought within the coordinate limit here.
  void Box(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int layer);
  void Box(const Rect& r, int layer) { Box(r.xmin, r.ymin, r.xmax, r.ymax, layer); }
  // A square of side `size` whose lower-left corner is (x, y).
  void Square(int64_t x, int64_t y, int64_t size, int layer) {
    Box(x, y, x + size, y + size, layer);
  }
  void Text(int32_t x, int32_t y, const std::string& text);
  // Records a status that an operation outside the writer met.
  void Note(TableStatus status);
  // A table filled up: loops that add more stop here.
  bool Full() const { return status_ != kTableOk; }

  // Boxes and texts added since the writer was made, with `message`.
  Generated Result(std::string message) const;

 private:
  Layout& layout_;
  int firstBox_, firstText_;
  TableStatus status_ = kTableOk;
};

}  // namespace tarnisk
