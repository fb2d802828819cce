#include "interchange/cif.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <numeric>

#include "core/file_io.h"
#include "core/layout.h"
#include "interchange/cif_reader.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/technology.h"
#include "core/text_cursor.h"

namespace tarnisk {

namespace {

int BoxCount(const LayoutWideState& w, int layer) {
  return std::max(0, w.layerLast[layer] - w.layerFirst[layer] + 1);
}

// Rounds half to even, clamped to what 64 bits hold.
int64_t RoundToInt64(double value) {
  constexpr double kLimit = 9.0e18;
  if (std::isnan(value)) return 0;
  return static_cast<int64_t>(std::nearbyint(std::clamp(value, -kLimit, kLimit)));
}

// A label's name as one CIF word: blanks, control characters, the command
// end ";", comment parentheses and the separator "," would end or break the
// command, so each becomes "_"; an empty name is "_" too.
std::string CifLabelName(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == ';' || c == '(' || c == ')' ||
        c == ',')
      c = '_';
  return text.empty() ? "_" : text;
}

class CifWriter {
 public:
  CifWriter(const CifLayout& source, const CifOptions& options)
      : s_(source), options_(options), unitsPerLambda_(source.technology.LAMB * options.unit) {}

  std::string Run(const std::string& name) {
    Header(name);
    Purge(s_.layout);
    OrderBoxesByLayer(s_.layout, s_.progress);
    for (int layer = 1; layer <= kLayerCount; ++layer)
      if (layer != kDiffp && layer != kDiffn) Layer(layer);
    if (HasBoxes(kDiffn) || HasBoxes(kDiffp)) {
      LayerLine(kAarea);
      Polygons(kDiffn, false);
      Polygons(kDiffp, false);
    }
    Layer(kDiffn);
    Layer(kDiffp);
    Labels();
    out_ += "DF;\nC 1;\nE\n";
    return std::move(out_);
  }

  const CifSummary& Summary() const { return summary_; }

 private:
  void Header(const std::string& name) {
    out_.reserve(256 + size_t(s_.layout.boxes.Count()) * 48 + size_t(s_.layout.texts.Count()) * 40);
    out_ += "( File : " + Quoted(name) + ")\n";
    out_ += "( Conversion from Tarnisk v1.0a - 18.02.98 to CIF)\n";
    out_ += "( Version " + LocalTimeStamp(s_.now, ',') + ")\n\n\n";
    out_ += "DS 1 " + CifSymbolScale(options_.unit) + ";\n";
    out_ += "9 " + options_.topCell + ";\n";
  }

  bool HasBoxes(int layer) const { return BoxCount(s_.layout.wide, layer) > 0; }

  void Layer(int layer) {
    if (!HasBoxes(layer)) return;
    LayerLine(layer);
    Polygons(layer, true);
  }

  // Opens a CIF layer; its overetch applies to the polygons that follow.
  void LayerLine(int layer) {
    const LayerInfo& info = s_.layout.layers[layer];
    out_ += "L " + info.cifName + ";\n";
    overetch_ = RoundToInt64(info.overetch * options_.unit);
    auto& counts = summary_.polygons;
    const auto same = [&](const auto& entry) { return entry.first == info.cifName; };
    current_ = size_t(std::find_if(counts.begin(), counts.end(), same) - counts.begin());
    if (current_ == counts.size()) counts.emplace_back(info.cifName, 0);
  }

  void Polygons(int layer, bool overetchAllowed) {
    const LayoutWideState& w = s_.layout.wide;
    for (int i = w.layerFirst[layer]; i <= w.layerLast[layer]; ++i)
      Polygon(s_.layout.boxes[i], overetchAllowed);
    summary_.polygons[current_].second += BoxCount(w, layer);
  }

  // A contact or via of another size than the rule's is written as drawn.
  bool OffSizeCut(const Box& b) const {
    const int64_t width = int64_t{b.x2} - b.x1;
    const Technology& t = s_.technology;
    return (b.layer == kContact && width != t.R401) || (b.layer == kVia && width != t.R601);
  }

