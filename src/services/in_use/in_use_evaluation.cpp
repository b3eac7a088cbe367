#include "services/in_use/in_use_evaluation.h"

#include "services/in_use/in_use_reasons.h"

namespace hl {

LiveSummary::LiveSummary(const InUseSnapshot& snapshot,
                         const std::map<std::string, std::string>& reasons,
                         const std::vector<CacheItem>& items)
    : claudeProcesses(snapshot.claudeProcesses()), codexProcesses(snapshot.codexProcesses()) {
  for (const CacheItem& item : items) {
    if (!item.worktree) continue;
    const auto reason = reasons.find(item.id);
    if (reason == reasons.end()) continue;
    ++worktreesInUse;
    if (reason->second == InUseReasons::keptByClaudeApp ||
        reason->second == InUseReasons::claudeAppPool) {
      ++keptByClaudeApp;
    }
  }
}

}  // namespace hl
