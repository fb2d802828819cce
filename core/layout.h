#pragma once
// The in-memory layout: boxes, texts, resistance marks and electrical nodes in
// fixed-capacity 1-based tables, the layer table, and the layout-wide state
// (extent, view window, flags, undo bookkeeping).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/layers.h"
#include "core/record_table.h"

namespace tarnisk {

struct AppState;

// Codes stored in LastError by the table operations.
inline constexpr int32_t kErrorBoxTableFull = 8;
inline constexpr int32_t kErrorTextTableFull = 54;  // texts and resistance marks
inline constexpr int32_t kErrorNodeTableFull = 4;

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
  int32_t InterconnectLength = 0;  // lambda: sum of max(width, height) of the node's boxes
  double MetalResistance = 0;      // ohm, boxes on metal and above
  double PolyDiffResistance = 0;   // ohm, diffusion and poly boxes
  uint8_t NoDiffusion = 1;         // no diffusion box and no clock or pulse on the node
  double NodeCapacitance = 0;      // F, to ground
  double CrosstalkNoise = 0;       // V
  double DrivenNoise = 0;          // V
};

// Nodes are numbered from 0 (vss) and 1 (vdd) up to kMaxNodeNumber.
struct NodeTable {
  std::vector<nodeBaseRecord> nodes = std::vector<nodeBaseRecord>(kMaxNodeNumber + 1);
  int count = 1;  // highest node number in use
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

struct Layout {
  RecordTable<Box, kMaxBoxes> boxes;
  RecordTable<LayoutText, kMaxTexts> texts;
  RecordTable<ResistanceMark, kMaxResistanceMarks> resistances;
  NodeTable nodes;
  LayerTable layers = DefaultLayerTable();
  LayoutWideState wide;
};

// Table operations. The Add functions report through AppState::LastError.
void AddBox(AppState& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int layer);
void AddLayoutText(AppState& s, int32_t x, int32_t y, const std::string& text);
void CopyTextProperties(Layout& layout, int from, int to);
void AddResistanceMark(AppState& s, int32_t x, int32_t y, const std::string& text);
int AddNode(AppState& s, const std::string& name);  // node number, or -1 when full
void ClearNodes(Layout& layout);

void Purge(Layout& layout);
void OrderBoxesByLayer(AppState& s);
void ComputeExtent(Layout& layout);

bool BoxIntersects(const Layout& layout, int box, const Rect& r);
bool BoxInside(const Layout& layout, int box, const Rect& r);
bool BoxOverlap(const Layout& layout, int a, int b, Rect& intersection);

void ResetDatabase(AppState& s);
void ReleaseAll(AppState& s);

// Sets the current file name and the main window's caption.
void SetLayoutTitle(AppState& s, const std::string& fileName);

}  // namespace tarnisk
