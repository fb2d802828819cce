// Batch command of the statistics window: stats.

#include <ostream>
#include <string>

#include "app/cli.h"
#include "app/json_output.h"
#include "session/analysis/extract_command.h"
#include "session/session.h"
#include "session/statistics/statistics_command.h"

namespace tarnisk {

namespace {

Json FillJson(const TableFill& f) {
  return {{"used", f.number}, {"percent", f.percent}};
}

int RunStats(CliRun& run) {
  Session& s = run.state;
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  const bool complete = EnsureExtracted(s);
  const GeneralFigures g = UpdateStatistics(s);
  const LengthClasses c = StatisticsClasses(s);
  const Rect& e = s.layout.wide.extent;
  Json classes = Json::array();
  for (int i = 0; i <= kLengthClasses; ++i)
    if (c.counts[size_t(i)] > 0)
      classes.push_back({{"from_um", 10 * i}, {"to_um", i == kLengthClasses ? Json() : Json(10 * i + 10)},
                         {"count", c.counts[size_t(i)]}});
  const Json json = {{"technology", g.technology},
                     {"boxes", FillJson(g.boxes)},
                     {"texts", FillJson(g.texts)},
                     {"check_grid", FillJson(g.checkGrid)},
                     {"size_um", {(double(e.xmax) - e.xmin) * s.technology.LAMB,
                                  (double(e.ymax) - e.ymin) * s.technology.LAMB}},
                     {"extracted", g.extracted},
                     {"nodes", s.layout.nodes.count},
                     {"nmos", s.circuit.nmos.size()},
                     {"pmos", s.circuit.pmos.size()},
                     {"interconnect_classes", classes},
                     {"average_length_um", c.averageLength},
                     {"average_resistance_ohm", c.averageResistance},
                     {"average_capacitance_f", c.averageCapacitance}};
  if (run.options.json) PrintJson(run.out, json);
  else run.out << json.dump(2) << '\n';
  // The figures show how full the tables are; a table that filled during
  // extraction leaves them short of the layout.
  return complete ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> StatsCommands() {
  return {{"stats",
           "the statistics window's figures: table fill, technology, extraction, interconnects",
           {"LAYOUT"},
           {},
           {},
           RunStats}};
}

}  // namespace tarnisk
