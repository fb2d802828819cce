#include "gen/generated.h"

#include <utility>

namespace tarnisk {

void Generated::Merge(const Generated& other) {
  boxesAdded += other.boxesAdded;
  textsAdded += other.textsAdded;
  GrowRect(extentAdded, other.extentAdded);
  if (status == kTableOk) status = other.status;
}

LayoutWriter::LayoutWriter(Layout& layout)
    : layout_(layout), firstBox_(layout.boxes.Count() + 1), firstText_(layout.texts.Count() + 1) {}

void LayoutWriter::Box(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int layer) {
  Note(AddBox(layout_, ClampCoordinate(x1), ClampCoordinate(y1), ClampCoordinate(x2),
              ClampCoordinate(y2), layer));
}

void LayoutWriter::Text(int32_t x, int32_t y, const std::string& text) {
  Note(AddLayoutText(layout_, x, y, text));
}

void LayoutWriter::Note(TableStatus status) {
  if (status_ == kTableOk) status_ = status;
}

Generated LayoutWriter::Result(std::string message) const {
  Generated g;
  g.status = status_;
  g.message = std::move(message);
  for (int i = firstBox_; i <= layout_.boxes.Count(); ++i) {
    GrowRect(g.extentAdded, RectOf(layout_.boxes[i]));
    ++g.boxesAdded;
  }
  for (int i = firstText_; i <= layout_.texts.Count(); ++i) {
    const LayoutText& t = layout_.texts[i];
    GrowRect(g.extentAdded, LabelFrame(t.x, t.y));
    ++g.textsAdded;
  }
  return g;
}

}  // namespace tarnisk
