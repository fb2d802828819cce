#pragma once
// The process viewer on the session: the cross-section along a cut drawn in
// the layout (its crossed boxes highlighted), the layer sizes of the "Layer
// List" page, the GEO file of the "Compute [C]" page and the capacitance
// matrix of the conductors met by the cut.

#include <ctime>
#include <string>
#include <vector>

#include "process/field_solver.h"
#include "process/geo_file.h"
#include "process/section.h"

namespace tarnisk {

struct Session;

// The section of the session's layout along the cut; the boxes it crosses
// are highlighted in the drawing.
ProcessSection SectionAlong(Session& s, const SectionCut& cut);

// One row of the "Layer List" grid.
struct LayerRow {
  int layer = 0;
  std::string name;
  double thickness = 0, height = 0, permittivity = 0;
};

// Layers 1 up to the highest metal, then passiv and nitride.
std::vector<LayerRow> LayerRows(const Session& s);

// Takes the rows of poly up to the highest metal, passiv and nitride back
// into the layer table; the other rows are shown only.
void ApplyLayerRows(Session& s, const std::vector<LayerRow>& rows);

struct GeoWriteResult {
  std::string path;
  std::vector<std::string> lines;
  int ioError = 0;  // 0, or the errno-style result of writing the file
};

// Writes the GEO file beside the layout file, reporting in the status line.
GeoWriteResult WriteGeoFile(Session& s, const ProcessSection& section, const GeoOptions& options,
                            std::time_t now);

// The capacitance matrix of the section's conductors (pieces of one node
// are one conductor), with the conductors' names.
struct SectionCapacitance {
  FieldSolution solution;
  std::vector<std::string> names;
};

// Solves the section; each listed conductor keeps its capacitance to
// everything else as its value.
SectionCapacitance SolveSection(const Session& s, ProcessSection& section);

// The matrix as the "Compute [C]" page shows it, in pF/m.
std::vector<std::string> MatrixLines(const SectionCapacitance& c);

}  // namespace tarnisk
