#pragma once
// The "Design Rule Checker" command: runs the checker on the session's
// layout and shows its report: the view zooms on the first violation, every
// violation in sight gets its mark, the first its explanation, and the
// status line the verdict and the closing message.

#include "verify/drc.h"

namespace tarnisk {

struct Session;

DrcReport DesignRuleCheckerCommand(Session& s, const DrcOptions& options = {});

// Zooms on the first violation and marks the visible ones (nothing when the
// report is clean); the verdict goes to status panel 1.
void ShowDrcReport(Session& s, const DrcReport& report);

}  // namespace tarnisk
