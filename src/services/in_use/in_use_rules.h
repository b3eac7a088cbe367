#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "services/in_use/in_use_snapshot.h"
#include "utilities/time.h"

namespace hl {

// The rules that decide, from one in-use snapshot and a few file dates, which items something
// uses right now and why (texts of InUseReasons). They never write and never fail: a problem
// either locks every item (an unverifiable snapshot) or keeps a rule from firing.
namespace InUseRules {

// Item id to reason for every file-system item found in use. `home` and `now` are those of the
// detector.
std::map<std::string, std::string> reasons(const std::vector<CacheItem>& items,
                                           const InUseSnapshot& snapshot, const std::string& home,
                                           Date now);

// The reason of the item's guard rule, if it has one that fires.
std::optional<std::string> guardReason(const CacheItem& item, const InUseSnapshot& snapshot,
                                       Date now);

// The time windows of the temporary-files and updater-download guard rules.
std::optional<std::string> timeRuleReason(const CacheItem& item, Date now);

// The latest content date among the folder's direct entries; none when it cannot be listed, is
// empty or no date could be read.
std::optional<Date> newestModification(const std::string& folder);

// "NAME (pid N)" for a process of the snapshot, "process (pid N)" when its executable is not
// known, "a running process" without a usable pid.
std::string describe(std::optional<std::int32_t> pid, const ProcessSnapshot& processes);

// The distinct canonical roots under which the items' open files matter: a worktree's own
// folder, any other file-system item's discovery root. In no particular order. (The scan
// service hands these to its in-use evaluation.)
std::vector<std::string> scanRoots(const std::vector<CacheItem>& items);

}  // namespace InUseRules

}  // namespace hl
