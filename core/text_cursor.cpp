#include "core/text_cursor.h"

#include <charconv>

namespace tarnisk {

char TextCursor::Get() {
  if (AtEof()) return '\0';
  const char c = text_[pos_++];
  if (c == '\n' || (c == '\r' && Peek() != '\n')) ++line_;
  return c;
}

void TextCursor::SkipLine() {
  while (!AtEoln()) ++pos_;
  if (AtEof()) return;
  if (Get() == '\r' && Peek() == '\n') Get();
}

std::string TextCursor::RestOfLine(size_t maxLength) {
  const size_t start = pos_;
  while (!AtEoln()) ++pos_;
  std::string_view rest = text_.substr(start, pos_ - start);
  return std::string(rest.substr(0, maxLength));
}

namespace {

bool IsNumberSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Skips separators; returns the next token (at most maxLength characters
// kept), or nullopt when the text ends first.
std::optional<std::string> NextToken(TextCursor& c, size_t maxLength) {
  while (!c.AtEof() && IsNumberSeparator(c.Peek())) c.Get();
  if (c.AtEof()) return std::nullopt;
  std::string token;
  while (!c.AtEof() && !IsNumberSeparator(c.Peek())) {
    const char ch = c.Get();
    if (token.size() < maxLength) token += ch;
  }
  return token;
}

}  // namespace

std::optional<int32_t> ReadStandardInteger(TextCursor& c) {
  const std::optional<std::string> token = NextToken(c, 64);
  if (!token) return 0;
  std::string_view digits = *token;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
    return std::nullopt;
  return value;
}

std::optional<double> ReadStandardReal(TextCursor& c, size_t maxLength) {
  const std::optional<std::string> token = NextToken(c, maxLength);
  if (!token) return 0.0;
  return ParseDecimalReal(*token);
}

std::optional<double> ParseDecimalReal(std::string_view token) {
  size_t i = 0;
  auto digitsAt = [&](size_t& k) {
    const size_t start = k;
    while (k < token.size() && token[k] >= '0' && token[k] <= '9') ++k;
    return k - start;
  };
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  size_t mantissaDigits = digitsAt(i);
  if (i < token.size() && token[i] == '.') {
    ++i;
    mantissaDigits += digitsAt(i);
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    ++i;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    if (digitsAt(i) == 0) return std::nullopt;
  }
  if (i != token.size()) return std::nullopt;
  // from_chars is locale-independent, unlike strtod under a desktop locale.
  std::string_view number = token.front() == '+' ? token.substr(1) : token;
  double value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) {
    const bool tiny = number.find("e-") != std::string_view::npos ||
                      number.find("E-") != std::string_view::npos;
    if (tiny) return 0.0;
    return std::nullopt;
  }
  if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
}

}  // namespace tarnisk
