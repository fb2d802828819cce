#pragma once
// Text logos drawn in boxes: every character a glyph of 8 columns by 18
// rows, each pixel a square box of the chosen layer.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/technology.h"
#include "gen/generated.h"
#include "gen/settings.h"

namespace tarnisk {

inline constexpr int kGlyphRows = 18, kGlyphColumns = 8;
// Characters with codes above this have no glyph.
inline constexpr int kLastGlyphCode = 200;

// One byte per row, row 0 at the bottom; the most significant bit is the
// leftmost column.
using Glyph = std::array<uint8_t, kGlyphRows>;

class LogoFont {
 public:
  // Blank for codes without a glyph.
  const Glyph& operator[](int code) const;
  void Set(int code, const Glyph& glyph) { glyphs_[size_t(code)] = glyph; }

 private:
  std::array<Glyph, kLastGlyphCode + 1> glyphs_{};
};

// The font text: "glyph CODE" lines, each followed by its 18 rows from the
// top, '#' for a pixel and '.' for none; lines starting with '#' before a
// glyph and empty lines are comments. nullopt, with the line in
// `problemLine`, for a malformed text.
std::optional<LogoFont> ParseLogoFont(std::string_view text, int& problemLine);

// The font that comes with the program.
const LogoFont& BuiltInLogoFont();

// The side of one pixel in lambda for letters `letterSizeMicrons` high.
int64_t LogoPixel(const Technology& t, double letterSizeMicrons);

// The text from `corner`, the lower-left corner of its first letter, each
// letter 8 pixels to the right of the one before. UTF-8 text is taken by
// character; a character above code 200 leaves a blank.
void DrawLogo(LayoutWriter& out, const Technology& t, Point corner, const LogoSettings& logo,
              const LogoFont& font = BuiltInLogoFont());

}  // namespace tarnisk
