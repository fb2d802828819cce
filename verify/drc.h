#pragma once
// The design rule checker: minimum width and spacing of each layer,
// surrounding and extension between layer pairs, minimum distance between
// layers, contacts that touch nothing and the size of MOS gates, against the
// rules of the loaded technology. Violations are marked on the view.

#include <cstdint>
#include <string>
#include <vector>

#include "core/geometry.h"

namespace tarnisk {

struct AppState;

// Violations listed in a result; beyond this only the count goes on.
inline constexpr size_t kDrcMaxListedViolations = 100000;

struct DrcOptions {
  // The editor stops after the first check that finds violations, so that
  // they are mended one rule at a time; a teacher's batch run goes on through
  // every check to show all of a student's errors at once.
  bool runEveryCheck = false;
};

struct DrcViolation {
  std::string label;  // "(r501)" and so on; empty for a lonely contact
  std::string what;   // "metal width ", " spacing between metal", "contact alone here"
  Rect rect;          // lambda
};

struct DrcResult {
  int32_t errorCount = 0;                // every reported violation
  std::vector<DrcViolation> violations;  // in report order, the first kDrcMaxListedViolations
  std::vector<std::string> skipped;      // checks abandoned because the grid overflowed
  std::string firstText;                 // explanation written beside the first violation
  int maxColumns = 0, maxRows = 0;       // largest grid of the run

  bool Complete() const { return skipped.empty(); }
  bool Clean() const { return errorCount == 0 && Complete(); }
};

// Purges the layout, orders it by layer and runs the checks in their order.
// Zooms on the first violation and marks the visible ones on the view;
// status panel 1 ends with the verdict.
DrcResult RunDesignRuleCheck(AppState& s, const DrcOptions& options = {});

// The "Design Rule Checker" command: the run between its status messages
// (the final one in status panel 0), and a redraw of the view when no
// violation was found.
DrcResult DesignRuleCheckerCommand(AppState& s, const DrcOptions& options = {});

}  // namespace tarnisk
