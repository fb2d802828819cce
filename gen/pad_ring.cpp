#include "gen/pad_ring.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <optional>

#include "core/file_io.h"
#include "core/msk_file.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "gen/structures.h"

namespace tarnisk {

namespace {

constexpr size_t kMaxNameLength = 128;

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Reads an integer after optional blanks; false when there are no digits.
bool ReadInteger(std::string_view& text, int& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc()) return false;
  text.remove_prefix(size_t(end - text.data()));
  return true;
}

int PadTypeOf(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'S': return kPadVss;
    case 'D': return kPadVdd;
    case 'I': return kPadInput;
    case 'O': return kPadOutput;
    case 'B': return kPadBidirectional;
    default: return kPadBare;
  }
}

// One pad line; false when its position is not a number.
bool ParsePadLine(std::string_view line, PadEntry& pad) {
  if (line.empty()) return false;
  pad.side = char(std::toupper(static_cast<unsigned char>(line.front())));
  line.remove_prefix(1);
  if (!ReadInteger(line, pad.position)) return false;
  if (!line.empty()) line.remove_prefix(1);  // the separator
  if (!line.empty()) {
    pad.type = PadTypeOf(line.front());
    pad.name = std::string(line.substr(1, kMaxNameLength));
  }
  return true;
}

}  // namespace

PadFileRead ParsePadFile(std::string_view text) {
  PadFileRead read;
  const std::vector<std::string_view> lines = Lines(text);
  if (!lines.empty()) read.file.chipName = std::string(lines[0].substr(0, kMaxNameLength));
  int count = 0;
  std::string_view counts = lines.size() > 1 ? lines[1] : std::string_view();
  if (!ReadInteger(counts, count) || !ReadInteger(counts, read.file.padsX) ||
      !ReadInteger(counts, read.file.padsY)) {
    read.malformedLine = 2;
    return read;
  }
  for (size_t i = 2; i < lines.size() && int(i) - 2 < count; ++i) {
    PadEntry pad;
    if (!ParsePadLine(lines[i], pad)) {
      read.malformedLine = int(i) + 1;
      return read;
    }
    read.file.pads.push_back(std::move(pad));
  }
  return read;
}

PadFileRead ReadPadFile(const std::string& path) {
  std::string text;
  PadFileRead read;
  read.ioError = ReadWholeFile(path, text);
  return read.ioError != 0 ? read : ParsePadFile(text);
}

const PadEntry* FindPad(const PadFile& file, char side, int position) {
  const auto it = std::find_if(file.pads.begin(), file.pads.end(), [&](const PadEntry& p) {
    return p.side == side && p.position == position;
  });
  return it == file.pads.end() ? nullptr : &*it;
}

namespace {

struct Side {
  char letter;       // of the pad file
  int dx, dy;        // unit step from a pad towards the core
  Point cellOffset;  // of the library cell from the pad centre minus the pad size
};

constexpr Side kNorth{'N', 0, -1, {-30, -10}};
constexpr Side kSouth{'S', 0, 1, {-30, 10}};
constexpr Side kWest{'W', 1, 0, {0, -30}};
constexpr Side kEast{'E', -1, 0, {-20, -30}};

// A frame of four metal boxes of width w inside the rectangle.
void DrawFrame(LayoutWriter& out, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t w) {
  out.Box(x1, y1, x2, y1 + w, kMetal);
  out.Box(x1, y2 - w, x2, y2, kMetal);
  out.Box(x1, y1, x1 + w, y2, kMetal);
  out.Box(x2 - w, y1, x2, y2, kMetal);
}

// Where the ring's pieces lie, in lambda.
struct RingPlan {
  int64_t pitch, half, ringWidth;
  int64_t x0, y0, x1, y1;  // the inner ring's outer edges
};

RingPlan PlanRing(const Layout& layout, const Technology& t, const PadSettings& s) {
  const Rect& e = layout.wide.extent;
  RingPlan p;
  p.pitch = std::max<int64_t>(1, int64_t{t.RP01} + t.RP02 + 2 * int64_t{std::max(t.RP03, t.RP04)});
  p.half = p.pitch / 2;
  p.ringWidth = RoundToInt32(s.ringWidthMicrons / t.LAMB);
  const int64_t margin = int64_t{t.RP05} + 10;
  p.x0 = e.xmin - margin;
  p.y0 = e.ymin - margin;
  p.x1 = std::max(((e.xmax + margin) / p.pitch + 1) * p.pitch, p.x0 + s.padsX * p.pitch);
  p.y1 = std::max(((e.ymax + margin) / p.pitch + 1) * p.pitch, p.y0 + s.padsY * p.pitch);
  return p;
}

// Library cells read once per ring, by name.
class CellLibrary {
 public:
  explicit CellLibrary(std::string directory) : directory_(std::move(directory)) {}
  // The cell's file text, or null (noted in `problems`) when it cannot be read.
  const std::string* Cell(const std::string& name, std::string& problems) {
    auto [it, added] = cells_.try_emplace(name);
    if (added) {
      const std::string path = directory_ + "/" + name + ".msk";
      std::string text;
      if (ReadWholeFile(path, text) == 0)
        it->second = std::move(text);
      else
        problems += " Error reading " + Quoted(path) + ".";
    }
    return it->second ? &*it->second : nullptr;
  }

