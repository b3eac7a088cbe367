#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hl {

// A 128-bit universally unique identifier.
struct UUID {
  std::array<std::uint8_t, 16> bytes{};

  // A new random (version 4) identifier.
  static UUID random();
  // The 36-character form with hyphens, either case; none for anything else.
  static std::optional<UUID> parse(std::string_view text);
  // The 36-character form in upper case, as the history file has always written it.
  std::string uuidString() const;

  auto operator<=>(const UUID&) const = default;
};

}  // namespace hl

template <>
struct std::hash<hl::UUID> {
  std::size_t operator()(const hl::UUID& uuid) const noexcept {
    std::size_t seed = 0;
    for (std::uint8_t b : uuid.bytes) seed = seed * 131 + b;
    return seed;
  }
};
