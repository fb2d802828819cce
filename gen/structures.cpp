#include "gen/structures.h"

#include <algorithm>
#include <cmath>

#include "core/number_format.h"

namespace tarnisk {

namespace {

// No table holds more of anything than boxes: a count typed into a field is
// cut there, so that fields that draw nothing cannot keep a loop going.
int64_t Capped(int64_t count) { return std::clamp<int64_t>(count, 0, kMaxBoxes); }

}  // namespace

void DrawPad(LayoutWriter& out, const Technology& t, Point centre, int64_t size) {
  const int64_t side = size + 2 * int64_t{std::max(t.RP03, t.RP04)};
  const int64_t x = centre.x - side / 2, y = centre.y - side / 2;
  out.Square(x, y, side, kMetal);
  out.Square(x, y, side, kMetal2);
  const auto inset = [&](int64_t by, int layer) {
    out.Square(x + by, y + by, side - 2 * by, layer);
  };
  inset(t.RP03, kVia);
  inset(t.RP04, kPassiv);
}

int64_t PadSizeLambda(const Technology& t, double microns) {
  return int64_t{RoundToInt32(microns / t.LAMB)} + 1;
}

void DrawBus(LayoutWriter& out, Point corner, const BusSettings& bus) {
  const int64_t pitch = int64_t{bus.width} + bus.spacing;
  for (int64_t i = 0; i < Capped(bus.repeat) && !out.Full(); ++i) {
    const int64_t offset = i * pitch;
    if (bus.orientation == Orientation::Vertical)
      out.Box(corner.x + offset, corner.y, corner.x + offset + bus.width,
              int64_t{corner.y} + bus.length, bus.layer);
    else
      out.Box(corner.x, corner.y + offset, int64_t{corner.x} + bus.length,
              corner.y + offset + bus.width, bus.layer);
  }
}

void DrawInductor(LayoutWriter& out, Point centre, const InductorSettings& inductor) {
  const int64_t w = inductor.width, s = inductor.spacing;
  for (size_t m = 0; m < kInductorLayers.size(); ++m) {
    if (!inductor.onLayer[m]) continue;
    const int layer = kInductorLayers[m];
    for (int64_t i = 0; i < Capped(inductor.turns) && !out.Full(); ++i) {
      const int64_t a = kInductorInnerHalfSize + (w + s) * i;
      const int64_t left = centre.x - a, right = centre.x + a;
      const int64_t bottom = centre.y - a, top = centre.y + a;
      out.Box(left, bottom + 2 * s, left + w, top, layer);
      out.Box(left, top - w, right, top, layer);
      out.Box(right - w, bottom, right, top, layer);
      out.Box(left - s, bottom, right, bottom + w, layer);
    }
  }
}

MosSize MosSizeLambda(const Technology& t, const MosSettings& mos) {
  return {RoundToInt32(mos.widthMicrons / t.LAMB), RoundToInt32(mos.lengthMicrons / t.LAMB)};
}

int64_t MosContactsPerColumn(const Technology& t, int64_t width) {
  const int64_t pitch = int64_t{t.R401} + t.R402;
  return pitch > 0 ? std::max<int64_t>(0, (width - 1) / pitch) : 0;
}

void DrawMos(LayoutWriter& out, const Technology& t, Point corner, const MosSettings& mos) {
  const auto [W, L] = MosSizeLambda(t, mos);
  const int64_t x = corner.x, y = corner.y;
  const int64_t e = t.R405, c = t.R401, m = t.R403, tail = t.R307;
  const int64_t gates = std::max<int64_t>(1, Capped(mos.gates));
  // Gates shorter than the metal spacing are spread as if they had that
  // length, so that the metal strips between them stay apart.
  const int64_t spread = std::max<int64_t>(L, t.R502);
  const int64_t pitch = 2 * e + c + spread + 1, firstGate = 2 * e + c + 1;
  // The last contacts keep from the last gate the gap the first ones keep
  // from the first (one lambda beyond the diffusion surround).
  const int64_t total = firstGate + (gates - 1) * pitch + std::max(spread, L + 1) + 2 * e + c;
  const int diffusion = mos.type == MosType::Nmos ? kDiffn : kDiffp;
  out.Box(x, y + tail, x + total, y + tail + W, diffusion);

  const int64_t n = MosContactsPerColumn(t, W);
  const int64_t contactPitch = c + t.R402;
  const int64_t stripBottom = y + e + tail - m;
  const int64_t stripTop = y + tail + e + c + (n - 1) * contactPitch + e;
  out.Box(x + e - m, stripBottom, x + e + c + m, stripTop, kMetal);
  for (int64_t k = 0; k < gates && !out.Full(); ++k) {
    const int64_t gate = x + firstGate + k * pitch;
    out.Box(gate, y, gate + L, y + W + 2 * tail, kPoly);
    const int64_t stripLeft = gate + L + 1;
    out.Box(stripLeft, stripBottom, stripLeft + 2 * c + m, stripTop, kMetal);
  }
  for (int64_t i = 0; i < Capped(n) && !out.Full(); ++i) {
    const int64_t cy = y + e + tail + i * contactPitch;
    out.Square(x + e, cy, c, kContact);
    out.Square(x + total - e - c, cy, c, kContact);
  }
  if (mos.type == MosType::Pmos) {
    const int64_t r = t.R203;
    out.Box(x - r, y + tail - r, x + total + r, y + tail + W + r, kNwell);
  }
}

}  // namespace tarnisk
