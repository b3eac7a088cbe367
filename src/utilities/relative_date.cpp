#include "utilities/relative_date.h"

#include <cstdint>
#include <iterator>

namespace hl::RelativeDate {
namespace {

constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kWeek = 7 * kDay;
// Calendar months and years vary; the phrase is an approximation, so average lengths serve.
constexpr std::int64_t kMonth = 2629746;  // 365.2425 days / 12
constexpr std::int64_t kYear = 12 * kMonth;

struct Unit {
  std::int64_t seconds;
  const char* singular;
  const char* plural;
};

// Largest first. Only "day" has a plural form of its own; the abbreviations do not change.
constexpr Unit kUnits[] = {
    {kYear, "yr.", "yr."},    {kMonth, "mo.", "mo."},  {kWeek, "wk.", "wk."},
    {kDay, "day", "days"},    {kHour, "hr.", "hr."},   {kMinute, "min.", "min."},
    {1, "sec.", "sec."},
};

}  // namespace

std::string shortPhrase(Date date, Date now) {
  const auto difference = std::chrono::duration_cast<std::chrono::seconds>(now - date).count();
  const bool future = difference < 0;
  const std::int64_t seconds = future ? -difference : difference;
  const Unit* unit = &kUnits[std::size(kUnits) - 1];
  for (const Unit& candidate : kUnits) {
    if (seconds >= candidate.seconds) {
      unit = &candidate;
      break;
    }
  }
  const std::int64_t count = seconds / unit->seconds;
  const std::string amount = std::to_string(count) + " " + (count == 1 ? unit->singular : unit->plural);
  return future ? "in " + amount : amount + " ago";
}

}  // namespace hl::RelativeDate
