#pragma once

#include <QObject>
#include <QThreadPool>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace hl {

// Where the steps of a flow run: blocking work on worker threads, everything else on the GUI
// thread. Flows never wait by spinning the event loop; they hand work here and are resumed.
class FlowExecutor {
 public:
  virtual ~FlowExecutor() = default;

  // Runs `job` away from the GUI thread. The job must not touch GUI-thread state.
  virtual void runInBackground(std::function<void()> job) = 0;
  // Runs `task` later on the GUI thread, tasks in the order they were posted. Callable from any
  // thread.
  virtual void post(std::function<void()> task) = 0;
  // Runs `task` on the GUI thread once `delay` has passed on a clock that keeps counting while
  // the computer sleeps. Called on the GUI thread.
  virtual void after(std::chrono::nanoseconds delay, std::function<void()> task) = 0;

  // A flow waits for a callback that arrives from outside this executor (a queued call of
  // another object). Only an executor that is driven by hand needs to know.
  virtual void externalWaitBegan() {}
  virtual void externalWaitEnded() {}
};

// The executor the program runs with: a pool of worker threads, queued calls into the GUI
// thread, and timers on CLOCK_BOOTTIME so a wait measured in seconds also counts the time the
// computer slept. Must be made and destroyed on the GUI thread; its destructor waits for the
// jobs still running and drops what they post afterwards.
class QtFlowExecutor : public QObject, public FlowExecutor {
  Q_OBJECT

 public:
  explicit QtFlowExecutor(int maxThreads = 4, QObject* parent = nullptr);
  ~QtFlowExecutor() override;

  void runInBackground(std::function<void()> job) override;
  void post(std::function<void()> task) override;
  void after(std::chrono::nanoseconds delay, std::function<void()> task) override;

 private:
  class BootTimer;

  QThreadPool pool_;
  std::uint64_t nextTimer_ = 0;
  std::map<std::uint64_t, std::unique_ptr<BootTimer>> timers_;
};

}  // namespace hl
