#pragma once

#include <QLocale>
#include <QString>
#include <QTimeZone>

#include "utilities/time.h"

namespace hl {

// The date and time texts of the Activity and History pages, in the user's locale and time
// zone unless told otherwise.
namespace PageDates {

// A date with the short month name and the time without seconds: "Jun 3, 2024, 2:15 PM".
QString abbreviated(Date date, const QLocale& locale = QLocale(),
                    const QTimeZone& zone = QTimeZone::systemTimeZone());

// The complete date with the weekday and the time with seconds: "Monday, June 3, 2024,
// 2:15:30 PM".
QString complete(Date date, const QLocale& locale = QLocale(),
                 const QTimeZone& zone = QTimeZone::systemTimeZone());

// The time of day with seconds, without a date: "2:15:30 PM", or "14:15:30" where the locale
// counts 24 hours.
QString timeOfDay(Date date, const QLocale& locale = QLocale(),
                  const QTimeZone& zone = QTimeZone::systemTimeZone());

// The formats behind them, taken from the locale's own: its long date without the weekday and
// with the short month name; its long time without the time zone.
QString abbreviatedDateFormat(const QLocale& locale);
QString timeWithSecondsFormat(const QLocale& locale);
// The locale's short time, without seconds even where the locale keeps them.
QString shortTimeFormat(const QLocale& locale);

}  // namespace PageDates

}  // namespace hl
