#include <gtest/gtest.h>

#include <fstream>

#include "services/removal/scan_trash_policy.h"
#include "support/fake_home.h"
#include "support/git_repository.h"
#include "support/scratch_mount.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;
using hl::test::git;

// A home as a developer leaves it, judged with real git, the real process list and real mounts.
TEST(ScanTrashPolicyAcceptance, EveryRefusalIsTheRightOne) {
  if (!hl::test::gitAvailable()) GTEST_SKIP() << "git is not installed";
  FakeHome home("developer");

  // Local commits that no remote holds.
  const std::string app = home / "mine/app";
  // A project search root: protected itself, whatever it holds.
  home.dir("code/app");
  hl::test::initRepository(app);
  hl::test::commitFile(app, "a.txt", "a", "one");
  hl::test::commitFile(app, "b.txt", "b", "two");

  // A pushed repository with a worktree beside it that has uncommitted changes, and an agent's
  // clean worktree inside it.
  const std::string site = home / "work/site";
  hl::test::initRepository(site);
  hl::test::commitFile(site, "index.html", "<p>", "first");
  git(site, {"update-ref", "refs/remotes/origin/main", "HEAD"});
  git(site, {"worktree", "add", "-q", "-b", "draft", home / "work/draft"});
  git(home / "work/draft", {"update-ref", "refs/remotes/origin/draft", "HEAD"});
  std::ofstream(home / "work/draft/index.html") << "<p>edited";
  git(site, {"worktree", "add", "-q", "-b", "agent", ".claude/worktrees/agent"});
  git(site, {"update-ref", "refs/remotes/origin/agent", "HEAD"});

  // The agent's state kept elsewhere by a dotfile manager.
  home.file("dotfiles/claude/projects/p/log.jsonl", 9);
  home.symlink(".claude", home / "dotfiles/claude");

  home.file("plain/notes.txt", 100);

  InUseDetector detector;
  detector.home = home.path();
  detector.now = std::chrono::system_clock::now() + 3h;  // past the agents' two-hour window
  const ScanTrashPolicy policy(home.path(), detector);
  const std::vector<std::string> selected = {home / "code",
                                             home / "mine",
                                             home / "work/draft",
                                             home / "work/site/.claude/worktrees/agent",
                                             home / "work/site",
                                             home / "dotfiles/claude/projects",
                                             home / "plain"};
  const ScanTrashPolicy::Verdict verdict = policy.evaluate(selected, home.path(), {});

  const std::map<std::string, std::string> expected = {
      {cleanPath(home / "code"),
       "Refusing to remove protected location " + cleanPath(home / "code") + "."},
      {cleanPath(home / "mine"), "contains repository app (2 unpushed)"},
      {cleanPath(home / "work/draft"), "contains worktree draft (dirty)"},
      // Removing the repository strands its worktree beside it, whose changes come first.
      {cleanPath(home / "work/site"), "contains worktree draft (dirty)"},
      {cleanPath(home / "dotfiles/claude/projects"), "AI tool state"},
  };
  EXPECT_EQ(verdict.refusals, expected);
  // The clean agent worktree passes, and its repository forgets it afterwards.
  const std::string agent = cleanPath(home / "work/site/.claude/worktrees/agent");
  EXPECT_EQ(verdict.pruneRepositories,
            (std::map<std::string, std::set<std::string>>{{agent, {site}}}));
}

TEST(ScanTrashPolicyAcceptance, AMountedFolderInsideIsNeverJudgedFree) {
  if (const std::string reason = hl::test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home("developer");
  home.file("archive/disk/data.bin", 10);
  home.dir("media/usb");
  const auto mount = hl::test::ScratchMount::tmpfs(home / "media/usb");
  InUseDetector detector;
  detector.home = home.path();
  const ScanTrashPolicy policy(home.path(), detector);
  const auto verdict = policy.evaluate({home / "media"}, home.path(), {});
  EXPECT_EQ(verdict.refusals.at(cleanPath(home / "media")), "contains a mounted volume (usb)");
}
