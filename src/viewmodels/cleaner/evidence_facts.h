#pragma once

#include <optional>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "utilities/time.h"

namespace hl {

// What the disk holds about an item beyond the item itself, for its details. Read by the in-use
// rules' own functions, so the evidence shown and the decision taken can never drift apart.
struct EvidenceFacts {
  // Lock files git left in a worktree's git folder: a git operation runs there.
  std::vector<std::string> gitLockFiles;
  // The newest of the command-line agent's own transcripts for the folder.
  std::optional<Date> newestTranscript;

  bool operator==(const EvidenceFacts&) const = default;
};

// Blocks on the disk; any thread. Links inside the agent's folders are never followed.
EvidenceFacts gatherEvidenceFacts(const CacheItem& item, const std::string& home);

}  // namespace hl
