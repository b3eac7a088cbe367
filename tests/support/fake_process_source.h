#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "services/in_use/process_source.h"

namespace hl::test {

// A process source that answers from what the test set, and records what it was asked.
class FakeProcessSource final : public ProcessSource {
 public:
  ProcessSnapshot picture;
  OpenFiles files;

  ProcessSnapshot processes(const ProcessRunner::Runner&, std::stop_token) const override {
    ++processCalls;
    return picture;
  }
  OpenFiles openFiles(const std::set<std::string>& roots, const ProcessRunner::Runner&,
                      std::stop_token) const override {
    std::lock_guard lock(mutex);
    askedRoots.push_back(roots);
    return files;
  }

  mutable std::atomic<int> processCalls{0};
  mutable std::mutex mutex;
  mutable std::vector<std::set<std::string>> askedRoots;
};

}  // namespace hl::test
