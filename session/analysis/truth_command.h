#pragma once
// Truth tables of the session's layout: extracted first when needed, then
// evaluated switch by switch or settled by the analog simulator.

#include <string>
#include <vector>

#include "verify/truth_table.h"

namespace tarnisk {

struct Session;

struct TruthRequest {
  // Empty: the defaults of DefaultTruthSignals.
  std::vector<std::string> inputs, outputs;
  bool analog = false;
};

struct TruthOutcome {
  TruthTable table;
  // Why no table was made (an incomplete extraction, a name no node
  // carries, too many inputs), or empty.
  std::string problem;
};

TruthOutcome TruthTableOf(Session& s, const TruthRequest& request);

}  // namespace tarnisk
