#pragma once
// The in-memory layout: boxes, texts, resistance marks and electrical nodes in
// fixed-capacity 1-based tables, the layer table, and the layout-wide state
// (extent, view window, flags, undo bookkeeping).

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/layers.h"
#include "core/record_table.h"

namespace tarnisk {

class Progress;

// What a table operation reports: 0, or the code of the table that was full.
// The editor keeps the last one as LastError.
using TableStatus = int32_t;
inline constexpr TableStatus kTableOk = 0;
inline constexpr TableStatus kErrorBoxTableFull = 8;
inline constexpr TableStatus kErrorTextTableFull = 54;  // texts and resistance marks
inline constexpr TableStatus kErrorNodeTableFull = 4;

inline constexpr int kMaxBoxes = 80000;
inline constexpr int kMaxTexts = 1000;
inline constexpr int kMaxResistanceMarks = 100;
inline constexpr int kMaxNodeNumber = 5000;
inline constexpr size_t kMaxTextLength = 128;

// Node and text properties, one coding everywhere.
enum NodeProperty : uint8_t {
  kPropertyVdd = 0, kPropertyVss = 1, kPropertyNone = 2, kPropertyPulse = 3, kPropertyClock = 4
};

enum BoxState : uint8_t { kErased = 0, kNormal = 1, kMarked = 2, kHighlighted = 3 };

struct Box {
  uint8_t state = kErased;
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t node = -1;
  uint8_t layer = 0;
  uint32_t highlightColour = 0;  // RGB, used in state kHighlighted
};

struct LayoutText {
  int32_t x = 0, y = 0;
  std::string text;
  uint8_t state = 0;    // 0 erased, 1 live, 2 selected (or attached to a node)
  uint8_t visible = 0;  // waveform shown by the simulator
  uint8_t property = kPropertyNone;
  int32_t highLevel = 1000;  // thousandths of the supply voltage
  int32_t lowLevel = 0;
  int32_t node = 0;
  std::array<double, 4> edgeTimes{};  // s: end of low phase, rise, high phase, fall (= period)
};

struct ResistanceMark {
  double value = 1000;  // ohms
  std::string text;
  int32_t x = 0, y = 0;  // joins the nodes under (x, y) and (x + 5, y)
  int32_t nodeA = 0, nodeB = 0;
  uint8_t state = 0;  // 0 erased, 1 live, 2 selected
};

struct nodeBaseRecord {
  uint8_t inUse = 0;
  uint8_t property = kPropertyNone;
  int32_t highLevel = 1000;
  int32_t lowLevel = 0;
  uint8_t display = 1;  // 2 when the node's text is visible at simulation
  std::string name;
  std::array<double, 4> edgeTimes{};
  // Filled by extraction.
  int64_t InterconnectLength = 0;  // lambda: sum of max(width, height) of the node's boxes
  double MetalResistance = 0;      // ohm, boxes on metal and above
  double PolyDiffResistance = 0;   // ohm, diffusion and poly boxes
  uint8_t NoDiffusion = 1;         // no diffusion box and no clock or pulse on the node
  double NodeCapacitance = 0;      // F, to ground
  double CrosstalkNoise = 0;       // V
  double DrivenNoise = 0;          // V
};

// A node held at a rail (a Vdd or Vss text named it).
inline bool IsSupplyNode(const nodeBaseRecord& n) {
  return n.property == kPropertyVdd || n.property == kPropertyVss;
}

// Nodes are numbered from 0 (vss) and 1 (vdd) up to kMaxNodeNumber.
struct NodeTable {
  std::vector<nodeBaseRecord> nodes = std::vector<nodeBaseRecord>(kMaxNodeNumber + 1);
  int count = 1;  // highest node number in use
};

// Undo codes: what the one-level undo reverts.
enum UndoCode : uint8_t {
  kUndoRemoveAdded = 0,
  kUndoRestoreErased = 2,
  kUndoRestoreStretch = 4,
  kUndoNothing = 5,
  kUndoRemoveLastText = 6,
  kUndoMoveOrPaste = 7,
};

struct LayoutWideState {
  Rect extent{-15, -15, 50, 50};
  Rect defaultWindow{-15, -15, 50, 50};
  Rect window{-15, -15, 50, 50};
  Rect previousWindow{0, 0, 200, 100};
  double scale = 5.0;  // pixels per lambda
  double xOffset = 0, yOffset = 0;
  int32_t gridStep = 5;
  int currentLayer = kPoly;
  uint8_t drawOnAdd = 1;
  uint8_t modified = 0;
  uint8_t extracted = 0;
  uint8_t undoCode = 5;
  int32_t savedBoxCount = 0, savedTextCount = 0, savedResistanceCount = 0;
  Point pasteOrigin;
  std::string currentFileName;
  std::string programDirectory;
  std::string modelDirectory;
  std::string ruleFileName = "ES207.RUL";
  // Result of OrderBoxesByLayer: boxes of layer L occupy first..last (last -1 when none).
  std::array<int32_t, kLayerCount + 1> layerFirst{};
  std::array<int32_t, kLayerCount + 1> layerLast{};
};

enum class RecordKind { Box, Text, ResistanceMark };

// A record appended to one of the tables, with the area (lambda) it covers.
struct LayoutChange {
  RecordKind kind;
  int index;
  Rect area;
};

// Told of every record added to a layout; the editor draws it.
class LayoutListener {
 public:
  virtual ~LayoutListener() = default;
  virtual void LayoutChanged(const LayoutChange& change) = 0;
};

// The one listener of a layout. A copy of a layout starts without one, and a
// layout assigned from another keeps its own.
class ListenerSlot {
 public:
  ListenerSlot() = default;
  ListenerSlot(const ListenerSlot&) {}
  ListenerSlot& operator=(const ListenerSlot&) { return *this; }
  void Set(LayoutListener* listener) { listener_ = listener; }
  void Notify(const LayoutChange& change) const {
    if (listener_) listener_->LayoutChanged(change);
  }

