#include "gen/logo.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "core/number_format.h"
#include "core/utf8.h"

namespace tarnisk {

extern const char kLogoFontText[];  // the font file, compiled in

const Glyph& LogoFont::operator[](int code) const {
  static const Glyph blank{};
  return code >= 0 && code <= kLastGlyphCode ? glyphs_[size_t(code)] : blank;
}

namespace {

std::string_view NextLine(std::string_view& text) {
  const size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool ParseRow(std::string_view line, uint8_t& row) {
  if (line.size() != kGlyphColumns) return false;
  row = 0;
  for (char c : line) {
    if (c != '#' && c != '.') return false;
    row = uint8_t(row << 1 | (c == '#'));
  }
  return true;
}

// The code of a "glyph CODE" line, or -1.
int GlyphCode(std::string_view line) {
  constexpr std::string_view kHead = "glyph ";
  if (line.substr(0, kHead.size()) != kHead) return -1;
  line.remove_prefix(kHead.size());
  int code = -1;
  const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), code);
  const bool whole = error == std::errc() && end == line.data() + line.size();
  return whole && code >= 0 && code <= kLastGlyphCode ? code : -1;
}

// The next character's code from valid UTF-8 text.
char32_t NextCodePoint(std::string_view& text) {
  const auto lead = static_cast<unsigned char>(text.front());
  const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  char32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length && i < int(text.size()); ++i)
    code = code << 6 | (static_cast<unsigned char>(text[size_t(i)]) & 0x3F);
  text.remove_prefix(std::min<size_t>(size_t(length), text.size()));
  return code;
}

}  // namespace

std::optional<LogoFont> ParseLogoFont(std::string_view text, int& problemLine) {
  LogoFont font;
  int lineNumber = 0;
  while (!text.empty()) {
    const std::string_view line = NextLine(text);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    const int code = GlyphCode(line);
    Glyph glyph{};
    for (int row = kGlyphRows - 1; code >= 0 && row >= 0; --row) {
      ++lineNumber;
      if (!ParseRow(NextLine(text), glyph[size_t(row)])) {
        problemLine = lineNumber;
        return std::nullopt;
      }
    }
    if (code < 0) {
      problemLine = lineNumber;
      return std::nullopt;
    }
    font.Set(code, glyph);
  }
  return font;
}

const LogoFont& BuiltInLogoFont() {
  static const LogoFont font = [] {
    int problemLine = 0;
    return ParseLogoFont(kLogoFontText, problemLine).value_or(LogoFont{});
  }();
  return font;
}

int64_t LogoPixel(const Technology& t, double letterSizeMicrons) {
  return std::max<int64_t>(1, RoundToInt32(letterSizeMicrons / (t.LAMB * kGlyphRows)));
}

void DrawLogo(LayoutWriter& out, const Technology& t, Point corner, const LogoSettings& logo,
              const LogoFont& font) {
  const int64_t p = LogoPixel(t, logo.letterSizeMicrons);
  const std::string utf8 = ValidUtf8(logo.text);
  std::string_view text = utf8;
  int64_t x = corner.x;
  while (!text.empty() && !out.Full()) {
    const char32_t code = NextCodePoint(text);
    const Glyph& glyph = font[code <= char32_t(kLastGlyphCode) ? int(code) : -1];
    for (int r = 0; r < kGlyphRows; ++r)
      for (int b = 0; b < kGlyphColumns; ++b)
        if (glyph[size_t(r)] & (0x80 >> b)) out.Square(x + b * p, corner.y + r * p, p, logo.layer);
    x += kGlyphColumns * p;
  }
}

}  // namespace tarnisk
