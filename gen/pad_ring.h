#pragma once
// The pad ring: pads on the four sides of the layout between two metal
// supply rings, with the pad library's entries (a pad file) giving each pad
// its name, its strip to a supply ring or its input or output cell.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/technology.h"
#include "gen/generated.h"
#include "gen/settings.h"

namespace tarnisk {

class Progress;

// Pad types, in the order of their letters S, D, X, I, O, B.
enum PadType : int {
  kPadVss = 0,
  kPadVdd = 1,
  kPadBare = 2,
  kPadInput = 3,
  kPadOutput = 4,
  kPadBidirectional = 5
};

struct PadEntry {
  char side = 'N';  // upper case: N, S, E or W
  int position = 0;
  int type = kPadBare;
  std::string name;  // as written after the type letter, leading blanks kept
};

struct PadFile {
  std::string chipName;
  int padsX = 0, padsY = 0;
  std::vector<PadEntry> pads;
};

struct PadFileRead {
  int ioError = 0;        // errno-style result of opening the file
  int malformedLine = 0;  // line whose counts or position are not numbers, 0 when none
  PadFile file;
  bool Ok() const { return ioError == 0 && malformedLine == 0; }
};

// Line 1 the chip name; line 2 the number of pad lines and the pads in X and
// in Y; then one pad a line: side letter, position, one separator, type
// letter and the name. A file with fewer pad lines than announced ends early.
PadFileRead ParsePadFile(std::string_view text);
PadFileRead ReadPadFile(const std::string& path);

// The first entry for the pad at `position` on `side` (N, S, E, W), or null.
const PadEntry* FindPad(const PadFile& file, char side, int position);

// The ring of settings.padsX pads on the north and south sides and
// settings.padsY on the west and east, around the layout's extent. With a
// pad file, each pad takes its entry's name and type: ground pads a strip to
// the outer ring, supply pads a strip to the inner ring, input and output
// pads the library cell "padin_" or "padOut_" and the side's letter, read
// from `cellDirectory`.
Generated GeneratePadRing(Layout& layout, const Technology& t, const PadSettings& settings,
                          const PadFile* file, const std::string& cellDirectory,
                          Progress& progress);

// The total number of pads the ring places.
inline int PadRingCount(const PadSettings& s) { return 2 * (s.padsX + s.padsY); }

}  // namespace tarnisk