 private:
  LayoutListener* listener_ = nullptr;
};

struct Layout {
  Layout();

  RecordTable<Box, kMaxBoxes> boxes;
  RecordTable<LayoutText, kMaxTexts> texts;
  RecordTable<ResistanceMark, kMaxResistanceMarks> resistances;
  NodeTable nodes;
  LayerTable layers = DefaultLayerTable();
  LayoutWideState wide;
  ListenerSlot listener;
};

// The rectangle of a box.
inline Rect RectOf(const Box& b) { return {b.x1, b.y1, b.x2, b.y2}; }
inline void SetBoxRect(Box& b, const Rect& r) {
  b.x1 = r.xmin, b.y1 = r.ymin, b.x2 = r.xmax, b.y2 = r.ymax;
}

// Frame that a text or resistance mark occupies for the extent.
inline Rect LabelFrame(int32_t x, int32_t y) { return {x, y, x + 40, y + 10}; }

// Table operations. Each add grows the extent by what it added and tells the
// listener; it returns the full table's code, or kTableOk (also when the
// record was refused as empty).
TableStatus AddBox(Layout& layout, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int layer);
// Adds the non-empty rectangles as boxes on `layer` when the table has room
// for all of them. Otherwise adds none and returns the full-table code, so
// that a box is never replaced by only some of its parts.
TableStatus AddBoxParts(Layout& layout, std::span<const Rect> parts, int layer);
TableStatus AddLayoutText(Layout& layout, int32_t x, int32_t y, const std::string& text);
void CopyTextProperties(Layout& layout, int from, int to);
TableStatus AddResistanceMark(Layout& layout, int32_t x, int32_t y, const std::string& text);
int AddNode(Layout& layout, const std::string& name);  // node number, or -1 when full
void ClearNodes(Layout& layout);

void Purge(Layout& layout);
// Lets pending events run once per layer.
void OrderBoxesByLayer(Layout& layout, Progress& progress);
void ComputeExtent(Layout& layout);

bool BoxIntersects(const Layout& layout, int box, const Rect& r);
bool BoxInside(const Layout& layout, int box, const Rect& r);
bool BoxOverlap(const Layout& layout, int a, int b, Rect& intersection);

// Empties the boxes and nodes and restores the default layer table, whose
// colour mode follows the display (1 colour, 0 monochrome).
void ResetDatabase(Layout& layout, uint8_t colourMode);
void ReleaseAll(Layout& layout);

// Calls f(index, record) for every live record of a table, in table order.
template <class Table, class F>
void ForEachLive(Table& table, F f) {
  for (int i = 1; i <= table.Count(); ++i)
    if (table[i].state != 0) f(i, table[i]);
}

}  // namespace tarnisk
