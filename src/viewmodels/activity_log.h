#pragma once

#include <QObject>
#include <optional>
#include <string>
#include <vector>

#include "models/activity_event.h"
#include "utilities/time.h"

namespace hl {

// The in-memory record of what the program did this session: scans, removals, tool runs and
// errors. Never saved; lines are only ever added. GUI thread only.
class ActivityLog : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::vector<hl::ActivityEvent> events READ events WRITE setEvents NOTIFY
                 eventsChanged)
  Q_PROPERTY(std::optional<hl::ActivityEvent::Kind> filter READ filter WRITE setFilter NOTIFY
                 filterChanged)

 public:
  // `clock` dates each line.
  explicit ActivityLog(WallClock clock = systemWallClock(), QObject* parent = nullptr);

  // Oldest first.
  const std::vector<ActivityEvent>& events() const { return events_; }
  // None shows every kind.
  std::optional<ActivityEvent::Kind> filter() const { return filter_; }

  void setEvents(std::vector<ActivityEvent> events);
  void setFilter(std::optional<ActivityEvent::Kind> filter);

  // Adds one line with a new id and the current date; always notifies.
  void log(ActivityEvent::Kind kind, std::string message);

  // Newest first, only the filter's kind when there is one. Changes with `eventsChanged` and
  // `filterChanged`.
  std::vector<ActivityEvent> filteredEvents() const;
  // Lines of that kind among all lines, whatever the filter; all lines for none.
  int count(std::optional<ActivityEvent::Kind> kind) const;

 signals:
  void eventsChanged();
  void filterChanged();

 private:
  WallClock clock_;
  std::vector<ActivityEvent> events_;
  std::optional<ActivityEvent::Kind> filter_;
};

}  // namespace hl
