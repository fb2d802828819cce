#include "session/process/process_view.h"

#include <cstdio>
#include <cstring>

#include "core/file_io.h"
#include "core/number_format.h"
#include "session/session.h"

namespace tarnisk {

namespace {

constexpr Colour kCrossedColour = MakeColour(0, 255, 255);

std::string RightAligned(const std::string& text, size_t width) {
  const std::string cut = text.substr(0, width);
  return std::string(width - cut.size(), ' ') + cut;
}

// The layers whose sizes "Apply" takes back: poly up to the highest metal,
// passiv and nitride.
bool Editable(int layer, int highestMetal) {
  return (layer >= kPoly && layer <= highestMetal) || layer == kPassiv || layer == kNitride;
}

}  // namespace

ProcessSection SectionAlong(Session& s, const SectionCut& cut) {
  ProcessSection section = BuildSection(s.layout, cut, MetalLevels(s.technology.META));
  ForEachLive(s.layout.boxes, [](int, Box& b) {
    if (b.state == kHighlighted) b.state = kNormal;
  });
  for (int i : section.crossedBoxes) {
    s.layout.boxes[i].state = kHighlighted;
    s.layout.boxes[i].highlightColour = kCrossedColour;
  }
  return section;
}

std::vector<LayerRow> LayerRows(const Session& s) {
  const int highest = MetalLayer(MetalLevels(s.technology.META));
  std::vector<LayerRow> rows;
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    if (layer > highest && layer != kPassiv && layer != kNitride) continue;
    const LayerInfo& info = s.layout.layers[layer];
    rows.push_back({layer, info.name, info.thickness, info.height, info.permittivity});
  }
  return rows;
}

void ApplyLayerRows(Session& s, const std::vector<LayerRow>& rows) {
  ShowStatus(s.platform, "Apply layer size modifications...");
  const int highest = MetalLayer(MetalLevels(s.technology.META));
  for (const LayerRow& row : rows) {
    if (row.layer < 1 || row.layer > kLayerCount || !Editable(row.layer, highest)) continue;
    LayerInfo& info = s.layout.layers[row.layer];
    info.thickness = row.thickness;
    info.height = row.height;
    info.permittivity = row.permittivity;
  }
}

GeoWriteResult WriteGeoFile(Session& s, const ProcessSection& section, const GeoOptions& options,
                            std::time_t now) {
  ShowStatus(s.platform, "GEO translator version 1.2");
  GeoWriteResult result;
  result.path = ReplaceExtension(s.layout.wide.currentFileName, "geo");
  ShowStatus(s.platform, "Generate " + result.path + "...");
  const std::string stamp = LocalTimeStamp(now, ' ');
  const size_t blank = stamp.find(' ');
  result.lines = GeoFileLines(s.layout.layers, section.metals, s.technology.LAMB,
                              section.conductors, options, stamp.substr(0, blank),
                              stamp.substr(blank + 1));
  result.ioError = WriteLinesAtomically(result.path, result.lines);
  ShowStatus(s.platform, result.ioError == 0
                             ? "Generation of " + result.path + " complete"
                             : "Cannot write " + result.path + ": " + std::strerror(result.ioError));
  return result;
}

SectionCapacitance SolveSection(const Session& s, ProcessSection& section) {
  std::vector<std::vector<int>> owners;
  const CrossSection cross = SolverSectionOf(section, s.layout.layers, s.technology.LAMB, &owners);
  SectionCapacitance result{SolveCapacitance(cross), {}};
  for (const SectionConductor& c : cross.conductors) result.names.push_back(c.name);
  const FieldSolution& solution = result.solution;
  if (!solution.ok()) return result;
  for (int i = 0; i < solution.count; ++i)
    for (int piece : owners[size_t(i)]) section.conductors[size_t(piece)].value = solution.C(i, i);
  return result;
}

std::vector<std::string> MatrixLines(const SectionCapacitance& c) {
  const FieldSolution& solution = c.solution;
  const std::vector<std::string>& names = c.names;
  if (!solution.ok()) return {"No capacitance matrix: " + solution.error};
  std::vector<std::string> lines = {"Capacitance matrix (pF/m):"};
  std::string header(8, ' ');
  for (int j = 0; j < solution.count; ++j) header += " " + RightAligned(names[size_t(j)], 9);
  lines.push_back(header);
  for (int i = 0; i < solution.count; ++i) {
    std::string row = names[size_t(i)].substr(0, 8);
    row.resize(8, ' ');
    for (int j = 0; j < solution.count; ++j) row += " " + FormatFixed(solution.C(i, j) * 1e12, 9, 2);
    lines.push_back(row);
  }
  char residual[32];
  std::snprintf(residual, sizeof residual, "%.1e", solution.residual);
  lines.push_back("grid " + std::to_string(solution.nx) + " x " + std::to_string(solution.ny) +
                  ", relative residual " + residual);
  return lines;
}

}  // namespace tarnisk
