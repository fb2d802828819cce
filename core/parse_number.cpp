#include "core/parse_number.h"

namespace tarnisk {

namespace {

// Drops the leading blanks and then one "+".
std::string_view SkipLeadingSign(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return text;
}

// Reads the characters in turn; a second decimal separator is taken as the
// decimals simply going on.
ParsedNumber ReadDigits(std::string_view text) {
  ParsedNumber result;
  bool negative = false, inDecimals = false;
  double weight = 1;
  for (const char c : text) {
    if (c == '.' || c == ',') {
      inDecimals = true;
    } else if (c == '-') {
      negative = true;
    } else if (c >= '0' && c <= '9') {
      const int digit = c - '0';
      if (inDecimals) {
        weight /= 10;
        result.value += digit * weight;
      } else {
        result.value = result.value * 10 + digit;
      }
    } else {
      result.ok = false;
    }
  }
  if (negative) result.value = -result.value;
  return result;
}

}  // namespace

ParsedNumber ParseNumber(std::string_view text, double minimum, double maximum, double fallback) {
  ParsedNumber result{fallback, true};
  if (!text.empty()) {
    result = ReadDigits(SkipLeadingSign(text));
    if (!result.ok) result.value = fallback;
  }
  if (result.value < minimum) result = {minimum, false};
  if (result.value > maximum) result = {maximum, false};
  return result;
}

}  // namespace tarnisk
