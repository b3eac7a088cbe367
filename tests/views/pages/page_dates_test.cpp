#include <gtest/gtest.h>

#include "support/manual_clock.h"
#include "views/pages/page_dates.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

TEST(PageDates, EachLocaleWritesItsOwnDatesAndTimes) {
  // 2026-03-01 14:05:09 UTC, a Sunday.
  const Date date = test::referenceDate() + 2h + 5min + 9s;
  const QTimeZone utc = QTimeZone::utc();
  struct Case {
    QLocale locale;
    std::string abbreviated;
    std::string complete;
    std::string timeOfDay;
  };
  const std::vector<Case> cases = {
      {QLocale(QLocale::English, QLocale::UnitedStates), "Mar 1, 2026, 2:05 PM",
       "Sunday, March 1, 2026, 2:05:09 PM", "2:05:09 PM"},
      {QLocale(QLocale::German, QLocale::Germany), "1. M\u00e4rz 2026, 14:05",
       "Sonntag, 1. M\u00e4rz 2026, 14:05:09", "14:05:09"},
      {QLocale::c(), "1 Mar 2026, 14:05", "Sunday, 1 March 2026, 14:05:09", "14:05:09"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale.name().toStdString());
    EXPECT_EQ(PageDates::abbreviated(date, c.locale, utc).toStdString(), c.abbreviated);
    EXPECT_EQ(PageDates::complete(date, c.locale, utc).toStdString(), c.complete);
    EXPECT_EQ(PageDates::timeOfDay(date, c.locale, utc).toStdString(), c.timeOfDay);
  }
}

TEST(PageDates, FormatsDropTheWeekdayTheZoneAndSecondsButKeepQuotedText) {
  // Whatever the locale, the derived formats never name a weekday, a zone or (in the short
  // time) seconds, and quoted words stay as they are.
  for (const QLocale& locale :
       {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Spanish, QLocale::Spain), QLocale(QLocale::Japanese, QLocale::Japan),
        QLocale(QLocale::Russian, QLocale::Russia), QLocale::c()}) {
    SCOPED_TRACE(locale.name().toStdString());
    const QString date = PageDates::abbreviatedDateFormat(locale);
    EXPECT_FALSE(date.contains(QStringLiteral("ddd"))) << date.toStdString();
    EXPECT_FALSE(date.contains(QStringLiteral("MMMM"))) << date.toStdString();
    EXPECT_FALSE(date.startsWith(QLatin1Char(' ')) || date.startsWith(QLatin1Char(',')));
    EXPECT_FALSE(date.endsWith(QLatin1Char(' ')) || date.endsWith(QLatin1Char(',')));
    const QString time = PageDates::timeWithSecondsFormat(locale);
    EXPECT_TRUE(time.contains(QStringLiteral("ss"))) << time.toStdString();
    EXPECT_FALSE(time.contains(QLatin1Char('t'))) << time.toStdString();
    const QString shortTime = PageDates::shortTimeFormat(locale);
    EXPECT_FALSE(shortTime.contains(QLatin1Char('s'))) << shortTime.toStdString();
    EXPECT_FALSE(shortTime.endsWith(QLatin1Char(':'))) << shortTime.toStdString();
  }
  const QLocale spanish(QLocale::Spanish, QLocale::Spain);
  EXPECT_EQ(spanish.dateFormat(QLocale::LongFormat).toStdString(), "dddd, d 'de' MMMM 'de' yyyy");
  EXPECT_EQ(PageDates::abbreviatedDateFormat(spanish).toStdString(), "d 'de' MMM 'de' yyyy");
}

}  // namespace
}  // namespace hl
