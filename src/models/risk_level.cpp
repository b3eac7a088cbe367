#include "models/risk_level.h"

namespace hl {

std::optional<RiskLevel> riskLevelFromRaw(int raw) {
  if (raw < 0 || raw > 2) return std::nullopt;
  return static_cast<RiskLevel>(raw);
}

std::string_view label(RiskLevel level) {
  switch (level) {
    case RiskLevel::safe: return "Safe";
    case RiskLevel::moderate: return "Moderate";
    case RiskLevel::review: return "Review";
  }
  return {};
}

std::string_view explanation(RiskLevel level) {
  switch (level) {
    case RiskLevel::safe:
      return "Regenerated automatically. Ticked by \u201CSelect all safe\u201D and Quick Clean.";
    case RiskLevel::moderate:
      return "Opt-in. Rebuilding it is slow or it may hold something you want; never ticked "
             "automatically.";
    case RiskLevel::review:
      return "Not selectable here. Check it in your file manager and remove it yourself if you are "
             "sure.";
  }
  return {};
}

}  // namespace hl