 private:
  std::string directory_;
  std::map<std::string, std::optional<std::string>> cells_;
};

class RingDrawer {
 public:
  RingDrawer(LayoutWriter& out, const Technology& t, const RingPlan& plan, const PadFile* file,
             CellLibrary& library, Progress& progress)
      : out_(out), t_(t), p_(plan), file_(file), library_(library), progress_(progress) {}

  void Pad(const Side& side, int position, int64_t cx, int64_t cy);
  std::string problems;

 private:
  void Strip(const Side& side, int64_t cx, int64_t cy, bool toInner);
  void InsertCell(const Side& side, const std::string& name, int64_t cx, int64_t cy);

  LayoutWriter& out_;
  const Technology& t_;
  const RingPlan& p_;
  const PadFile* file_;
  CellLibrary& library_;
  Progress& progress_;
};

void RingDrawer::Pad(const Side& side, int position, int64_t cx, int64_t cy) {
  const Point centre{ClampCoordinate(cx), ClampCoordinate(cy)};
  DrawPad(out_, t_, centre, t_.RP01);
  const PadEntry* entry = file_ ? FindPad(*file_, side.letter, position) : nullptr;
  if (!entry) return;
  out_.Text(centre.x, centre.y, entry->name);
  const std::string lower(1, char(std::tolower(static_cast<unsigned char>(side.letter))));
  switch (entry->type) {
    case kPadVss: Strip(side, cx, cy, false); break;
    case kPadVdd: Strip(side, cx, cy, true); break;
    case kPadInput: InsertCell(side, "padin_" + lower, cx, cy); break;
    case kPadOutput: InsertCell(side, "padOut_" + lower, cx, cy); break;
    default: break;
  }
}

// A strip twice the ring width wide from the pad centre across the inner
// (supply) or the outer (ground) ring, which lie a half pitch from the centre.
void RingDrawer::Strip(const Side& side, int64_t cx, int64_t cy, bool toInner) {
  const int64_t w = p_.ringWidth, reach = p_.half + w;
  const int sign = toInner ? 1 : -1;
  const int64_t ex = cx + sign * side.dx * reach, ey = cy + sign * side.dy * reach;
  if (side.dx == 0)
    out_.Box(cx - w, std::min(cy, ey), cx + w, std::max(cy, ey), kMetal);
  else
    out_.Box(std::min(cx, ex), cy - w, std::max(cx, ex), cy + w, kMetal);
}

void RingDrawer::InsertCell(const Side& side, const std::string& name, int64_t cx, int64_t cy) {
  const std::string* text = library_.Cell(name, problems);
  if (!text) return;
  Layout& layout = out_.Target();
  LayoutWideState& w = layout.wide;
  // The reader takes its insertion point from the paste origin and notes its
  // own counts for undo: both are the caller's and are put back.
  const Point pasteOrigin = w.pasteOrigin;
  const int savedBoxes = w.savedBoxCount, savedTexts = w.savedTextCount;
  w.pasteOrigin = {ClampCoordinate(cx - t_.RP01 + side.cellOffset.x),
                   ClampCoordinate(cy - t_.RP01 + side.cellOffset.y)};
  const LayoutReadResult read =
      ReadLayoutText(layout, *text, name, ReadMode::InsertAtPasteOrigin, progress_);
  out_.Note(read.table);
  if (read.malformedLine != 0) problems += " " + read.message + ".";
  w.pasteOrigin = pasteOrigin;
  w.savedBoxCount = savedBoxes;
  w.savedTextCount = savedTexts;
}

}  // namespace

Generated GeneratePadRing(Layout& layout, const Technology& t, const PadSettings& settings,
                          const PadFile* file, const std::string& cellDirectory,
                          Progress& progress) {
  ComputeExtent(layout);
  const RingPlan p = PlanRing(layout, t, settings);
  LayoutWriter out(layout);
  // The pads fill the band of one pitch around the inner ring; the two rings
  // run just outside that band, clear of the pads.
  const int64_t w = p.ringWidth, P = p.pitch;
  DrawFrame(out, p.x0 - P - w, p.y0 - P - w, p.x1 + P + w, p.y1 + P + w, w);
  DrawFrame(out, p.x0, p.y0, p.x1, p.y1, w);
  CellLibrary library(cellDirectory);
  RingDrawer ring(out, t, p, file, library, progress);
  const int64_t first = -P + p.half;
  for (int i = 1; i <= std::min(settings.padsX, kMaxBoxes) && !out.Full(); ++i) {
    const int64_t x = p.x0 + first + i * P;
    ring.Pad(kNorth, i, x, p.y1 + p.half);
    ring.Pad(kSouth, i, x, p.y0 + first);
  }
  for (int i = 1; i <= std::min(settings.padsY, kMaxBoxes) && !out.Full(); ++i) {
    const int64_t y = p.y0 + first + i * P;
    ring.Pad(kWest, i, p.x0 + first, y);
    ring.Pad(kEast, i, p.x1 + p.half, y);
  }
  std::string message = "Pad ring of " + std::to_string(PadRingCount(settings)) + " pads";
  if (file) message += " for " + file->chipName;
  return out.Result(message + "." + ring.problems);
}

}  // namespace tarnisk
