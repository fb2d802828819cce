#pragma once
// The CIF interface: writes the layout as a Caltech Intermediate Form file
// (one symbol, one four-corner polygon per box, per-layer overetch, the
// diffusions split into an active-area mask and their own masks, labels),
// and reads a CIF file back for listing and counting its cells. Nothing read
// from a CIF file enters the layout.

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace tarnisk {

class Progress;
struct Layout;
struct Technology;

// The layout a CIF file is written from, with what the writer needs around
// it: the technology's lambda and CIF names, the time for the header, and
// where progress goes.
struct CifLayout {
  Layout& layout;
  const Technology& technology;
  std::time_t now;
  Progress& progress;
};

// Lines the listings of a CIF file show at most.
inline constexpr int kCifListingLines = 200;
inline constexpr int kCifInputListingLines = 100;
inline constexpr const char* kCifTruncatedLine = "(tuncated...)";

// What the CIF interface keeps for the rest of the run.
struct CifSettings {
  int32_t unit = 1000;                 // CIF units per micron, at least 1
  std::string fileName = "noFile.cif"; // the last CIF file written
};

// What one file is written with.
struct CifOptions {
  int32_t unit = 1000;
  std::string topCell = "topcell";
  std::string labelCommand = "94";  // CIF command number in front of each label
};

// Polygons per CIF layer name, in the order the names first appear in the
// file (a name opened twice, or shared by two layers, is counted once).
struct CifSummary {
  std::vector<std::pair<std::string, int>> polygons;
  int labels = 0;
};

// One row of the window's layer grid; empty cells stay empty.
struct CifLayerRow {
  std::string layer, cifName, gds2, boxes, overetch;
};

// Orders the boxes by layer and returns the 20 rows of the layer grid.
std::vector<CifLayerRow> CifLayerGrid(Layout& layout, Progress& progress);

// The "Scale (um) :" field as a CIF unit: the larger of 1 and the integer
// written there. Text that is not an integer, or a scale above kMaxCifScale,
// gives ok false and the conversion error to show.
struct CifScale {
  bool ok = false;
  int32_t unit = 1;
  std::string error;
};
CifScale ParseCifScale(const std::string& text);

// `name` with its extension replaced by "CIF" ("." and "CIF" appended when
// its file part has no dot).
std::string CifOutputName(const std::string& name);

// The symbol's scale factors "A B" that make one unit 1/unit um for a
// reader that takes a CIF unit as 1/100 um: 100/unit reduced.
std::string CifSymbolScale(int32_t unit);

// The whole CIF text of the layout. Purges the database and orders the boxes
// by layer first; `summary` receives what was written.
std::string FormatCifFile(const CifLayout& source, const std::string& name,
                          const CifOptions& options, CifSummary* summary = nullptr);

// "Convert into CIF": purges the database, reads the scale, writes the file
// and remembers its name. `error` holds the scale's conversion error, or
// `ioError` the errno-style result of writing; a status message reports
// either.
struct CifConversion {
  bool written = false;
  std::string name;
  std::string error;
  int ioError = 0;
  CifSummary summary;
};
CifConversion ConvertIntoCif(const CifLayout& source, CifSettings& settings,
                             const std::string& scaleText, const std::string& outputName,
                             const CifOptions& options);

// The lines of the file written last for the output page: at most 200, then
// "(tuncated...)" once the 200th is reached. False (lines untouched) when
// the file cannot be read.
bool ListCifFile(const std::string& path, std::vector<std::string>& lines);

// "Convert into Tarnisk": at most the first 100 lines of the file written
// last; no box or text is created. When the file cannot be read, ok is false
// and a status message says so. Either way `caption` is the window's new
// caption.
struct CifInputConversion {
  bool ok = false;
  std::vector<std::string> lines;
  std::string caption;
};
CifInputConversion ConvertCifIntoMsk(const CifSettings& settings, Progress& progress);

// Viewing an opened CIF file: its first 200 lines (each cut to 128
// characters) and the number of lines that start a cell definition ("DS").
struct CifView {
  bool ok = false;
  std::string name;
  std::vector<std::string> lines;
  int cells = 0;
};
CifView ViewCifFile(const std::string& openedName, Progress& progress);

}  // namespace tarnisk
