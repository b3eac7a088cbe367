#include "utilities/relative_date.h"

#include <cstdint>
#include <iterator>

namespace hl::RelativeDate {
namespace {

constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kWeek = 7 * kDay;
constexpr std::int64_t kMonth = 2629746;  // 365.2425 days / 12
constexpr std::int64_t kYear = 12 * kMonth;

struct Unit {
  std::int64_t seconds;
  const char* singular;
  const char* plural;
};

// Largest first, the same units in both styles. Of the abbreviations only "day" has a plural
// form of its own.
constexpr Unit kShortUnits[] = {
    {kYear, "yr.", "yr."},    {kMonth, "mo.", "mo."},  {kWeek, "wk.", "wk."},
    {kDay, "day", "days"},    {kHour, "hr.", "hr."},   {kMinute, "min.", "min."},
    {1, "sec.", "sec."},
};
constexpr Unit kFullUnits[] = {
    {kYear, "year", "years"},     {kMonth, "month", "months"},   {kWeek, "week", "weeks"},
    {kDay, "day", "days"},        {kHour, "hour", "hours"},      {kMinute, "minute", "minutes"},
    {1, "second", "seconds"},
};
static_assert(std::size(kShortUnits) == std::size(kFullUnits));

template <std::size_t N>
std::string phrase(Date date, Date now, const Unit (&units)[N]) {
  const auto difference = std::chrono::duration_cast<std::chrono::seconds>(now - date).count();
  const bool future = difference < 0;
  const std::int64_t seconds = future ? -difference : difference;
  const Unit* unit = &units[N - 1];
  for (const Unit& candidate : units) {
    if (seconds >= candidate.seconds) {
      unit = &candidate;
      break;
    }
  }
  const std::int64_t count = seconds / unit->seconds;
  const std::string amount =
      std::to_string(count) + " " + (count == 1 ? unit->singular : unit->plural);
  return future ? "in " + amount : amount + " ago";
}

}  // namespace

std::string shortPhrase(Date date, Date now) { return phrase(date, now, kShortUnits); }

std::string fullPhrase(Date date, Date now) { return phrase(date, now, kFullUnits); }

}  // namespace hl::RelativeDate
