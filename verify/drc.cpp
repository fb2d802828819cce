#include "verify/drc.h"

#include <algorithm>
#include <span>
#include <utility>

#include "core/layout.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/technology.h"
#include "verify/drc_grid.h"

namespace tarnisk {

namespace {

constexpr uint8_t kBothLayers = 3;  // code of a cell covered by the layers of codes 1 and 2

using Rule = int32_t Technology::*;

enum class Kind { WidthAndSpacing, LonelyContact, GateSize, Extension, Surrounding, Distance };

// One procedure of the check table. Width and spacing: `first` with the
// width and spacing rules. Extension and surrounding: `first` painted with
// code 1, `second` with code 2, the outer layer being the one of `outerCode`.
// Distance: from `first` to `second`.
struct Check {
  int order;      // row of the table; the marquee advances once per row
  int minMetals;  // runs only when the technology has at least this many metals
  Kind kind;
  int first, second;
  Rule rule, rule2;
  const char* label;
  const char* label2;
  uint8_t outerCode;
};

constexpr Check Widths(int order, int minMetals, int layer, Rule width, Rule spacing,
                       const char* widthLabel, const char* spacingLabel) {
  return {order, minMetals, Kind::WidthAndSpacing, layer, 0, width, spacing, widthLabel,
          spacingLabel, 0};
}

constexpr Check Surrounds(int order, int minMetals, int outer, int inner, Rule rule,
                          const char* label) {
  return {order, minMetals, Kind::Surrounding, outer, inner, rule, nullptr, label, "", 1};
}

constexpr Check Extends(int order, int first, int second, uint8_t outerCode, Rule rule,
                        const char* label) {
  return {order, 0, Kind::Extension, first, second, rule, nullptr, label, "", outerCode};
}

constexpr Check Apart(int order, int minMetals, int from, int to, Rule rule, const char* label) {
  return {order, minMetals, Kind::Distance, from, to, rule, nullptr, label, "", 0};
}

using T = Technology;

// The checks in the order they run.
constexpr Check kChecks[] = {
    Widths(1, 0, kNwell, &T::R101, &T::R102, "(r101)", "(r102)"),
    Widths(2, 0, kDiffp, &T::R201, &T::R202, "(r201)", "(r202)"),
    Widths(3, 0, kDiffn, &T::R201, &T::R202, "(r201)", "(r202)"),
    Widths(4, 0, kPoly, &T::R301, &T::R304, "(r301)", "(r304)"),
    Widths(5, 0, kContact, &T::R401, &T::R402, "(r401)", "(r402)"),
    Widths(6, 0, kMetal, &T::R501, &T::R502, "(r501)", "(r502)"),
    Widths(7, 0, kVia, &T::R601, &T::R602, "(r601)", "(r602)"),
    Widths(8, 0, kMetal2, &T::R701, &T::R702, "(r701)", "(r702)"),
    Widths(9, 3, kVia2, &T::R801, &T::R802, "(r801)", "(r802)"),
    Widths(9, 3, kMetal3, &T::R901, &T::R902, "(r901)", "(r902)"),
    Widths(10, 4, kVia3, &T::RA01, &T::RA02, "(ra01)", "(ra02)"),
    Widths(10, 4, kMetal4, &T::RB01, &T::RB02, "(rb01)", "(rb02)"),
    Widths(11, 5, kVia4, &T::RC01, &T::RC02, "(rc01)", "(rc02)"),
    Widths(11, 5, kMetal5, &T::RD01, &T::RD02, "(rd01)", "(rd02)"),
    {12, 0, Kind::LonelyContact, kContact, 0, nullptr, nullptr, "", "", 0},
    {13, 0, Kind::GateSize, kPoly, 0, &T::R303, nullptr, "(r303)", "(r303)", 0},
    Extends(14, kDiffn, kPoly, 1, &T::R306, "(r306)"),
    Extends(14, kDiffp, kPoly, 1, &T::R306, "(r306)"),
    Apart(15, 0, kNwell, kDiffn, &T::R204, "(r204)"),
    Apart(16, 0, kDiffp, kDiffn, &T::R205, "(r205)"),
    Surrounds(17, 0, kNwell, kDiffp, &T::R203, "(r203)"),
    Extends(18, kDiffp, kPoly, 2, &T::R307, "(r307)"),
    Extends(18, kDiffn, kPoly, 2, &T::R307, "(r307)"),
    Surrounds(19, 0, kMetal, kContact, &T::R403, "(r403)"),
    Surrounds(20, 0, kPoly, kContact, &T::R404, "(r404)"),
    Surrounds(21, 0, kDiffn, kContact, &T::R405, "(r405)"),
    Surrounds(21, 0, kDiffp, kContact, &T::R405, "(r405)"),
    Apart(22, 0, kContact, kVia, &T::R603, "(r603)"),
    Apart(23, 0, kContact, kPoly, &T::R406, "(r406)"),
    Apart(24, 0, kVia, kPoly, &T::R605, "(r605)"),
    Surrounds(25, 0, kMetal, kVia, &T::R604, "(r604)"),
    Surrounds(25, 0, kMetal2, kVia, &T::R604, "(r604)"),
    Apart(26, 3, kVia, kVia2, &T::R803, "(r803)"),
    Surrounds(26, 3, kMetal2, kVia2, &T::R804, "(r804)"),
    Surrounds(26, 3, kMetal3, kVia2, &T::R804, "(r804)"),
    Apart(27, 4, kVia2, kVia3, &T::RA03, "(ra03)"),
    Surrounds(27, 4, kMetal3, kVia3, &T::RA04, "(ra04)"),
    Surrounds(27, 4, kMetal4, kVia3, &T::RA04, "(ra04)"),
    Apart(28, 5, kVia3, kVia4, &T::RC03, "(rc03)"),
    Surrounds(28, 5, kMetal4, kVia4, &T::RC04, "(rc04)"),
    Surrounds(28, 5, kMetal5, kVia4, &T::RC04, "(rc04)"),
};

// Status panel 2 on overflow: the text differs between the procedures.
constexpr const char* kOverflow = "Drc overflow";
constexpr const char* kOverflowCapital = "Drc Overflow";

// The turning "DRC runs" text of status panel 1 while the checks go on.
class Marquee {
 public:
  explicit Marquee(Progress& progress) : progress_(progress) {}
  void Advance() {
    static constexpr const char* kFrames[] = {"DRC runs", "RC runs.", "C runs..", " runs.. ",
                                              "runs.. D", "uns.. DR", "ns.. DRC", "s.. DRC ",
                                              ".. DRC r", "  DRC ru", " DRC run"};
    ++counter_;
    ShowStatus2(progress_, kFrames[counter_ % std::size(kFrames)]);
  }
  void Restart() { counter_ = 0; }

