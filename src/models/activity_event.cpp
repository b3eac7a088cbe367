#include "models/activity_event.h"

namespace hl {

std::string_view rawValue(ActivityEvent::Kind kind) {
  switch (kind) {
    case ActivityEvent::Kind::scan: return "Scans";
    case ActivityEvent::Kind::cleanup: return "Cleanups";
    case ActivityEvent::Kind::tool: return "Tools";
    case ActivityEvent::Kind::error: return "Errors";
  }
  return {};
}

std::optional<ActivityEvent::Kind> activityKindFromRaw(std::string_view raw) {
  for (ActivityEvent::Kind kind : allActivityKinds) {
    if (rawValue(kind) == raw) return kind;
  }
  return std::nullopt;
}

std::string_view systemImage(ActivityEvent::Kind kind) {
  switch (kind) {
    case ActivityEvent::Kind::scan: return "magnifyingglass";
    case ActivityEvent::Kind::cleanup: return "trash";
    case ActivityEvent::Kind::tool: return "terminal";
    case ActivityEvent::Kind::error: return "exclamationmark.triangle";
  }
  return {};
}

}  // namespace hl
