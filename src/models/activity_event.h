#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "utilities/time.h"
#include "utilities/uuid.h"

namespace hl {

// One line of the in-memory activity log; never stored.
struct ActivityEvent {
  // The raw value is also the title of the filter that shows only that kind.
  enum class Kind { scan, cleanup, tool, error };

  UUID id;
  Date date;
  Kind kind = Kind::scan;
  std::string message;

  static ActivityEvent make(Date date, Kind kind, std::string message) {
    return ActivityEvent{UUID::random(), date, kind, std::move(message)};
  }

  bool operator==(const ActivityEvent&) const = default;
};

inline constexpr std::array<ActivityEvent::Kind, 4> allActivityKinds = {
    ActivityEvent::Kind::scan, ActivityEvent::Kind::cleanup, ActivityEvent::Kind::tool,
    ActivityEvent::Kind::error};

std::string_view rawValue(ActivityEvent::Kind kind);
std::optional<ActivityEvent::Kind> activityKindFromRaw(std::string_view raw);
std::string_view systemImage(ActivityEvent::Kind kind);

}  // namespace hl
