#include "verify/interconnect.h"

#include <algorithm>

#include "core/box_index.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/technology.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

constexpr int kReportEvery = 64;   // boxes between progress messages
constexpr int32_t kAlongside = 50; // lambda a coupled box must run beside the wire
constexpr int32_t kNearby = 10;    // lambda it may be away at most
const char* kMicron = "\xC2\xB5m";

// Area capacitance (F per lambda squared) that a joined box adds.
double AreaCapacitance(const Technology& t, int layer) {
  switch (layer) {
    case kMetal: return t.CMEB;
    case kMetal2: return t.CM2B;
    case kMetal3: return t.CM3B;
    case kMetal4: return t.CM4B;
    case kMetal5: return t.CM5B;
    default: return 0;
  }
}

bool StopsTheFill(int layer) { return layer == kNwell || layer == kDiffp || layer == kDiffn; }

class InterconnectFill {
 public:
  InterconnectFill(Layout& layout, const Technology& t, Progress& progress, Interconnect& wire)
      : layout_(layout), t_(t), progress_(progress), wire_(wire),
        index_(layout, 1, layout.boxes.Count()) {}

  // Depth first, as a recursion would visit: a joined box is followed before
  // the next candidate of the box that reached it.
  void From(int start) {
    Join(start);
    std::vector<Frame> stack{{start, Candidates(start), 0}};
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.next >= f.candidates.size()) {
        stack.pop_back();
        continue;
      }
      const int b = f.candidates[f.next++];
      if (layout_.boxes[b].node != -1) continue;
      if (StopsTheFill(layout_.boxes[f.box].layer)) {
        if (layout_.boxes[b].layer == kPoly) Mark(b);
        continue;
      }
      Join(b);
      stack.push_back({b, Candidates(b), 0});
    }
  }

 private:
  struct Frame {
    int box;
    std::vector<int> candidates;
    size_t next;
  };

  // Boxes meeting `box` on the layers it connects to from diffp to metal5
  // (poly too, when the box stops the fill), layer by layer in table order:
  // the boxes are ordered by layer, so ascending indexes are that order.
  std::vector<int> Candidates(int box) {
    const int layer = layout_.boxes[box].layer;
    std::vector<int> found;
    for (int b : index_.Touching(RectOf(layout_.boxes[box]))) {
      const int other = layout_.boxes[b].layer;
      const bool connects = other >= kDiffp && other <= kMetal5 && LayersConnect(layer, other);
      if (b != box && (connects || (StopsTheFill(layer) && other == kPoly))) found.push_back(b);
    }
    return found;
  }

  void Mark(int b) {
    layout_.boxes[b].node = 1;
    layout_.boxes[b].state = kNormal;
    wire_.drawn.push_back(b);
  }

  void Join(int b) {
    Mark(b);
    const Box& box = layout_.boxes[b];
    const int64_t w = int64_t{box.x2} - box.x1, h = int64_t{box.y2} - box.y1;
    ++wire_.boxes;
    if (wire_.boxes % kReportEvery == 1)
      ShowStatus(progress_, "Interconnect extraction :" + std::to_string(wire_.boxes) + " boxes");
    wire_.length += std::max(w, h);
    wire_.capacitance += double(w * h) * AreaCapacitance(t_, box.layer);
  }

  Layout& layout_;
  const Technology& t_;
  Progress& progress_;
  Interconnect& wire_;
  BoxIndex index_;
};

int LastBoxContaining(const Layout& layout, Point p) {
  int found = 0;
  ForEachLive(layout.boxes, [&](int i, const Box& b) {
    if (PointInRect(p, RectOf(b))) found = i;
  });
  return found;
}

// Distance between the ranges [a1, a2] and [b1, b2]; when they overlap, the
// length they share, negated.
int64_t Gap(int32_t a1, int32_t a2, int32_t b1, int32_t b2) {
  return int64_t{std::max(a1, b1)} - std::min(a2, b2);
}

}  // namespace

Interconnect TraceInterconnect(Layout& layout, const Technology& technology, Point p,
                               Progress& progress) {
  Interconnect wire;
  ShowStatus(progress, "Search this interconnect ...");
  ShowStatus(progress, "Start at location " + std::to_string(p.x) + "," + std::to_string(p.y));
  if (LastBoxContaining(layout, p) == 0) {
    ShowStatus(progress, "No interconnect foun at this location. Try again.");
    return wire;
  }
  ClearNodes(layout);
  ShowStatus(progress, "Prepare for interconnect extraction ...");
  Purge(layout);
  OrderBoxesByLayer(layout, progress);
  ForEachLive(layout.boxes, [](int, Box& b) {
    b.node = -1;
    b.state = kNormal;
  });
  layout.wide.extracted = 0;
  ShowStatus(progress, "Start interconnect extraction ...");
  wire.found = true;
  InterconnectFill(layout, technology, progress, wire).From(LastBoxContaining(layout, p));
  ForEachLive(layout.texts, [&](int t, const LayoutText& text) {
    const Point anchor{text.x, text.y};
    for (int b : wire.drawn)
      if (layout.boxes[b].layer != kPoly && PointInRect(anchor, RectOf(layout.boxes[b]))) {
        wire.texts.push_back(t);
        return;
      }
  });
  return wire;
}

std::string InterconnectMessage(const Interconnect& wire, double lambda, double threshold) {
  const double microns = double(wire.length) * lambda;
  return "Interconnect length=" + FormatFixed(microns, 5, 0) + " " + kMicron + ", capa = " +
         FormatFixed(wire.capacitance * 1e15, 5, 1) + " fF, " + std::to_string(wire.boxes) +
         " boxes, " + (microns > threshold ? "(analysed)" : "(filtered)");
}

std::vector<std::string> ScanCoupling(Layout& layout) {
  std::vector<std::string> messages;
  auto& boxes = layout.boxes;
  const BoxIndex index(layout, 1, boxes.Count());
  for (int i = 1; i <= boxes.Count(); ++i) {
    const Box& wire = boxes[i];
    if (wire.state == kErased || wire.node != 1) continue;
    if (wire.layer != kMetal && wire.layer != kMetal2 && wire.layer != kMetal3) continue;
    const Rect near{ClampCoordinate(int64_t{wire.x1} - kNearby),
                    ClampCoordinate(int64_t{wire.y1} - kNearby),
                    ClampCoordinate(int64_t{wire.x2} + kNearby),
                    ClampCoordinate(int64_t{wire.y2} + kNearby)};
    for (int j : index.Touching(near)) {
      Box& other = boxes[j];
      if (other.state == kErased || other.node != -1 || other.layer != wire.layer) continue;
      const int64_t xGap = Gap(wire.x1, wire.x2, other.x1, other.x2);
      const int64_t yGap = Gap(wire.y1, wire.y2, other.y1, other.y2);
      if (-xGap > kAlongside && yGap < kNearby) {
        other.node = 2;
        messages.push_back("Box N\xC3\xB8" + std::to_string(j) + " coupled");
      } else if (-yGap > kAlongside && xGap < kNearby) {
        other.node = 2;
        messages.push_back("vBox N\xC3\xB8" + std::to_string(j) + " coupled");
      }
    }
  }
  return messages;
}

}  // namespace tarnisk
