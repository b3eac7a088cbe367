#pragma once

namespace hl {

// The live counts shown beside the results: agent processes, worktrees in use and worktrees
// the desktop agent keeps.
struct LiveSummary {
  int claudeProcesses = 0;
  int codexProcesses = 0;
  int worktreesInUse = 0;
  int keptByClaudeApp = 0;

  bool operator==(const LiveSummary&) const = default;
};

}  // namespace hl
