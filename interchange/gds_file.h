#pragma once
// GDSII stream files. The writer puts the whole layout in one structure:
// every live box as a BOUNDARY on its layer's GDS2 number (datatype 0), the
// diffusions also on the active-area layer's, and every live text as a TEXT.
// The reader flattens any library into boxes and texts in lambda and counts
// whatever it cannot represent exactly.
//
// Units: one database unit is one lambda (the UNITS record gives lambda in
// microns and in metres). Every layout coordinate is a whole number of
// lambda, so it is written exactly whatever lambda is, and the 32-bit
// coordinates of the format hold the layout's whole coordinate range
// (kCoordinateLimit), which a 1 nm unit would not; nor would it be exact for
// a lambda that is no whole number of nanometres.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/layers.h"
#include "core/layout.h"
#include "core/technology.h"
#include "interchange/imported_layout.h"

namespace tarnisk {

// Layers and texts without a GDS2 number of their own (0 in the rule file)
// take the free numbers from this one upward.
inline constexpr int kFirstSubstituteGdsNumber = 100;

struct GdsLayerNumbers {
  std::array<int, kLayerCount + 1> layer{};  // index 1..20; 0 for the gate layers
  int text = 0;
  std::array<bool, kLayerCount + 1> substituted{};
  bool textSubstituted = false;
};

// The numbers the writer uses and the reader maps back. The technology keeps
// no GDS2 number for texts, so they always take a substitute.
GdsLayerNumbers ChooseGdsLayerNumbers(const LayerTable& layers);

// A library and structure name made from a layout's file name: the name
// without folders and extension, with characters other than letters, digits,
// '_', '?' and '$' made '_', at most 32 characters; "TOP" when nothing is
// left.
std::string GdsName(const std::string& fileName);

// Modification and access time written in BGNLIB and BGNSTR.
struct GdsTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct GdsWriteReport {
  int boxes = 0, texts = 0;
  std::vector<std::string> warnings;
};

// The stream bytes of the live boxes (other than the gate layers) and live
// texts. `libraryName` passes through GdsName. A fixed time by default keeps
// the bytes the same from run to run.
std::string FormatGds(const Layout& layout, const Technology& technology,
                      const std::string& libraryName, GdsWriteReport* report,
                      const GdsTime& time = {});

// Reads a GDSII stream: every structure no other one references is placed
// at the origin with everything it references. BOUNDARY and BOX elements,
// PATHs with flush or extended square ends and TEXTs are kept when they land
// exactly on whole lambda; layers are mapped back by ChooseGdsLayerNumbers.
ImportedLayout ReadGds(std::string_view bytes, const LayerTable& layers,
                       const Technology& technology);

}  // namespace tarnisk