 private:
  Progress& progress_;
  int counter_ = 0;
};

struct WidthRules {
  int32_t width, spacing;
  const char* widthLabel;
  const char* spacingLabel;
};

class Checker {
 public:
  Checker(const Layout& layout, const Technology& technology, const DrcOptions& options,
          Progress& progress, Marquee& marquee)
      : layout_(layout), technology_(technology), options_(options), progress_(progress),
        marquee_(marquee), grid_(layout) {}

  DrcReport Run();

 private:
  bool MayRun() const { return options_.runEveryCheck || result_.errorCount == 0; }
  bool HasBoxes(int layer) const {
    return layout_.wide.layerLast[layer] >= layout_.wide.layerFirst[layer];
  }
  const std::string& Name(int layer) const { return layout_.layers[layer].name; }
  int32_t Value(Rule rule) const { return technology_.*rule; }

  void RunCheck(const Check& c);
  bool Paint(std::span<const DrcPaint> paints, const std::string& check,
             const std::string& subject, const char* overflowText);

  void CheckWidthAndSpacing(const Check& c);
  void MeasureWidthAndSpacing(uint8_t code, const std::string& name, const WidthRules& rules);
  void WidthAndSpacingPass(const DrcLines& lines, uint8_t code, const std::string& name,
                           const WidthRules& rules);
  void CheckLonelyContacts();
  void CheckGateSize(const Check& c);
  void CheckSurrounding(const Check& c);
  void SurroundingPass(const DrcLines& lines, uint8_t outerCode, const std::string& outer,
                       const std::string& inner, int32_t rule, const char* label);
  void CheckDistance(const Check& c);
  void DistancePass(const DrcLines& lines, const std::string& what, int32_t rule,
                    const char* label);

  void Report(const DrcLines& lines, int line, int from, int to, const std::string& what,
              const char* label, int32_t value);
  Rect MarkRect(const DrcLines& lines, int line, int from, int to) const;

