#pragma once
// Circuit extraction: cleans the box store, cuts the diffusion under poly into
// transistor gates, groups connected boxes into electrical nodes, recognises
// the nMOS and pMOS transistors, attaches texts and resistance marks to their
// nodes and computes the node capacitances.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/layout.h"
#include "models/mos_models.h"

namespace tarnisk {

class Progress;
struct Technology;

enum CleaningMode : int { kPurgeAndMerge = 0, kMergeOnly = 1, kPurgeOnly = 2, kFastExtraction = 3 };

inline constexpr int kMaxMosDevices = 2000;      // per type
inline constexpr int kMaxCoupledNode = 500;      // nodes above take no part in coupling
inline constexpr int kCouplingSize = kMaxCoupledNode + 1;

// The extraction's own tables that can fill, beside the layout's box and node
// tables: a full one leaves the circuit incomplete.
inline constexpr TableStatus kErrorDeviceTableFull = 60;
inline constexpr TableStatus kErrorCouplingTableFull = 61;

struct ExtractOptions {
  int cleaningMode = kPurgeAndMerge;
  bool spiceAfterExtraction = true;
  bool lateralCrosstalk = false;
  bool verticalCrosstalk = false;
  bool dumpSimulation = false;
  int modelLevel = kModelLevel3;
  bool ignoreShortInterconnects = false;
  double ignoreThreshold = 100;  // um for the ignore option; compared in lambda by the crosstalk
  // Spatial indexes instead of pairwise box comparisons; same results.
  bool fast = true;

  bool Crosstalk() const { return lateralCrosstalk || verticalCrosstalk; }
};

struct MosDevice {
  int32_t W = 0, L = 0;  // lambda
  int32_t Gate = -1, Source = -1, Drain = -1, Bulk = 0;
  int32_t GateBox = 0;
  double Leff = 0, Wm = 0;  // m
};

// The node-to-node coupling capacitances (F), nodes 0..kMaxCoupledNode.
class CouplingMatrix {
 public:
  CouplingMatrix() : cells_(size_t(kCouplingSize) * kCouplingSize, 0.0) {}
  double& At(int a, int b) { return cells_[size_t(a) * kCouplingSize + b]; }
  double At(int a, int b) const { return cells_[size_t(a) * kCouplingSize + b]; }
  // Adds c between a and b; a pair with a node beyond the table is counted
  // as left out instead.
  void Couple(int a, int b, double c) {
    if (a >= kMaxCoupledNode || b >= kMaxCoupledNode) {
      if (c > 0) ++leftOut_;
      return;
    }
    At(a, b) += c;
    At(b, a) += c;
  }
  // Couplings of nodes beyond the table since the last Clear.
  int LeftOut() const { return leftOut_; }
  void Clear() {
    std::fill(cells_.begin(), cells_.end(), 0.0);
    leftOut_ = 0;
  }

 private:
  std::vector<double> cells_;
  int leftOut_ = 0;
};

// What an extraction found beside what it wrote into the layout (the node
// table with each node's measures and capacitance, every box's node, every
// text's and resistance mark's nodes): the transistors, the coupling and how
// the run went. The simulator and the SPICE writer read it with the layout.
struct Circuit {
  std::vector<MosDevice> nmos, pmos;
  CouplingMatrix coupling;
  double maxCoupling = 0, maxCouplingRatio = 0;
  int ignoredNodes = 0;
  int wellMissing = 0;  // pMOS gates without nwell
  double fill = 0;      // % of the tables' capacity
  int gridColumns = 0, gridRows = 0;  // size of the gate-splitting grid
  double elapsed = 0;   // s
  int leftOutDevices[2] = {0, 0};  // nMOS, pMOS beyond their full tables
  bool complete = false;           // the circuit matches the layout
  TableStatus table = kTableOk;    // the first table that filled up during the run
  std::string summary;             // the final status message
  std::string alert;               // a warning the editor shows in a message box, or empty
  // What the run could not do (the table that filled and what it left out),
  // and the well warning.
  std::vector<std::string> warnings;
};

// One extraction: its inputs and the circuit it builds.
struct ExtractionRun {
  Layout& layout;
  const Technology& technology;
  const ExtractOptions& options;
  Circuit& circuit;
  Progress& progress;
};

// Extracts the layout: the temperature-corrected parameters are brought up to
// date first, and the layout's extracted flag is set when the circuit is
// complete. A run that filled a table (boxes while cleaning or cutting gates,
// nodes, devices, coupling) is incomplete: its warnings say which table and
// what was left out, and its summary says "Extraction incomplete".
Circuit ExtractLayout(Layout& layout, Technology& technology, const ExtractOptions& options,
                      Progress& progress);

// Whether touching boxes of the two layers belong to one node.
bool LayersConnect(int a, int b);

// Nodes 2..count that reach no diffusion and carry no clock or pulse.
std::vector<int> FloatingNodes(const Layout& layout);

// Gives the node a text of its name, at the lower-left corner of its first
// box, unless a text of that name exists, so that a listed node can be found
// in the drawing.
TableStatus EnsureNodeText(Layout& layout, int node);

// The steps of ExtractLayout, exposed so that the plain and the fast versions
// can be compared.
// Returns the number of overlapping pairs left uncut for want of room in the
// box table.
int CleanBoxes(ExtractionRun& run, int mode, bool fast);
// Gate splitting. Returns false, with the cause in the run's warnings, when a
// coordinate list of the grid overflows or the cut pieces would not fit in
// the box table; no box is changed then.
bool SplitGates(ExtractionRun& run, int& gridColumns, int& gridRows);
// Returns false, with the cause in the run's warnings, when the node table
// filled up.
bool NumberNodes(ExtractionRun& run, bool fast);
void RecognizeTransistors(ExtractionRun& run, bool fast);
void AttachTextsAndMarks(ExtractionRun& run, bool fast);

}  // namespace tarnisk
