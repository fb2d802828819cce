#pragma once
// Extraction, floating nodes and SPICE netlists as the editor runs them: on
// the session's layout with its options, keeping the circuit in the session
// and reporting in the status line.

#include <string>
#include <vector>

#include "verify/spice.h"

namespace tarnisk {

struct Session;

// Extracts the layout unless its extracted flag says the circuit is up to
// date, without drawing the gate pieces it cuts. Shows the summary, and the
// crosstalk's warning box or, for another incomplete run, a box with its
// warnings; keeps a full table's code in LastError. Returns whether the
// circuit is complete.
bool EnsureExtracted(Session& s);

// The "Floating nodes..." command: extracts, reports the count and lists the
// floating nodes' names in status panel 1, giving each a text of its name
// when it has none. Returns their numbers; none when the extraction was
// incomplete.
std::vector<int> ReportFloatingNodes(Session& s);

// The session's extracted layout and circuit as a deck describes them.
SpiceSource SpiceSourceOf(Session& s);

// Writes the deck of the layout `name` to `path`; reports in status panel 0
// and remembers the file as the last netlist when it was written. Returns 0
// or the errno-style I/O result.
int SaveSpiceDeck(Session& s, const std::string& path, const std::string& name, double length);

// Writes the deck beside the layout file, as SpiceFileName(name).
int SaveSpiceFile(Session& s, const std::string& name, double length);

}  // namespace tarnisk
