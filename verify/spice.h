#pragma once
// The SPICE netlist of the extracted circuit: supply, clock and pulse sources,
// the node list, the transistors, node and coupling capacitances, resistance
// marks, the model cards of the selected level and a transient analysis.

#include <string>

namespace tarnisk {

struct AppState;

// The layout file name with its extension replaced by "CIR".
std::string SpiceFileName(const std::string& layoutName);

// The deck text for the extracted circuit; `circuit` names it in the first
// line, `length` is the transient length in seconds.
std::string SpiceDeck(const AppState& s, const std::string& circuit, double length);

// Writes the deck of the layout `name` to `path` atomically. Reports in status
// panel 0 and remembers the file as the last netlist when it was written.
// Returns 0 or the errno-style I/O result.
int WriteSpiceDeck(AppState& s, const std::string& path, const std::string& name, double length);

// Writes the deck beside the layout file, as SpiceFileName(name).
int WriteSpiceFile(AppState& s, const std::string& name, double length);

}  // namespace tarnisk
