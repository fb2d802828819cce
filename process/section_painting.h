#pragma once
// Paints a process cross-section like a textbook figure: each material with
// its own fill, the metal pieces numbered as conductors, a µm scale on both
// axes and a legend of the materials shown.

#include <string>

#include "process/section.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

inline constexpr double kMinSectionZoom = 0.25, kMaxSectionZoom = 64;

// What the painting shows of a section: the whole of it at zoom 1, magnified
// about its centre above.
struct SectionFrame {
  int left = 0, top = 0, width = 0, height = 0;  // the drawing area, pixels
  double xMin = 0, xMax = 1;  // µm along the cut shown
  double yMin = 0, yMax = 1;  // µm of height shown
  int ToPixelX(double um) const;
  int ToPixelY(double um) const;
  double ToMicronX(int pixel) const;
  double ToMicronY(int pixel) const;
};

SectionFrame FrameOf(const ProcessSection& section, double lambda, int width, int height,
                     double zoom);

// The name of a material as the legend shows it.
std::string MaterialName(Material material, int layer);

void PaintSection(DrawingSurface& out, const ProcessSection& section, double lambda, double zoom);

}  // namespace tarnisk
