#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>

#include "utilities/time.h"

namespace hl {

// Runs `work` on a thread of its own and waits for it until `limit` has passed or `stop` is
// requested; then asks it to stop and answers `givenUp` without waiting any longer. A stop
// requested before `work` was seen to finish always answers `givenUp`, even when its result
// arrived first: a stopped run is never complete. The thread keeps what it uses alive, so it may
// end after the caller is gone. Where no thread can be had, `work` runs here with `stop`.
template <typename Result, typename Work>
Result withinLimit(Seconds limit, std::stop_token stop, Work work, Result givenUp) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Result> result;
    std::stop_source inner;
  };
  auto shared = std::make_shared<Shared>();
  try {
    std::thread([shared, work]() mutable {
      Result result = work(shared->inner.get_token());
      std::lock_guard lock(shared->mutex);
      shared->result = std::move(result);
      shared->changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return work(stop);
  }
  std::stop_callback onStop(stop, [shared] {
    std::lock_guard lock(shared->mutex);
    shared->changed.notify_all();
  });
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(limit);
  std::unique_lock lock(shared->mutex);
  shared->changed.wait_until(lock, deadline,
                             [&] { return shared->result.has_value() || stop.stop_requested(); });
  if (!stop.stop_requested() && shared->result) return std::move(*shared->result);
  shared->inner.request_stop();
  return givenUp;
}

}  // namespace hl
