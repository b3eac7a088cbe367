#include "views/shared/status_tag_model.h"

#include <array>
#include <functional>

namespace hl {

namespace {

constexpr std::array<std::pair<StatusTint, std::string_view>, 6> kTints = {{
    {StatusTint::safe, "safe"},
    {StatusTint::moderate, "moderate"},
    {StatusTint::review, "review"},
    {StatusTint::locked, "locked"},
    {StatusTint::recent, "recent"},
    {StatusTint::neutral, "neutral"},
}};

void combine(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

std::string_view rawValue(StatusTint tint) {
  for (const auto& [value, raw] : kTints) {
    if (value == tint) return raw;
  }
  return "neutral";
}

std::optional<StatusTint> statusTintFromRaw(std::string_view raw) {
  for (const auto& [value, text] : kTints) {
    if (text == raw) return value;
  }
  return std::nullopt;
}

std::optional<StatusTagModel::Kind> statusTagKindFromRaw(int raw) {
  if (raw < 0 || raw > 3) return std::nullopt;
  return static_cast<StatusTagModel::Kind>(raw);
}

std::string StatusTagModel::id() const {
  return std::to_string(rawValue(kind)) + ":" + title;
}

std::size_t hashValue(const StatusTagModel& tag) {
  std::size_t seed = 0;
  const std::hash<std::string> text;
  combine(seed, static_cast<std::size_t>(rawValue(tag.kind)));
  combine(seed, text(tag.title));
  combine(seed, tag.symbol.has_value() ? 1 : 0);
  if (tag.symbol) combine(seed, text(*tag.symbol));
  combine(seed, std::hash<std::string_view>{}(rawValue(tag.tint)));
  combine(seed, text(tag.help));
  return seed;
}

}  // namespace hl
