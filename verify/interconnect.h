#pragma once
// One interconnect traced from a point: the wiring connected to the box
// under it, stopping at diffusions (whose crossing poly gates are marked),
// with its length and area capacitance; and the coupling scan of the noise
// view over that interconnect.

#include <cstdint>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/layout.h"

namespace tarnisk {

class Progress;
struct Technology;

struct Interconnect {
  bool found = false;     // a box lay under the point
  int boxes = 0;          // boxes joined
  int64_t length = 0;     // lambda: sum of max(width, height)
  double capacitance = 0; // F: metal area capacitance
  std::vector<int> drawn; // boxes given node 1 (joined or marked gates), in order
  std::vector<int> texts; // texts whose anchor lies on a joined box
};

// Traces the interconnect under point p (lambda). The boxes are purged and
// ordered by layer, every box loses its node and becomes normal, the node
// table is cleared; then the last box containing p starts a depth-first fill
// through the connecting layers, diffp to metal5. Joined boxes get node 1.
// From a box on nwell, diffp or diffn no box is joined; the poly boxes
// meeting it get node 1 without being counted or followed.
Interconnect TraceInterconnect(Layout& layout, const Technology& technology, Point p,
                               Progress& progress);

// "Interconnect length=..." with "(analysed)" when the length in microns
// exceeds the threshold, "(filtered)" otherwise.
std::string InterconnectMessage(const Interconnect& wire, double lambdaMicrons,
                                double thresholdMicrons);

// The noise view's coupling scan: the metal, metal2 and metal3 boxes outside
// the interconnect (node -1) that run beside one of its boxes on the same
// layer, more than 50 lambda alongside and less than 10 lambda away, get
// node 2. Returns the messages "Box N\xC3\xB8<index> coupled" (side by side in y)
// and "vBox N\xC3\xB8<index> coupled" (side by side in x).
std::vector<std::string> ScanCoupling(Layout& layout);

}  // namespace tarnisk
