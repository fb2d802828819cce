#include "core/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tarnisk {

std::string FormatFixed(double value, int width, int decimals) {
  char buffer[400];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text = ec == std::errc() ? std::string(buffer, end) : std::string("?");
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

int32_t RoundToInt32(double value) {
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  if (std::isnan(value)) return 0;
  const double rounded = std::nearbyint(value);  // default mode: ties to even
  if (rounded <= kMin) return std::numeric_limits<int32_t>::min();
  if (rounded >= kMax) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(rounded);
}

}  // namespace tarnisk
