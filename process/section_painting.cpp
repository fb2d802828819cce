#include "process/section_painting.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "core/number_format.h"

namespace tarnisk {

namespace {

constexpr int kLeftMargin = 56, kRightMargin = 150, kTopMargin = 24, kBottomMargin = 40;
constexpr Colour kBackground = MakeColour(255, 255, 255);
constexpr Colour kInk = MakeColour(0, 0, 0);
constexpr Colour kGrid = MakeColour(120, 120, 120);
constexpr Colour kMetalFills[] = {MakeColour(60, 100, 230), MakeColour(120, 70, 200),
                                  MakeColour(30, 150, 180), MakeColour(90, 160, 60),
                                  MakeColour(190, 120, 50)};
const char* kMicron = "\xC2\xB5m";

int MetalIndex(int layer) { return layer == kMetal ? 0 : std::clamp((layer - kMetal2) / 2 + 1, 0, 4); }

Colour FillOf(Material m, int layer) {
  switch (m) {
    case Material::Substrate: return MakeColour(215, 215, 215);
    case Material::Nwell: return MakeColour(185, 225, 185);
    case Material::DiffusionN: return MakeColour(70, 170, 80);
    case Material::DiffusionP: return MakeColour(205, 160, 70);
    case Material::Oxide: return MakeColour(232, 240, 255);
    case Material::Poly: return MakeColour(220, 50, 50);
    case Material::Contact: return MakeColour(60, 60, 60);
    case Material::Metal: return kMetalFills[MetalIndex(layer)];
    case Material::Via: return MakeColour(110, 110, 110);
    case Material::Passivation: return MakeColour(250, 240, 190);
    case Material::Nitride: return MakeColour(170, 170, 190);
  }
  return kBackground;
}

// The outline of a piece: darker than its fill; oxide has none, so that the
// column edges do not show through the dielectric.
bool Outlined(Material m) { return m != Material::Oxide && m != Material::Substrate; }

Colour Darker(Colour c) {
  const auto part = [&](int shift) { return uint8_t(((c >> shift) & 0xFF) * 3 / 5); };
  return MakeColour(part(16), part(8), part(0));
}

// A tick spacing of 1, 2 or 5 times a power of ten that gives about `count`
// ticks over `span`.
double TickStep(double span, int count) {
  const double raw = span / std::max(1, count);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

std::string TickLabel(double v, double step) {
  if (std::abs(v) < step * 1e-6) v = 0;  // no "-0"
  return FormatFixed(v, 0, step < 1 ? 1 : 0);
}

void Fill(DrawingSurface& out, int x1, int y1, int x2, int y2, Colour fill, bool outline) {
  out.SetBrush(fill);
  out.SetPen(fill, 1, PenStyle::Solid, PenMode::Copy);
  out.FillRect(x1, y1, x2, y2);
  if (!outline) return;
  out.SetHollowBrush();
  out.SetPen(Darker(fill), 1, PenStyle::Solid, PenMode::Copy);
  out.Rectangle(x1, y1, x2, y2);
}

void PaintPieces(DrawingSurface& out, const ProcessSection& section, const SectionFrame& f,
                 double lambda) {
  const int right = f.left + f.width, bottom = f.top + f.height;
  for (const SectionPiece& p : section.pieces) {
    const int x1 = std::max(f.ToPixelX(p.x0 * lambda), f.left);
    const int x2 = std::min(f.ToPixelX(p.x1 * lambda), right);
    const int y1 = std::max(f.ToPixelY(p.top), f.top);
    const int y2 = std::min(f.ToPixelY(p.bottom), bottom);
    if (x1 < x2 && y1 < y2) Fill(out, x1, y1, x2, y2, FillOf(p.material, p.layer), Outlined(p.material));
  }
}

void PaintConductorNumbers(DrawingSurface& out, const ProcessSection& section,
                           const SectionFrame& f, double lambda) {
  out.Text(f.left + 4, 4, "Cond.", 8, kFontBold, kInk);
  for (const CutConductor& c : section.conductors) {
    const int x = (f.ToPixelX(c.x0 * lambda) + f.ToPixelX(c.x1 * lambda)) / 2 - 4;
    const int y = (f.ToPixelY(c.top) + f.ToPixelY(c.bottom)) / 2 - 6;
    if (x >= f.left && x < f.left + f.width && y >= f.top && y < f.top + f.height)
      out.Text(x, y, std::to_string(c.number), 8, kFontBold, MakeColour(255, 255, 255));
  }
}

void PaintScales(DrawingSurface& out, const SectionFrame& f) {
  const int bottom = f.top + f.height, right = f.left + f.width;
  out.SetPen(kInk, 1, PenStyle::Solid, PenMode::Copy);
  out.Line(f.left, f.top, f.left, bottom);
  out.Line(f.left, bottom, right, bottom);
  const double ys = TickStep(f.yMax - f.yMin, 8);
  for (double y = std::ceil(f.yMin / ys) * ys; y <= f.yMax; y += ys) {
    const int py = f.ToPixelY(y);
    out.Line(f.left - 4, py, f.left, py);
    out.Text(4, py - 7, TickLabel(y, ys), 7, kFontPlain, kInk);
  }
  const double xs = TickStep(f.xMax - f.xMin, 8);
  for (double x = std::ceil(f.xMin / xs) * xs; x <= f.xMax; x += xs) {
    const int px = f.ToPixelX(x);
    out.Line(px, bottom, px, bottom + 4);
    out.Text(px - 10, bottom + 6, TickLabel(x, xs), 7, kFontPlain, kInk);
  }
  out.Text(4, f.top - 18, kMicron, 8, kFontPlain, kInk);
  out.Text(right - 80, bottom + 22, std::string(kMicron) + " along the cut", 7, kFontPlain, kInk);
  // The substrate surface.
  out.SetPen(kGrid, 1, PenStyle::Dotted, PenMode::Copy);
  if (f.yMin < 0 && f.yMax > 0) out.Line(f.left, f.ToPixelY(0), right, f.ToPixelY(0));
}

void PaintLegend(DrawingSurface& out, const ProcessSection& section, int width) {
  std::set<std::pair<int, int>> shown;  // (material, layer)
  for (const SectionPiece& p : section.pieces)
    shown.insert({int(p.material), p.material == Material::Metal || p.material == Material::Via ? p.layer : 0});
  int y = kTopMargin;
  const int x = width - kRightMargin + 12;
  for (const auto& [m, layer] : shown) {
    const Material material = Material(m);
    Fill(out, x, y, x + 14, y + 10, FillOf(material, layer), true);
    out.Text(x + 20, y - 2, MaterialName(material, layer), 8, kFontPlain, kInk);
    y += 16;
  }
}

}  // namespace

int SectionFrame::ToPixelX(double um) const {
  return left + int(std::lround((um - xMin) / (xMax - xMin) * width));
}
int SectionFrame::ToPixelY(double um) const {
  return top + height - int(std::lround((um - yMin) / (yMax - yMin) * height));
}
double SectionFrame::ToMicronX(int pixel) const { return xMin + (pixel - left) * (xMax - xMin) / width; }
double SectionFrame::ToMicronY(int pixel) const {
  return yMin + (top + height - pixel) * (yMax - yMin) / height;
}

SectionFrame FrameOf(const ProcessSection& section, double lambda, int width, int height,
                     double zoom) {
  SectionFrame f;
  f.left = kLeftMargin, f.top = kTopMargin;
  f.width = std::max(1, width - kLeftMargin - kRightMargin);
  f.height = std::max(1, height - kTopMargin - kBottomMargin);
  double top = 1;
  for (const SectionPiece& p : section.pieces) top = std::max(top, p.top);
  const double x0 = section.cut.from * lambda, x1 = std::max(section.cut.to * lambda, x0 + 1e-3);
  const double y0 = -kSubstrateDepth, y1 = top * 1.05;
  zoom = std::clamp(zoom, kMinSectionZoom, kMaxSectionZoom);
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const double hx = (x1 - x0) / 2 / zoom, hy = (y1 - y0) / 2 / zoom;
  f.xMin = cx - hx, f.xMax = cx + hx, f.yMin = cy - hy, f.yMax = cy + hy;
  return f;
}

std::string MaterialName(Material material, int layer) {
  switch (material) {
    case Material::Substrate: return "P- substrate";
    case Material::Nwell: return "N- well";
    case Material::DiffusionN: return "n+ diffusion";
    case Material::DiffusionP: return "p+ diffusion";
    case Material::Oxide: return "oxide";
    case Material::Poly: return "poly";
    case Material::Contact: return "contact";
    case Material::Metal: return layer == kMetal ? "metal1" : "metal" + std::to_string(MetalIndex(layer) + 1);
    case Material::Via: return layer == kVia ? "via1" : "via" + std::to_string((layer - kVia) / 2 + 1);
    case Material::Passivation: return "passivation";
    case Material::Nitride: return "nitride";
  }
  return "";
}

void PaintSection(DrawingSurface& out, const ProcessSection& section, double lambda, double zoom) {
  out.Clear(kBackground);
  const SectionFrame f = FrameOf(section, lambda, out.Width(), out.Height(), zoom);
  PaintPieces(out, section, f, lambda);
  PaintConductorNumbers(out, section, f, lambda);
  PaintScales(out, f);
  PaintLegend(out, section, out.Width());
}

}  // namespace tarnisk
