#include "session/statistics/statistics_command.h"

#include "session/session.h"

namespace tarnisk {

GeneralFigures UpdateStatistics(Session& s) {
  GeneralFigures g =
      DescribeLayout(s.layout, s.technology, s.circuit, s.checkGridColumns, s.checkGridRows);
  OrderBoxesByLayer(s.layout, s.progress);
  return g;
}

LengthClasses StatisticsClasses(const Session& s) {
  return ClassifyLengths(s.layout.nodes, s.technology.LAMB);
}

}  // namespace tarnisk
