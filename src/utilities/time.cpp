#include "utilities/time.h"

namespace hl {

WallClock systemWallClock() {
  return [] { return std::chrono::system_clock::now(); };
}

MonotonicClock systemMonotonicClock() {
  return [] { return std::chrono::steady_clock::now(); };
}

double secondsBetween(Date earlier, Date later) {
  return std::chrono::duration<double>(later - earlier).count();
}

Date wholeSeconds(Date date) {
  return std::chrono::floor<std::chrono::seconds>(date);
}

}  // namespace hl
