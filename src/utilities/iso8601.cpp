#include "utilities/iso8601.h"

#include <cstdio>

namespace hl {
namespace {

bool digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
  if (at + count > text.size()) return false;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

}  // namespace

std::string formatISO8601(Date date) {
  const auto secs = std::chrono::floor<std::chrono::seconds>(date);
  const auto days = std::chrono::floor<std::chrono::days>(secs);
  const std::chrono::year_month_day ymd{days};
  const std::chrono::hh_mm_ss hms{secs - days};
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()), static_cast<int>(hms.hours().count()),
                static_cast<int>(hms.minutes().count()),
                static_cast<int>(hms.seconds().count()));
  return buffer;
}

std::optional<Date> parseISO8601(std::string_view text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!digits(text, 0, 4, year) || text.size() < 20 || text[4] != '-' ||
      !digits(text, 5, 2, month) || text[7] != '-' || !digits(text, 8, 2, day) ||
      text[10] != 'T' || !digits(text, 11, 2, hour) || text[13] != ':' ||
      !digits(text, 14, 2, minute) || text[16] != ':' || !digits(text, 17, 2, second)) {
    return std::nullopt;
  }
  const std::string_view zone = text.substr(19);
  int offsetSeconds = 0;
  if (zone == "Z") {
    offsetSeconds = 0;
  } else if ((zone.size() == 6 || zone.size() == 5) && (zone[0] == '+' || zone[0] == '-')) {
    int oh = 0, om = 0;
    const bool colon = zone.size() == 6;
    if (!digits(zone, 1, 2, oh) || (colon && zone[3] != ':') ||
        !digits(zone, colon ? 4 : 3, 2, om) || oh > 23 || om > 59) {
      return std::nullopt;
    }
    offsetSeconds = (oh * 3600 + om * 60) * (zone[0] == '-' ? -1 : 1);
  } else {
    return std::nullopt;
  }
  const std::chrono::year_month_day ymd{std::chrono::year{year},
                                        std::chrono::month{static_cast<unsigned>(month)},
                                        std::chrono::day{static_cast<unsigned>(day)}};
  if (!ymd.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  const auto base = std::chrono::sys_days{ymd} + std::chrono::hours{hour} +
                    std::chrono::minutes{minute} + std::chrono::seconds{second} -
                    std::chrono::seconds{offsetSeconds};
  return Date{std::chrono::duration_cast<Date::duration>(base.time_since_epoch())};
}

}  // namespace hl
