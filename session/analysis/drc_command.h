#pragma once
// The "Design Rule Checker" command: runs the checker on the session's
// layout and shows its report: the view zooms on the first violation, every
// violation in sight gets its mark, the first its explanation, and the
// status line the verdict and the closing message.

#include <string>
#include <vector>

#include "verify/drc.h"

namespace tarnisk {

struct Session;

DrcReport DesignRuleCheckerCommand(Session& s, const DrcOptions& options = {});

// Zooms on the first violation and marks the visible ones (nothing when the
// report is clean); the verdict goes to status panel 1.
void ShowDrcReport(Session& s, const DrcReport& report);

// Zooms on violation `index` of the list, marks every violation of the list
// in sight and writes the chosen one's explanation beside it.
void ShowViolation(Session& s, const std::vector<DrcViolation>& violations, size_t index);

// Every violation of every check, for the list beside the drawing. The
// status panels keep what the check the user ran wrote there.
DrcReport ListEveryViolation(Session& s);

// Where a violation lies: "x1,y1 - x2,y2" in lambda.
std::string ViolationLocation(const DrcViolation& v);

}  // namespace tarnisk
