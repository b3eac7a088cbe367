#include <gtest/gtest.h>

#include "support/scanner_fixture.h"
#include "services/removal/trash_service.h"
#include "services/system/git_service.h"
#include "support/git_repository.h"
#include "support/no_birth_time_volume.h"
#include "support/scratch_mount.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::ScannerFixture;

namespace {

// The real policy over the fixture's home (its clock past the agents' two-hour window) and a
// trash service with a Trash of the test's own.
void realRemoval(ScannerFixture& f, const std::string& trashFolder) {
  auto service =
      std::make_shared<TrashService>(f.home.path(), DestructiveGate::open(), trashFolder);
  f.services.trash = [service](const std::vector<TrashItem>& items, RemovalMode mode,
                               const FreedesktopTrash::ReservationNote& reserved) {
    return service->trash(items, mode, {}, reserved);
  };
  const std::string home = f.home.path();
  f.services.makePolicy = [home](bool includeOpenFiles) -> ScannerServices::PolicyCheck {
    InUseDetector detector;
    detector.home = home;
    detector.now = std::chrono::system_clock::now() + 3h;
    ScanTrashPolicy policy(home, detector);
    policy.includeOpenFiles = includeOpenFiles;
    return [policy](const std::vector<std::string>& urls, const std::string& root,
                    const std::set<std::string>& worktreeRoots) {
      return policy.evaluate(urls, root, worktreeRoots);
    };
  };
}

}  // namespace

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
  f.services.trash = [service](const std::vector<TrashItem>& items, RemovalMode mode,
                               const FreedesktopTrash::ReservationNote& reserved) {
    return service->trash(items, mode, {}, reserved);
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

// A whole project chosen in the tree, then renamed away and replaced, linked elsewhere, or
// hidden under a mount before the confirmation: nothing is removed and nothing counted.
TEST(ScannerEndToEnd, AFolderChangedSinceItWasChosenIsNeverRemovedNorCounted) {
  // The last: made again where the file system keeps neither a birth time nor a generation.
  enum class Change {
    replaced,
    link,
    bindOverParent,
    remade,
    fileMadeAgainAsFolder,
    remadeWhereNoBirthTime
  };
  const std::string mountReason = hl::test::ScratchMount::unavailableReason();
  const std::string volumeReason = hl::test::NoBirthTimeVolume::unavailableReason();
  for (const Change change :
       {Change::replaced, Change::link, Change::bindOverParent, Change::remade,
        Change::fileMadeAgainAsFolder, Change::remadeWhereNoBirthTime}) {
    if (change == Change::bindOverParent && !mountReason.empty()) continue;
    if (change == Change::remadeWhereNoBirthTime && !volumeReason.empty()) continue;
    const bool remade = change == Change::remade || change == Change::remadeWhereNoBirthTime;
    for (const bool permanent : {false, true}) {
      SCOPED_TRACE(static_cast<int>(change) * 10 + permanent);
      ScannerFixture f;
      realRemoval(f, hl::test::makeScratchFolder("trash") + "/Trash");
      f.settings->setDeleteImmediately(permanent);
      const bool file = change == Change::fileMadeAgainAsFolder;
      std::optional<hl::test::NoBirthTimeVolume> volume;
      if (change == Change::remadeWhereNoBirthTime) {
        hl::test::FakeHome contents("contents");
        contents.text("site/index.html", "<p>");
        volume.emplace(contents.path(), "", f.home.dir("box"));
      } else {
        f.home.text(file ? "box/site" : "box/site/index.html", "<p>");
      }
      f.home.text("elsewhere/site/precious", "precious");
      f.scanned("box");
      ScannerViewModel& scanner = f.scanner();
      scanner.requestTrash(std::set<std::string>{f.id("box/site")});
      f.settle();
      ASSERT_TRUE(scanner.pendingPlan()) << scanner.resultMessage().value_or("");

      std::optional<hl::test::ScratchMount> mounted;
      if (change == Change::bindOverParent) {
        mounted.emplace(hl::test::ScratchMount::bind(f.home / "elsewhere", f.home / "box"));
      } else if (remade || file) {
        // Deleted and made again: on ext4 it gets its old inode number back.
        hl::test::remakeInPlace(f.home / "box/site", [&] { f.home.text("box/site/new", "new"); });
      } else {
        ASSERT_EQ(::rename((f.home / "box/site").c_str(), (f.home / "site.old").c_str()), 0);
        if (change == Change::replaced) f.home.text("box/site/new", "new");
        if (change == Change::link) f.home.symlink("box/site", f.home / "elsewhere/site");
      }
      f.clock.advance(2s);
      scanner.confirmTrash(*scanner.pendingPlan());
      f.settle();

      EXPECT_TRUE(hl::test::existsNoFollow(f.home / "box/site"));
      EXPECT_EQ(hl::test::readFile(f.home / "elsewhere/site/precious"), "precious");
      mounted.reset();
      if (remade || file) {
        EXPECT_EQ(hl::test::readFile(f.home / "box/site/new"), "new");
      } else {
        EXPECT_EQ(hl::test::readFile(f.home / (change == Change::bindOverParent
                                                   ? "box/site/index.html"
                                                   : "site.old/index.html")),
                  "<p>");
      }
      ASSERT_EQ(f.history.entries().size(), 1u);
      EXPECT_EQ(f.history.entries()[0].bytesFreed, 0);
      ASSERT_EQ(f.history.entries()[0].failures.size(), 1u);
      EXPECT_EQ(f.history.entries()[0].failures[0].message,
                "Skipped: it changed since it was shown");
    }
  }
}

// A project search root holds source code, and ~/.local/bin holds the agent's launcher beside
// the user's own programs: neither may be chosen for removal.
TEST(ScannerEndToEnd, ASearchRootAndAFolderHoldingAgentStateAreRefused) {
  ScannerFixture f;
  realRemoval(f, hl::test::makeScratchFolder("trash") + "/Trash");
  f.home.text("work/app/main.c", "int main;");
  f.home.text(".local/bin/mine", "#!/bin/sh\n");
  f.home.symlink(".local/bin/claude", f.home / ".local/share/claude/versions/2");
  f.scanned();
  ScannerViewModel& scanner = f.scanner();
  scanner.requestTrash(std::set<std::string>{f.id("work"), f.id(".local/bin")});
  f.settle();
  EXPECT_FALSE(scanner.pendingPlan());
  EXPECT_EQ(scanner.resultMessage(),
            "Nothing can be removed: AI tool state; Refusing to remove protected location " +
                f.id("work") + ".");
  EXPECT_TRUE(f.trash.calls.empty());
}
