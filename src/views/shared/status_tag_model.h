#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hl {

// The colour family of a chip. The raw value is the case name.
enum class StatusTint { safe, moderate, review, locked, recent, neutral };

std::string_view rawValue(StatusTint tint);
// Exactly the six case names; anything else is none.
std::optional<StatusTint> statusTintFromRaw(std::string_view raw);

// One status chip: what the grammar decided, before any drawing.
struct StatusTagModel {
  // The role of the chip. Raw values 0…3; `overflow` is produced by no rule.
  enum class Kind { state = 0, guardTag = 1, info = 2, overflow = 3 };

  Kind kind = Kind::state;
  std::string title;
  std::optional<std::string> symbol;
  StatusTint tint = StatusTint::neutral;
  std::string help;

  // The kind's raw value, ":" and the title: two chips of one kind and title share it.
  std::string id() const;

  bool operator==(const StatusTagModel&) const = default;
};

constexpr int rawValue(StatusTagModel::Kind kind) { return static_cast<int>(kind); }
// 0…3 and nothing else.
std::optional<StatusTagModel::Kind> statusTagKindFromRaw(int raw);

std::size_t hashValue(const StatusTagModel& tag);

}  // namespace hl

template <>
struct std::hash<hl::StatusTagModel> {
  std::size_t operator()(const hl::StatusTagModel& tag) const { return hl::hashValue(tag); }
};
