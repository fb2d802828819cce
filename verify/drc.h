#pragma once
// The design rule checker: minimum width and spacing of each layer,
// surrounding and extension between layer pairs, minimum distance between
// layers, contacts that touch nothing and the size of MOS gates, against the
// rules of the loaded technology. The report lists the violations; the
// editor zooms on the first and marks them.

#include <cstdint>
#include <string>
#include <vector>

#include "core/geometry.h"

namespace tarnisk {

class Progress;
struct Layout;
struct Technology;

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
  bool vertical = false;  // measured along a column (y) rather than a row (x)
  int32_t ruleValue = 0;  // lambda, the rule broken (0 for a lonely contact)
};

// The explanation written beside a violation: "The metal width  is less than
// 3 lambda (r501)", or the what text alone when there is no rule label.
std::string DrcExplanation(const DrcViolation& v);

struct DrcReport {
  int32_t errorCount = 0;                // every reported violation
  std::vector<DrcViolation> violations;  // in report order, the first kDrcMaxListedViolations
  std::vector<std::string> skipped;      // checks abandoned because the grid overflowed
  std::string firstText;                 // explanation written beside the first violation
  int maxColumns = 0, maxRows = 0;       // largest grid of the run
  std::string verdict;  // status panel 1: "DRC Errors", "No Error" or "DRC Incomplete"
  std::string message;  // the closing status message

  bool Complete() const { return skipped.empty(); }
  bool Clean() const { return errorCount == 0 && Complete(); }
};

// Purges the layout, orders it by layer and runs the checks in their order.
DrcReport RunDesignRuleCheck(Layout& layout, const Technology& technology,
                             const DrcOptions& options, Progress& progress);

// Lambda margin the editor keeps around the first violation when it zooms on it.
inline constexpr int32_t kDrcZoomMargin = 20;

}  // namespace tarnisk
