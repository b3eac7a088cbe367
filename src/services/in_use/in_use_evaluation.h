#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "models/live_summary.h"
#include "services/in_use/in_use_snapshot.h"

namespace hl {

// The live counts of a snapshot: its agent processes, and the worktrees among `items` that
// `reasons` lock, by any reason and by the desktop agent's.
LiveSummary liveSummary(const InUseSnapshot& snapshot,
                        const std::map<std::string, std::string>& reasons,
                        const std::vector<CacheItem>& items);

// The result of one in-use evaluation.
struct InUseEvaluation {
  // Item id to why it is in use; an item absent from the map is free.
  std::map<std::string, std::string> reasons;
  // The owner keys of the evaluated items that have a running process.
  std::set<std::string> runningOwners;
  LiveSummary summary;
  VerificationState verification;

  bool operator==(const InUseEvaluation&) const = default;
};

}  // namespace hl
