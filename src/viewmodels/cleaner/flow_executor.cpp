#include "viewmodels/cleaner/flow_executor.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <sys/timerfd.h>
#include <unistd.h>

namespace hl {

// One timer on CLOCK_BOOTTIME: a timer descriptor watched by the GUI thread's event loop. Qt's
// own timers run on a clock that stops while the computer sleeps.
class QtFlowExecutor::BootTimer {
 public:
  BootTimer(std::chrono::nanoseconds delay, std::function<void()> fired)
      : fd_(::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (fd_ < 0) return;
    // A zero expiry would disarm the timer: wait at least a nanosecond.
    const auto wait = std::max(delay, std::chrono::nanoseconds(1));
    itimerspec spec{};
    spec.it_value.tv_sec = static_cast<time_t>(
        std::chrono::duration_cast<std::chrono::seconds>(wait).count());
    spec.it_value.tv_nsec = static_cast<long>((wait % std::chrono::seconds(1)).count());
    if (::timerfd_settime(fd_, 0, &spec, nullptr) != 0) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this, fired = std::move(fired)] {
                       std::uint64_t expirations = 0;
                       if (::read(fd_, &expirations, sizeof expirations) < 0 && errno == EAGAIN) {
                         return;
                       }
                       notifier_->setEnabled(false);
                       fired();
                     });
  }
  BootTimer(const BootTimer&) = delete;
  BootTimer& operator=(const BootTimer&) = delete;
  ~BootTimer() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
  }

  bool isArmed() const { return fd_ >= 0; }

 private:
  int fd_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

QtFlowExecutor::QtFlowExecutor(int maxThreads, QObject* parent) : QObject(parent) {
  pool_.setMaxThreadCount(maxThreads);
}

QtFlowExecutor::~QtFlowExecutor() {
  // A job still running posts its result to this object; once every job is done, destroying
  // the object drops those results unseen.
  pool_.waitForDone();
}

void QtFlowExecutor::runInBackground(std::function<void()> job) { pool_.start(std::move(job)); }

void QtFlowExecutor::post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void QtFlowExecutor::after(std::chrono::nanoseconds delay, std::function<void()> task) {
  const std::uint64_t id = ++nextTimer_;
  auto timer = std::make_unique<BootTimer>(delay, [this, id, task]() mutable {
    // Released later, never inside its own notification.
    post(std::move(task));
    post([this, id] { timers_.erase(id); });
  });
  if (timer->isArmed()) {
    timers_.emplace(id, std::move(timer));
    return;
  }
  // No timer descriptor to be had: the wait still ends, measured by Qt's precise timer.
  QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(delay), Qt::PreciseTimer, this,
                     std::move(task));
}

}  // namespace hl
