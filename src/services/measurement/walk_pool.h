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
// walks at once never run more walking threads than the pool holds, besides their callers. A
// walk is a job: a first task that adds further tasks (typically one per folder); the job is
// finished when every task added to it has run. Jobs are served in turn, so a small walk is not
// held up behind a large one, and each caller works on its own job while it waits for it.
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

  // Runs `first`, and every task added to its job, on the pool's threads and on the calling
  // thread, and returns when all have run. The caller only ever works on its own job, so a small
  // walk needs no hand-off and a walk started from a task cannot exhaust the pool. The first
  // exception a task throws is rethrown here once the job is finished.
  void run(Task first);

 private:
  void work();
  Job* pickLocked();
  void runOneLocked(Job& job, std::unique_lock<std::mutex>& lock);
  // Whether a sleeping thread is to be woken for `added` tasks (see wakeLocked).
  bool addLocked(std::size_t added);
  // Whether a sleeping thread is to be woken for work that is waiting; counts it on its way.
  bool wakeLocked();
  void wake(Job& job, bool wakeSleeper);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Job*> jobs_;
  std::size_t nextJob_ = 0;
  std::size_t idle_ = 0;
  std::size_t wakesInFlight_ = 0;  // threads woken that have not yet woken up
  std::size_t searching_ = 0;      // threads awake and looking for a task
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

class WalkPool::Job {
 public:
  void add(Task task);
  // Moves the tasks out and leaves the vector empty. `callerTakesOne`: the adding thread is about
  // to come back for work of this job, so one task fewer wakes a sleeping thread; a hand-off
  // costs more than a small folder takes to list.
  void add(std::vector<Task>& tasks, bool callerTakesOne = false);

 private:
  friend class WalkPool;
  explicit Job(WalkPool& pool) : pool_(pool) {}

  WalkPool& pool_;
  std::vector<Task> pending_;  // last in, first out: the walk stays depth first
  std::size_t running_ = 0;
  bool finished_ = false;
  std::condition_variable changed_;
  std::exception_ptr error_;
};

}  // namespace hl
