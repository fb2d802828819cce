#pragma once
// The number reader of the dialog fields: blanks and a "+" in front are
// skipped, "." and "," both start the decimals, a "-" anywhere makes the value
// negative, and a value outside the range is clamped and reported as not ok.

#include <string_view>

namespace tarnisk {

struct ParsedNumber {
  double value = 0;
  bool ok = true;  // a field is taken over only when ok
};

// An empty text gives `fallback`; so does any text with a character that is
// not a digit, a sign or a decimal separator (then ok is false).
ParsedNumber ParseNumber(std::string_view text, double minimum, double maximum, double fallback);

}  // namespace tarnisk
