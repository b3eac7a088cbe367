#include "views/home/removal_sheet_texts.h"

namespace hl::RemovalSheetTexts {

std::vector<std::string> warnings(std::size_t unsafeWorktrees, bool permanent,
                                  const std::vector<std::string>& runningWarnings) {
  std::vector<std::string> lines;
  if (unsafeWorktrees > 0) {
    lines.push_back(std::to_string(unsafeWorktrees) +
                    " worktree(s) are not clean (uncommitted changes, commits outside any "
                    "branch, or status unknown). " +
                    (permanent ? "Those changes will be lost."
                               : "Those changes only survive in the Trash."));
  }
  lines.insert(lines.end(), runningWarnings.begin(), runningWarnings.end());
  return lines;
}

std::vector<std::string> notes(std::size_t prunableWorktrees, bool permanent,
                               bool pruneWorktreesAfterTrash) {
  if (prunableWorktrees == 0) return {};
  const std::string count = std::to_string(prunableWorktrees);
  if (!pruneWorktreesAfterTrash) {
    return {count +
            " clean registered worktree(s): repository metadata is left as is (pruning is off "
            "in Settings)."};
  }
  return {count + " clean registered worktree(s) " +
          (permanent ? "are deleted permanently" : "go to the Trash") +
          "; `git worktree prune` then runs in each repository whose worktree was " +
          (permanent ? "deleted" : "trashed") + "."};
}

}  // namespace hl::RemovalSheetTexts
