#pragma once

#include <string>

#include "models/cache_item.h"

namespace hl::test {

// An item at `url`, its subtitle abbreviated against `home`.
inline CacheItem sampleItem(const std::string& url, CacheGroup group, RiskLevel risk,
                            const std::string& home) {
  CacheItemInit init;
  init.url = url;
  init.group = group;
  init.risk = risk;
  init.home = home;
  return CacheItem(std::move(init));
}

}  // namespace hl::test
