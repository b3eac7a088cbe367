#include "views/shared/arming_delay.h"

namespace hl {

ArmingDelay::ArmingDelay(MonotonicClock clock, std::function<void()> onArmed,
                         std::chrono::milliseconds delay, QObject* parent)
    : QObject(parent), clock_(std::move(clock)), onArmed_(std::move(onArmed)), delay_(delay) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &ArmingDelay::refresh);
}

void ArmingDelay::start() {
  armed_ = false;
  startedAt_ = clock_();
  timer_.start(delay_);
}

void ArmingDelay::stop() {
  timer_.stop();
  armed_ = false;
  startedAt_.reset();
}

void ArmingDelay::refresh() {
  if (armed_ || !startedAt_) return;
  const auto elapsed = clock_() - *startedAt_;
  if (elapsed >= delay_) {
    timer_.stop();
    armed_ = true;
    if (onArmed_) onArmed_();
    return;
  }
  // The timer woke early on this clock: wait for the rest.
  timer_.start(std::chrono::duration_cast<std::chrono::milliseconds>(delay_ - elapsed) +
               std::chrono::milliseconds(1));
}

}  // namespace hl
