#include "core/layout.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/progress.h"

namespace tarnisk {

namespace {

std::string Truncated(const std::string& text) {
  return text.size() > kMaxTextLength ? text.substr(0, kMaxTextLength) : text;
}

// Fills each dead slot from the live records at the end of the table; the
// order of the live records is not kept. Returns whether any record went.
template <class Table, class IsDead>
bool PurgeTable(Table& table, IsDead isDead) {
  const int n = table.Count();
  if (n < 1) return false;
  int hi = n, lo = 1;
  while (hi > lo) {
    while (isDead(table.Slot(hi)) && hi > lo) --hi;
    while (!isDead(table.Slot(lo)) && hi > lo) ++lo;
    if (hi > lo) {
      table.Slot(lo) = std::move(table.Slot(hi));
      table.Slot(hi) = {};
      --hi;
    }
  }
  table.Truncate(lo == 1 && isDead(table.Slot(1)) ? 0 : lo);
  return table.Count() != n;
}

// Records moved to other indexes: what the one-level undo remembers by index
// or count no longer designates the same objects.
void ForgetUndo(Layout& layout) { layout.wide.undoCode = kUndoNothing; }

// Grows the extent by the new record and tells the listener.
void Added(Layout& layout, RecordKind kind, int index, const Rect& area) {
  GrowRect(layout.wide.extent, area);
  layout.listener.Notify({kind, index, area});
}

nodeBaseRecord MakeNode(const std::string& name, int number) {
  nodeBaseRecord node;
  node.inUse = 1;
  char numbered[16];
  std::snprintf(numbered, sizeof numbered, "N%d", number);
  node.name = name == "?" ? numbered : name;
  return node;
}

void ResetNodes(NodeTable& table) {
  for (int i = 2; i <= table.count; ++i) table.nodes[i] = {};
  table.nodes[0] = MakeNode("vss", 0);
  table.nodes[0].property = kPropertyVss;
  table.nodes[1] = MakeNode("vdd", 1);
  table.nodes[1].property = kPropertyVdd;
  table.count = 1;
}

}  // namespace

Layout::Layout() {
  ResetNodes(nodes);
  ComputeExtent(*this);
}

TableStatus AddBox(Layout& l, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int layer) {
  if (l.boxes.Full()) return kErrorBoxTableFull;
  if (x1 >= x2 || y1 >= y2 || layer < 1 || layer > kLayerCount) return kTableOk;
  Box box;
  box.state = kNormal;
  box.x1 = x1, box.y1 = y1, box.x2 = x2, box.y2 = y2;
  box.layer = static_cast<uint8_t>(layer);
  l.boxes.Append(box);
  Added(l, RecordKind::Box, l.boxes.Count(), {x1, y1, x2, y2});
  return kTableOk;
}

TableStatus AddBoxParts(Layout& l, std::span<const Rect> parts, int layer) {
  const auto hasArea = [](const Rect& r) { return r.xmin < r.xmax && r.ymin < r.ymax; };
  if (kMaxBoxes - l.boxes.Count() < std::count_if(parts.begin(), parts.end(), hasArea))
    return kErrorBoxTableFull;
  for (const Rect& r : parts) AddBox(l, r.xmin, r.ymin, r.xmax, r.ymax, layer);
  return kTableOk;
}

TableStatus AddLayoutText(Layout& l, int32_t x, int32_t y, const std::string& text) {
  auto& texts = l.texts;
  if (texts.Full()) return kErrorTextTableFull;
  if (text.empty()) return kTableOk;
  for (int i = 1; i <= texts.Count(); ++i)
    if (texts[i].state != 0 && texts[i].x == x && texts[i].y == y) return kTableOk;
  LayoutText t;
  t.x = x, t.y = y;
  t.text = Truncated(text);
  t.state = 1;
  texts.Append(std::move(t));
  Added(l, RecordKind::Text, texts.Count(), LabelFrame(x, y));
  return kTableOk;
}

void CopyTextProperties(Layout& layout, int from, int to) {
  const LayoutText& a = layout.texts[from];
  LayoutText& b = layout.texts[to];
  b.state = a.state;
  b.visible = a.visible;
  b.property = a.property;
  b.highLevel = a.highLevel;
  b.lowLevel = a.lowLevel;
  b.edgeTimes = a.edgeTimes;
}

TableStatus AddResistanceMark(Layout& l, int32_t x, int32_t y, const std::string& text) {
  auto& marks = l.resistances;
  if (marks.Full()) return kErrorTextTableFull;
  if (text.empty()) return kTableOk;
  ResistanceMark m;
  m.text = Truncated(text);
  m.x = x, m.y = y;
  m.state = 1;
  marks.Append(std::move(m));
  Added(l, RecordKind::ResistanceMark, marks.Count(), LabelFrame(x, y));
  return kTableOk;
}

int AddNode(Layout& layout, const std::string& name) {
  NodeTable& t = layout.nodes;
  if (t.count >= kMaxNodeNumber) return -1;
  ++t.count;
  t.nodes[t.count] = MakeNode(Truncated(name), t.count);
  return t.count;
}

void ClearNodes(Layout& layout) {
  NodeTable& t = layout.nodes;
  for (int i = 2; i <= t.count; ++i) t.nodes[i] = {};
  t.count = 1;
}

void Purge(Layout& layout) {
  auto& boxes = layout.boxes;
  for (int i = 1; i <= boxes.Count(); ++i) {
    Box& b = boxes[i];
    if (b.x1 >= b.x2 || b.y1 >= b.y2) b.state = kErased;
  }
  bool moved = PurgeTable(boxes, [](const Box& b) { return b.state == kErased; });
  moved |= PurgeTable(layout.texts, [](const LayoutText& t) { return t.state == 0; });
  moved |= PurgeTable(layout.resistances, [](const ResistanceMark& m) { return m.state == 0; });
  if (moved) ForgetUndo(layout);
}

void OrderBoxesByLayer(Layout& layout, Progress& progress) {
  auto& boxes = layout.boxes;
  LayoutWideState& w = layout.wide;
  const int count = boxes.Count();
  int start = 1;
  bool swapped = false;
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    w.layerFirst[layer] = start;
    w.layerLast[layer] = -1;
    int i = start, j = count;
    for (;;) {
      while (i <= count && boxes.Slot(std::min(i, count)).layer <= layer) ++i;
      if (i > 1 && boxes.Slot(i - 1).layer == layer) w.layerLast[layer] = i - 1;
      if (i >= count) break;
      while (boxes.Slot(j).layer > layer && i < j) --j;
      if (i >= j) break;
      std::swap(boxes.Slot(i), boxes.Slot(j));
      swapped = true;
    }
    start = std::max(start, w.layerLast[layer] + 1);
    progress.Yield();
  }
  if (swapped) ForgetUndo(layout);
}

