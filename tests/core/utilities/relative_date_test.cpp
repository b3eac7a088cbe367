#include "utilities/relative_date.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"

using namespace hl;
using namespace std::chrono_literals;

TEST(RelativeDate, PicksTheLargestWholeUnit) {
  const Date now = hl::test::referenceDate();
  auto ago = [&](auto duration) { return RelativeDate::shortPhrase(now - duration, now); };
  EXPECT_EQ(ago(0s), "0 sec. ago");
  EXPECT_EQ(ago(59s), "59 sec. ago");
  EXPECT_EQ(ago(60s), "1 min. ago");
  EXPECT_EQ(ago(59min + 59s), "59 min. ago");
  EXPECT_EQ(ago(1h), "1 hr. ago");
  EXPECT_EQ(ago(23h), "23 hr. ago");
  EXPECT_EQ(ago(24h), "1 day ago");
  EXPECT_EQ(ago(3 * 24h), "3 days ago");
  EXPECT_EQ(ago(6 * 24h + 23h), "6 days ago");
  EXPECT_EQ(ago(7 * 24h), "1 wk. ago");
  EXPECT_EQ(ago(14 * 24h), "2 wk. ago");
  EXPECT_EQ(ago(29 * 24h), "4 wk. ago");
  EXPECT_EQ(ago(31 * 24h), "1 mo. ago");
  EXPECT_EQ(ago(90 * 24h), "2 mo. ago");
  EXPECT_EQ(ago(364 * 24h), "11 mo. ago");
  EXPECT_EQ(ago(366 * 24h), "1 yr. ago");
  EXPECT_EQ(ago(3 * 366 * 24h), "3 yr. ago");
}

TEST(RelativeDate, FutureDatesReadForward) {
  const Date now = hl::test::referenceDate();
  EXPECT_EQ(RelativeDate::shortPhrase(now + 5min, now), "in 5 min.");
  EXPECT_EQ(RelativeDate::shortPhrase(now + 48h, now), "in 2 days");
  // Less than a second ahead is no time at all.
  EXPECT_EQ(RelativeDate::shortPhrase(now + 300ms, now), "0 sec. ago");
}

TEST(RelativeDate, TheFullStyleWritesTheSameUnitsOut) {
  const Date now = hl::test::referenceDate();
  struct Row {
    std::chrono::seconds ago;
    const char* phrase;
  };
  const Row rows[] = {
      {0s, "0 seconds ago"},         {1s, "1 second ago"},           {60s, "1 minute ago"},
      {5min, "5 minutes ago"},       {59min + 59s, "59 minutes ago"}, {1h, "1 hour ago"},
      {23h, "23 hours ago"},         {24h, "1 day ago"},              {6 * 24h, "6 days ago"},
      {7 * 24h, "1 week ago"},       {29 * 24h, "4 weeks ago"},       {31 * 24h, "1 month ago"},
      {364 * 24h, "11 months ago"},  {366 * 24h, "1 year ago"},       {3 * 366 * 24h, "3 years ago"},
      {-5min, "in 5 minutes"},       {-48h, "in 2 days"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RelativeDate::fullPhrase(now - row.ago, now), row.phrase) << row.ago.count();
  }
}