  const Layout& layout_;
  const Technology& technology_;
  const DrcOptions& options_;
  Progress& progress_;
  Marquee& marquee_;
  DrcGrid grid_;
  DrcReport result_;
};

std::string FinalMessage(const DrcReport& r);

DrcReport Checker::Run() {
  int order = 0;
  for (const Check& c : kChecks) {
    if (c.order != order) {
      order = c.order;
      marquee_.Advance();
    }
    if (technology_.META >= c.minMetals && MayRun()) RunCheck(c);
  }
  result_.maxColumns = grid_.MaxColumns();
  result_.maxRows = grid_.MaxRows();
  // A run that skipped checks for want of grid room has not shown the layout
  // clean, so it does not say so: its verdict is "DRC Incomplete" and its
  // message names the skipped checks instead of "No design rule error".
  result_.verdict = result_.errorCount > 0 ? "DRC Errors"
                    : result_.Complete()   ? "No Error"
                                           : "DRC Incomplete";
  result_.message = FinalMessage(result_);
  return std::move(result_);
}

void Checker::RunCheck(const Check& c) {
  switch (c.kind) {
    case Kind::WidthAndSpacing: return CheckWidthAndSpacing(c);
    case Kind::LonelyContact: return CheckLonelyContacts();
    case Kind::GateSize: return CheckGateSize(c);
    case Kind::Extension:
    case Kind::Surrounding:
      if (Value(c.rule) > 0) CheckSurrounding(c);
      return;
    case Kind::Distance:
      if (Value(c.rule) > 0) CheckDistance(c);
      return;
  }
}

// Builds the grid of one check. On overflow the check is abandoned and
// listed as skipped.
bool Checker::Paint(std::span<const DrcPaint> paints, const std::string& check,
                    const std::string& subject, const char* overflowText) {
  if (!grid_.Build(paints)) {
    ShowStatus3(progress_, overflowText);
    result_.skipped.push_back(check);
    return false;
  }
  ShowStatus(progress_, subject);
  return true;
}

void Checker::CheckWidthAndSpacing(const Check& c) {
  if (!HasBoxes(c.first)) return;
  const std::string& name = Name(c.first);
  const DrcPaint paint[] = {{c.first, 1}};
  if (!Paint(paint, name + " width and spacing", name, kOverflow)) return;
  MeasureWidthAndSpacing(1, name, {Value(c.rule), Value(c.rule2), c.label, c.label2});
}

void Checker::MeasureWidthAndSpacing(uint8_t code, const std::string& name,
                                     const WidthRules& rules) {
  WidthAndSpacingPass(grid_.Columns(), code, name, rules);
  WidthAndSpacingPass(grid_.Rows(), code, name, rules);
}

// Walks each line run by run, where a run is a stretch of cells whose code is
// `code`. A and B follow the neighbouring lines (next and previous) from the
// cell before the run: where such a neighbour stops, the stretch measured from
// the run's start is a width across a bend of the shape. The row pass differs
// from the column pass in three details: it tests B only when A did not just
// end, it looks for a corner contact at the run's start instead of its end,
// and its width text says "horiz." instead of "vert.".
void Checker::WidthAndSpacingPass(const DrcLines& lines, uint8_t code, const std::string& name,
                                  const WidthRules& rules) {
  const bool columnPass = lines.columns;
  const std::string bendWhat = name + (columnPass ? " vert. width " : " horiz. width ");
  const auto covered = [&](int line, int position) { return lines.At(line, position) == code; };
  int line = 1, start = 1;
  const auto widthBelowRule = [&](int end, const std::string& what) {
    if (lines.Distance(start, end) < rules.width && end < lines.length)
      Report(lines, line, start, end, what, rules.widthLabel, rules.width);
  };
  const auto angle = [&](int position) {
    Report(lines, line + 1, position, position, name + " angle ", rules.widthLabel, rules.width);
  };
  for (line = 1; line <= lines.count; ++line) {
    start = 1;
    while (start < lines.length && !covered(line, start)) ++start;
    while (start < lines.length) {
      bool a = covered(line + 1, start - 1), b = covered(line - 1, start - 1);
      if (!columnPass && a && !covered(line + 1, start)) angle(start);
      int k = start;
      do {
        ++k;
        const bool aEnds = a && !covered(line + 1, k);
        if (aEnds) {
          a = false;
          widthBelowRule(k, bendWhat);
        }
        if ((columnPass || !aEnds) && b && !covered(line - 1, k)) {
          b = false;
          widthBelowRule(k, bendWhat);
        }
      } while (covered(line, k));
      if (columnPass && !covered(line + 1, k - 1) && covered(line + 1, k)) angle(k);
      widthBelowRule(k, name + " width ");
      int next = k;
      while (next < lines.length && !covered(line, next)) ++next;
      if (next < lines.length && lines.Distance(k, next) < rules.spacing)
        Report(lines, line, k, next, " spacing between " + name, rules.spacingLabel,
               rules.spacing);
      start = next;
    }
  }
}

// A contact covered by neither metal nor diffusion. The editor reports the
// first such cell only; a run through every check reports each lonely area
// once, at its cells that have no lonely neighbour on the left or below.
void Checker::CheckLonelyContacts() {
  if (!HasBoxes(kContact)) return;
  constexpr uint8_t kContactOnly = 1;
  const DrcPaint paints[] = {{kContact, 1}, {kMetal, 2}, {kDiffn, 4}, {kDiffp, 8}};
  if (!Paint(paints, "lonely contact", "Scan lonely contact", kOverflow)) return;
  const DrcLines columns = grid_.Columns();
  const std::string what = Name(kContact) + " alone here";
  for (int i = 1; i <= columns.count; ++i)
    for (int j = 1; j <= columns.length; ++j) {
      if (columns.At(i, j) != kContactOnly || columns.At(i - 1, j) == kContactOnly ||
          columns.At(i, j - 1) == kContactOnly)
        continue;
      Report(columns, i, j, j, what, "", 0);
      if (!options_.runEveryCheck) return;
    }
}

// Every place where poly crosses diffusion: the gate regions (poly over
// diffn, then poly over diffp) measured as layers of their own.
void Checker::CheckGateSize(const Check& c) {
  const bool nmos = HasBoxes(kDiffn), pmos = HasBoxes(kDiffp);
  if (!HasBoxes(kPoly) || (!nmos && !pmos)) return;
  const DrcPaint paints[] = {{kPoly, 1}, {kDiffn, 2}, {kDiffp, 4}};
  if (!Paint(paints, "MOS gate size", "Check MOS gates", kOverflowCapital)) return;
  const WidthRules rules{Value(c.rule), 0, c.label, c.label2};
  if (nmos && MayRun()) MeasureWidthAndSpacing(1 | 2, Name(kGaten), rules);
  if (pmos && MayRun()) MeasureWidthAndSpacing(1 | 4, Name(kGatep), rules);
}

void Checker::CheckSurrounding(const Check& c) {
  if (!HasBoxes(c.first) || !HasBoxes(c.second)) return;
  const bool outerFirst = c.outerCode == 1;
  const std::string& outer = Name(outerFirst ? c.first : c.second);
  const std::string& inner = Name(outerFirst ? c.second : c.first);
  const std::string subject = outer + "-" + inner;
  const char* kind = c.kind == Kind::Extension ? " extension" : " surrounding";
  const DrcPaint paints[] = {{c.first, 1}, {c.second, 2}};
  if (!Paint(paints, subject + kind, subject, kOverflow)) return;
  SurroundingPass(grid_.Columns(), c.outerCode, outer, inner, Value(c.rule), c.label);
  SurroundingPass(grid_.Rows(), c.outerCode, outer, inner, Value(c.rule), c.label);
}

// Along each line, the bands of the outer layer alone (code `outerCode`)
// that lie between the outside and the region covered by both layers must be
// at least `rule` long, and that region must not touch the outside directly.
void Checker::SurroundingPass(const DrcLines& lines, uint8_t outerCode, const std::string& outer,
                              const std::string& inner, int32_t rule, const char* label) {
  const std::string touchWhat = " extra " + outer +
                                (lines.columns ? " surronding " : " surrounding ") + inner + " ";
  const std::string bandWhat = " extra " + outer + " surronding " + inner;
  for (int line = 1; line <= lines.count; ++line) {
    bool fromOutside = true;
    int j = 1;
    while (j < lines.length) {
      for (; j < lines.length && lines.At(line, j) != outerCode; ++j) {
        const uint8_t cell = lines.At(line, j), before = lines.At(line, j - 1);
        const bool touches = fromOutside ? cell == kBothLayers && before == 0
                                         : cell == 0 && before == kBothLayers;
        if (touches) Report(lines, line, j, j, touchWhat, label, rule);
      }
      const int bandStart = j;
      int bandEnd = j;
      while (lines.At(line, bandEnd) == outerCode) ++bandEnd;
      const bool toOutside = lines.At(line, bandEnd) == 0;
      if (fromOutside != toOutside && lines.Distance(bandStart, bandEnd) < rule &&
          bandEnd < lines.length)
        Report(lines, line, bandStart, bandEnd, bandWhat, label, rule);
      fromOutside = toOutside;
      j = bandEnd;
    }
  }
}

void Checker::CheckDistance(const Check& c) {
  if (!HasBoxes(c.first) || !HasBoxes(c.second)) return;
  const std::string subject = Name(c.first) + "-" + Name(c.second);
  const DrcPaint paints[] = {{c.first, 1}, {c.second, 2}};
  if (!Paint(paints, subject + " distance", subject, kOverflowCapital)) return;
  const std::string what = " distance between " + Name(c.first) + " and " + Name(c.second);
  DistancePass(grid_.Columns(), what, Value(c.rule), c.label);
  DistancePass(grid_.Rows(), what, Value(c.rule), c.label);
}

// Along each line, consecutive runs of different codes closer than `rule`:
// two different materials too close, or abutting without overlap. A run
// that continues into the overlap of both layers is not reported.
void Checker::DistancePass(const DrcLines& lines, const std::string& what, int32_t rule,
                           const char* label) {
  const auto nextFilled = [&](int line, int j) {
    while (j < lines.length && lines.At(line, j) == 0) ++j;
    return j;
  };
  const auto endOfRun = [&](int line, int j) {
    const uint8_t code = lines.At(line, j);
    while (lines.At(line, j) == code) ++j;
    return j;
  };
  for (int line = 1; line <= lines.count; ++line) {
    int start = nextFilled(line, 1);
    if (start >= lines.length) continue;
    uint8_t code = lines.At(line, start);
    int end = endOfRun(line, start);
    while (end < lines.length) {
      start = nextFilled(line, end);
      if (start >= lines.length) break;
      const uint8_t next = lines.At(line, start);
      const int64_t gap = lines.Distance(end, start);
      if (gap < rule && next != code && (gap != 0 || (code != kBothLayers && next != kBothLayers)))
        Report(lines, line, end, start, what, label, rule);
      code = next;
      end = endOfRun(line, start);
    }
  }
}

// A violation measured along `line` from position `from` to `to`.
void Checker::Report(const DrcLines& lines, int line, int from, int to, const std::string& what,
                     const char* label, int32_t value) {
  ++result_.errorCount;
  const DrcViolation v{label, what, MarkRect(lines, line, from, to), lines.columns, value};
  if (result_.errorCount == 1) result_.firstText = DrcExplanation(v);
  if (result_.violations.size() < kDrcMaxListedViolations) result_.violations.push_back(v);
}

// The lambda rectangle between the two grid lines measured; where both lie
// on the same line across or along, the second moves to the next grid line
// so that the mark has a size.
Rect Checker::MarkRect(const DrcLines& lines, int line, int from, int to) const {
  const int nextLine = line + 1;
  if (to == from) ++to;
  int i1 = from, i2 = to, j1 = line, j2 = nextLine;
  if (lines.columns) {
    std::swap(i1, j1);
    std::swap(i2, j2);
  }
  i2 = std::min(i2, grid_.NX());
  j2 = std::min(j2, grid_.NY());
  return {grid_.X(i1), grid_.Y(j1), grid_.X(i2), grid_.Y(j2)};
}

std::string FinalMessage(const DrcReport& r) {
  if (!r.Complete()) {
    const size_t n = r.skipped.size();
    return std::string(r.errorCount > 0 ? "Design rule errors detected. " : "") +
           "Design rule check incomplete: " + std::to_string(n) + (n == 1 ? " check" : " checks") +
           " skipped, too many distinct coordinates";
  }
  if (r.errorCount > 0) return "Design rule errors detected. Good luck and keep smiling.";
  const double used = 100.0 * std::max(double(r.maxColumns) / kDrcMaxColumns,
                                       double(r.maxRows) / kDrcMaxRows);
  return "No design rule error. Congratulations (" + FormatFixed(used, 3, 1) + "% memory used)";
}

}  // namespace

std::string DrcExplanation(const DrcViolation& v) {
  if (v.label.empty()) return v.what;
  return "The " + v.what + " is less than " + std::to_string(v.ruleValue) + " lambda " + v.label;
}

DrcReport RunDesignRuleCheck(Layout& layout, const Technology& technology,
                             const DrcOptions& options, Progress& progress) {
  Marquee marquee(progress);
  marquee.Advance();
  Purge(layout);
  OrderBoxesByLayer(layout, progress);
  // The grid's empty frame lies just outside the extent, which a deletion may
  // have left larger than the layout.
  ComputeExtent(layout);
  marquee.Restart();
  Checker checker(layout, technology, options, progress, marquee);
  return checker.Run();
}

}  // namespace tarnisk
