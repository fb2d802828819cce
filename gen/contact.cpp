#include "gen/contact.h"

namespace tarnisk {

std::optional<ContactStack> ContactStackOf(const Technology& t, int kind) {
  const auto stack = [](int lower, int cut, int upper, int32_t size, int32_t lowerSurround,
                        int32_t upperSurround, int32_t pitchSurround) {
    return ContactStack{
        lower, cut, upper, size, lowerSurround, upperSurround, 2 * int64_t{pitchSurround} + size};
  };
  switch (kind) {
    case kContactDiffp: return stack(kDiffp, kContact, kMetal, t.R401, t.R405, t.R403, t.R403);
    case kContactDiffn: return stack(kDiffn, kContact, kMetal, t.R401, t.R405, t.R403, t.R403);
    case kContactPoly: return stack(kPoly, kContact, kMetal, t.R401, t.R404, t.R403, t.R403);
    case kContactVia: return stack(kMetal, kVia, kMetal2, t.R601, t.R604, t.R604, t.R604);
    case kContactVia2: return stack(kMetal2, kVia2, kMetal3, t.R801, t.R804, t.R804, t.R804);
    case kContactVia3: return stack(kMetal3, kVia3, kMetal4, t.RA01, t.RA04, t.RA04, t.RA04);
    case kContactVia4: return stack(kMetal4, kVia4, kMetal5, t.RC01, t.RC04, t.RC04, t.RC04);
    default: return std::nullopt;
  }
}

namespace {

// The cut square centred on (x, y) (its lower-left corner half a cut, halved
// toward zero, below and left of the centre) and the two layers around it.
void DrawOneContact(LayoutWriter& out, const ContactStack& c, int64_t x, int64_t y) {
  const int64_t h = c.cutSize / 2;
  out.Square(x - h, y - h, c.cutSize, c.cut);
  const int64_t lower = c.lowerSurround, upper = c.upperSurround;
  out.Square(x - h - lower, y - h - lower, c.cutSize + 2 * lower, c.lower);
  out.Square(x - h - upper, y - h - upper, c.cutSize + 2 * upper, c.upper);
}

}  // namespace

void DrawContactArray(LayoutWriter& out, const Technology& t, Point first, int rows, int columns,
                      int kind) {
  const std::optional<ContactStack> stack = ContactStackOf(t, kind);
  if (!stack) return;
  // No table holds more contacts than boxes, whatever the fields ask for.
  int64_t budget = kMaxBoxes;
  for (int i = 0; i < rows && budget > 0 && !out.Full(); ++i)
    for (int j = 0; j < columns && budget > 0 && !out.Full(); ++j, --budget)
      DrawOneContact(out, *stack, first.x + i * stack->pitch, first.y + j * stack->pitch);
}

void DrawPolarizationRing(LayoutWriter& out, const Technology& t, Point first, int rows,
                          int columns, Polarization polarization) {
  if (polarization == Polarization::None) return;
  const bool well = polarization == Polarization::NwellTap;
  const int diffusion = well ? kDiffn : kDiffp;
  // Each side is a band one contact cell wide, centred on the corner lines,
  // a diffusion-to-diffusion spacing away from the array's contacts.
  const int64_t cc = int64_t{t.R401} + 2 * int64_t{t.R405};
  const int64_t d = cc + t.R205, h = cc / 2;
  const int64_t x0 = first.x - d, y0 = first.y - d;
  const int64_t x1 = first.x + (rows - 1) * cc + d, y1 = first.y + (columns - 1) * cc + d;
  const auto band = [&](int64_t ax, int64_t ay, int64_t bx, int64_t by, int layer) {
    out.Box(ax - h, ay - h, bx - h + cc, by - h + cc, layer);
  };
  band(x0, y0, x0, y1, kMetal);
  band(x0, y0, x1, y0, kMetal);
  band(x1, y0, x1, y1, kMetal);
  band(x0, y0, x0, y1, diffusion);
  band(x0, y0, x1, y0, diffusion);
  band(x1, y0, x1, y1, diffusion);
  band(x0, y1, x1, y1, diffusion);
  const int kind = well ? kContactDiffn : kContactDiffp;
  for (const auto& [cx, cy] : {std::pair{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}})
    DrawContact(out, t, {ClampCoordinate(cx), ClampCoordinate(cy)}, kind);
  if (well) {
    const int64_t r = t.R203;
    out.Box(x0 - h - r, y0 - h - r, x1 - h + cc + r, y1 - h + cc + r, kNwell);
  }
}

}  // namespace tarnisk
