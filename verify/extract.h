#pragma once
// Circuit extraction: cleans the box store, cuts the diffusion under poly into
// transistor gates, groups connected boxes into electrical nodes, recognises
// the nMOS and pMOS transistors, attaches texts and resistance marks to their
// nodes and computes the node capacitances.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnisk {

struct AppState;

enum CleaningMode : int { kPurgeAndMerge = 0, kMergeOnly = 1, kPurgeOnly = 2, kFastExtraction = 3 };

// MOS model levels as ModelLevel codes them.
enum ModelLevelCode : int { kModelLevel1 = 0, kModelLevel3 = 1, kModelLevel9 = 2 };

inline constexpr int kMaxMosDevices = 2000;      // per type
inline constexpr int kMaxCoupledNode = 500;      // nodes above take no part in coupling
inline constexpr int kCouplingSize = kMaxCoupledNode + 1;

struct ExtractOptions {
  int cleaningMode = kPurgeAndMerge;
  bool spiceAfterExtraction = true;
  bool lateralCrosstalk = false;
  bool verticalCrosstalk = false;
  bool dumpSimulation = false;
  int modelLevel = kModelLevel3;
  bool ignoreShortInterconnects = false;
  double ignoreThreshold = 100;  // um for the ignore option; compared in lambda by the crosstalk
  double simLength = 2e-8;       // s, the transient length written in netlists
  // Spatial indexes instead of pairwise box comparisons; same results.
  bool fast = true;
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
  void Clear() { std::fill(cells_.begin(), cells_.end(), 0.0); }

 private:
  std::vector<double> cells_;
};

struct Extraction {
  ExtractOptions options;
  std::vector<MosDevice> nmos, pmos;
  int ignoredNodes = 0;
  int wellMissing = 0;  // pMOS gates without nwell in the last run
  double fill = 0;      // % of the tables' capacity
  double elapsed = 0;   // s
  std::string summary;  // the final status message of the last run
  std::vector<std::string> warnings;
  CouplingMatrix coupling;
  double maxCoupling = 0, maxCouplingRatio = 0;
  std::string lastSpiceFile;
};

// Runs the extraction when the extracted flag is clear. Returns whether the
// circuit is complete (the extracted flag is set).
bool ExtractLayout(AppState& s);

// Nodes 2..count that reach no diffusion and carry no clock or pulse.
std::vector<int> FloatingNodes(const AppState& s);

// The "Floating nodes..." command: extracts, reports the count and lists the
// floating nodes' names in status panel 1, giving each a text of its name
// when it has none. Returns their numbers.
std::vector<int> ReportFloatingNodes(AppState& s);

// The steps of ExtractLayout, exposed so that the plain and the fast versions
// can be compared.
void CleanBoxes(AppState& s, int mode, bool fast);
// Gate splitting; returns 0, or 'X' / 'Y' for the direction that overflowed.
char SplitGates(AppState& s, int& gridColumns, int& gridRows);
void NumberNodes(AppState& s, bool fast);
void RecognizeTransistors(AppState& s, bool fast);
void AttachTextsAndMarks(AppState& s, bool fast);

}  // namespace tarnisk
