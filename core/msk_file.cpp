#include "core/msk_file.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <optional>

#include "core/file_io.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/text_cursor.h"

namespace tarnisk {

namespace {

constexpr int kProgressEvery = 256;

// ---------------------------------------------------------------- reader

// Integer of the record lines: blanks, an optional "+", an optional "-",
// digits; the character after the digits (the field separator) is consumed
// unless the line has ended. Saturates far beyond the coordinate limit.
int64_t ReadRecordInteger(TextCursor& c) {
  while (!c.AtEoln() && c.Peek() == ' ') c.Get();
  if (c.Peek() == '+') c.Get();
  bool negative = false;
  if (c.Peek() == '-') {
    c.Get();
    negative = true;
  }
  int64_t value = 0;
  while (c.Peek() >= '0' && c.Peek() <= '9') {
    value = std::min<int64_t>(value * 10 + (c.Get() - '0'), 4 * kCoordinateLimit);
  }
  if (!c.AtEoln()) c.Get();
  return negative ? -value : value;
}

// The text after the first "#" of the line (at most 128 characters); the
// cursor moves to the next line.
std::string ReadHashText(TextCursor& c) {
  while (!c.AtEoln())
    if (c.Get() == '#') break;
  std::string text = c.RestOfLine(kMaxTextLength);
  c.SkipLine();
  return text;
}

bool InRange(int64_t v) { return v >= -kCoordinateLimit && v <= kCoordinateLimit; }

bool HasEdgeTimes(char letter) {
  return std::string_view("CDPUcdpu").find(letter) != std::string_view::npos;
}

void SetPropertyFromLetter(LayoutText& t, char letter) {
  t.visible = 0;
  switch (letter) {
    case '1': t.property = kPropertyVdd; break;
    case '0': t.property = kPropertyVss; break;
    case 'v': t.property = kPropertyNone, t.visible = 1; break;
    case 'P': t.property = kPropertyPulse; break;
    case 'p': t.property = kPropertyPulse, t.visible = 1; break;
    case 'C': t.property = kPropertyClock; break;
    case 'c': t.property = kPropertyClock, t.visible = 1; break;
    default: t.property = kPropertyNone; break;
  }
}

class MskReader {
 public:
  MskReader(Layout& layout, Progress& progress, std::string_view text, const std::string& name,
            ReadMode mode)
      : l_(layout), progress_(progress), c_(text), name_(name), mode_(mode) {}

  // Returns false when a malformed number ended the read. A full table does
  // not end it: the records of the other tables are still read, and those
  // that found their table full are counted.
  bool Run(int64_t dx, int64_t dy) {
    dx_ = dx, dy_ = dy;
    bool end = false;
    while (!c_.AtEof() && !end) {
      const char c1 = c_.Get(), c2 = c_.Get();
      c_.Get();
      if (c1 == 'B' && c2 == 'B') ReadExtentLine();
      else if (c1 == 'F' && c2 == 'F') c_.SkipLine(), end = true;
      else if (c1 == 'R' && c2 == 'E') ReadBoxLine();
      else if (c1 == 'R' && c2 == 'S') ReadResistanceLine();
      else if (c1 == 'T' && c2 == 'I') {
        if (!ReadTextLine()) return false;
      } else c_.SkipLine();
    }
    return true;
  }

 private:
  void ReadExtentLine() {
    const int64_t a = ReadRecordInteger(c_), b = ReadRecordInteger(c_);
    c_.SkipLine();
    if (mode_ != ReadMode::Open) dx_ -= a, dy_ -= b;
  }

  void ReadBoxLine() {
    c_.Get();
    const int64_t x = ReadRecordInteger(c_), y = ReadRecordInteger(c_);
    const int64_t w = ReadRecordInteger(c_), h = ReadRecordInteger(c_);
    const char l1 = c_.Get(), l2 = c_.Get();
    c_.SkipLine();
    const int layer = LayerFromCode(l1, l2, l_.layers);
    if (layer != 0) {
      const int64_t x1 = dx_ + x, y1 = dy_ + y, x2 = x1 + w, y2 = y1 + h;
      if (InRange(x1) && InRange(y1) && InRange(x2) && InRange(y2))
        Note(AddBox(l_, int32_t(x1), int32_t(y1), int32_t(x2), int32_t(y2), layer),
             dropped_.boxes);
      boxRead_ = true;
    }
    if (++boxLines_ % kProgressEvery == 0)
      ShowStatus(progress_, std::to_string(boxLines_) + " boxes");
  }

  void ReadResistanceLine() {
    c_.Get();
    const int64_t x = dx_ + ReadRecordInteger(c_), y = dy_ + ReadRecordInteger(c_);
    const std::string text = ReadHashText(c_);
    if (mode_ != ReadMode::InsertAtPasteOrigin && InRange(x) && InRange(y))
      Note(AddResistanceMark(l_, int32_t(x), int32_t(y), text), dropped_.marks);
  }

