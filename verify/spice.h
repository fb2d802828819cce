#pragma once
// The SPICE netlist of the extracted circuit: supply, clock and pulse sources,
// the node list, the transistors, node and coupling capacitances, resistance
// marks, the model cards of the selected level and a transient analysis.

#include <string>

namespace tarnisk {

class Progress;
struct Circuit;
struct ExtractOptions;
struct Layout;
struct Technology;

// What a deck describes: the extracted layout (nodes, texts, resistance
// marks) with its circuit, the technology and the model level and crosstalk
// options of the extraction.
struct SpiceSource {
  const Layout& layout;
  const Circuit& circuit;
  const Technology& technology;
  const ExtractOptions& options;
  Progress& progress;
};

// The layout file name with its extension replaced by "CIR".
std::string SpiceFileName(const std::string& layoutName);

// The deck text; `name` names the circuit in the first line, `length` is the
// transient length in seconds.
std::string SpiceDeck(const SpiceSource& source, const std::string& name, double length);

struct SpiceWriteResult {
  int ioError = 0;  // errno-style, 0 when written
  std::string message;
};

// Writes the deck of the layout `name` to `path` atomically.
SpiceWriteResult WriteSpiceDeck(const SpiceSource& source, const std::string& path,
                                const std::string& name, double length);

}  // namespace tarnisk
