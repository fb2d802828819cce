#pragma once
// A character cursor over the bytes of a text file, with the line handling
// that the layout and rule-file readers share. Line ends are LF, CR LF or a
// lone CR; reading past the end yields '\0' and never leaves the buffer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnisk {

class TextCursor {
 public:
  explicit TextCursor(std::string_view text) : text_(text) {}

  bool AtEof() const { return pos_ >= text_.size(); }
  // True at a line end or at the end of the text.
  bool AtEoln() const { return AtEof() || text_[pos_] == '\r' || text_[pos_] == '\n'; }
  char Peek() const { return AtEof() ? '\0' : text_[pos_]; }

  // Takes one character; line-end characters are returned like any other.
  char Get();

  // Skips the rest of the current line and its line end.
  void SkipLine();

  // The rest of the current line (not its line end), at most maxLength
  // characters kept; the cursor stops at the line end.
  std::string RestOfLine(size_t maxLength);

  // 1-based number of the line the cursor stands in.
  int Line() const { return line_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

// Readers with the behaviour of the language's standard number input: skip
// blanks, tabs and line ends, take the characters up to the next blank, tab
// or line end, and require them to form a whole number. At the end of the text
// the number is 0. nullopt means a malformed number (or one out of range).
std::optional<int32_t> ReadStandardInteger(TextCursor& c);
std::optional<double> ReadStandardReal(TextCursor& c, size_t maxLength = 64);

// Parses a whole token as a decimal real: optional sign, digits with an
// optional fraction, optional exponent. Refuses infinities and overflow.
std::optional<double> ParseDecimalReal(std::string_view token);

}  // namespace tarnisk
