#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace hl {

// Runs `work` for every element of `items` with at most `window` of them in flight at once
// (a window below 1 counts as 1), on that many threads of its own, and hands each result to
// `onResult` on the calling thread, in the order the work completes. Elements start in list
// order: the first window at once (even when the first result stops the window before another
// thread got going), then one more after each result has been handled, as long as
// `mayStartMore` (asked on the calling thread after each result) allows it. Once it says no,
// nothing further starts; the elements in flight still complete and reach `onResult`. Returns
// when nothing is in flight any more; an empty list returns at once. `work` runs on the window's
// threads, several at a time. Should `work`, `onResult` or `mayStartMore` throw, nothing further
// starts, no further result is handed over, and the first exception is rethrown here once
// nothing is in flight.
template <typename Item, typename Work, typename OnResult, typename MayStartMore>
void slidingWindow(const std::vector<Item>& items, int window, const Work& work,
                   const OnResult& onResult, const MayStartMore& mayStartMore) {
  using Result = std::invoke_result_t<const Work&, const Item&>;
  if (items.empty()) return;
  const std::size_t width = std::min(static_cast<std::size_t>(std::max(window, 1)), items.size());

  struct Shared {
    std::mutex mutex;
    // Apart, so that a result wakes only the caller and a permit only one of the window's
    // threads: with many small elements, waking everyone for each costs more than the work.
    std::condition_variable resultReady;
    std::condition_variable permitted;
    std::size_t permits = 0;  // elements that may start now
    std::size_t next = 0;     // the first element not started
    bool closed = false;      // the window's threads leave
    // An element whose work threw completes without a result.
    std::deque<std::pair<std::size_t, std::optional<Result>>> completed;
    std::exception_ptr failure;
  } shared;
  // The first window starts at once, each element on a thread of its own, whatever happens to
  // the first result; later elements wait for a permit.
  shared.next = width;

  auto worker = [&items, &work, &shared](std::size_t first) {
    std::optional<std::size_t> assigned = first;
    for (;;) {
      std::size_t index = 0;
      if (assigned) {
        index = *assigned;
        assigned.reset();
      } else {
        std::unique_lock lock(shared.mutex);
        shared.permitted.wait(lock, [&] {
          return shared.closed ||
                 (shared.permits > 0 && shared.next < items.size() && !shared.failure);
        });
        if (shared.closed) return;
        --shared.permits;
        index = shared.next++;
      }
      std::optional<Result> result;
      std::exception_ptr failure;
      try {
        result.emplace(work(items[index]));
      } catch (...) {
        failure = std::current_exception();
      }
      {
        std::lock_guard lock(shared.mutex);
        if (failure && !shared.failure) shared.failure = failure;
        shared.completed.emplace_back(index, std::move(result));
      }
      shared.resultReady.notify_one();
    }
  };

  std::vector<std::thread> threads;
  threads.reserve(width);
  for (std::size_t i = 0; i < width; ++i) {
    try {
      threads.emplace_back(worker, i);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for: a narrower window
    }
  }
  if (!threads.empty() && threads.size() < width) {
    // No permit is out yet, so no thread has taken an element beyond its first.
    std::lock_guard lock(shared.mutex);
    shared.next = threads.size();
  }
  if (threads.empty()) {
    // No thread to be had: one element at a time on the calling thread.
    for (const Item& item : items) {
      onResult(item, work(item));
      if (!mayStartMore()) break;
    }
    return;
  }

  std::size_t handled = 0;
  bool stopping = false;
  std::exception_ptr failure;
  std::unique_lock lock(shared.mutex);
  for (;;) {
    shared.resultReady.wait(lock, [&] {
      return !shared.completed.empty() ||
             (handled == shared.next && (stopping || shared.next == items.size()));
    });
    if (shared.completed.empty()) break;
    auto [index, result] = std::move(shared.completed.front());
    shared.completed.pop_front();
    if (shared.failure && !failure) failure = shared.failure;
    lock.unlock();
    ++handled;
    bool more = false;
    // The window's threads must be joined before anything leaves this function.
    try {
      if (result && !failure) onResult(items[index], std::move(*result));
      more = !stopping && !failure && mayStartMore();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    lock.lock();
    if (more) {
      ++shared.permits;
      shared.permitted.notify_one();
    } else {
      stopping = true;
      shared.permits = 0;
    }
  }
  shared.closed = true;
  lock.unlock();
  shared.permitted.notify_all();
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace hl
