#pragma once
// What the navigator reads from an extracted layout: the node under a point,
// a node's properties as the window words them, the transistors on a node,
// and the histogram of the nodes' interconnect lengths.

#include <optional>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/layout.h"
#include "verify/extract.h"

namespace tarnisk {

// Lambda around a clicked point within which boxes count as under it: 3 at
// 26 pixels per lambda or more, 1 above 10, else 0.
int NodeSearchTolerance(double pixelsPerLambda);

// The boxes meeting the square of half-width `tolerance` around a point, in
// table order: the last gives the node; a poly box and a diffusion box met
// together mark a transistor gate.
struct NodeHit {
  int box = 0;    // 0 when no box meets the square
  int node = -1;  // that box's node
  bool poly = false;
  int diffusionBox = 0;  // last diffp or diffn box met, or 0
};
NodeHit NodeAt(const Layout& layout, Point p, int tolerance);

// A transistor of the circuit: type and index in its table.
struct DeviceRef {
  bool pmos = false;
  int index = 0;
};
// The transistor whose gate box is `box` (after extraction gate boxes are
// diffusion boxes again), if any.
std::optional<DeviceRef> DeviceWithGateBox(const Circuit& circuit, int box);

// "There is a nMOS W=... here." for a transistor.
std::string DeviceHereMessage(const Circuit& circuit, DeviceRef device, double lambdaMicrons);

// The property word of a node: "vdd supply", "vss supply", "variable",
// "pulse", "clock" or "unknown".
std::string NodePropertyWord(int property);
// The word a text's list entry carries: "supply", "ground", "clock",
// "pulse" or nothing for a plain name.
std::string TextPropertyWord(int property);

// A node's figures as the navigator's property page shows them.
struct NodeProperties {
  int node = -1;
  std::string name, property, visibility;  // visibility "visible" or "hidden"
  bool visible = false, floating = false;
  std::string capacitance, length, resistance, number;  // the labels
  std::string status;                                   // the status line
};
NodeProperties DescribeNode(const Layout& layout, double lambdaMicrons, int node);

// One row of the transistor grid: "N 1" or "P 2", W and L in microns.
struct DeviceRow {
  DeviceRef device;
  std::string name, w, l;
};
// The transistors with a gate, source or drain on `node` (every transistor
// when node is -1), nMOS first, each type numbered from 1.
std::vector<DeviceRow> DeviceRows(const Circuit& circuit, double lambdaMicrons, int node);

// The text histogram of the nodes' interconnect lengths. The class bounds
// and the filter threshold are microns, so the lengths (kept in lambda) are
// converted with lambda first.
std::vector<std::string> LengthHistogram(const NodeTable& nodes, double lambdaMicrons,
                                         double thresholdMicrons);

}  // namespace tarnisk
