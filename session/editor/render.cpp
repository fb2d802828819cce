#include "session/editor/render.h"

#include <algorithm>

#include "session/session.h"
#include "session/editor/view.h"

namespace tarnisk {

namespace {

constexpr Colour kGrey = MakeColour(128, 128, 128);
constexpr int kTextPointSize = 9;

Colour LayerColour(const LayerInfo& layer) {
  return MakeColour(layer.colour.r, layer.colour.g, layer.colour.b);
}

struct ScreenRect {
  int x1, y1, x2, y2;  // left, top, right, bottom
};

// Converted corners, or false when the box lies wholly outside the client
// area. The rest is clipped one pixel beyond the client area so that the
// outline of a box that runs off the screen stays off it.
bool BoxOnScreen(const Session& s, const Box& b, ScreenRect& r) {
  const int w = s.view.clientWidth, h = s.view.clientHeight;
  r = {LambdaToPixelX(s, b.x1), LambdaToPixelY(s, b.y2), LambdaToPixelX(s, b.x2),
       LambdaToPixelY(s, b.y1)};
  if (r.x2 < 0 || r.x1 >= w || r.y2 < 0 || r.y1 >= h) return false;
  r = {std::max(r.x1, -1), std::max(r.y1, -1), std::min(r.x2, w), std::min(r.y2, h)};
  return true;
}

void Outline(Session& s, DrawingSurface& out, const ScreenRect& r, Colour colour) {
  SetDrawingColour(s, colour);
  out.SetHollowBrush();
  out.Rectangle(r.x1, r.y1, r.x2, r.y2);
}

void OutlineWithPattern(Session& s, DrawingSurface& out, const ScreenRect& r, Colour colour,
                        const FillPattern& pattern) {
  Outline(s, out, r, colour);
  out.PatternFill(r.x1, r.y1, r.x2, r.y2, pattern, colour);
}

void DrawByStyle(Session& s, DrawingSurface& out, const ScreenRect& r, const LayerInfo& layer) {
  const Colour colour = LayerColour(layer);
  switch (layer.style) {
    case kStyleFilled:
      SetDrawingColour(s, colour);
      out.Rectangle(r.x1, r.y1, r.x2, r.y2);
      break;
    case kStyleDiagonals:
      Outline(s, out, r, colour);
      out.Line(r.x1, r.y1, r.x2, r.y2);
      out.Line(r.x1, r.y2, r.x2, r.y1);
      break;
    case kStylePattern:
      OutlineWithPattern(s, out, r, colour, layer.pattern);
      break;
    case kStyleInsetCross: {
      Outline(s, out, {r.x1 + 1, r.y1 + 1, r.x2 - 1, r.y2 - 1}, colour);
      const int cx = (r.x1 + r.x2) / 2, cy = (r.y1 + r.y2) / 2;
      out.Line(cx, r.y1 + 1, cx, r.y2 - 1);
      out.Line(r.x1 + 1, cy, r.x2 - 1, cy);
      break;
    }
    default:
      Outline(s, out, r, colour);
  }
}

void DrawNormalBox(Session& s, DrawingSurface& out, const ScreenRect& r, const LayerInfo& layer) {
  const Colour foreground = s.view.colours.foreground;
  if (layer.isProtected) Outline(s, out, r, layer.colourMode ? LayerColour(layer) : foreground);
  else if (layer.colourMode) DrawByStyle(s, out, r, layer);
  else OutlineWithPattern(s, out, r, foreground, layer.pattern);
}

std::string TextLabel(const LayoutText& t) {
  if (t.property == kPropertyVdd) return t.text + "+";
  if (t.property == kPropertyVss) return t.text + "-";
  return t.text;
}

unsigned TextStyle(const LayoutText& t) {
  unsigned style = kFontPlain;
  if (t.visible) style |= kFontItalic;
  if (t.property == kPropertyVdd || t.property == kPropertyVss) style |= kFontUnderline;
  if (t.property == kPropertyPulse || t.property == kPropertyClock) style |= kFontBold;
  return style;
}

// A small pulse after the label of pulse and clock texts; a clock closes it
// with a rising edge.
void DrawWaveformSign(DrawingSurface& out, int b, int y, bool clock) {
  out.Line(b + 2, y + 10, b + 7, y + 10);
  out.Line(b + 7, y + 10, b + 7, y + 5);
  out.Line(b + 7, y + 5, b + 12, y + 5);
  out.Line(b + 12, y + 5, b + 12, y + 10);
  out.Line(b + 12, y + 10, b + 17, y + 10);
  if (clock) out.Line(b + 17, y + 10, b + 17, y + 5);
}

void AnchorSquare(DrawingSurface& out, int x, int y) { out.Rectangle(x - 1, y - 1, x + 1, y + 1); }

}  // namespace

void DrawAll(Session& s) {
  for (int i = 1; i <= s.layout.texts.Count(); ++i) DrawText(s, i);
  for (int i = 1; i <= s.layout.boxes.Count(); ++i) DrawBox(s, i);
  for (int i = 1; i <= s.layout.resistances.Count(); ++i) DrawResistanceMark(s, i);
}

void DrawBox(Session& s, int index) {
  DrawingSurface* out = s.view.surface;
  const Box& b = s.layout.boxes[index];
  ScreenRect r;
  if (!out || b.state == kErased || !BoxOnScreen(s, b, r)) return;
  if (b.state == kNormal) {
    DrawNormalBox(s, *out, r, s.layout.layers[b.layer]);
  } else if (b.state == kMarked) {
    Outline(s, *out, r, kGrey);
  } else {
    out->SetPen(b.highlightColour, 1, PenStyle::Solid, PenMode::Copy);
    out->SetBrush(b.highlightColour);
    out->FillRect(r.x1, r.y1, r.x2, r.y2);
  }
}

void DrawText(Session& s, int index) {
  DrawingSurface* out = s.view.surface;
  const LayoutText& t = s.layout.texts[index];
  if (!out || t.state == 0) return;
  const Colour fg = s.view.colours.foreground;
  const int x = LambdaToPixelX(s, t.x), y = LambdaToPixelY(s, t.y);
  const std::string label = TextLabel(t);
  out->Text(x, y, label, kTextPointSize, TextStyle(t), fg);
  SetDrawingColour(s, fg);
  out->SetHollowBrush();
  AnchorSquare(*out, x, y);
  if (t.property == kPropertyPulse || t.property == kPropertyClock)
    DrawWaveformSign(*out, x + 6 * int(label.size()), y, t.property == kPropertyClock);
}

void DrawResistanceMark(Session& s, int index) {
  DrawingSurface* out = s.view.surface;
  const ResistanceMark& m = s.layout.resistances[index];
  if (!out || m.state == 0) return;
  const Colour fg = s.view.colours.foreground;
  const int p1 = LambdaToPixelX(s, m.x), y = LambdaToPixelY(s, m.y);
  const int p2 = LambdaToPixelX(s, double(m.x) + 5);
  const int k = (p2 - p1) / 6;
  out->Text(p1, y + 3, m.text, kTextPointSize, kFontPlain, fg);
  SetDrawingColour(s, fg);
  out->SetHollowBrush();
  AnchorSquare(*out, p1, y);
  AnchorSquare(*out, p2, y);
  const int xs[] = {p1, p1 + k, p1 + 2 * k, p1 + 4 * k, p1 + 5 * k, p2};
  const int ys[] = {y, y, y - k, y + k, y, y};
  for (int i = 0; i + 1 < 6; ++i) out->Line(xs[i], ys[i], xs[i + 1], ys[i + 1]);
}

}  // namespace tarnisk
