#include "session/analysis/extract_command.h"

#include "session/session.h"

namespace tarnisk {

bool EnsureExtracted(Session& s) {
  if (s.layout.wide.extracted) return true;
  {
    // The gate pieces lie within diffusion boxes already drawn.
    const DrawingSuspended quiet(s);
    s.circuit = ExtractLayout(s.layout, s.technology, s.extractOptions, s.progress);
  }
  s.LastError = s.circuit.table;
  s.checkGridColumns = s.circuit.gridColumns, s.checkGridRows = s.circuit.gridRows;
  if (!s.circuit.alert.empty()) {
    s.platform.ShowMessage("Warning", s.circuit.alert, MessageButtons::Ok);
  } else if (!s.circuit.complete) {
    std::string causes;
    for (const std::string& w : s.circuit.warnings) causes += (causes.empty() ? "" : "\n") + w;
    s.platform.ShowMessage("Warning", causes, MessageButtons::Ok);
  }
  ShowStatus(s.platform, s.circuit.summary);
  return s.circuit.complete;
}

std::vector<int> ReportFloatingNodes(Session& s) {
  // The nodes of an incomplete circuit would name floating nodes that are not.
  if (!EnsureExtracted(s)) return {};
  const std::vector<int> floating = FloatingNodes(s.layout);
  std::string names;
  for (int k : floating) {
    EnsureNodeText(s.layout, k);
    names += (names.empty() ? "" : ", ") + s.layout.nodes.nodes[k].name + " floating";
  }
  ShowStatus2(s.platform, names);
  ShowStatus(s.platform, std::to_string(floating.size()) + " floating node found...");
  return floating;
}

SpiceSource SpiceSourceOf(Session& s) {
  return {s.layout, s.circuit, s.technology, s.extractOptions, s.progress};
}

int SaveSpiceDeck(Session& s, const std::string& path, const std::string& name, double length) {
  const SpiceWriteResult result = WriteSpiceDeck(SpiceSourceOf(s), path, name, length);
  if (result.ioError == 0) s.lastSpiceFile = path;
  ShowStatus(s.platform, result.message);
  return result.ioError;
}

int SaveSpiceFile(Session& s, const std::string& name, double length) {
  return SaveSpiceDeck(s, SpiceFileName(name), name, length);
}

}  // namespace tarnisk
