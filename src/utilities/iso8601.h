#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "utilities/time.h"

namespace hl {

// "2026-03-01T12:00:00Z": UTC, whole seconds (a fraction is cut off), designator "Z".
std::string formatISO8601(Date date);

// An internet date and time with whole seconds and "Z" or a numeric offset ("+01:00",
// "+0100"); none for anything else.
std::optional<Date> parseISO8601(std::string_view text);

}  // namespace hl
