#include "viewmodels/cleaner/trash_plan.h"

namespace hl {

std::int64_t TrashPlan::totalSize() const {
  std::int64_t total = 0;
  for (const CacheItem& item : items) total += item.knownSize();
  return total;
}

std::vector<CacheItem> TrashPlan::unsafeWorktrees() const {
  std::vector<CacheItem> unsafe;
  for (const CacheItem& item : items) {
    if (item.worktree && !item.worktree->status.isClean()) unsafe.push_back(item);
  }
  return unsafe;
}

std::vector<CacheItem> TrashPlan::prunableWorktrees() const {
  std::vector<CacheItem> prunable;
  for (const CacheItem& item : items) {
    if (item.worktree && item.worktree->isRegistered && item.worktree->status.isClean()) {
      prunable.push_back(item);
    }
  }
  return prunable;
}

}  // namespace hl
