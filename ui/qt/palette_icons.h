#pragma once
// The palette's pictures: a swatch of each layer as the drawing shows it
// (colour, style and fill pattern), and small pictograms for the placement
// and property tools.

#include <QIcon>
#include <string_view>

#include "core/layers.h"

namespace tarnisk {

// The layer's colour drawn in its style on the drawing's black background,
// with its fill pattern lightened over filled styles, so that layers of
// close colours (metal and metal2) still differ.
QIcon LayerSwatch(const LayerInfo& layer);

// The pictogram of a palette tool by its object name ("sbContactPoly",
// "sbVdd", ...), in the colours of the layers it places; an empty icon for
// an unknown name.
QIcon ToolIcon(std::string_view tool, const LayerTable& layers);

}  // namespace tarnisk