  bool ReadTextLine() {
    c_.Get(), c_.Get(), c_.Get();
    const int64_t x = dx_ + ReadRecordInteger(c_), y = dy_ + ReadRecordInteger(c_);
    const std::string text = ReadHashText(c_);
    if (!boxRead_ || mode_ == ReadMode::InsertAtPasteOrigin) return true;
    auto& texts = l_.texts;
    const int before = texts.Count();
    if (InRange(x) && InRange(y))
      Note(AddLayoutText(l_, int32_t(x), int32_t(y), text), dropped_.texts);
    return ReadPropertyLine(texts.Count() > before ? &texts[texts.Count()] : nullptr);
  }

  // The "$" line after a text; applies to `target` when the text was added.
  bool ReadPropertyLine(LayoutText* target) {
    if (c_.Get() != '$') {
      c_.SkipLine();
      return true;
    }
    const char letter = c_.Get();
    const std::optional<int32_t> high = ReadStandardInteger(c_);
    if (!high) return Malformed();
    const std::optional<int32_t> low = ReadStandardInteger(c_);
    if (!low) return Malformed();
    std::array<double, 4> times{};
    if (HasEdgeTimes(letter)) {
      for (double& t : times) {
        const std::optional<double> ns = ReadStandardReal(c_);
        if (!ns) return Malformed();
        t = *ns * 1e-9;
      }
    }
    c_.SkipLine();
    if (target) {
      SetPropertyFromLetter(*target, letter);
      target->highLevel = *high;
      target->lowLevel = *low;
      if (HasEdgeTimes(letter)) target->edgeTimes = times;
    }
    return true;
  }

  // Keeps the first table that filled, and counts the record it refused.
  void Note(TableStatus status, int& dropped) {
    if (status == kTableOk) return;
    if (table_ == kTableOk) table_ = status;
    ++dropped;
  }

  bool Malformed() {
    errorLine_ = c_.Line();
    return false;
  }

  Layout& l_;
  Progress& progress_;
  TextCursor c_;
  const std::string& name_;
  ReadMode mode_;
  int64_t dx_ = 0, dy_ = 0;
  bool boxRead_ = false;
  int boxLines_ = 0;
  int errorLine_ = 0;
  TableStatus table_ = kTableOk;
  LayoutReadDropped dropped_;

 public:
  int ErrorLine() const { return errorLine_; }
  TableStatus Table() const { return table_; }
  const LayoutReadDropped& Dropped() const { return dropped_; }
};

// ---------------------------------------------------------------- writer

void AppendInt(std::string& out, int64_t v) {
  char buffer[24];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, r.ptr);
}

// Texts are single lines in the file; a stray line end would split them.
void AppendLine(std::string& out, const std::string& text) {
  for (char ch : text) out += (ch == '\r' || ch == '\n') ? ' ' : ch;
}

char PropertyLetter(const LayoutText& t) {
  switch (t.property) {
    case kPropertyVdd: return '1';
    case kPropertyVss: return '0';
    case kPropertyPulse: return t.visible ? 'p' : 'P';
    case kPropertyClock: return t.visible ? 'c' : 'C';
    default: return t.visible ? 'v' : '-';
  }
}

}  // namespace

std::string FormatLayoutFile(const Layout& l, const std::string& name, std::time_t now,
                             Progress& progress) {
  std::string out;
  out.reserve(64 + size_t(l.boxes.Count()) * 28 + size_t(l.texts.Count()) * 200);
  out += "VERSION " + LocalTimeStamp(now, ' ') + "\r\n";
  out += "FIG #";
  AppendLine(out, name);
  const Rect& e = l.wide.extent;
  out += "\r\nBB(";
  AppendInt(out, e.xmin), out += ',', AppendInt(out, e.ymin), out += ',';
  AppendInt(out, e.xmax), out += ',', AppendInt(out, e.ymax), out += ")\r\n";
  ForEachLive(l.boxes, [&](int i, const Box& b) {
    out += "REC(";
    AppendInt(out, b.x1), out += ',', AppendInt(out, b.y1), out += ',';
    AppendInt(out, int64_t{b.x2} - b.x1), out += ',', AppendInt(out, int64_t{b.y2} - b.y1);
    out += ',', out += l.layers[b.layer].code, out += ")\r\n";
    if (i % kProgressEvery == 0) ShowStatus(progress, std::to_string(i) + " boxes");
  });
  ForEachLive(l.resistances, [&](int, const ResistanceMark& m) {
    out += "RST ", AppendInt(out, m.x), out += ' ', AppendInt(out, m.y), out += " #";
    AppendLine(out, m.text), out += "\r\n";
  });
  // A reader takes texts in only after a box line. Texts whose boxes were all
  // left out (beyond the coordinate range, say) get an empty box line, which
  // adds nothing, so that the file reads back as it was written.
  bool boxWritten = false, textLive = false;
  ForEachLive(l.boxes, [&](int, const Box&) { boxWritten = true; });
  ForEachLive(l.texts, [&](int, const LayoutText&) { textLive = true; });
  if (textLive && !boxWritten) out += "REC(0,0,0,0," + l.layers[kMetal].code + ")\r\n";
  ForEachLive(l.texts, [&](int, const LayoutText& t) {
    out += "TITLE ", AppendInt(out, t.x), out += ' ', AppendInt(out, t.y), out += "  #";
    AppendLine(out, t.text), out += "\r\n$";
    const char letter = PropertyLetter(t);
    out += letter, out += ' ', AppendInt(out, t.highLevel), out += ' ';
    AppendInt(out, t.lowLevel), out += ' ';
    if (HasEdgeTimes(letter))
      for (double time : t.edgeTimes) out += FormatFixed(time * 1e9, 6, 2) + " ";
    out += "\r\n";
  });
  out += "FFIG ";
  AppendLine(out, name);
  out += "\r\n";
  return out;
}

