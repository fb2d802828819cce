#pragma once
// Layout files in the three formats the program reads and writes, chosen by
// the file name's extension: MSK (its own), GDSII and CIF. GDSII and CIF are
// read through the interchange readers and added to the layout record by
// record; whatever cannot be represented exactly, or does not fit in the
// tables, is counted, never silently left out.

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/layout.h"
#include "core/msk_file.h"

namespace tarnisk {

class Progress;
struct Technology;

enum class LayoutFormat { Msk, Gds, Cif };

// The format a file name's extension names (.msk, .gds, .cif in any case).
std::optional<LayoutFormat> LayoutFormatOf(const std::string& path);

// What reading a GDSII or CIF file into the layout did.
struct LayoutImport {
  int ioError = 0;     // errno-style result of reading the file, 0 when read
  std::string error;   // the file is not of its format, or is cut short
  int boxes = 0, texts = 0;                // added to the layout
  std::map<std::string, int> dropped;      // left out, by kind
  std::vector<std::string> warnings;
  TableStatus table = kTableOk;            // a table that filled up
  std::string message;                     // the closing status message

  bool Read() const { return ioError == 0 && error.empty(); }
};

// Reads a GDSII or CIF file as the layout (ReadMode::Open, the caller has
// emptied it) or beside it (InsertBeside: to the right of the present
// extent, as an MSK insert places a file).
LayoutImport ImportLayoutFile(Layout& layout, const Technology& technology,
                              const std::string& path, LayoutFormat format, ReadMode mode,
                              Progress& progress);

struct LayoutExport {
  int ioError = 0;  // errno-style, 0 when written
  int boxes = 0, texts = 0;
  std::vector<std::string> warnings;
  std::string message;
};

// Writes the layout as GDSII (library and structure named after the file) or
// CIF (1000 units per micron, as the CIF window writes it), atomically.
LayoutExport ExportLayoutFile(Layout& layout, const Technology& technology,
                              const std::string& path, LayoutFormat format, std::time_t now,
                              Progress& progress);

}  // namespace tarnisk
