#pragma once
// The statistics window's figures from the session: refreshing groups the
// boxes by layer, "Extract Now" extracts first.

#include "stats/layout_statistics.h"

namespace tarnisk {

struct Session;

// The "General" page's figures; orders the boxes by layer.
GeneralFigures UpdateStatistics(Session& s);
// The "Interconnects" page's classes and averages.
LengthClasses StatisticsClasses(const Session& s);

}  // namespace tarnisk
