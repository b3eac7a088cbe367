#include <gtest/gtest.h>

#include "support/manual_clock.h"
#include "viewmodels/activity_log.h"

using namespace hl;
using namespace std::chrono_literals;
using Kind = ActivityEvent::Kind;

namespace {

std::vector<std::string> messages(const std::vector<ActivityEvent>& events) {
  std::vector<std::string> texts;
  for (const ActivityEvent& event : events) texts.push_back(event.message);
  return texts;
}

}  // namespace

TEST(ActivityLog, ANewLogIsEmpty) {
  ActivityLog log;
  for (Kind kind : allActivityKinds) EXPECT_EQ(log.count(kind), 0);
  EXPECT_EQ(log.count(std::nullopt), 0);
  EXPECT_TRUE(log.filteredEvents().empty());
  EXPECT_EQ(log.filter(), std::nullopt);
}

TEST(ActivityLog, ListsNewestFirstByKindAndCountsWhateverTheFilter) {
  test::ManualWallClock clock(test::referenceDate());
  ActivityLog log(clock.clock());
  log.log(Kind::scan, "Scan started");
  clock.advance(2s);
  log.log(Kind::error, "Could not read history: x");
  clock.advance(2s);
  log.log(Kind::scan, "Scan started");

  ASSERT_EQ(log.events().size(), 3u);
  EXPECT_EQ(log.events()[0].kind, Kind::scan);
  EXPECT_EQ(log.events()[1].kind, Kind::error);
  EXPECT_EQ(log.events()[1].date, test::referenceDate() + 2s);
  // The same kind and message twice are two lines.
  EXPECT_NE(log.events()[0].id, log.events()[2].id);

  std::vector<ActivityEvent> all = log.filteredEvents();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0], log.events()[2]);
  EXPECT_EQ(all[1], log.events()[1]);
  EXPECT_EQ(all[2], log.events()[0]);

  log.setFilter(Kind::scan);
  const std::vector<ActivityEvent> scans = log.filteredEvents();
  ASSERT_EQ(scans.size(), 2u);
  EXPECT_EQ(scans[0], log.events()[2]);
  EXPECT_EQ(scans[1], log.events()[0]);
  log.setFilter(Kind::tool);
  EXPECT_TRUE(log.filteredEvents().empty());

  for (std::optional<Kind> filter : {std::optional<Kind>(), std::optional(Kind::tool)}) {
    log.setFilter(filter);
    EXPECT_EQ(log.count(Kind::scan), 2);
    EXPECT_EQ(log.count(Kind::error), 1);
    EXPECT_EQ(log.count(Kind::cleanup), 0);
    EXPECT_EQ(log.count(std::nullopt), 3);
  }
  EXPECT_EQ(messages(log.events()),
            (std::vector<std::string>{"Scan started", "Could not read history: x",
                                      "Scan started"}));
}

TEST(ActivityLog, NotifiesOnEveryLineButNotOnAnEqualAssignment) {
  ActivityLog log;
  int eventChanges = 0;
  int filterChanges = 0;
  QObject::connect(&log, &ActivityLog::eventsChanged, [&] { ++eventChanges; });
  QObject::connect(&log, &ActivityLog::filterChanged, [&] { ++filterChanges; });

  log.log(Kind::tool, "same");
  log.log(Kind::tool, "same");
  EXPECT_EQ(eventChanges, 2);
  log.setEvents(log.events());
  EXPECT_EQ(eventChanges, 2);
  log.setEvents({});
  EXPECT_EQ(eventChanges, 3);

  log.setFilter(std::nullopt);
  EXPECT_EQ(filterChanges, 0);
  log.setFilter(Kind::error);
  log.setFilter(Kind::error);
  EXPECT_EQ(filterChanges, 1);
  log.setFilter(std::nullopt);
  EXPECT_EQ(filterChanges, 2);
}
