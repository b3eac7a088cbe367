#include <gtest/gtest.h>

#include "views/home/removal_sheet_texts.h"

namespace hl {
namespace {

TEST(RemovalSheetTexts, WarningsCountUncleanWorktreesBeforeRunningApplications) {
  struct Case {
    std::size_t unsafe;
    bool permanent;
    std::vector<std::string> running;
    std::vector<std::string> want;
  };
  const std::string unclean =
      " worktree(s) are not clean (uncommitted changes, commits outside any branch, or status "
      "unknown). ";
  const std::vector<Case> cases = {
      {0, false, {}, {}},
      {0, true, {"Xcode is running."}, {"Xcode is running."}},
      {2, false, {"Claude Code is running."},
       {"2" + unclean + "Those changes only survive in the Trash.", "Claude Code is running."}},
      {1, true, {}, {"1" + unclean + "Those changes will be lost."}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RemovalSheetTexts::warnings(c.unsafe, c.permanent, c.running), c.want)
        << c.unsafe << " " << c.permanent;
  }
}

TEST(RemovalSheetTexts, NotesSayWhetherPruningFollows) {
  struct Case {
    std::size_t prunable;
    bool permanent;
    bool prune;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {0, false, true, {}},
      {0, true, false, {}},
      {3, false, true,
       {"3 clean registered worktree(s) go to the Trash; `git worktree prune` then runs in each "
        "repository whose worktree was trashed."}},
      {1, true, true,
       {"1 clean registered worktree(s) are deleted permanently; `git worktree prune` then runs "
        "in each repository whose worktree was deleted."}},
      {2, true, false,
       {"2 clean registered worktree(s): repository metadata is left as is (pruning is off in "
        "Settings)."}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RemovalSheetTexts::notes(c.prunable, c.permanent, c.prune), c.want)
        << c.prunable << " " << c.permanent << " " << c.prune;
  }
}

}  // namespace
}  // namespace hl
