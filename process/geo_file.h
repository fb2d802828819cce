#pragma once
// The GEO file: the dielectric stack of the technology and the metal pieces
// of a cross-section, for an outside 2D capacitance solver.

#include <string>
#include <vector>

#include "core/layers.h"
#include "process/section.h"

namespace tarnisk {

// The solver options of the "Compute [C]" page.
struct GeoOptions {
  double meshX = 0.05, meshY = 0.05;  // µm
  double images = 5, iterations = 10;
  std::string precision = "1.0E-8";   // written as typed
};

// The mesh step offered for a technology: a tenth of lambda.
double DefaultMeshStep(double lambda);

// The file's lines. `date` and `time` are the header's stamp; conductor ends
// are written at whole-lambda positions, in µm.
std::vector<std::string> GeoFileLines(const LayerTable& layers, int metals, double lambda,
                                      const std::vector<CutConductor>& conductors,
                                      const GeoOptions& options, const std::string& date,
                                      const std::string& time);

}  // namespace tarnisk
