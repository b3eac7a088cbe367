#pragma once

#include <cstdint>
#include <string>

namespace hl::ByteFormatting {

// A byte count for people, in decimal units as file sizes are written: "0 bytes", "1 byte",
// "999 bytes", "2 KB", "1.2 MB", "1.23 GB". Kilobytes show no fraction, megabytes one digit,
// larger units two; trailing zeros are dropped. A negative count shows as 0. An approximate
// size is prefixed "≈ ".
std::string string(std::int64_t bytes, bool approximate = false);

// A size over a total: 0 when the total is below 1, else the quotient clamped to 0...1.
double fraction(std::int64_t size, std::int64_t total);

}  // namespace hl::ByteFormatting
