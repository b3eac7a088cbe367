#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace hl {

// How the work on many independent elements is spread: `spread(count, work)` runs `work(i)` for
// every i below `count`, in any order and on any threads, and returns once all have run. The
// first exception a call throws is rethrown to the caller.
using Spread = std::function<void(std::size_t count, const std::function<void(std::size_t)>&)>;

// Every element in turn, on the calling thread: the reference order.
inline Spread sequentially() {
  return [](std::size_t count, const std::function<void(std::size_t)>& work) {
    for (std::size_t i = 0; i < count; ++i) work(i);
  };
}

// `work` applied to every element, spread as `spread` does, the results in the elements' order.
template <typename Item, typename Work>
auto mapInOrder(const Spread& spread, const std::vector<Item>& items, const Work& work) {
  using Result = std::invoke_result_t<const Work&, const Item&>;
  std::vector<std::optional<Result>> cells(items.size());
  spread(items.size(), [&](std::size_t i) { cells[i].emplace(work(items[i])); });
  std::vector<Result> results;
  results.reserve(items.size());
  for (std::optional<Result>& cell : cells) results.push_back(std::move(*cell));
  return results;
}

}  // namespace hl
