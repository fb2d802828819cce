#pragma once
// Numbers in messages and files: right-aligned in at least `width`
// characters, blank-padded on the left, with exactly `decimals` digits after
// the decimal point (a "." whatever the desktop locale).

#include <cstdint>
#include <string>

namespace tarnisk {

std::string FormatFixed(double value, int width, int decimals);

// A name in double-quote characters, as messages show file names and texts.
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Round half to even, clamped to the 32-bit range.
int32_t RoundToInt32(double value);

}  // namespace tarnisk
