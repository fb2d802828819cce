#pragma once
// The contact drawer that the cell generator, the compilers and the router
// share: one contact or an array of them, each a cut with the two layers it
// joins around it by their surround rules; and the polarization ring, a well
// or substrate tap, around a contact array.

#include <cstdint>
#include <optional>

#include "core/technology.h"
#include "gen/generated.h"

namespace tarnisk {

// A contact kind is the number of the layer it joins to the layer below:
// diffp, diffn and poly to metal, and metal2 to metal5 to the metal under
// them. So the contact that reaches a layer is the kind of that layer's number.
enum ContactKind : int {
  kContactDiffp = 2,
  kContactDiffn = 3,
  kContactPoly = 5,
  kContactVia = 8,
  kContactVia2 = 10,
  kContactVia3 = 12,
  kContactVia4 = 14
};

struct ContactStack {
  int lower, cut, upper;  // layers
  int32_t cutSize = 0;
  int32_t lowerSurround = 0, upperSurround = 0;
  int64_t pitch = 0;  // centre to centre in an array
};

// The layers and rules of a contact kind; nullopt for any other number.
std::optional<ContactStack> ContactStackOf(const Technology& t, int kind);

// rows x columns contacts of `kind`, the first centred on `first`; rows step
// along x and columns along y by the kind's pitch. Another kind draws nothing.
void DrawContactArray(LayoutWriter& out, const Technology& t, Point first, int rows, int columns,
                      int kind);

inline void DrawContact(LayoutWriter& out, const Technology& t, Point at, int kind) {
  DrawContactArray(out, t, at, 1, 1, kind);
}

// "None", "Diff N+ on Nwell", "Diff P+ on Psubstrate".
enum class Polarization { None, NwellTap, SubstrateTap };

// The tap ring around the array of rows x columns whose first contact is
// centred on `first`: diffusion on all four sides, metal on the left, bottom
// and right, a diffusion contact at each corner and, for the well tap, the
// nwell under it all. Polarization::None draws nothing.
void DrawPolarizationRing(LayoutWriter& out, const Technology& t, Point first, int rows,
                          int columns, Polarization polarization);

}  // namespace tarnisk
