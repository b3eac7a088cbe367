#include <gtest/gtest.h>

#include "models/activity_event.h"
#include "models/history_entry.h"
#include "support/manual_clock.h"
#include "utilities/iso8601.h"

using namespace hl;
using namespace std::chrono_literals;

namespace {

HistoryEntry sample(std::optional<std::string> trigger = std::nullopt) {
  return HistoryEntry::make(UUID::random(), test::referenceDate() + 1500ms, "Package caches",
                            {"/Users/u/.npm"}, 4096, {{"/Users/u/.cache/x", "Skipped: in use"}},
                            std::move(trigger), true);
}

std::string record(const std::string& extra) {
  return R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF",)"
         R"("operationID":"6f9619ff-8b86-d011-b42d-00c04fc964ff",)"
         R"("date":"2026-03-01T12:00:00Z","category":"c","itemPaths":["/a"],)" +
         extra + "}";
}

}  // namespace

TEST(HistoryEntry, RoundTripsExactlyWithWholeSeconds) {
  const HistoryEntry entry = sample("Quick Clean");
  EXPECT_EQ(entry.date, test::referenceDate() + 1s);
  const auto decoded = decodeHistoryEntry(encodeHistoryEntry(entry));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, entry);
  const auto list = decodeHistory(encodeHistory({entry, sample()}));
  ASSERT_TRUE(list);
  EXPECT_EQ(list->size(), 2u);
  EXPECT_EQ(list->front(), entry);
}

TEST(HistoryEntry, WritesSortedKeysAndLeavesOutAMissingTrigger) {
  const std::string text = encodeHistoryEntry(sample());
  EXPECT_EQ(text.find("\"trigger\""), std::string::npos);
  EXPECT_NE(text.find("\"permanent\": true"), std::string::npos);
  EXPECT_NE(text.find("\"date\": \"2026-03-01T12:00:01Z\""), std::string::npos);
  const char* order[] = {"bytesFreed", "category", "date", "failures", "message", "path",
                         "id", "itemPaths", "operationID", "permanent"};
  std::size_t last = 0;
  for (const char* key : order) {
    const std::size_t at = text.find(std::string("\"") + key + "\"");
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GT(at, last) << key;
    last = at;
  }
}

TEST(HistoryEntry, OptionalKeysDefaultAndRequiredKeysFail) {
  auto plain = decodeHistoryEntry(record(R"("bytesFreed":1,"failures":[])"));
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->trigger);
  EXPECT_FALSE(plain->permanent);
  EXPECT_EQ(plain->id, plain->operationID);

  auto nulls = decodeHistoryEntry(
      record(R"("bytesFreed":1,"failures":[],"permanent":null,"trigger":null,"other":3)"));
  ASSERT_TRUE(nulls);
  EXPECT_FALSE(nulls->permanent);

  std::string error;
  EXPECT_FALSE(decodeHistoryEntry(record(R"("bytesFreed":1)"), &error));
  EXPECT_NE(error.find("failures"), std::string::npos);
  EXPECT_FALSE(decodeHistoryEntry(record(R"("bytesFreed":"1","failures":[])")));
  EXPECT_FALSE(decodeHistoryEntry(record(R"("bytesFreed":1.5,"failures":[])")));
  EXPECT_FALSE(decodeHistoryEntry(record(R"("bytesFreed":1,"failures":[{"path":"/a"}])")));
  EXPECT_FALSE(decodeHistoryEntry(record(R"("bytesFreed":1,"failures":[],"permanent":"yes")")));
  EXPECT_FALSE(decodeHistory("{}"));
  EXPECT_FALSE(decodeHistory("[1]"));
  EXPECT_FALSE(decodeHistory("not json"));
  EXPECT_TRUE(decodeHistory("[]"));
}

TEST(HistoryEntry, RejectsMalformedIdsAndDates) {
  std::string bad = record(R"("bytesFreed":1,"failures":[])");
  std::string badId = bad;
  badId.replace(badId.find("6F96"), 4, "ZZZZ");
  EXPECT_FALSE(decodeHistoryEntry(badId));
  std::string badDate = bad;
  badDate.replace(badDate.find("2026-03-01T12:00:00Z"), 20, "2026-02-30T12:00:00Z");
  EXPECT_FALSE(decodeHistoryEntry(badDate));
}

TEST(Iso8601, FormatsUtcAndReadsOffsets) {
  EXPECT_EQ(formatISO8601(test::referenceDate() + 999ms), "2026-03-01T12:00:00Z");
  EXPECT_EQ(parseISO8601("2026-03-01T12:00:00Z"), test::referenceDate());
  EXPECT_EQ(parseISO8601("2026-03-01T13:30:00+01:30"), test::referenceDate());
  EXPECT_FALSE(parseISO8601("2026-03-01 12:00:00Z"));
  EXPECT_FALSE(parseISO8601("2026-03-01T12:00:00"));
  EXPECT_FALSE(parseISO8601("2026-13-01T12:00:00Z"));
}

TEST(UUID, ParsesEitherCaseAndWritesUpperCase) {
  const UUID a = UUID::random();
  EXPECT_NE(a, UUID::random());
  EXPECT_EQ(UUID::parse(a.uuidString()), a);
  EXPECT_EQ(a.uuidString()[14], '4');
  const auto lower = UUID::parse("6f9619ff-8b86-d011-b42d-00c04fc964ff");
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->uuidString(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
  EXPECT_FALSE(UUID::parse("6f9619ff8b86-d011-b42d-00c04fc964ff0"));
}

TEST(ActivityEvent, KindsByTheirFilterTitles) {
  EXPECT_EQ(activityKindFromRaw("Scans"), ActivityEvent::Kind::scan);
  EXPECT_EQ(activityKindFromRaw("scans"), std::nullopt);
  EXPECT_EQ(systemImage(ActivityEvent::Kind::error), "exclamationmark.triangle");
  const ActivityEvent a = ActivityEvent::make(test::referenceDate(), ActivityEvent::Kind::tool, "x");
  ActivityEvent b = a;
  EXPECT_EQ(a, b);
  b.message = "y";
  EXPECT_NE(a, b);
}
