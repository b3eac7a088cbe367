#include "utilities/time.h"

#include <time.h>

namespace hl {

WallClock systemWallClock() {
  return [] { return std::chrono::system_clock::now(); };
}

MonotonicClock systemMonotonicClock() {
  return [] { return std::chrono::steady_clock::now(); };
}

MonotonicClock continuousClock() {
  return [] {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return Instant(std::chrono::duration_cast<Instant::duration>(
        std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
  };
}

double secondsBetween(Date earlier, Date later) {
  return std::chrono::duration<double>(later - earlier).count();
}

Date wholeSeconds(Date date) {
  return std::chrono::floor<std::chrono::seconds>(date);
}

}  // namespace hl
