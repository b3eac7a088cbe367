#pragma once

#include <chrono>
#include <functional>

namespace hl {

// Wall-clock moments (plan ages, history dates, staleness) and monotonic instants (waits,
// batching) are different kinds of time and never mix.
using Date = std::chrono::system_clock::time_point;
using Instant = std::chrono::steady_clock::time_point;
using Seconds = std::chrono::duration<double>;

// Clocks are injected wherever timing is part of the behaviour, so tests never sleep.
using WallClock = std::function<Date()>;
using MonotonicClock = std::function<Instant()>;

WallClock systemWallClock();
MonotonicClock systemMonotonicClock();
// A monotonic clock that keeps counting while the computer sleeps (CLOCK_BOOTTIME), for short
// waits that must not stretch across a suspend. Its instants compare only with its own.
MonotonicClock continuousClock();

// Seconds between two dates as a fractional number (later minus earlier).
double secondsBetween(Date earlier, Date later);

// A date cut to whole seconds (towards the past), as stored in files that keep whole seconds.
Date wholeSeconds(Date date);

}  // namespace hl
