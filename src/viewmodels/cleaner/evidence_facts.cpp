#include "viewmodels/cleaner/evidence_facts.h"

#include "services/in_use/worktree_in_use_rules.h"

namespace hl {

EvidenceFacts gatherEvidenceFacts(const CacheItem& item, const std::string& home) {
  EvidenceFacts facts;
  if (!item.worktree) return facts;
  if (item.worktree->gitRoot) {
    facts.gitLockFiles = WorktreeInUseRules::gitLockFiles(*item.worktree->gitRoot);
  }
  facts.newestTranscript = WorktreeInUseRules::newestOwnTranscript(home, item.url);
  return facts;
}

}  // namespace hl
