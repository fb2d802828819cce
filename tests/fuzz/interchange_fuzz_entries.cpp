#include "tests/fuzz/interchange_fuzz_entries.h"

#include <cstdlib>
#include <memory>
#include <string_view>

#include "core/layout.h"
#include "interchange/cif_reader.h"
#include "interchange/flatten.h"
#include "interchange/gds_file.h"

namespace tarnisk {

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// A technology like the bundled 1 um one: every layer has a GDS2 number and
// a CIF name, the cuts have an overetch.
struct FuzzTechnology {
  Technology technology;
  std::unique_ptr<Layout> layout = std::make_unique<Layout>();

  FuzzTechnology() {
    const int numbers[] = {0, 42, 44, 45, 25, 46, 49, 50, 51, 61, 62, 30, 31, 32, 33, 52, 53,
                           55, 56, 41, 43};
    const char* names[] = {"", "CWN", "CSP", "CSN", "CCC", "CPG", "CMF", "CVA", "CMS", "CVS",
                           "CMT", "CVT", "CMQ", "CVQ", "CMP", "COG", "CNI", "CGP", "CGN", "CWP",
                           "CAA"};
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      layout->layers[layer].gds2 = uint8_t(numbers[layer]);
      layout->layers[layer].cifName = names[layer];
    }
    layout->layers[kContact].overetch = layout->layers[kVia].overetch = 0.05;
    technology.LAMB = 0.5;
    technology.R401 = technology.R601 = 2;
    technology.CifTextLayer = "CTX";
  }
};

FuzzTechnology& Shared() {
  static FuzzTechnology shared;
  return shared;
}

void CheckSound(const ImportedLayout& in) {
  if (!in.error.empty()) Require(in.boxes.empty() && in.texts.empty());
  Require(in.boxes.size() + in.texts.size() <= size_t(kMaxFlattenedItems));
  for (const ImportedBox& b : in.boxes) {
    Require(b.r.xmin < b.r.xmax && b.r.ymin < b.r.ymax);
    Require(b.r.xmin >= -kCoordinateLimit && b.r.xmax <= kCoordinateLimit);
    Require(b.r.ymin >= -kCoordinateLimit && b.r.ymax <= kCoordinateLimit);
    Require(b.layer >= 1 && b.layer <= kLayerCount && b.layer != kGatep && b.layer != kGaten);
  }
  for (const ImportedText& t : in.texts) {
    Require(!t.text.empty() && t.text.size() <= kMaxTextLength);
    Require(t.text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
  }
  for (const auto& [kind, count] : in.dropped) Require(count > 0);
}

// What was read, written again and read back, is the same.
void CheckRoundTrip(const ImportedLayout& in) {
  FuzzTechnology& shared = Shared();
  Layout& layout = *shared.layout;
  layout.boxes.Clear();
  layout.texts.Clear();
  for (const ImportedBox& b : in.boxes) {
    if (layout.boxes.Full()) return;
    layout.boxes.Append({kNormal, b.r.xmin, b.r.ymin, b.r.xmax, b.r.ymax, -1, b.layer, 0});
  }
  for (const ImportedText& t : in.texts) {
    if (layout.texts.Full()) return;
    LayoutText text;
    text.x = t.x, text.y = t.y, text.text = t.text, text.state = 1;
    layout.texts.Append(text);
  }
  const std::string bytes = FormatGds(layout, shared.technology, "fuzz", nullptr);
  const ImportedLayout again = ReadGds(bytes, layout.layers, shared.technology);
  Require(again.error.empty() && again.dropped.empty());
  Require(again.boxes == in.boxes && again.texts == in.texts);
}

}  // namespace

void FuzzGdsReader(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  FuzzTechnology& shared = Shared();
  const ImportedLayout in = ReadGds(bytes, shared.layout->layers, shared.technology);
  CheckSound(in);
  CheckRoundTrip(in);
}

void FuzzCifReader(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzTechnology& shared = Shared();
  const ImportedLayout in = ReadCif(text, shared.layout->layers, shared.technology);
  CheckSound(in);
  CheckRoundTrip(in);
}

}  // namespace tarnisk
