#include "core/layout.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "core/app_state.h"
#include "editor/edit_state.h"
#include "editor/render.h"

namespace tarnisk {

namespace {

std::string Truncated(const std::string& text) {
  return text.size() > kMaxTextLength ? text.substr(0, kMaxTextLength) : text;
}

// Frame that a text or resistance mark occupies for the extent.
Rect LabelFrame(int32_t x, int32_t y) { return {x, y, x + 40, y + 10}; }

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

// Sets LastError to fullCode and returns false when the table is full;
// otherwise clears LastError.
template <class Table>
bool RoomFor(AppState& s, const Table& table, int32_t fullCode) {
  s.LastError = table.Full() ? fullCode : 0;
  return !table.Full();
}

}  // namespace

AppState::AppState(Platform& p) : platform(p) {
  std::error_code ec;
  layout.wide.programDirectory = std::filesystem::current_path(ec).string();
  layout.wide.modelDirectory =
      (std::filesystem::path(layout.wide.programDirectory) / "IEEE").string();
  ResetDatabase(*this);
  ResetNodes(layout.nodes);
  ComputeExtent(layout);
}

void AddBox(AppState& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int layer) {
  Layout& l = s.layout;
  if (!RoomFor(s, l.boxes, kErrorBoxTableFull)) return;
  if (x1 >= x2 || y1 >= y2 || layer < 1 || layer > kLayerCount) return;
  Box box;
  box.state = kNormal;
  box.x1 = x1, box.y1 = y1, box.x2 = x2, box.y2 = y2;
  box.layer = static_cast<uint8_t>(layer);
  l.boxes.Append(box);
  if (!l.wide.drawOnAdd) return;
  GrowRect(l.wide.extent, {x1, y1, x2, y2});
  DrawBox(s, l.boxes.Count());
}

void AddLayoutText(AppState& s, int32_t x, int32_t y, const std::string& text) {
  auto& texts = s.layout.texts;
  if (!RoomFor(s, texts, kErrorTextTableFull) || text.empty()) return;
  for (int i = 1; i <= texts.Count(); ++i)
    if (texts[i].state != 0 && texts[i].x == x && texts[i].y == y) return;
  LayoutText t;
  t.x = x, t.y = y;
  t.text = Truncated(text);
  t.state = 1;
  texts.Append(std::move(t));
  DrawText(s, texts.Count());
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

void AddResistanceMark(AppState& s, int32_t x, int32_t y, const std::string& text) {
  auto& marks = s.layout.resistances;
  if (!RoomFor(s, marks, kErrorTextTableFull) || text.empty()) return;
  ResistanceMark m;
  m.text = Truncated(text);
  m.x = x, m.y = y;
  m.state = 1;
  marks.Append(std::move(m));
  DrawResistanceMark(s, marks.Count());
}

int AddNode(AppState& s, const std::string& name) {
  NodeTable& t = s.layout.nodes;
  if (t.count >= kMaxNodeNumber) {
    s.LastError = kErrorNodeTableFull;
    return -1;
  }
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

void OrderBoxesByLayer(AppState& s) {
  auto& boxes = s.layout.boxes;
  LayoutWideState& w = s.layout.wide;
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
    s.platform.ProcessEvents();
  }
  if (swapped) ForgetUndo(s.layout);
}

void ComputeExtent(Layout& layout) {
  Rect e = kSentinelRect;
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    const Box& b = layout.boxes[i];
    if (b.state != kErased) GrowRect(e, {b.x1, b.y1, b.x2, b.y2});
  }
  for (int i = 1; i <= layout.texts.Count(); ++i) {
    const LayoutText& t = layout.texts[i];
    if (t.state != 0) GrowRect(e, LabelFrame(t.x, t.y));
  }
  for (int i = 1; i <= layout.resistances.Count(); ++i) {
    const ResistanceMark& m = layout.resistances[i];
    if (m.state != 0) GrowRect(e, LabelFrame(m.x, m.y));
  }
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

void ResetDatabase(AppState& s) {
  Layout& l = s.layout;
  l.boxes.Clear();
  l.wide.savedBoxCount = 0;
  l.layers = DefaultLayerTable();
  // The layers follow the display mode (the program starts in colour).
  for (int layer = 1; layer <= kLayerCount; ++layer) l.layers[layer].colourMode = s.view.colourMode;
  ClearNodes(l);
  l.wide.modified = 0;
  l.wide.extracted = 0;
  s.LastError = 0;
  l.wide.ruleFileName = "ES207.RUL";
}

void ReleaseAll(AppState& s) {
  Layout& l = s.layout;
  l.boxes.Clear();
  l.texts.Clear();
  l.resistances.Clear();
  ClearNodes(l);
  l.wide.savedBoxCount = l.wide.savedTextCount = l.wide.savedResistanceCount = 0;
  l.wide.modified = 0;
  l.wide.extracted = 0;
}

void SetLayoutTitle(AppState& s, const std::string& fileName) {
  s.layout.wide.currentFileName = fileName;
  s.platform.SetCaption("Tarnisk 1.0 - " + fileName);
}

}  // namespace tarnisk