int32_t LayoutReadResult::LastError() const {
  if (ioError != 0) return ioError;
  if (notALayout) return kErrorNotALayout;
  if (malformedLine != 0) return kErrorInvalidNumericInput;
  return table;
}

bool HoldsLayoutRecords(std::string_view text) {
  static constexpr std::string_view kRecords[] = {"BB", "FF", "RE", "RS", "TI"};
  for (size_t start = 0; start < text.size();) {
    const std::string_view line = text.substr(start, 2);
    for (std::string_view record : kRecords)
      if (line == record) return true;
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return false;
}

LayoutReadResult NotALayout(const std::string& name) {
  LayoutReadResult result;
  result.notALayout = true;
  result.message = Quoted(name) + " is not a layout file: no line was recognised";
  return result;
}

bool FileIsNotALayout(const std::string& path) {
  std::string contents;
  return ReadWholeFile(path, contents) == 0 && !HoldsLayoutRecords(contents);
}

LayoutReadResult ReadLayoutText(Layout& l, std::string_view text, const std::string& name,
                                ReadMode mode, Progress& progress) {
  // Any text would otherwise open as an empty layout.
  if (!HoldsLayoutRecords(text)) return NotALayout(name);
  LayoutReadResult result;
  l.wide.savedBoxCount = l.boxes.Count();
  l.wide.savedTextCount = l.texts.Count();
  int64_t dx = 0, dy = 0;
  if (mode != ReadMode::Open) {
    ComputeExtent(l);
    const Rect& e = l.wide.extent;
    if (mode == ReadMode::InsertBeside) {
      dx = int64_t{e.xmax} + (int64_t{e.xmax} - e.xmin) / 6;
      dy = e.ymin;
    } else {
      dx = l.wide.pasteOrigin.x;
      dy = l.wide.pasteOrigin.y;
    }
  }
  l.wide.extracted = 0;
  MskReader reader(l, progress, text, name, mode);
  const bool complete = reader.Run(dx, dy);
  result.table = reader.Table();
  result.dropped = reader.Dropped();
  if (!complete) {
    result.malformedLine = reader.ErrorLine();
    result.message = "Invalid numeric input in " + Quoted(name) + " at line " +
                     std::to_string(result.malformedLine);
    return result;
  }
  result.message = std::to_string(l.boxes.Count()) + " boxes";
  return result;
}

LayoutReadResult ReadLayoutFile(Layout& l, const std::string& path, ReadMode mode,
                                Progress& progress) {
  std::string contents;
  const int ioResult = ReadWholeFile(path, contents);
  ShowStatus(progress, "Open " + path + "...");
  if (ioResult != 0) {
    LayoutReadResult result;
    result.ioError = ioResult;
    result.message = std::to_string(l.boxes.Count()) + " boxes";
    return result;
  }
  return ReadLayoutText(l, contents, path, mode, progress);
}

LayoutWriteResult WriteLayoutFile(Layout& l, const std::string& path, std::time_t now,
                                  Progress& progress) {
  ShowStatus(progress, "Save file...");
  Purge(l);
  l.wide.currentFileName = path;
  ComputeExtent(l);
  const std::string text = FormatLayoutFile(l, path, now, progress);
  LayoutWriteResult result;
  result.ioError = WriteTextFileAtomically(path, text);
  if (result.ioError != 0) {
    result.message = "Error writing " + Quoted(path);
    return result;
  }
  l.wide.modified = 0;
  result.message = "Saved " + std::to_string(l.boxes.Count()) + " boxes in " + Quoted(path);
  return result;
}

}  // namespace tarnisk
