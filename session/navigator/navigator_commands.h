#pragma once
// The navigator on the session: what its window lists and shows, and the
// layout commands that feed it (the node under a point, one interconnect,
// the flat crosstalk view, the crosstalk seen from a node, the noise view),
// each applied to the view and the status line.

#include <string>
#include <vector>

#include "core/geometry.h"
#include "verify/crosstalk_view.h"
#include "verify/navigator.h"

namespace tarnisk {

struct Session;

enum NavigatorPage : int {
  kNavigatorNodes = 0, kNavigatorProperties = 1, kNavigatorDevices = 2, kNavigatorCrosstalk = 3
};

// A line of the node list, linked to a node and, for a text's line, the text.
struct NavigatorEntry {
  std::string text;
  int node = -1;
  int textIndex = 0;
};

struct NavigatorState {
  std::vector<NavigatorEntry> list;
  bool supplyInList = false;    // "Vss,Vdd in List"
  bool listAllDevices = true;   // "List all devices"
  double gain = kInitialGain;   // of the flat crosstalk view
  int node = -1;                // the node of the property page and device grid
  int page = kNavigatorNodes;   // the page the window turns to
  NodeProperties properties;
  std::vector<DeviceRow> devices;
};

// The node list: every named node (the supplies when asked), each linked to
// its node.
void UpdateListNodes(Session& s);
// The property page and the device grid for a node (-1 for none).
void UpdateNodeProps(Session& s, int node);
void UpdateListMos(Session& s, int node);

// The layout commands, at a point of the drawing area (pixels). The node view
// and the crosstalk views extract first when the layout changed.
void ViewNodeAt(Session& s, Point pixel);
void ExtractInterconnectAt(Session& s, Point pixel);
// The flat analysis with the present gain; returns false on a coordinate
// overflow of the coupling grid.
bool FlatCrosstalk(Session& s);
void CrosstalkAt(Session& s, Point pixel);
void CrosstalkOfNode(Session& s, int node);
void NoiseView(Session& s);

// The window's controls.
void SelectListEntry(Session& s, int entry);
void LocateDevice(Session& s, int row);
void SetSupplyInList(Session& s, bool shown);
void SetListAllDevices(Session& s, bool all);
// The threshold field (microns); false when unreadable.
bool SetFilterThreshold(Session& s, const std::string& text);
// Turns the ignoring of short interconnects on or off and extracts again.
void SetFiltering(Session& s, bool on);
void ShowHistogram(Session& s);
// "Lower scale" and "Higher scale": the gain one step, then the flat view.
void LowerCrosstalkScale(Session& s);
void HigherCrosstalkScale(Session& s);

}  // namespace tarnisk