void ComputeExtent(Layout& layout) {
  Rect e = kSentinelRect;
  ForEachLive(layout.boxes, [&](int, const Box& b) { GrowRect(e, RectOf(b)); });
  ForEachLive(layout.texts, [&](int, const LayoutText& t) { GrowRect(e, LabelFrame(t.x, t.y)); });
  ForEachLive(layout.resistances,
              [&](int, const ResistanceMark& m) { GrowRect(e, LabelFrame(m.x, m.y)); });
  const bool empty = int64_t{e.xmin} - 20 > e.xmax || int64_t{e.ymin} - 20 > e.ymax;
  layout.wide.extent = empty ? layout.wide.defaultWindow : e;
}

bool BoxIntersects(const Layout& layout, int box, const Rect& r) {
  const Box& b = layout.boxes[box];
  return b.x1 <= r.xmax && b.x2 >= r.xmin && b.y1 <= r.ymax && b.y2 >= r.ymin;
}

bool BoxInside(const Layout& layout, int box, const Rect& r) {
  const Box& b = layout.boxes[box];
  return b.x1 >= r.xmin && b.x2 <= r.xmax && b.y1 >= r.ymin && b.y2 <= r.ymax;
}

bool BoxOverlap(const Layout& layout, int a, int b, Rect& intersection) {
  const Box& p = layout.boxes[a];
  const Box& q = layout.boxes[b];
  intersection = {std::max(p.x1, q.x1), std::max(p.y1, q.y1), std::min(p.x2, q.x2),
                  std::min(p.y2, q.y2)};
  return intersection.xmin <= intersection.xmax && intersection.ymin <= intersection.ymax &&
         p.state != kErased && q.state != kErased;
}

void ResetDatabase(Layout& l, uint8_t colourMode) {
  l.boxes.Clear();
  l.wide.savedBoxCount = 0;
  l.layers = DefaultLayerTable();
  for (int layer = 1; layer <= kLayerCount; ++layer) l.layers[layer].colourMode = colourMode;
  ClearNodes(l);
  l.wide.modified = 0;
  l.wide.extracted = 0;
  l.wide.ruleFileName = "ES207.RUL";
}

void ReleaseAll(Layout& l) {
  l.boxes.Clear();
  l.texts.Clear();
  l.resistances.Clear();
  ClearNodes(l);
  l.wide.savedBoxCount = l.wide.savedTextCount = l.wide.savedResistanceCount = 0;
  l.wide.modified = 0;
  l.wide.extracted = 0;
}

}  // namespace tarnisk
