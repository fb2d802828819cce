#include "session/editor/texts.h"

#include <algorithm>
#include <array>

#include "session/session.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/editor/render.h"
#include "session/editor/view.h"

namespace tarnisk {

namespace {

constexpr std::array<const char*, 5> kCaptions = {"Add simple text", "Add Vdd supply",
                                                  "Add Vss supply", "Add a Clock", "Add a Pulse"};
constexpr std::array<int, 5> kChoiceProperties = {kPropertyNone, kPropertyVdd, kPropertyVss,
                                                  kPropertyClock, kPropertyPulse};

// Limits of the dialog's number fields: times in ns, levels in V.
constexpr double kMinTime = 0.001, kMaxTime = 10000;
constexpr double kTimeFallback = 0.1;    // an empty time field on OK
constexpr double kPeriodFallback = 1.0;  // an empty time field for the period buttons
constexpr double kMaxLevel = 10;
constexpr double kNanosecond = 1e-9;

// The symbol of a mark lies within this pixel window around its anchor.
constexpr int kMarkLeft = 10, kMarkRight = 60, kMarkHalfHeight = 30;

void Status(Session& s, const std::string& text) { ShowStatus(s.platform, text); }

std::string Truncated(const std::string& text) { return text.substr(0, kMaxTextLength); }

Point PixelToLambda(const Session& s, Point pixel) {
  return {PixelToLambdaX(s, pixel.x), PixelToLambdaY(s, pixel.y)};
}

void MarkChanged(Session& s) {
  s.layout.wide.modified = 1;
  s.layout.wide.extracted = 0;
}

bool IsWaveform(int choice) { return choice == kChoiceClock || choice == kChoicePulse; }

bool HasHighLevel(int property) {
  return property == kPropertyVdd || property == kPropertyClock || property == kPropertyPulse;
}

bool HasLowLevel(int property) {
  return property == kPropertyVss || property == kPropertyClock || property == kPropertyPulse;
}

// Takes the field's value into `into` when it reads as valid.
void ReadInto(const std::string& field, double minimum, double maximum, double fallback,
              double& into) {
  const ParsedNumber n = ParseNumber(field, minimum, maximum, fallback);
  if (n.ok) into = n.value;
}

std::array<const std::string*, 4> TimeFields(const TextDialogModel& m) {
  return {&m.timeLow, &m.riseTime, &m.timeHigh, &m.fallTime};
}

std::array<double*, 4> DefaultTimes(TextDefaults& d) {
  return {&d.timeLow, &d.riseTime, &d.timeHigh, &d.fallTime};
}

// The four times for the period buttons; false unless all are valid.
bool ReadAllTimes(const TextDialogModel& m, std::array<double, 4>& times) {
  const auto fields = TimeFields(m);
  for (size_t i = 0; i < fields.size(); ++i) {
    const ParsedNumber n = ParseNumber(*fields[i], kMinTime, kMaxTime, kPeriodFallback);
    if (!n.ok) return false;
    times[i] = n.value;
  }
  return true;
}

std::string FieldText(double value) { return FormatFixed(value, 4, 2); }

void FillFieldsFromDefaults(const Session& s, TextDialogModel& m) {
  const TextDefaults& d = s.textDefaults;
  m.timeLow = FieldText(d.timeLow);
  m.riseTime = FieldText(d.riseTime);
  m.timeHigh = FieldText(d.timeHigh);
  m.fallTime = FieldText(d.fallTime);
  m.lowLevel = FieldText(d.lowLevel);
  m.highLevel = FieldText(s.defaultVddTextLevel);
}

// OK: every field the choice uses and that reads as valid becomes a default.
void ReadDefaults(Session& s, const TextDialogModel& m) {
  TextDefaults& d = s.textDefaults;
  const int property = PropertyFromChoice(m.choice);
  if (IsWaveform(m.choice)) {
    const auto fields = TimeFields(m);
    const auto defaults = DefaultTimes(d);
    for (size_t i = 0; i < fields.size(); ++i)
      ReadInto(*fields[i], kMinTime, kMaxTime, kTimeFallback, *defaults[i]);
  }
  if (HasHighLevel(property))
    ReadInto(m.highLevel, 0, kMaxLevel, s.defaultVddTextLevel, s.defaultVddTextLevel);
  if (HasLowLevel(property)) ReadInto(m.lowLevel, 0, kMaxLevel, d.lowLevel, d.lowLevel);
}

// The default levels in thousandths of the supply, for the levels the
// text's property uses.
void SetLevels(const Session& s, LayoutText& t) {
  const double vdd = s.technology.VDD;
  if (HasHighLevel(t.property)) t.highLevel = RoundToInt32(s.defaultVddTextLevel * 1000 / vdd);
  if (HasLowLevel(t.property)) t.lowLevel = RoundToInt32(s.textDefaults.lowLevel * 1000 / vdd);
}

// Cumulative instants within one period, from the default phase lengths.
void SetEdgeTimes(const TextDefaults& d, LayoutText& t) {
  const double endLow = d.timeLow, endRise = endLow + d.riseTime;
  const double endHigh = endRise + d.timeHigh, period = endHigh + d.fallTime;
  t.edgeTimes = {endLow * kNanosecond, endRise * kNanosecond, endHigh * kNanosecond,
                 period * kNanosecond};
}

// Each clock added runs at half the speed of the one before.
void SlowDownNextClock(TextDefaults& d) {
  d.timeLow = 2 * d.timeLow + d.riseTime;
  d.timeHigh = 2 * d.timeHigh + d.fallTime;
}

void ReportNotAdded(Session& s, Point at) {
  if (s.LastError == kErrorTextTableFull)
    Status(s, "Warning : text data base full ...");
  else
    Status(s, "A text already stands at " + std::to_string(at.x) + "," + std::to_string(at.y));
}

// Adds a text with its property, undoable; returns its index, or 0 (with a
// message) when the table is full or a text stands at that place already.
// Only a text really added takes the property, so no other text changes.
int AppendText(Session& s, Point at, const std::string& text, int property) {
  auto& texts = s.layout.texts;
  const int before = texts.Count();
  s.LastError = AddLayoutText(s.layout, at.x, at.y, text);
  if (texts.Count() == before) {
    ReportNotAdded(s, at);
    return 0;
  }
  texts[before + 1].property = static_cast<uint8_t>(property);
  s.layout.wide.savedTextCount = before;
  s.layout.wide.undoCode = kUndoRemoveLastText;
  MarkChanged(s);
  return before + 1;
}

bool LiveText(const Session& s, int i) {
  return i >= 1 && i <= s.layout.texts.Count() && s.layout.texts[i].state != 0;
}

bool IsWaveformProperty(int property) {
  return property == kPropertyClock || property == kPropertyPulse;
}

// The edge times of a new text, from the defaults; a new clock slows the
// next one down.
void StartWaveform(Session& s, LayoutText& t) {
  SetEdgeTimes(s.textDefaults, t);
  if (t.property == kPropertyClock) SlowDownNextClock(s.textDefaults);
}

void ChangeText(Session& s, const TextDialogModel& m) {
  if (!LiveText(s, m.editedText)) return;
  LayoutText& t = s.layout.texts[m.editedText];
  const bool wasWaveform = IsWaveformProperty(t.property);
  t.text = Truncated(m.text);
  t.visible = m.visible;
  t.property = static_cast<uint8_t>(PropertyFromChoice(m.choice));
  SetLevels(s, t);
  // A text that becomes a clock or pulse gets the times a new one gets;
  // without them its edges would be instantaneous.
  if (!wasWaveform && IsWaveformProperty(t.property)) StartWaveform(s, t);
  DrawText(s, m.editedText);
  MarkChanged(s);
  Status(s, "Text " + Quoted(t.text) + " modified");
}

void AddText(Session& s, const TextDialogModel& m) {
  const int i = AppendText(s, m.location, m.text, PropertyFromChoice(m.choice));
  if (i == 0) return;
  LayoutText& t = s.layout.texts[i];
  SetLevels(s, t);
  t.visible = m.visible;
  Status(s, "Add text " + Quoted(t.text) + ", " + (t.visible ? "visible" : "hidden") +
                " at location " + std::to_string(t.x) + "," + std::to_string(t.y));
  StartWaveform(s, t);
}

void Prepare(const Session& s, TextDialogModel& m, int choice, const std::string& text,
             bool visible) {
  ApplyTextChoice(s, m, choice);
  m.text = text;
  m.visible = visible;
}

TextDialogModel ModelAt(const Session& s, Point pixel) {
  TextDialogModel m;
  m.location = PixelToLambda(s, pixel);
  return m;
}

// The dialog opened on an existing text, as it stands.
TextDialogModel EditModel(const Session& s, int i, Point pixel) {
  const LayoutText& t = s.layout.texts[i];
  TextDialogModel m = ModelAt(s, pixel);
  m.editedText = i;
  Prepare(s, m, ChoiceFromProperty(t.property), t.text, t.visible != 0);
  return m;
}

// A second click with the Vdd or Vss tool makes the supply a plain text.
void ToggleSupply(Session& s, LayoutText& t, int supply) {
  if (t.property != supply) {
    t.property = static_cast<uint8_t>(supply);
    if (supply == kPropertyVdd) t.highLevel = 1000;
    else t.lowLevel = 0;
  } else {
    t.property = kPropertyNone;
    t.visible = 0;
  }
  MarkChanged(s);
}

void ToolOnText(Session& s, int i, Point pixel, TextDialogUi& ui) {
  LayoutText& t = s.layout.texts[i];
  Status(s, "Click in existing text " + Quoted(t.text) + ".");
  TextDialogModel m = EditModel(s, i, pixel);
  Status(s, "Edit existing text " + Quoted(t.text) + ".");
  switch (s.command.propertyTool) {
    case kToolVisible:
      t.visible = !t.visible;
      MarkChanged(s);
      return;
    case kToolVdd:
      ToggleSupply(s, t, kPropertyVdd);
      return;
    case kToolVss:
      ToggleSupply(s, t, kPropertyVss);
      return;
    case kToolClock:
      Prepare(s, m, kChoiceClock, t.text, true);
      break;
    case kToolPulse:
      Prepare(s, m, kChoicePulse, t.text, true);
      break;
    default:
      break;
  }
  ui.ShowTextDialog(s, m);
}

void ToolOnEmpty(Session& s, Point pixel, TextDialogUi& ui) {
  Status(s, "No existing text here");
  TextDialogModel m = ModelAt(s, pixel);
  TextDefaults& d = s.textDefaults;
  switch (s.command.propertyTool) {
    case kToolVdd:
      AppendText(s, m.location, "Vdd", kPropertyVdd);
      return;
    case kToolVss:
      AppendText(s, m.location, "Vss", kPropertyVss);
      return;
    case kToolVisible:
      Prepare(s, m, kChoiceVariable, "s1", true);
      break;
    case kToolClock:
      Prepare(s, m, kChoiceClock, "clock" + std::to_string(d.clockCounter++), true);
      break;
    case kToolPulse:
      Prepare(s, m, kChoicePulse, "pulse" + std::to_string(d.pulseCounter++), true);
      break;
    default:
      Prepare(s, m, kChoiceVariable, "out" + std::to_string(d.nameCounter++), false);
      break;
  }
  ui.ShowTextDialog(s, m);
}

// ---- resistance marks ----

bool LiveMark(const Session& s, int i) {
  return i >= 1 && i <= s.layout.resistances.Count() && s.layout.resistances[i].state != 0;
}

std::string LocationLine(Point at) {
  return "Location " + std::to_string(at.x) + "," + std::to_string(at.y) + " lambda";
}

}  // namespace

void ResetTextTimes(Session& s) {
  const TextDefaults fresh;
  TextDefaults& d = s.textDefaults;
  d.timeLow = fresh.timeLow;
  d.riseTime = fresh.riseTime;
  d.timeHigh = fresh.timeHigh;
  d.fallTime = fresh.fallTime;
}

int ChoiceFromProperty(int property) {
  const auto* it = std::find(kChoiceProperties.begin(), kChoiceProperties.end(), property);
  return it == kChoiceProperties.end() ? kChoiceVariable : int(it - kChoiceProperties.begin());
}

int PropertyFromChoice(int choice) {
  return choice >= 0 && choice < int(kChoiceProperties.size()) ? kChoiceProperties[choice]
                                                                : kPropertyNone;
}

void ApplyTextChoice(const Session& s, TextDialogModel& m, int choice) {
  m.choice = std::clamp(choice, int(kChoiceVariable), int(kChoicePulse));
  m.caption = kCaptions[m.choice];
  const bool waveform = IsWaveform(m.choice);
  m.timesEnabled = waveform;
  m.highEnabled = waveform || m.choice == kChoiceVdd;
  m.lowEnabled = waveform || m.choice == kChoiceVss;
  m.highLabel = waveform ? "High level" : "Vdd Value";
  m.lowLabel = waveform ? "Low level" : "Vss Value";
  FillFieldsFromDefaults(s, m);
  if (waveform) m.visible = true;
}

void DoublePeriod(Session& s, TextDialogModel& m) {
  std::array<double, 4> t{};
  if (!m.timesEnabled || !ReadAllTimes(m, t)) return;
  m.timeLow = FormatFixed(2 * t[0] + t[1], 5, 2);
  m.timeHigh = FormatFixed(2 * t[2] + t[3], 5, 2);
  Status(s, "Larger clock");
}

void HalvePeriod(Session& s, TextDialogModel& m) {
  std::array<double, 4> t{};
  if (!m.timesEnabled || !ReadAllTimes(m, t)) return;
  m.timeLow = FormatFixed((t[0] - t[1]) * 0.5, 5, 2);
  m.timeHigh = FormatFixed((t[2] - t[3]) * 0.5, 5, 2);
  Status(s, "Smaller clock");
}

void InvertLevels(Session& s, TextDialogModel& m) {
  if (!m.timesEnabled) return;
  std::swap(m.lowLevel, m.highLevel);
  Status(s, "Invert clock levels");
}

void AcceptTextDialog(Session& s, const TextDialogModel& m) {
  ReadDefaults(s, m);
  if (m.text.empty()) return;
  if (m.editedText != 0) ChangeText(s, m);
  else AddText(s, m);
}

int FindTextAt(const Session& s, Point pixel) {
  const auto& texts = s.layout.texts;
  for (int i = texts.Count(); i >= 1; --i) {
    const LayoutText& t = texts[i];
    if (t.state == 0) continue;
    const int64_t px = LambdaToPixelX(s, t.x), py = LambdaToPixelY(s, t.y);
    const int64_t right = px + 8 * int64_t(t.text.size()) + 5;
    if (px - 5 < pixel.x && pixel.x < right && py - 5 < pixel.y && pixel.y < py + 19) return i;
  }
  return 0;
}

void TextCommandAt(Session& s, Point pixel, TextDialogUi& ui) {
  const int i = FindTextAt(s, pixel);
  if (i != 0) ToolOnText(s, i, pixel, ui);
  else ToolOnEmpty(s, pixel, ui);
  Redraw(s);
  s.layout.wide.extracted = 0;
}

bool EditTextAt(Session& s, Point pixel, TextDialogUi& ui) {
  const int i = FindTextAt(s, pixel);
  if (i == 0) return false;
  TextDialogModel m = EditModel(s, i, pixel);
  ui.ShowTextDialog(s, m);
  s.layout.wide.extracted = 0;
  s.command.command = kCommandNone;
  Status(s, "No command selected");
  Redraw(s);
  return true;
}

int FindResistanceAt(const Session& s, Point pixel) {
  const auto& marks = s.layout.resistances;
  for (int i = 1; i <= marks.Count(); ++i) {
    const ResistanceMark& r = marks[i];
    if (r.state == 0) continue;
    const int64_t mx = LambdaToPixelX(s, r.x), my = LambdaToPixelY(s, r.y);
    if (pixel.x >= mx - kMarkLeft && pixel.x <= mx + kMarkRight &&
        pixel.y >= my - kMarkHalfHeight && pixel.y <= my + kMarkHalfHeight)
      return i;
  }
  return 0;
}

void ResistanceAt(Session& s, Point pixel, ResistanceDialogUi& ui) {
  ResistanceDialogModel m;
  m.mark = FindResistanceAt(s, pixel);
  if (m.mark != 0) {
    Status(s, "Resistance found here...");
    const ResistanceMark& r = s.layout.resistances[m.mark];
    m.value = r.text;
    m.location = {r.x, r.y};
    m.connectionLine = "Connected to " + std::to_string(r.nodeA) + ", " + std::to_string(r.nodeB);
  } else {
    m.value = "1000";
    m.location = PixelToLambda(s, pixel);
    m.connectionLine = "Connection unknown";
  }
  m.locationLine = LocationLine(m.location);
  ui.ShowResistanceDialog(s, m);
}

void AcceptResistanceDialog(Session& s, const ResistanceDialogModel& m) {
  if (LiveMark(s, m.mark)) {
    // An emptied field keeps the mark's text: a mark without one would not
    // come back from the layout file.
    if (!m.value.empty()) s.layout.resistances[m.mark].text = Truncated(m.value);
    Redraw(s);
  } else {
    s.LastError = AddResistanceMark(s.layout, m.location.x, m.location.y, m.value);
    if (s.LastError == kErrorTextTableFull) Status(s, "Warning : resistance data base full ...");
  }
  MarkChanged(s);
}

// A "Delete" button that changed nothing would leave the user no way to take
// a mark away: it erases the mark found, and Undo brings it back.
void DeleteResistance(Session& s, const ResistanceDialogModel& m) {
  if (!LiveMark(s, m.mark)) return;
  s.layout.resistances[m.mark].state = 0;
  s.layout.wide.undoCode = kUndoRestoreErased;
  MarkChanged(s);
  Redraw(s);
}

}  // namespace tarnisk
