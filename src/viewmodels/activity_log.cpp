#include "viewmodels/activity_log.h"

#include <algorithm>

namespace hl {

ActivityLog::ActivityLog(WallClock clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)) {}

void ActivityLog::setEvents(std::vector<ActivityEvent> events) {
  if (events == events_) return;
  events_ = std::move(events);
  emit eventsChanged();
}

void ActivityLog::setFilter(std::optional<ActivityEvent::Kind> filter) {
  if (filter == filter_) return;
  filter_ = filter;
  emit filterChanged();
}

void ActivityLog::log(ActivityEvent::Kind kind, std::string message) {
  events_.push_back(ActivityEvent::make(clock_(), kind, std::move(message)));
  emit eventsChanged();
}

std::vector<ActivityEvent> ActivityLog::filteredEvents() const {
  std::vector<ActivityEvent> shown;
  for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
    if (!filter_ || it->kind == *filter_) shown.push_back(*it);
  }
  return shown;
}

int ActivityLog::count(std::optional<ActivityEvent::Kind> kind) const {
  if (!kind) return static_cast<int>(events_.size());
  return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                        [&](const ActivityEvent& e) { return e.kind == *kind; }));
}

}  // namespace hl
