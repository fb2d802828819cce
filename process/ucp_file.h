#pragma once
// The UCP file: the interconnect of a layout for an outside 3D capacitance
// solver. The dielectric stack of the technology, every metal and via box as
// a conductor numbered by its extracted node, and the labelled points where
// the solver applies sources, ground or probes.

#include <optional>
#include <string>
#include <vector>

namespace tarnisk {

struct Layout;

struct UcpSettings {
  double spaceAround = 10.0;    // µm of margin on every side of the layout
  double groundAltitude = 0.0;  // µm, written on every ground line
};

// A row of the "Properties" grid: a text and what it becomes in the file.
struct UcpProperty {
  std::string name;
  std::string type;  // "source" for clock and pulse texts, "prop" for the others
};

std::vector<UcpProperty> UcpProperties(const Layout& layout);

// Height plus thickness of the layer of the last box (in table order) whose
// rectangle holds the point, edges included; none when no box holds it.
std::optional<double> TextAltitude(const Layout& layout, int text);

struct UcpFile {
  std::vector<std::string> lines;
  int conductors = 0;  // metal boxes written
  int vias = 0;        // via boxes written
  int texts = 0;       // texts written (those on a box)
};

// The file of an extracted layout. `stamp` is the date and time of the
// header; `metals` the technology's metal levels (2 to 5).
UcpFile UcpFileLines(const Layout& layout, double lambda, int metals, const UcpSettings& settings,
                     const std::string& stamp);

}  // namespace tarnisk