  void Polygon(const Box& b, bool overetchAllowed) {
    const int64_t e = overetchAllowed && !OffSizeCut(b) ? overetch_ : 0;
    const int64_t x1 = Units(b.x1) - e, y1 = Units(b.y1) - e;
    const int64_t x2 = Units(b.x2) + e, y2 = Units(b.y2) + e;
    out_ += "P ";
    Corner(x1, y1), out_ += ' ', Corner(x2, y1), out_ += ' ';
    Corner(x2, y2), out_ += ' ', Corner(x1, y2), out_ += ";\n";
  }

  void Labels() {
    const auto& texts = s_.layout.texts;
    if (texts.Count() == 0) return;
    out_ += "L " + s_.technology.CifTextLayer + ";\n";
    for (int i = 1; i <= texts.Count(); ++i) {
      const LayoutText& t = texts[i];
      out_ += options_.labelCommand + " " + CifLabelName(t.text) + " ";
      Corner(Units(t.x), Units(t.y)), out_ += ";\n";
    }
    summary_.labels = texts.Count();
  }

  int64_t Units(int32_t lambda) const { return RoundToInt64(unitsPerLambda_ * lambda); }

  void Corner(int64_t x, int64_t y) {
    Integer(x), out_ += ',', Integer(y);
  }

  void Integer(int64_t v) {
    char buffer[24];
    out_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
  }

  const CifLayout& s_;
  const CifOptions& options_;
  const double unitsPerLambda_;
  int64_t overetch_ = 0;  // of the current CIF layer, in CIF units
  size_t current_ = 0;    // the current CIF layer's entry in the summary
  CifSummary summary_;
  std::string out_;
};

// The file as lines (LF, CR LF or CR ends), at most `maxLines`, each cut to
// `maxLength` characters.
std::vector<std::string> SplitLines(const std::string& text, size_t maxLines, size_t maxLength) {
  std::vector<std::string> lines;
  TextCursor c(text);
  while (!c.AtEof() && lines.size() < maxLines) {
    lines.push_back(c.RestOfLine(maxLength));
    c.SkipLine();
  }
  return lines;
}

int CountCellDefinitions(const std::string& text) {
  int cells = 0;
  TextCursor c(text);
  while (!c.AtEof()) {
    cells += c.RestOfLine(2) == "DS";
    c.SkipLine();
  }
  return cells;
}

// With the atomic writer a failure while writing or closing leaves the old
// file in place; it is reported as the close failure it would have been.
std::string WriteFailureMessage(const std::string& name, int ioError) {
  const bool whileWriting =
      ioError == ENOSPC || ioError == EDQUOT || ioError == EIO || ioError == EFBIG;
  if (whileWriting) return "Error closing file " + Quoted(name) + "...";
  return "# Error: " + Quoted(name) + " output file open error...";
}

std::string Upper(std::string text) {
  for (char& ch : text) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

// The name the viewer opens: the extension forced to "CIF", unless only the
// given name, spelt with another case, exists (file names are case
// sensitive here).
std::string ViewedName(const std::string& openedName) {
  const std::string forced = CifOutputName(openedName);
  const bool otherCase = forced != openedName && Upper(forced) == Upper(openedName);
  if (otherCase && !std::filesystem::exists(forced) && std::filesystem::exists(openedName))
    return openedName;
  return forced;
}

}  // namespace

std::vector<CifLayerRow> CifLayerGrid(Layout& layout, Progress& progress) {
  OrderBoxesByLayer(layout, progress);
  std::vector<CifLayerRow> rows;
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    const LayerInfo& info = layout.layers[layer];
    const int boxes = BoxCount(layout.wide, layer);
    rows.push_back({info.name, info.cifName, std::to_string(info.gds2),
                    boxes > 0 ? std::to_string(boxes) : "",
                    info.overetch != 0 ? FormatFixed(info.overetch, 4, 2) : ""});
  }
  return rows;
}

