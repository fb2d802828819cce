#pragma once
// Reads a CIF file into boxes and texts in lambda: polygons (P) and boxes
// (B), symbol calls (C) with their translations, mirrors and 90-degree
// rotations, and labels (user extensions 94 and 95). Layers are mapped back
// by the technology's CIF names.
//
// Mask layers that the CIF writer grows by their overetch are shrunk back:
// a rectangle whose four edges all lie the same distance, near the
// overetch, outside whole lambda is taken at its drawn size; one that lies
// on whole lambda already is taken as drawn (contacts and vias of another
// size than the rule's are written so). An overetch of whole lambda makes
// both readings exact: then the shrunk one is taken, except for contacts and
// vias that shrink to another width than the rule's or already have it.
// Rectangles on the active-area layer that repeat a diffusion box are the
// writer's copies and are not read twice. Other polygons are taken as they
// are.

#include <string_view>

#include <cstdint>

#include "core/layers.h"
#include "core/technology.h"
#include "interchange/imported_layout.h"

namespace tarnisk {

// The largest numerator and denominator of a "DS" scale a CIF file may give;
// the writer's scale stays within it so that what it writes reads back.
inline constexpr int64_t kMaxCifScale = int64_t{1} << 30;

ImportedLayout ReadCif(std::string_view text, const LayerTable& layers,
                       const Technology& technology);

}  // namespace tarnisk
