#include "utilities/byte_formatting.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <charconv>

namespace hl::ByteFormatting {

std::string string(std::int64_t bytes, bool approximate) {
  const std::string prefix = approximate ? "\u2248 " : "";
  if (bytes <= 0) return prefix + "0 bytes";
  if (bytes == 1) return prefix + "1 byte";
  if (bytes < 1000) return prefix + std::to_string(bytes) + " bytes";

  static constexpr std::array<const char*, 6> units = {"KB", "MB", "GB", "TB", "PB", "EB"};
  static constexpr std::array<int, 6> fractionDigits = {0, 1, 2, 2, 2, 2};
  std::size_t unit = 0;
  double value = static_cast<double>(bytes) / 1000.0;
  while (unit + 1 < units.size()) {
    // Move up a unit when the value, rounded as it will be shown, reaches 1000.
    const double scale = std::pow(10.0, fractionDigits[unit]);
    if (std::round(value * scale) / scale < 1000.0) break;
    value /= 1000.0;
    ++unit;
  }
  // Always a decimal point: the C library's formatting would follow the user's locale, which
  // the program switches on at start.
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value,
                                     std::chars_format::fixed, fractionDigits[unit]);
  std::string number(buffer, written.ptr);
  if (number.find('.') != std::string::npos) {
    while (!number.empty() && number.back() == '0') number.pop_back();
    if (!number.empty() && number.back() == '.') number.pop_back();
  }
  // Thousands separators for the integer part (only reachable in the largest unit).
  const std::size_t dot = std::min(number.find('.'), number.size());
  for (std::size_t i = dot; i > 3; i -= 3) number.insert(i - 3, ",");
  return prefix + number + " " + units[unit];
}

double fraction(std::int64_t size, std::int64_t total) {
  if (total < 1) return 0;
  return std::clamp(static_cast<double>(size) / static_cast<double>(total), 0.0, 1.0);
}

}  // namespace hl::ByteFormatting
