#pragma once

#include <future>
#include <system_error>

namespace hl {

// Starts `work` on a thread of its own; where no thread can be had it runs when awaited. The
// future's owner waits for it before leaving either way. `work` is copied, so a failed start
// leaves nothing moved-from behind.
template <typename Work>
auto inParallel(const Work& work) {
  try {
    return std::async(std::launch::async, work);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, work);
  }
}

}  // namespace hl
