#include "session/analysis/drc_command.h"

#include <algorithm>

#include "session/editor/ruler.h"
#include "session/editor/view.h"
#include "session/session.h"

namespace tarnisk {

namespace {

constexpr Colour kMarkColour = MakeColour(255, 255, 255);
constexpr int kBarPixels = 5;
constexpr int kTextPointSize = 9;
constexpr int kTextDrop = 10;  // pixels below the centre of the first mark

bool Visible(const Session& s, const Rect& r) {
  const Rect& w = s.layout.wide.window;
  return s.view.surface && r.xmin <= w.xmax && r.xmax >= w.xmin && r.ymin <= w.ymax &&
         r.ymax >= w.ymin;
}

// A dimension line across the measured gap: a 5-pixel bar on each edge, the
// centre line between them and a 5-pixel stub beyond each bar, then the
// ruler between the two edges, all in white.
void DrawMark(Session& s, const Rect& r, bool vertical) {
  DrawingSurface& out = *s.view.surface;
  SetDrawingColour(s, kMarkColour);
  const int x1 = LambdaToPixelX(s, r.xmin), x2 = LambdaToPixelX(s, r.xmax);
  const int y1 = LambdaToPixelY(s, r.ymin), y2 = LambdaToPixelY(s, r.ymax);
  const int cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, half = kBarPixels / 2;
  Point a, b;
  if (vertical) {
    out.Line(cx - half, y1, cx + half, y1);
    out.Line(cx - half, y2, cx + half, y2);
    out.Line(cx, y1, cx, y2);
    out.Line(cx, y1, cx, y1 + kBarPixels);
    out.Line(cx, y2, cx, y2 - kBarPixels);
    a = {cx, y1}, b = {cx, y2};
  } else {
    out.Line(x1, cy - half, x1, cy + half);
    out.Line(x2, cy - half, x2, cy + half);
    out.Line(x1, cy, x2, cy);
    out.Line(x1, cy, x1 - kBarPixels, cy);
    out.Line(x2, cy, x2 + kBarPixels, cy);
    a = {x1, cy}, b = {x2, cy};
  }
  const Colour rulerColour = s.view.colours.ruler;
  s.view.colours.ruler = kMarkColour;
  Ruler(s, a, b);
  s.view.colours.ruler = rulerColour;
}

void DrawExplanation(Session& s, const Rect& r, const std::string& text) {
  DrawingSurface* out = s.view.surface;
  if (!out) return;
  const int cx = (LambdaToPixelX(s, r.xmin) + LambdaToPixelX(s, r.xmax)) / 2;
  const int cy = (LambdaToPixelY(s, r.ymin) + LambdaToPixelY(s, r.ymax)) / 2;
  out->Text(cx, cy + kTextDrop, text, kTextPointSize, kFontPlain, kMarkColour);
}

// Lets window events run during a check without writing the status panels,
// which keep the messages and the verdict of the check the user asked for.
class QuietProgress : public Progress {
 public:
  explicit QuietProgress(Progress& shown) : shown_(shown) {}
  void Show(int, const std::string&) override { shown_.Yield(); }
  void Yield() override { shown_.Yield(); }
  bool StopRequested() const override { return shown_.StopRequested(); }

 private:
  Progress& shown_;
};

}  // namespace

void ShowViolation(Session& s, const std::vector<DrcViolation>& violations, size_t index) {
  if (index >= violations.size()) return;
  const Rect& r = violations[index].rect;
  SetWindow(s, ClampCoordinate(int64_t{r.xmin} - kDrcZoomMargin),
            ClampCoordinate(int64_t{r.ymin} - kDrcZoomMargin),
            ClampCoordinate(int64_t{r.xmax} + kDrcZoomMargin),
            ClampCoordinate(int64_t{r.ymax} + kDrcZoomMargin));
  for (const DrcViolation& v : violations)
    if (Visible(s, v.rect)) DrawMark(s, v.rect, v.vertical);
  DrawExplanation(s, r, DrcExplanation(violations[index]));
}

void ShowDrcReport(Session& s, const DrcReport& report) {
  ShowViolation(s, report.violations, 0);
  ShowStatus2(s.platform, report.verdict);
}

DrcReport DesignRuleCheckerCommand(Session& s, const DrcOptions& options) {
  ShowStatus(s.platform, "Design Rule Checker ...");
  DrcReport report = RunDesignRuleCheck(s.layout, s.technology, options, s.progress);
  s.checkGridColumns = report.maxColumns, s.checkGridRows = report.maxRows;
  ShowDrcReport(s, report);
  if (report.errorCount == 0) Redraw(s);
  ShowStatus(s.platform, report.message);
  return report;
}

DrcReport ListEveryViolation(Session& s) {
  QuietProgress quiet(s.progress);
  return RunDesignRuleCheck(s.layout, s.technology, {.runEveryCheck = true}, quiet);
}

std::string ViolationLocation(const DrcViolation& v) {
  const Rect& r = v.rect;
  return std::to_string(r.xmin) + "," + std::to_string(r.ymin) + " - " + std::to_string(r.xmax) +
         "," + std::to_string(r.ymax);
}

}  // namespace tarnisk
