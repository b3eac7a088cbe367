#pragma once

#include <string>

#include "utilities/time.h"

namespace hl {

// A phrase for how far a date lies from now, in the largest whole unit that fits. Calendar
// months and years vary; the phrase is an approximation, so average lengths serve.
namespace RelativeDate {

// Abbreviated units, where space is short (subtitles): "3 days ago", "2 wk. ago", "1 hr. ago",
// "in 5 min.".
std::string shortPhrase(Date date, Date now);

// Units written out, for running text (the status bar): "5 minutes ago", "1 hour ago",
// "2 weeks ago", "in 3 days".
std::string fullPhrase(Date date, Date now);

}  // namespace RelativeDate

}  // namespace hl
