#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "utilities/spread.h"

namespace hl {

// The one bounded set of threads that the folder walks of the process share, so that several
// walks at once never run more walking threads than the pool holds. A walk is a job: a first
// task that adds further tasks (typically one per folder); the job is finished when every task
// added to it has run. Jobs are served in turn, so a small walk is not held up behind a large
// one.
class WalkPool {
 public:
  class Job;
  using Task = std::function<void(Job&)>;

  explicit WalkPool(std::size_t threads);
  ~WalkPool();
  WalkPool(const WalkPool&) = delete;
  WalkPool& operator=(const WalkPool&) = delete;

  // The pool of the process, started on first use with `sharedThreadCount()` threads.
  static WalkPool& shared();
  // How many threads the shared pool starts with: several per core (a walk of a cold disk
  // waits on reads far more than it computes), or what `setSharedThreadCount` asked for.
  static std::size_t sharedThreadCount();
  // Sets the shared pool's size for a benchmark; has an effect only before the pool's first use.
  static void setSharedThreadCount(std::size_t threads);
  // Spreads work over the shared pool: each element is a task, several elements in one task
  // when there are many, so that a task is worth its hand-off.
  static Spread spread();

  std::size_t threadCount() const { return threads_.size(); }

  // Runs `first`, and every task added to its job, on the pool's threads and returns when all
  // have run. Called from one of the pool's own threads (a task that starts a walk), the caller
  // works on its own job instead of waiting, so nesting cannot exhaust the pool. The first
  // exception a task throws is rethrown here once the job is finished.
  void run(Task first);

 private:
  void work();
  Job* pickLocked();
  void runOneLocked(Job& job, std::unique_lock<std::mutex>& lock);
  void addLocked(Job& job, std::size_t added);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Job*> jobs_;
  std::size_t nextJob_ = 0;
  std::size_t idle_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

class WalkPool::Job {
 public:
  void add(Task task);
  void add(std::vector<Task>& tasks);  // moves the tasks out, leaves the vector empty

 private:
  friend class WalkPool;
  explicit Job(WalkPool& pool) : pool_(pool) {}

  WalkPool& pool_;
  std::vector<Task> pending_;  // last in, first out: the walk stays depth first
  std::size_t running_ = 0;
  bool finished_ = false;
  bool ownerWorks_ = false;
  std::condition_variable changed_;
  std::exception_ptr error_;
};

}  // namespace hl
