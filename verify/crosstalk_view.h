#pragma once
// Crosstalk shown on the layout: a colour scale from blue through green and
// red to white, the gain of the flat view, the colouring of every box by its
// node's noise, and the coupling seen from one node.

#include <string>
#include <utility>
#include <vector>

#include "core/geometry.h"
#include "core/layout.h"
#include "verify/extract.h"

namespace tarnisk {

// RGB of a percentage, clamped to 0..100: blue to green below 25, green to
// red below 50, yellow to red below 75, then yellow to near white.
uint32_t CrosstalkColour(double percent);

// The legend's stripes, each a row number (2 pixels high, counted upward)
// and its colour, in drawing order: a later stripe covers an earlier one.
std::vector<std::pair<int, uint32_t>> LegendStripes();

// The gain steps of the flat view, 0.5 to 50; 5 at start.
inline constexpr double kInitialGain = 5;
double LowerScale(double gain);   // one step up (50 stays)
double HigherScale(double gain);  // one step down (0.5 stays)
// The legend's high label: VDD/gain as 3:2 followed by "V".
std::string ScaleLabel(double vdd, double gain);

// The flat view: every box dimmed; wells and nodes beyond the coupled range
// red, node 0 black, every other box coloured by its node's driven noise,
// where a noise of VDD/gain is the top of the scale.
void ColourByNoise(Layout& layout, double vdd, double gain);

// The coupling seen from node n: its boxes and the wells normal, every other
// box dimmed, coloured when its node couples more than 5 % of its
// capacitance to another node. Returns the rectangle of n's boxes (empty
// when it has none) and the status message.
struct NodeCrosstalk {
  bool hasBoxes = false;
  Rect area;
  std::string message;
};
NodeCrosstalk ColourCouplingOf(Layout& layout, const Circuit& circuit, double lambdaMicrons,
                               int node);

}  // namespace tarnisk
