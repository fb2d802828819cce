#include "process/geo_file.h"

#include <cmath>

#include "core/number_format.h"

namespace tarnisk {

namespace {

std::string Integer(int value, int width) {
  std::string text = std::to_string(value);
  return std::string(text.size() < size_t(width) ? width - text.size() : 0, ' ') + text;
}

// Index, permittivity and thickness of one dielectric.
std::string DielectricLine(int index, const LayerInfo& layer) {
  return Integer(index, 6) + " " + FormatFixed(layer.permittivity, 8, 3) + " " +
         FormatFixed(layer.thickness, 8, 3);
}

std::string ParameterLine(const GeoOptions& o) {
  const size_t length = o.precision.size();
  return FormatFixed(o.images, 6, 0) + " " + FormatFixed(o.iterations, 6, 0) + " " +
         std::string(length < 9 ? 9 - length : 0, ' ') + " " + o.precision;
}

}  // namespace

double DefaultMeshStep(double lambda) { return std::round(lambda * 0.1 * 100) / 100; }

std::vector<std::string> GeoFileLines(const LayerTable& layers, int metals, double lambda,
                                      const std::vector<CutConductor>& conductors,
                                      const GeoOptions& options, const std::string& date,
                                      const std::string& time) {
  const int m = metals;
  std::vector<std::string> lines = {
      "// Meshcap Translator Version 1.3", "// " + date, "// " + time,
      "------------ Dielectrics : Thickness (\xC2\xB5m), Epsilon ------",
      "Ncou = INF   " + std::to_string(2 * m + 2) + " GND", Integer(2 * m + 3, 6) + "   1.000",
      DielectricLine(2 * m + 2, layers[kNitride])};
  for (int k = m; k >= 1; --k) {
    lines.push_back(DielectricLine(2 * k + 1, layers[k == m ? int(kPassiv) : ViaLayerAbove(k)]));
    lines.push_back(DielectricLine(2 * k, layers[MetalLayer(k)]));
  }
  const LayerInfo& oxide = layers[kContact];
  lines.push_back("     1 " + FormatFixed(oxide.permittivity, 8, 3) + " " +
                  FormatFixed(oxide.thickness, 8, 3));
  lines.push_back("------------ Conductors : layer, x0, x1 (\xC2\xB5m) ------");
  lines.push_back("NCond = " + std::to_string(int(conductors.size()) - 1));
  lines.push_back("Mesh =" + FormatFixed(options.meshX, 8, 3) + FormatFixed(options.meshY, 8, 3));
  for (const CutConductor& c : conductors)
    lines.push_back(Integer(c.number, 6) + " " + Integer(2 * c.level, 6) + " " +
                    FormatFixed(c.x0 * lambda, 8, 3) + " " + FormatFixed(c.x1 * lambda, 8, 3));
  lines.push_back("------------ Parameters ------");
  lines.push_back(ParameterLine(options));
  return lines;
}

}  // namespace tarnisk
