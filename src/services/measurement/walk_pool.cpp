#include "services/measurement/walk_pool.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <exception>

namespace hl {
namespace {

// Walking threads per core; see directory-walk.md for the measurements behind it.
constexpr std::size_t kThreadsPerCore = 8;
std::atomic<std::size_t> requestedSharedThreads{0};

}  // namespace

WalkPool::WalkPool(std::size_t threads) {
  threads = std::max<std::size_t>(threads, 1);
  threads_.reserve(threads);
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

WalkPool::~WalkPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

WalkPool& WalkPool::shared() {
  static WalkPool pool(sharedThreadCount());
  return pool;
}

std::size_t WalkPool::sharedThreadCount() {
  if (const std::size_t requested = requestedSharedThreads.load()) return requested;
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  // Each walking thread holds up to three descriptors at once, beside the 256 folders the walks
  // keep open and what the rest of the program uses; a machine with very many cores stays inside
  // the process's limit on open files.
  std::size_t budget = kThreadsPerCore * cores;
  struct rlimit files {};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    constexpr std::size_t kReserved = 256 + 256;
    const std::size_t limit = static_cast<std::size_t>(files.rlim_cur);
    budget = std::min(budget, limit > kReserved ? (limit - kReserved) / 3 : 0);
  }
  return std::max(budget, cores);
}

void WalkPool::setSharedThreadCount(std::size_t threads) { requestedSharedThreads = threads; }

Spread WalkPool::spread() {
  return [](std::size_t count, const std::function<void(std::size_t)>& work) {
    if (count == 0) return;
    if (count == 1) {
      work(0);
      return;
    }
    WalkPool& pool = shared();
    // About four tasks per thread: enough to even out slow elements, few enough to be cheap.
    const std::size_t perTask = std::max<std::size_t>(1, count / (4 * pool.threadCount()));
    pool.run([&work, count, perTask](Job& job) {
      std::vector<Task> tasks;
      tasks.reserve(count / perTask + 1);
      // Pushed in reverse so that the pool, last in first out, takes them roughly in order.
      for (std::size_t end = count; end > 0;) {
        const std::size_t begin = end > perTask ? end - perTask : 0;
        tasks.emplace_back([&work, begin, end](Job&) {
          for (std::size_t i = begin; i < end; ++i) work(i);
        });
        end = begin;
      }
      job.add(tasks);
    });
  };
}

void WalkPool::run(Task first) {
  Job job(*this);
  std::unique_lock lock(mutex_);
  job.pending_.push_back(std::move(first));
  jobs_.push_back(&job);
  while (!job.finished_) {
    // The caller works on its own job while it waits, so the first task needs no other thread:
    // a small walk is done without a single hand-off, and helpers are woken as tasks pile up.
    if (!job.pending_.empty()) {
      runOneLocked(job, lock);
    } else {
      job.changed_.wait(lock);
    }
  }
  lock.unlock();
  if (job.error_) std::rethrow_exception(job.error_);
}

void WalkPool::work() {
  std::unique_lock lock(mutex_);
  bool searching = false;
  for (;;) {
    if (Job* job = pickLocked()) {
      if (searching) {
        --searching_;
        searching = false;
      }
      runOneLocked(*job, lock);
      continue;
    }
    if (searching) {
      --searching_;
      searching = false;
    }
    if (stopping_) return;
    ++idle_;
    wake_.wait(lock);
    --idle_;
    if (wakesInFlight_ > 0) {
      --wakesInFlight_;
      ++searching_;
      searching = true;
    }
  }
}

WalkPool::Job* WalkPool::pickLocked() {
  const std::size_t count = jobs_.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t index = (nextJob_ + i) % count;
    if (!jobs_[index]->pending_.empty()) {
      nextJob_ = index + 1;
      return jobs_[index];
    }
  }
  return nullptr;
}

void WalkPool::runOneLocked(Job& job, std::unique_lock<std::mutex>& lock) {
  Task task = std::move(job.pending_.back());
  job.pending_.pop_back();
  ++job.running_;
  // Work is still waiting: one more thread is woken, which wakes the next in turn if work is
  // still waiting when it takes its task.
  bool wakeAnother = false;
  if (std::any_of(jobs_.begin(), jobs_.end(), [](const Job* j) { return !j->pending_.empty(); })) {
    wakeAnother = wakeLocked();
  }
  lock.unlock();
  if (wakeAnother) wake_.notify_one();
  std::exception_ptr error;
  try {
    task(job);
  } catch (...) {
    error = std::current_exception();
  }
  // What the task holds is released before the job can be seen as finished.
  task = nullptr;
  lock.lock();
  if (error && !job.error_) job.error_ = error;
  --job.running_;
  if (job.running_ == 0 && job.pending_.empty()) {
    job.finished_ = true;
    jobs_.erase(std::find(jobs_.begin(), jobs_.end(), &job));
    job.changed_.notify_all();
  }
}

bool WalkPool::wakeLocked() {
  // One thread at a time is on its way to work: a walk of many small folders would otherwise
  // wake a sleeping thread for each of them, most of which find the work already done (a folder
  // lists faster than a thread wakes up). Threads still join as fast as work piles up, one
  // waking the next.
  if (idle_ <= wakesInFlight_ || wakesInFlight_ + searching_ > 0) return false;
  ++wakesInFlight_;
  return true;
}

bool WalkPool::addLocked(std::size_t added) { return added > 0 && wakeLocked(); }

void WalkPool::wake(Job& job, bool wakeSleeper) {
  // Called with the mutex free, so that a woken thread does not at once wait for it.
  job.changed_.notify_one();  // its owner may be waiting for work
  if (wakeSleeper) wake_.notify_one();
}

void WalkPool::Job::add(Task task) {
  bool wakeSleeper = false;
  {
    std::lock_guard lock(pool_.mutex_);
    pending_.push_back(std::move(task));
    wakeSleeper = pool_.addLocked(1);
  }
  // The job outlives this call: the task that adds is one of its running ones.
  pool_.wake(*this, wakeSleeper);
}

void WalkPool::Job::add(std::vector<Task>& tasks, bool callerTakesOne) {
  if (tasks.empty()) return;
  bool wakeSleeper = false;
  {
    std::lock_guard lock(pool_.mutex_);
    const std::size_t added = tasks.size();
    for (Task& task : tasks) pending_.push_back(std::move(task));
    tasks.clear();
    wakeSleeper = pool_.addLocked(callerTakesOne ? added - 1 : added);
  }
  pool_.wake(*this, wakeSleeper);
}

}  // namespace hl
