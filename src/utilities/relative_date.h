#pragma once

#include <string>

#include "utilities/time.h"

namespace hl {

// A short phrase for how far a date lies from now, in the largest whole unit that fits:
// "3 days ago", "2 wk. ago", "1 hr. ago", "in 5 min.". Used in subtitles, where space is short.
namespace RelativeDate {

std::string shortPhrase(Date date, Date now);

}  // namespace RelativeDate

}  // namespace hl
