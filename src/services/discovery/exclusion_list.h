#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "models/cache_item.h"

namespace hl {

// The user's excluded paths, which hide items from the list (the items are still scanned).
struct ExclusionList {
  std::vector<std::string> paths;  // as the settings keep them

  // The items, in order, whose id is not excluded; unchanged when the list is empty.
  std::vector<CacheItem> filter(const std::vector<CacheItem>& items) const;
  // Whether the path is the same as or below an excluded path, by whole components.
  bool isExcluded(std::string_view path) const;
};

}  // namespace hl
