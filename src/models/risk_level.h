#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace hl {

// How freely an item may be removed; ordered safe < moderate < review.
enum class RiskLevel : int { safe = 0, moderate = 1, review = 2 };

inline constexpr std::array<RiskLevel, 3> allRiskLevels = {RiskLevel::safe, RiskLevel::moderate,
                                                           RiskLevel::review};

constexpr int rawValue(RiskLevel level) { return static_cast<int>(level); }
std::optional<RiskLevel> riskLevelFromRaw(int raw);

std::string_view label(RiskLevel level);
std::string_view explanation(RiskLevel level);

}  // namespace hl
