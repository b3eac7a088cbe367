#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace hl {

// A cache folder that a package tool reports about itself.
enum class ToolLocationKey {
  pnpmStore,
  uvCache,
  goModCache,
  goBuildCache,
  brewCache,
  npmCacache,
  npmNpx
};

inline constexpr std::array<ToolLocationKey, 7> allToolLocationKeys = {
    ToolLocationKey::pnpmStore,    ToolLocationKey::uvCache,   ToolLocationKey::goModCache,
    ToolLocationKey::goBuildCache, ToolLocationKey::brewCache, ToolLocationKey::npmCacache,
    ToolLocationKey::npmNpx};

// The case name.
std::string_view rawValue(ToolLocationKey key);
std::optional<ToolLocationKey> toolLocationKeyFromRaw(std::string_view raw);

}  // namespace hl
