#include "tests/fuzz/fuzz_entries.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "core/msk_file.h"
#include "core/progress.h"
#include "core/rule_file.h"
#include "core/technology.h"
#include "models/mos_measurement.h"

namespace tarnisk {

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// One layout per process: building the tables for every input would make
// the fuzzer spend its time allocating.
struct FuzzState {
  SilentProgress progress;
  std::unique_ptr<Layout> layout = std::make_unique<Layout>();

  Layout& Fresh() {
    ReleaseAll(*layout);
    ResetDatabase(*layout, 1);
    layout->wide.extent = layout->wide.defaultWindow;
    layout->wide.pasteOrigin = {};
    return *layout;
  }
};

FuzzState& Shared() {
  static FuzzState shared;
  return shared;
}

// Edge times are written in nanoseconds with two decimals; beyond a
// millisecond a double no longer holds that resolution through the
// seconds-to-nanoseconds conversion, so exact round trips are not expected.
bool TimesWithinPrecision(const Layout& l) {
  for (int i = 1; i <= l.texts.Count(); ++i)
    for (double t : l.texts[i].edgeTimes)
      if (!(t > -1e-3 && t < 1e-3)) return false;
  return true;
}

void CheckTablesSound(const Layout& l) {
  for (int i = 1; i <= l.boxes.Count(); ++i) {
    const Box& b = l.boxes[i];
    Require(b.x1 < b.x2 && b.y1 < b.y2 && b.layer >= 1 && b.layer <= kLayerCount);
  }
  for (int i = 1; i <= l.texts.Count(); ++i)
    Require(!l.texts[i].text.empty() && l.texts[i].text.size() <= kMaxTextLength);
}

// The file text the writer would produce for the layout as it stands.
std::string Written(Layout& l, Progress& progress) {
  Purge(l);
  ComputeExtent(l);
  return FormatLayoutFile(l, "fuzz.msk", 1, progress);
}

}  // namespace

void FuzzLayoutReader(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzState& shared = Shared();
  Layout& l = shared.Fresh();
  const ReadMode mode = size > 0 ? ReadMode(data[0] % 3) : ReadMode::Open;
  ReadLayoutText(l, text, "fuzz.msk", mode, shared.progress);
  CheckTablesSound(l);
  OrderBoxesByLayer(l, shared.progress);

  // Whatever was read must come back unchanged through the writer; texts are
  // only read after a box, so the check needs one.
  if (mode != ReadMode::Open || l.boxes.Count() == 0) return;
  if (!TimesWithinPrecision(l)) return;
  const std::string first = Written(l, shared.progress);
  Layout& again = shared.Fresh();
  Require(ReadLayoutText(again, first, "fuzz.msk", ReadMode::Open, shared.progress).LastError() == 0);
  Require(Written(again, shared.progress) == first);
}

void FuzzRuleReader(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzState& shared = Shared();
  Technology technology;
  MosViewerRanges ranges;
  LoadRuleText({technology, shared.Fresh(), ranges}, text, true, shared.progress);
  Require(technology.META >= 2 && technology.META <= 5);
  Require(technology.Name.size() <= kMaxTextLength);
}

void FuzzMeasurementReader(const uint8_t* data, size_t size) {
  const Measurement m = ParseMeasurement({reinterpret_cast<const char*>(data), size});
  Require(m.idVd.size() <= kMaxMeasuredPoints && m.idVg.size() <= kMaxMeasuredPoints);
  Require(m.title.size() <= kMaxTextLength);
  Require(std::isfinite(m.wMicrons) && std::isfinite(m.lMicrons));
  for (const auto* set : {&m.idVd, &m.idVg})
    for (const MeasuredPoint& p : *set) Require(std::isfinite(p.x) && std::isfinite(p.y));
  Require(m.loaded || !m.problem.empty() || m.idVg.empty());
}

}  // namespace tarnisk
