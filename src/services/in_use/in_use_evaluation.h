#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "services/in_use/in_use_snapshot.h"

namespace hl {

// The live counts shown beside the results: agent processes, worktrees in use and worktrees
// the desktop agent keeps.
struct LiveSummary {
  int claudeProcesses = 0;
  int codexProcesses = 0;
  int worktreesInUse = 0;
  int keptByClaudeApp = 0;

  LiveSummary() = default;
  LiveSummary(const InUseSnapshot& snapshot, const std::map<std::string, std::string>& reasons,
              const std::vector<CacheItem>& items);

  bool operator==(const LiveSummary&) const = default;
};

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