// Only a whole number: an optional sign and digits, with blanks around them.
// "1.0", "1,0" and "10-" are refused like any other text.
CifScale ParseCifScale(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  std::string_view digits;
  if (first != std::string::npos) digits = std::string_view(text).substr(first, last - first + 1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
    return {false, 1, "'" + text + "' is not a valid integer value"};
  if (value > kMaxCifScale)
    return {false, 1, "'" + text + "' is above the largest scale, " + std::to_string(kMaxCifScale)};
  return {true, std::max<int32_t>(1, value), ""};
}

std::string CifOutputName(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return name + ".CIF";
  return name.substr(0, dot + 1) + "CIF";
}

// CIF readers take a unit as 1/100 um, while this file writes `unit` units
// per micron: with a plain "DS 1 1 1" every reader would show the drawing
// unit/100 times too large, so the symbol carries the scale that makes them
// agree.
std::string CifSymbolScale(int32_t unit) {
  const int32_t divisor = std::gcd(100, unit);
  return std::to_string(100 / divisor) + " " + std::to_string(unit / divisor);
}

std::string FormatCifFile(const CifLayout& source, const std::string& name,
                          const CifOptions& options, CifSummary* summary) {
  CifWriter writer(source, options);
  std::string text = writer.Run(name);
  if (summary) *summary = writer.Summary();
  return text;
}

CifConversion ConvertIntoCif(const CifLayout& source, CifSettings& settings,
                             const std::string& scaleText, const std::string& outputName,
                             const CifOptions& options) {
  CifConversion result;
  Purge(source.layout);
  ShowStatus(source.progress, "Convert MSK to CIF ...");
  const CifScale scale = ParseCifScale(scaleText);
  if (!scale.ok) {
    result.error = scale.error;
    return result;
  }
  settings.unit = scale.unit;
  CifOptions used = options;
  used.unit = scale.unit;
  result.name = outputName;
  const std::string text = FormatCifFile(source, outputName, used, &result.summary);
  result.ioError = WriteTextFileAtomically(outputName, text);
  if (result.ioError != 0) {
    ShowStatus(source.progress, WriteFailureMessage(outputName, result.ioError));
    return result;
  }
  ShowStatus(source.progress, "Open " + Quoted(outputName) + " as output CIF file...");
  settings.fileName = outputName;
  result.written = true;
  return result;
}

bool ListCifFile(const std::string& path, std::vector<std::string>& lines) {
  std::string text;
  if (ReadWholeFile(path, text) != 0) return false;
  lines = SplitLines(text, kCifListingLines, std::string::npos);
  if (lines.size() == size_t(kCifListingLines)) lines.emplace_back(kCifTruncatedLine);
  return true;
}

CifInputConversion ConvertCifIntoMsk(const CifSettings& settings, Progress& progress) {
  const std::string& name = settings.fileName;
  ShowStatus(progress, "Convert " + Quoted(name) + " to MSK...");
  CifInputConversion result;
  std::string text;
  result.ok = ReadWholeFile(name, text) == 0;
  if (result.ok) result.lines = SplitLines(text, kCifInputListingLines, std::string::npos);
  else ShowStatus(progress, "# Error: " + Quoted(name) + " input file open error...");
  result.caption = "End conversion of " + Quoted(name) + " into MSK";
  return result;
}

CifView ViewCifFile(const std::string& openedName, Progress& progress) {
  CifView view;
  view.name = ViewedName(openedName);
  std::string text;
  if (ReadWholeFile(view.name, text) != 0) {
    ShowStatus(progress, "# Error: " + Quoted(view.name) + " input file open error...");
    return view;
  }
  ShowStatus(progress, "Open " + Quoted(view.name) + " as input CIF file...");
  view.lines = SplitLines(text, kCifListingLines, kMaxTextLength);
  view.cells = CountCellDefinitions(text);
  view.ok = true;
  ShowStatus(progress, "End reading " + Quoted(view.name));
  return view;
}

}  // namespace tarnisk
