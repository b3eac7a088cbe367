#include "services/in_use/in_use_evaluation.h"

#include "models/in_use_reasons.h"

namespace hl {

LiveSummary liveSummary(const InUseSnapshot& snapshot,
                        const std::map<std::string, std::string>& reasons,
                        const std::vector<CacheItem>& items) {
  LiveSummary summary;
  summary.claudeProcesses = snapshot.claudeProcesses();
  summary.codexProcesses = snapshot.codexProcesses();
  for (const CacheItem& item : items) {
    if (!item.worktree) continue;
    const auto reason = reasons.find(item.id);
    if (reason == reasons.end()) continue;
    ++summary.worktreesInUse;
    if (reason->second == InUseReasons::keptByClaudeApp ||
        reason->second == InUseReasons::claudeAppPool) {
      ++summary.keptByClaudeApp;
    }
  }
  return summary;
}

}  // namespace hl
