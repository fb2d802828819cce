#pragma once
// The cell generator's parametrised structures drawn from the design rules:
// a pad, a bus of parallel wires, a square spiral inductor and a multi-gate
// MOS device. Each is drawn through a LayoutWriter, which tells what it added.

#include <cstdint>

#include "core/technology.h"
#include "gen/generated.h"
#include "gen/settings.h"

namespace tarnisk {

// A pad of size s centred on `centre`: metal and metal2 squares of
// s + 2 max(RP03, RP04), a via inset by RP03 and the passivation opening inset
// by RP04.
void DrawPad(LayoutWriter& out, const Technology& t, Point centre, int64_t size);

// The pad size in lambda of a pad given in microns: one lambda more than the
// rounded quotient, so that the opening is at least the size asked for.
int64_t PadSizeLambda(const Technology& t, double microns);

// `repeat` wires from `corner`, the lower-left corner of the first.
void DrawBus(LayoutWriter& out, Point corner, const BusSettings& bus);

// One square spiral per chosen metal, centred on `centre`: the bottom side of
// each turn reaches one spacing to the left, under the next turn's left side,
// so that the turns join into one wire.
void DrawInductor(LayoutWriter& out, Point centre, const InductorSettings& inductor);

// The device sizes in lambda that the MOS settings (in microns) ask for.
struct MosSize {
  int64_t width = 0, length = 0;
};
MosSize MosSizeLambda(const Technology& t, const MosSettings& mos);

// Vertical poly gates across a horizontal diffusion whose lower-left corner
// region starts at `corner`; contacts and a metal strip in the first and the
// last diffusion column, a metal strip after every gate, and an nwell under a
// p-channel device.
void DrawMos(LayoutWriter& out, const Technology& t, Point corner, const MosSettings& mos);

// The number of contacts in each end column of a MOS device of width w.
int64_t MosContactsPerColumn(const Technology& t, int64_t width);

}  // namespace tarnisk
