#pragma once

#include <memory>
#include <mutex>

#include "utilities/time.h"

namespace hl::test {

// A clock that moves only when the test moves it. Copies of `clock()` share its state, so a
// service holding the function sees every later `advance`.
template <typename TimePoint>
class ManualClock {
 public:
  explicit ManualClock(TimePoint start = TimePoint{}) : state_(std::make_shared<State>(start)) {}

  TimePoint now() const {
    std::lock_guard lock(state_->mutex);
    return state_->now;
  }
  void set(TimePoint value) {
    std::lock_guard lock(state_->mutex);
    state_->now = value;
  }
  template <typename Rep, typename Period>
  void advance(std::chrono::duration<Rep, Period> by) {
    std::lock_guard lock(state_->mutex);
    state_->now += std::chrono::duration_cast<typename TimePoint::duration>(by);
  }
  std::function<TimePoint()> clock() const {
    return [state = state_] {
      std::lock_guard lock(state->mutex);
      return state->now;
    };
  }

 private:
  struct State {
    explicit State(TimePoint start) : now(start) {}
    std::mutex mutex;
    TimePoint now;
  };
  std::shared_ptr<State> state_;
};

using ManualWallClock = ManualClock<Date>;
using ManualMonotonicClock = ManualClock<Instant>;

// A fixed, readable wall-clock date for tests: 2026-03-01 12:00:00 UTC.
inline Date referenceDate() {
  return Date{std::chrono::seconds{1772366400}};
}

}  // namespace hl::test
