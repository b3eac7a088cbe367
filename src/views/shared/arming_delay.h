#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "utilities/time.h"

namespace hl {

// The one-second guard of a destructive confirm button: armed once a full delay has passed on
// the injected monotonic clock since `start()`. A precise single-shot timer wakes it; a timer
// that wakes early on that clock waits for the rest, so arming never comes early. Tests move
// their clock and call `refresh()`.
class ArmingDelay : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds oneSecond{1000};

  // `onArmed` is called once when the delay has passed.
  ArmingDelay(MonotonicClock clock, std::function<void()> onArmed,
              std::chrono::milliseconds delay = oneSecond, QObject* parent = nullptr);

  // Starts counting now, disarmed; a running count starts over.
  void start();
  // Disarmed, and nothing counts until the next start.
  void stop();
  // Arms when the delay has passed since the start.
  void refresh();
  bool isArmed() const { return armed_; }
  bool isCounting() const { return startedAt_.has_value() && !armed_; }

 private:
  MonotonicClock clock_;
  std::function<void()> onArmed_;
  std::chrono::milliseconds delay_;
  std::optional<Instant> startedAt_;
  bool armed_ = false;
  QTimer timer_;
};

}  // namespace hl
