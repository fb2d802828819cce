#include "tests/fuzz/fuzz_entries.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "core/app_state.h"
#include "core/msk_file.h"
#include "core/rule_file.h"
#include "ui/headless_platform.h"

namespace tarnisk {

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// One state per process: building the tables for every input would make the
// fuzzer spend its time allocating.
struct FuzzState {
  HeadlessPlatform platform;
  std::unique_ptr<AppState> state = std::make_unique<AppState>(platform);

  AppState& Fresh() {
    ReleaseAll(*state);
    ResetDatabase(*state);
    state->layout.wide.extent = state->layout.wide.defaultWindow;
    state->layout.wide.pasteOrigin = {};
    return *state;
  }
};

FuzzState& Shared() {
  static FuzzState shared;
  shared.platform.SetFixedTime(1);
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
std::string Written(AppState& s) {
  Purge(s.layout);
  ComputeExtent(s.layout);
  return FormatLayoutFile(s, "fuzz.msk");
}

}  // namespace

void FuzzLayoutReader(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzState& shared = Shared();
  AppState& s = shared.Fresh();
  const ReadMode mode = size > 0 ? ReadMode(data[0] % 3) : ReadMode::Open;
  ReadLayoutText(s, text, "fuzz.msk", mode);
  CheckTablesSound(s.layout);
  OrderBoxesByLayer(s);

  // Whatever was read must come back unchanged through the writer; texts are
  // only read after a box, so the check needs one.
  if (mode != ReadMode::Open || s.layout.boxes.Count() == 0) return;
  if (!TimesWithinPrecision(s.layout)) return;
  const std::string first = Written(s);
  AppState& again = shared.Fresh();
  ReadLayoutText(again, first, "fuzz.msk", ReadMode::Open);
  Require(again.LastError == 0);
  Require(Written(again) == first);
}

void FuzzRuleReader(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzState& shared = Shared();
  AppState& s = shared.Fresh();
  s.technology = Technology{};
  LoadRuleText(s, text, true);
  Require(s.technology.META >= 2 && s.technology.META <= 5);
  Require(s.technology.Name.size() <= kMaxTextLength);
}

}  // namespace tarnisk
