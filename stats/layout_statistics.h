#pragma once
// The figures of the statistics window: how full the fixed tables and the
// check grid are, the technology, the layout's size, the counts of the last
// extraction, and the classes and averages of the nodes' interconnect
// lengths, with the histogram drawn from them.

#include <string>
#include <vector>

#include "core/layout.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

struct Technology;
struct Circuit;

// A count against its capacity: "count/capacity", the bar position and
// "p% full" with p as 3:1.
struct TableFill {
  std::string number, full;
  int progress = 0;
  double percent = 0;
};

struct GeneralFigures {
  std::string technology;
  TableFill boxes, texts, checkGrid;  // checkGrid.number is "columns x rows"
  std::vector<std::string> size;      // width, "   x", height in microns
  bool extracted = false;
  std::string nodes, nmos, pmos;      // counts, or the Click "Extract" text
};

GeneralFigures DescribeLayout(const Layout& layout, const Technology& technology,
                              const Circuit& circuit, int gridColumns, int gridRows);

// The nodes' lengths in 500 classes of 10 microns (class i holds lengths from
// 10i to 10i + 10; the last also everything longer), and the averages over
// nodes 1 to the node count. The lengths, kept in lambda, are converted to
// microns first: the window labels them in microns.
inline constexpr int kLengthClasses = 500;
struct LengthClasses {
  std::vector<int> counts = std::vector<int>(kLengthClasses + 1, 0);  // index 0: below 10
  int nodeCount = 0;
  double averageLength = 0, averageResistance = 0, averageCapacitance = 0;  // um, ohm, F
};
LengthClasses ClassifyLengths(const NodeTable& nodes, double lambdaMicrons);

// The histogram's ranges (microns across, nodes up) and titles.
struct HistogramRange {
  int xMin = 0, xMax = 5000, xStep = 1000;
  int yMin = 0, yMax = 100, yStep = 20;
};

// Vertical zoom: halves or doubles the maximum, never below 1.
void ZoomHistogramIn(HistogramRange& range);
void ZoomHistogramOut(HistogramRange& range);

// Draws the histogram into a paint box of the given size: frame, ticks with
// dotted grid lines in `gridColour`, titles and the red class curve (not
// clipped to the frame).
void DrawLengthHistogram(DrawingSurface& out, int width, int height, const LengthClasses& classes,
                         const HistogramRange& range, Colour background, Colour gridColour);

}  // namespace tarnisk
