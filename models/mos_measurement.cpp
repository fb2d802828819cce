#include "models/mos_measurement.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace tarnisk {

namespace {

constexpr size_t kMaxTitle = 128;
constexpr size_t kLabelLength = 4;

enum class Read { Ok, End, Bad };

// A cursor over the file's text that reads whole lines, the first characters
// of a line, and numbers separated by blanks and line breaks.
class TextCursor {
 public:
  explicit TextCursor(std::string_view text) : text_(text) {}

  int LineNumber() const { return line_; }
  bool AtEnd() const { return at_ >= text_.size(); }

  // The rest of the present line, without its line break; moves past it.
  std::string_view Line() {
    const size_t end = std::min(text_.find('\n', at_), text_.size());
    std::string_view line = text_.substr(at_, end - at_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at_ = end;
    if (at_ < text_.size()) ++at_, ++line_;
    return line;
  }

  // Moves to the start of the next line holding more than blanks.
  void SkipBlankLines() {
    while (!AtEnd()) {
      size_t i = at_;
      while (i < text_.size() && IsBlank(text_[i])) ++i;
      if (i < text_.size() && text_[i] != '\n') return;
      Line();
    }
  }

  // Up to n characters of the present line.
  std::string_view Characters(size_t n) {
    size_t end = at_;
    while (end < text_.size() && end - at_ < n && text_[end] != '\n' && text_[end] != '\r') ++end;
    const std::string_view chars = text_.substr(at_, end - at_);
    at_ = end;
    return chars;
  }

  // Skips blanks and, when the present line holds nothing more, its line break.
  void NextLineAtLineEnd() {
    while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
    if (at_ < text_.size() && text_[at_] == '\n') ++at_, ++line_;
  }

  Read Real(double& value) {
    std::string_view token;
    if (!Token(token)) return Read::End;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    const bool whole = error == std::errc() && end == token.data() + token.size();
    return whole && std::isfinite(value) ? Read::Ok : Read::Bad;
  }

  Read Integer(int64_t& value) {
    std::string_view token;
    if (!Token(token)) return Read::End;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    return error == std::errc() && end == token.data() + token.size() ? Read::Ok : Read::Bad;
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

  // The next run of characters up to a blank or line break; a leading "+" is
  // dropped, as the number reader allows it.
  bool Token(std::string_view& token) {
    while (at_ < text_.size() && (IsBlank(text_[at_]) || text_[at_] == '\n')) {
      if (text_[at_] == '\n') ++line_;
      ++at_;
    }
    if (at_ >= text_.size()) return false;
    const size_t start = at_;
    while (at_ < text_.size() && !IsBlank(text_[at_]) && text_[at_] != '\n') ++at_;
    token = text_.substr(start, at_ - start);
    if (token.size() > 1 && token[0] == '+') token.remove_prefix(1);
    return true;
  }

  std::string_view text_;
  size_t at_ = 0;
  int line_ = 1;
};

// How reading a block went: on to the next block, reading over with the
// measurement loaded (the file ended, or block 2 was skipped), or reading
// over without it.
enum class BlockEnd { Done, Finished, Stopped };

class MeasurementParser {
 public:
  explicit MeasurementParser(std::string_view text) : in_(text) {}

  Measurement Parse() {
    in_.Line();
    m_.title = std::string(in_.Line().substr(0, kMaxTitle));
    if (!ReadDevice()) return m_;
    const BlockEnd first = ReadBlock(m_.idVd, true);
    if (first == BlockEnd::Stopped) return m_;
    if (first == BlockEnd::Done) {
      in_.NextLineAtLineEnd();
      if (ReadBlock(m_.idVg, false) == BlockEnd::Stopped) return m_;
    }
    m_.loaded = true;
    return m_;
  }

 private:
  // Line 3: the type letter, then W and L after the first four characters.
  bool ReadDevice() {
    const int number = in_.LineNumber();
    const std::string_view line = in_.Line();
    m_.pmos = !line.empty() && (line[0] == 'p' || line[0] == 'P');
    TextCursor size(line.size() > kLabelLength ? line.substr(kLabelLength) : std::string_view());
    const Read w = size.Real(m_.wMicrons);
    const Read l = w == Read::Ok ? size.Real(m_.lMicrons) : w;
    if (w == Read::Ok && l == Read::Ok) return true;
    Fail(number);
    return false;
  }

  void Fail(int line) {
    m_.problem = "Invalid numeric input at line " + std::to_string(line);
  }

  // Reads one number into `value`; false when the block cannot go on.
  template <class T>
  bool Number(T& value, BlockEnd& end) {
    double real = 0;
    int64_t integer = 0;
    Read r;
    if constexpr (std::is_same_v<T, double>) r = in_.Real(real);
    else r = in_.Integer(integer);
    if (r == Read::Ok) {
      if constexpr (std::is_same_v<T, double>) value = real;
      else value = integer;
      return true;
    }
    if (r == Read::Bad) Fail(in_.LineNumber());
    end = r == Read::End ? BlockEnd::Finished : BlockEnd::Stopped;
    return false;
  }

  BlockEnd ReadBlock(std::vector<MeasuredPoint>& set, bool first) {
    set.clear();
    in_.SkipBlankLines();
    if (in_.AtEnd()) return BlockEnd::Finished;
    m_.labels.emplace_back(in_.Characters(kLabelLength));
    BlockEnd end = BlockEnd::Done;
    int64_t k = 0, rows = 0, form = 0;
    double p0 = 0, p1 = 0, dp = 0;
    if (!Number(k, end) || !Number(p0, end) || !Number(p1, end) || !Number(dp, end) ||
        !Number(rows, end) || !Number(form, end))
      return end;
    if (form == 0) return ReadTable(set, k, rows, p0, dp);
    return ReadList(set, double(rows) * double(form), first);
  }

  BlockEnd ReadTable(std::vector<MeasuredPoint>& set, int64_t k, int64_t rows, double p0,
                     double dp) {
    if (k > kMaxTableColumns || rows > kMaxTableRows) {
      m_.problem = "Table larger than " + std::to_string(kMaxTableRows) + " rows of " +
                   std::to_string(kMaxTableColumns) + " values at line " +
                   std::to_string(in_.LineNumber());
      return BlockEnd::Stopped;
    }
    if (k < 1 || rows < 1) return BlockEnd::Done;
    std::vector<std::vector<double>> table(size_t(rows), std::vector<double>(size_t(k) + 1));
    BlockEnd end = BlockEnd::Done;
    for (auto& row : table)
      for (double& v : row)
        if (!Number(v, end)) return end;
    for (int64_t c = 1; c <= k; ++c)
      for (const auto& row : table) {
        if (set.size() >= kMaxMeasuredPoints) return BlockEnd::Done;
        set.push_back({row[0], row[size_t(c)], p0 + double(c - 1) * dp});
      }
    return BlockEnd::Done;
  }

  BlockEnd ReadList(std::vector<MeasuredPoint>& set, double count, bool first) {
    if (count > double(kMaxMeasuredPoints)) return first ? BlockEnd::Stopped : BlockEnd::Finished;
    BlockEnd end = BlockEnd::Done;
    for (int i = 0; i < count; ++i) {
      MeasuredPoint point;
      if (!Number(point.x, end) || !Number(point.y, end) || !Number(point.p, end)) return end;
      set.push_back({std::fabs(point.x), std::fabs(point.y), point.p});
    }
    return BlockEnd::Done;
  }

  TextCursor in_;
  Measurement m_;
};

}  // namespace

Measurement ParseMeasurement(std::string_view text) { return MeasurementParser(text).Parse(); }

}  // namespace tarnisk
