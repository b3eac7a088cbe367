#pragma once

#include <algorithm>
#include <cstddef>
#include <future>
#include <thread>
#include <vector>

#include "utilities/in_parallel.h"

namespace hl {

// How many parts a very large list is worked on in, side by side, each part on a thread of its
// own: one for a list of fewer than twice `smallestPart` elements, at most eight, never more
// than the processors.
inline std::size_t partsFor(std::size_t count, std::size_t smallestPart = 32768) {
  const std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
  return std::max<std::size_t>(1, std::min<std::size_t>({8, processors, count / smallestPart}));
}

// Runs `work(part, begin, end)` for each of `parts` even parts of [0, count), side by side, and
// returns when all have run; one part runs on the calling thread.
template <typename Work>
void inParts(std::size_t count, std::size_t parts, const Work& work) {
  if (parts < 2) {
    work(std::size_t{0}, std::size_t{0}, count);
    return;
  }
  std::vector<std::future<void>> running;
  for (std::size_t part = 0; part < parts; ++part) {
    running.push_back(inParallel([&work, part, begin = count * part / parts,
                                  end = count * (part + 1) / parts] { work(part, begin, end); }));
  }
  for (std::future<void>& one : running) one.get();
}

}  // namespace hl
