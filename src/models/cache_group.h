#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "models/risk_level.h"

namespace hl {

// The nine item groups, declared in the order of the sidebar. The raw value is the case name.
enum class CacheGroup {
  aiWorktrees,
  projects,
  packageCaches,
  buildTools,
  xcode,
  systemCaches,
  largeBackups,
  trash,
  custom,
};

inline constexpr std::array<CacheGroup, 9> allCacheGroups = {
    CacheGroup::aiWorktrees, CacheGroup::projects,     CacheGroup::packageCaches,
    CacheGroup::buildTools,  CacheGroup::xcode,        CacheGroup::systemCaches,
    CacheGroup::largeBackups, CacheGroup::trash,       CacheGroup::custom,
};

std::string_view rawValue(CacheGroup group);
// None for any text that is not exactly a case name.
std::optional<CacheGroup> cacheGroupFromRaw(std::string_view raw);

std::string_view displayName(CacheGroup group);
std::string_view summary(CacheGroup group);
std::string_view regenerates(CacheGroup group);
std::string_view systemImage(CacheGroup group);
const std::vector<std::string>& neverTouch(CacheGroup group);
const std::vector<std::string>& caveats(CacheGroup group);
const std::vector<std::string>& defaultOwners(CacheGroup group);
RiskLevel defaultRisk(CacheGroup group);

}  // namespace hl
