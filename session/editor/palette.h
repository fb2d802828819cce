#pragma once
// The palette's layer half: which layers it offers for the technology's
// number of metals, the current layer for drawing boxes, and the layers'
// protection against editing.

#include <array>

#include "core/layers.h"

namespace tarnisk {

struct Session;

// The layers of the palette's buttons, top to bottom.
inline constexpr std::array<int, 11> kPaletteLayers = {
    kNwell, kDiffn, kDiffp, kPoly, kContact, kMetal, kVia, kMetal2, kMetal3, kMetal4, kMetal5};

// False for a metal above the technology's metal count (metal3 needs three
// metals, metal4 four, metal5 five).
bool PaletteLayerUsable(const Session& s, int layer);

// The highest layer boxes are drawn on: metal2 with fewer than three metals,
// metal3 with three, metal4 with four, metal5 otherwise.
int HighestUsableLayer(const Session& s);

// Brings a current layer at or above the highest usable one down to it.
void LimitCurrentLayer(Session& s);

// Makes the layer current (within the usable ones) and reports it.
void SetCurrentLayer(Session& s, int layer);

// Protected layers are drawn as outlines and left alone by the editing
// commands.
void SetLayerProtected(Session& s, int layer, bool isProtected);

}  // namespace tarnisk
