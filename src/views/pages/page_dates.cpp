#include "views/pages/page_dates.h"

#include <QDateTime>
#include <chrono>

namespace hl::PageDates {
namespace {

QDateTime toDateTime(Date date, const QTimeZone& zone) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
  return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), zone);
}

bool isSeparator(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char(','); }

// Rewrites the format's fields outside quoted text: `rewrite` gets each run of one field
// letter and returns its replacement. An empty replacement drops the field with its
// separator: the ":" or "." before it ("h:mm:ss" → "h:mm"), else the blanks and commas after
// it ("dddd, d MMMM" → "d MMMM"), and at the end those before it.
template <typename Rewrite>
QString rewriteFields(const QString& format, Rewrite rewrite) {
  QString out;
  qsizetype i = 0;
  bool dropSeparators = false;
  while (i < format.size()) {
    const QChar c = format[i];
    if (c == QLatin1Char('\'')) {
      const qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
      const qsizetype stop = end < 0 ? format.size() : end + 1;
      out += format.mid(i, stop - i);
      i = stop;
      dropSeparators = false;
      continue;
    }
    if (dropSeparators && isSeparator(c)) {
      ++i;
      continue;
    }
    dropSeparators = false;
    if (!c.isLetter()) {
      out += c;
      ++i;
      continue;
    }
    qsizetype run = i;
    while (run < format.size() && format[run] == c) ++run;
    const QString replacement = rewrite(format.mid(i, run - i));
    if (replacement.isEmpty()) {
      if (!out.isEmpty() && (out.back() == QLatin1Char(':') || out.back() == QLatin1Char('.'))) {
        out.chop(1);
      } else {
        dropSeparators = true;
      }
    }
    out += replacement;
    i = run;
  }
  while (!out.isEmpty() && isSeparator(out.back())) out.chop(1);
  return out;
}

}  // namespace

QString abbreviatedDateFormat(const QLocale& locale) {
  return rewriteFields(locale.dateFormat(QLocale::LongFormat), [](const QString& field) {
    if (field.startsWith(QLatin1Char('d')) && field.size() >= 3) return QString();
    if (field == QLatin1String("MMMM")) return QStringLiteral("MMM");
    return field;
  });
}

QString timeWithSecondsFormat(const QLocale& locale) {
  return rewriteFields(locale.timeFormat(QLocale::LongFormat), [](const QString& field) {
    if (field.startsWith(QLatin1Char('t'))) return QString();
    return field;
  });
}

QString shortTimeFormat(const QLocale& locale) {
  // Some locales' short time (the "C" locale's) still counts seconds.
  return rewriteFields(locale.timeFormat(QLocale::ShortFormat), [](const QString& field) {
    if (field.startsWith(QLatin1Char('s')) || field.startsWith(QLatin1Char('z')) ||
        field.startsWith(QLatin1Char('t'))) {
      return QString();
    }
    return field;
  });
}

QString abbreviated(Date date, const QLocale& locale, const QTimeZone& zone) {
  const QDateTime moment = toDateTime(date, zone);
  return locale.toString(moment, abbreviatedDateFormat(locale)) + QStringLiteral(", ") +
         locale.toString(moment, shortTimeFormat(locale));
}

QString complete(Date date, const QLocale& locale, const QTimeZone& zone) {
  const QDateTime moment = toDateTime(date, zone);
  return locale.toString(moment, locale.dateFormat(QLocale::LongFormat)) + QStringLiteral(", ") +
         locale.toString(moment, timeWithSecondsFormat(locale));
}

QString timeOfDay(Date date, const QLocale& locale, const QTimeZone& zone) {
  return locale.toString(toDateTime(date, zone), timeWithSecondsFormat(locale));
}

}  // namespace hl::PageDates
