#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "viewmodels/cleaner/flow_executor.h"

namespace hl::test {

// An executor driven by the test: background jobs wait until the test runs them (on the test's
// own thread), posted tasks until it runs those, timers until it moves the clock. Every
// interleaving of a flow with other calls is therefore reproducible.
class ManualExecutor : public FlowExecutor {
 public:
  void runInBackground(std::function<void()> job) override {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  void post(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
  }
  void after(std::chrono::nanoseconds delay, std::function<void()> task) override {
    timers_.push_back({now_ + delay, nextTimer_++, std::move(task)});
  }
  void externalWaitBegan() override { ++externalWaits_; }
  void externalWaitEnded() override { --externalWaits_; }

  std::size_t pendingJobs() const {
    std::lock_guard lock(mutex_);
    return jobs_.size();
  }
  std::size_t pendingTimers() const { return timers_.size(); }
  // Whether a background job is running now: what it calls runs away from the GUI thread in the
  // program.
  bool isRunningJob() const { return runningJobs_ > 0; }

  // Runs the oldest waiting background job; false when there is none.
  bool runJob() { return runWaitingJob(false); }

  // Runs the latest waiting background job: the answers of the older ones come late.
  bool runNewestJob() { return runWaitingJob(true); }

  // Runs the oldest posted task; false when there is none.
  bool runOnePosted() {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (posted_.empty()) return false;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();
    return true;
  }

  // Runs posted tasks, also those they post, until none is left.
  void runPosted() {
    while (runOnePosted()) {
    }
  }

  // Runs one background job and what it posts.
  bool step() {
    runPosted();
    const bool ran = runJob();
    runPosted();
    return ran;
  }

  // Lets the event loop deliver the queued calls flows wait for (the history's worker), and runs
  // what they post.
  void finishExternalWaits() {
    while (externalWaits_ > 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    runPosted();
  }

  // Runs jobs and posted tasks until nothing is left; while a flow waits for a queued call of
  // another object (the history's worker), lets the event loop deliver it.
  void settle() {
    for (;;) {
      runPosted();
      if (runJob()) continue;
      if (externalWaits_ > 0) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        continue;
      }
      std::lock_guard lock(mutex_);
      if (posted_.empty()) return;
    }
  }

  // Moves the timers' clock and runs the timers that come due, earliest first.
  void advance(std::chrono::nanoseconds by) {
    now_ += by;
    for (;;) {
      auto due = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
        return a.at != b.at ? a.at < b.at : a.order < b.order;
      });
      if (due == timers_.end() || due->at > now_) break;
      std::function<void()> task = std::move(due->task);
      timers_.erase(due);
      task();
      runPosted();
    }
  }

 private:
  bool runWaitingJob(bool newest) {
    std::function<void()> job;
    {
      std::lock_guard lock(mutex_);
      if (jobs_.empty()) return false;
      if (newest) {
        job = std::move(jobs_.back());
        jobs_.pop_back();
      } else {
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
    }
    ++runningJobs_;
    job();
    --runningJobs_;
    return true;
  }

  struct Timer {
    std::chrono::nanoseconds at;
    int order;
    std::function<void()> task;
  };

  mutable std::mutex mutex_;
  std::deque<std::function<void()>> jobs_;
  std::deque<std::function<void()>> posted_;
  std::vector<Timer> timers_;
  std::chrono::nanoseconds now_{0};
  int nextTimer_ = 0;
  int externalWaits_ = 0;
  int runningJobs_ = 0;
};

}  // namespace hl::test
