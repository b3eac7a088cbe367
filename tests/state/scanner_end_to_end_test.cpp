#include <gtest/gtest.h>

#include "support/scanner_fixture.h"
#include "services/removal/trash_service.h"
#include "services/system/git_service.h"
#include "support/git_repository.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::ScannerFixture;

// The real policy, trash service and git: an agent's clean worktree is measured, judged, moved
// into a Trash of the test's own, recorded, and forgotten by its repository.
TEST(ScannerEndToEnd, AnAgentWorktreeGoesToTheTrashAndItsRepositoryForgetsIt) {
  if (!hl::test::gitAvailable()) GTEST_SKIP() << "git is not installed";
  ScannerFixture f;
  const std::string repository = f.home / "proj";
  hl::test::initRepository(repository);
  hl::test::commitFile(repository, "readme.txt", "hi\n");
  hl::test::git(repository, {"update-ref", "refs/remotes/origin/main", "HEAD"});
  hl::test::git(repository, {"worktree", "add", "-q", "-b", "feat", ".claude/worktrees/feat"});
  hl::test::git(repository, {"update-ref", "refs/remotes/origin/feat", "HEAD"});

  const std::string trashFolder = hl::test::makeScratchFolder("trash") + "/Trash";
  auto service =
      std::make_shared<TrashService>(f.home.path(), DestructiveGate::open(), trashFolder);
  f.services.trash = [service](const std::vector<TrashItem>& items, RemovalMode mode) {
    return service->trash(items, mode);
  };
  f.services.pruneWorktrees = [](const std::string& repo, const DestructiveGate& gate) {
    return GitService::pruneWorktrees(repo, gate, ProcessRunner::Duration(20));
  };
  const std::string home = f.home.path();
  f.services.makePolicy = [home](bool includeOpenFiles) -> ScannerServices::PolicyCheck {
    InUseDetector detector;
    detector.home = home;
    detector.now = std::chrono::system_clock::now() + 3h;  // past the agents' two-hour window
    ScanTrashPolicy policy(home, detector);
    policy.includeOpenFiles = includeOpenFiles;
    return [policy](const std::vector<std::string>& urls, const std::string& root,
                    const std::set<std::string>& worktreeRoots) {
      return policy.evaluate(urls, root, worktreeRoots);
    };
  };

  f.scanned("proj/.claude/worktrees");
  ScannerViewModel& scanner = f.scanner();
  EXPECT_TRUE(scanner.refusals().empty());
  scanner.requestTrash(std::set<std::string>{f.id("proj/.claude/worktrees/feat")});
  f.settle();
  ASSERT_TRUE(scanner.pendingPlan()) << scanner.resultMessage().value_or("");
  f.clock.advance(2s);
  f.activity.setEvents({});
  scanner.confirmTrash(*scanner.pendingPlan());
  f.settle();

  EXPECT_FALSE(hl::test::existsNoFollow(f.home / "proj/.claude/worktrees/feat"));
  EXPECT_TRUE(hl::test::existsNoFollow(trashFolder + "/files/feat"));
  EXPECT_EQ(hl::test::git(repository, {"worktree", "list", "--porcelain"}).find("feat"),
            std::string::npos);
  EXPECT_EQ(f.logged()[1], "Pruned worktrees in proj");
  ASSERT_NE(scanner.root(), nullptr);
  EXPECT_EQ(scanner.root()->children()->size(), 0u);
  ASSERT_EQ(f.history.entries().size(), 1u);
  EXPECT_EQ(f.history.entries()[0].itemPaths,
            std::vector<std::string>{f.id("proj/.claude/worktrees/feat")});
  EXPECT_TRUE(scanner.resultMessage()->starts_with("Cleaned 1 item ("));
}
