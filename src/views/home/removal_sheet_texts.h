#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace hl {

// The Home page's warning and note lines of the removal sheet, from plain facts of a plan so
// that they do not depend on how the plan is kept.
namespace RemovalSheetTexts {

// First, when the plan holds worktrees that are not clean, one line that counts them and says
// what happens to their unsaved work; then the plan's running-application warnings in order.
std::vector<std::string> warnings(std::size_t unsafeWorktrees, bool permanent,
                                  const std::vector<std::string>& runningWarnings);

// One line when the plan holds clean registered worktrees: whether git worktree prune runs in
// their repositories afterwards (by the pruning setting); otherwise none.
std::vector<std::string> notes(std::size_t prunableWorktrees, bool permanent,
                               bool pruneWorktreesAfterTrash);

}  // namespace RemovalSheetTexts

}  // namespace hl
