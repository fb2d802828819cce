#include "interchange/layout_files.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>

#include "core/file_io.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/technology.h"
#include "interchange/cif.h"
#include "interchange/cif_reader.h"
#include "interchange/gds_file.h"

namespace tarnisk {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Where the imported boxes and texts go: unmoved when opening; when
// inserting, with their lower-left corner to the right of the layout, as the
// MSK reader places an inserted file.
Point InsertOffset(Layout& layout, const ImportedLayout& in, ReadMode mode) {
  if (mode == ReadMode::Open) return {};
  Rect bound = kSentinelRect;
  for (const ImportedBox& b : in.boxes) GrowRect(bound, b.r);
  for (const ImportedText& t : in.texts) GrowRect(bound, {t.x, t.y, t.x, t.y});
  if (bound.xmin > bound.xmax) return {};
  ComputeExtent(layout);
  const Rect& e = layout.wide.extent;
  const int64_t dx = int64_t{e.xmax} + (int64_t{e.xmax} - e.xmin) / 6 - bound.xmin;
  const int64_t dy = int64_t{e.ymin} - bound.ymin;
  return {ClampCoordinate(dx), ClampCoordinate(dy)};
}

int32_t Shifted(int32_t v, int32_t by) { return ClampCoordinate(int64_t{v} + by); }

// Adds the imported records; those that find a full table are counted.
void AddImported(Layout& layout, const ImportedLayout& in, Point offset, LayoutImport& result) {
  size_t added = 0;
  for (const ImportedBox& b : in.boxes) {
    result.table = AddBox(layout, Shifted(b.r.xmin, offset.x), Shifted(b.r.ymin, offset.y),
                          Shifted(b.r.xmax, offset.x), Shifted(b.r.ymax, offset.y), b.layer);
    if (result.table != kTableOk) break;
    ++added;
  }
  result.boxes = int(added);
  AddDropped(result.dropped, drop::kTableFull, int64_t(in.boxes.size() - added));
  if (result.table != kTableOk) return;
  added = 0;
  for (const ImportedText& t : in.texts) {
    const int before = layout.texts.Count();
    result.table = AddLayoutText(layout, Shifted(t.x, offset.x), Shifted(t.y, offset.y), t.text);
    if (result.table != kTableOk) break;
    added += layout.texts.Count() > before ? 1 : 0;
  }
  result.texts = int(added);
  if (result.table != kTableOk)
    AddDropped(result.dropped, drop::kTableFull, int64_t(in.texts.size() - added));
}

std::string DroppedList(const std::map<std::string, int>& dropped) {
  std::string list;
  for (const auto& [kind, count] : dropped)
    list += (list.empty() ? "" : ", ") + std::to_string(count) + " " + kind;
  return list;
}

}  // namespace

std::optional<LayoutFormat> LayoutFormatOf(const std::string& path) {
  const std::string extension = Lower(std::filesystem::path(path).extension().string());
  if (extension == ".msk") return LayoutFormat::Msk;
  if (extension == ".gds") return LayoutFormat::Gds;
  if (extension == ".cif") return LayoutFormat::Cif;
  return std::nullopt;
}

LayoutImport ImportLayoutFile(Layout& layout, const Technology& technology,
                              const std::string& path, LayoutFormat format, ReadMode mode,
                              Progress& progress) {
  LayoutImport result;
  std::string bytes;
  ShowStatus(progress, "Open " + path + "...");
  result.ioError = ReadWholeFile(path, bytes);
  if (result.ioError != 0) {
    result.message = "Cannot read " + Quoted(path);
    return result;
  }
  const ImportedLayout in = format == LayoutFormat::Gds
                                ? ReadGds(bytes, layout.layers, technology)
                                : ReadCif(bytes, layout.layers, technology);
  result.error = in.error;
  result.dropped = in.dropped;
  result.warnings = in.warnings;
  if (!in.error.empty()) {
    result.message = Quoted(path) + ": " + in.error;
    return result;
  }
  layout.wide.savedBoxCount = layout.boxes.Count();
  layout.wide.savedTextCount = layout.texts.Count();
  layout.wide.extracted = 0;
  AddImported(layout, in, InsertOffset(layout, in, mode), result);
  result.message = std::to_string(result.boxes) + " boxes and " + std::to_string(result.texts) +
                   " texts read from " + Quoted(path);
  if (!result.dropped.empty()) result.message += "; left out: " + DroppedList(result.dropped);
  return result;
}

LayoutExport ExportLayoutFile(Layout& layout, const Technology& technology,
                              const std::string& path, LayoutFormat format, std::time_t now,
                              Progress& progress) {
  LayoutExport result;
  Purge(layout);
  std::string bytes;
  if (format == LayoutFormat::Gds) {
    GdsWriteReport report;
    const std::tm local = LocalTime(now);
    bytes = FormatGds(layout, technology, path, &report,
                      {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                       local.tm_min, local.tm_sec});
    result.boxes = report.boxes, result.texts = report.texts;
    result.warnings = report.warnings;
  } else {
    CifSummary summary;
    bytes = FormatCifFile({layout, technology, now, progress}, path, CifOptions{}, &summary);
    for (const auto& layer : summary.polygons) result.boxes += layer.second;
    result.texts = summary.labels;
  }
  result.ioError = format == LayoutFormat::Gds ? WriteFileAtomically(path, bytes)
                                               : WriteTextFileAtomically(path, bytes);
  result.message = result.ioError == 0
                       ? "Saved " + std::to_string(result.boxes) + " boxes in " + Quoted(path)
                       : "Error writing " + Quoted(path);
  return result;
}

}  // namespace tarnisk
