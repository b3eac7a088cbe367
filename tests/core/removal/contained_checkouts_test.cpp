#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "services/removal/scan_trash_policy.h"
#include "support/fake_home.h"
#include "support/git_repository.h"
#include "support/scratch_mount.h"
#include "utilities/path_canonical.h"

using namespace hl;
using hl::test::FakeHome;
using Checkout = ScanTrashPolicy::Checkout;
using Kind = Checkout::Kind;

namespace {

// "~/path kind repository" lines, sorted, so a list can be compared whatever the walk's order.
std::vector<std::string> described(const FakeHome& home,
                                   const ScanTrashPolicy::CheckoutList& list) {
  std::vector<std::string> lines;
  if (const auto* failure = std::get_if<ScanTrashPolicy::VerifyFailure>(&list)) {
    return {"failure: " + failure->reason};
  }
  for (const Checkout& checkout : std::get<std::vector<Checkout>>(list)) {
    std::string line = abbreviatedPath(checkout.url, home.path());
    line += checkout.kind == Kind::repository       ? " repository"
            : checkout.kind == Kind::linkedWorktree ? " worktree"
                                                    : " bare";
    if (checkout.repository) line += " of " + abbreviatedPath(*checkout.repository, home.path());
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> walk(const FakeHome& home, std::string_view relative,
                              const ScanTrashPolicy& policy) {
  return described(home, policy.containedCheckouts(home / relative));
}

std::vector<std::string> walk(const FakeHome& home, std::string_view relative) {
  return walk(home, relative, ScanTrashPolicy(home.path()));
}

using Lines = std::vector<std::string>;

// A linked worktree's ".git" file and, when `registered`, its repository's record pointing back.
void linkedWorktree(FakeHome& home, const std::string& repository, const std::string& worktree,
                    bool registered = true) {
  const std::string record = repository + "/.git/worktrees/" + lastPathComponent(worktree);
  home.text(worktree + "/.git", "gitdir: " + (home / record) + "\n");
  home.text(record + "/gitdir", (registered ? home / worktree : home / "elsewhere") + "/.git\n");
}

void bareRepository(FakeHome& home, const std::string& folder) {
  home.text(folder + "/HEAD", "ref: refs/heads/main\n");
  home.dir(folder + "/objects");
  home.dir(folder + "/refs");
}

}  // namespace

TEST(ContainedCheckouts, NothingIsFoundInAnEmptyFolderAFileALinkOrNothing) {
  FakeHome home;
  home.dir("empty");
  home.file("file.txt", 10);
  home.dir("target/app/.git");
  home.symlink("link", home / "target");
  for (const char* relative : {"empty", "file.txt", "link", "link/", "missing"}) {
    EXPECT_EQ(walk(home, relative), Lines{}) << relative;
  }
}

TEST(ContainedCheckouts, ABareRepositoryIsOneCheckoutAndIsNotWalked) {
  FakeHome home;
  bareRepository(home, "store.git");
  home.dir("store.git/objects/pack/inner/.git");
  EXPECT_EQ(walk(home, "store.git"), Lines{"~/store.git bare"});

  bareRepository(home, "shelf/store");
  home.dir("shelf/store/refs/nested/.git");
  EXPECT_EQ(walk(home, "shelf"), Lines{"~/shelf/store bare"});

  // Each part must be what a bare repository holds.
  home.dir("odd/HEAD");
  home.dir("odd/objects");
  home.dir("odd/refs");
  home.text("half/HEAD", "ref: refs/heads/main\n");
  home.dir("half/objects");
  EXPECT_FALSE(ScanTrashPolicy::isBareRepository(home / "odd"));
  EXPECT_FALSE(ScanTrashPolicy::isBareRepository(home / "half"));
  EXPECT_TRUE(ScanTrashPolicy::isBareRepository(home / "store.git"));
}

TEST(ContainedCheckouts, ARepositoryBringsItsWorktreesWhereverTheyAre) {
  if (!hl::test::gitAvailable()) GTEST_SKIP() << "git is not installed";
  FakeHome home;
  const std::string app = home / "sel/app";
  hl::test::initRepository(app);
  hl::test::commitFile(app, "readme.txt", "hello\n");
  hl::test::git(app, {"worktree", "add", "-q", "-b", "outside", home / "outside/wt"});
  hl::test::git(app, {"worktree", "add", "-q", "-b", "feat", ".claude/worktrees/feat"});
  // A record whose worktree is gone names nothing.
  hl::test::git(app, {"worktree", "add", "-q", "-b", "gone", home / "gone"});
  home.dir("gone-later");
  ASSERT_EQ(::rename((home / "gone").c_str(), (home / "gone-later/gone").c_str()), 0);
  home.dir("sel/app/vendor/lib/.git");        // a repository in the working tree
  home.dir("sel/app/node_modules/pkg/.git");  // never walked
  home.dir("sel/app/.git/modules/sub/.git");  // never walked

  EXPECT_EQ(walk(home, "sel"), (Lines{
                                   "~/outside/wt worktree of ~/sel/app",
                                   "~/sel/app repository",
                                   "~/sel/app/.claude/worktrees/feat worktree of ~/sel/app",
                                   "~/sel/app/.claude/worktrees/feat worktree of ~/sel/app",
                                   "~/sel/app/vendor/lib repository",
                               }));
}

TEST(ContainedCheckouts, AWorktreeItsRepositoryDoesNotRegisterHasNoRepository) {
  FakeHome home;
  home.dir("repo/.git");
  linkedWorktree(home, "repo", "sel/stray", false);
  EXPECT_EQ(walk(home, "sel"), Lines{"~/sel/stray worktree"});
  linkedWorktree(home, "repo", "sel/kept");
  EXPECT_EQ(walk(home, "sel"), (Lines{"~/sel/kept worktree of ~/repo", "~/sel/stray worktree"}));
}

TEST(ContainedCheckouts, ARelativeWorktreeRecordIsReadFromTheRecordsFolder) {
  FakeHome home;
  home.dir("sel/app/.git/worktrees/wt");
  home.text("wt/.git", "gitdir: " + (home / "sel/app/.git/worktrees/wt") + "\n");
  // Relative to the record's folder, whatever folder the process works in.
  home.text("sel/app/.git/worktrees/wt/gitdir", "../../../../../wt/.git\n");
  EXPECT_EQ(walk(home, "sel"), (Lines{"~/sel/app repository", "~/wt worktree of ~/sel/app"}));
}

TEST(ContainedCheckouts, TheEntryLimitCountsEveryEntryAtAnyDepth) {
  FakeHome home;
  home.dir("sel/a/b");
  home.file("sel/a/b/c.txt", 1);
  ScanTrashPolicy policy(home.path());
  policy.maxEntriesToVerify = 3;
  EXPECT_EQ(walk(home, "sel", policy), Lines{});
  home.file("sel/d.txt", 1);
  EXPECT_EQ(walk(home, "sel", policy),
            Lines{"failure: too large to verify contained worktrees; select a smaller folder"});
  // What is not walked is not counted.
  home.dir("small/node_modules/x/y/z");
  EXPECT_EQ(walk(home, "small", policy), Lines{});
}

TEST(ContainedCheckouts, AFolderOnAnotherVolumeFailsTheWholeFolder) {
  FakeHome home;
  home.dir("sel/app/.git");
  home.dir("sel/deep/disk");
  ScanTrashPolicy policy(home.path());
  const std::string disk = home / "sel/deep/disk";
  policy.boundary = WalkBoundary(&FileFlags::isDataless, [disk](std::string_view path) {
    return std::optional(VolumeIdentifier{path == disk ? 2u : 1u, 0});
  });
  EXPECT_EQ(walk(home, "sel", policy), Lines{"failure: contains a mounted volume (disk)"});
}

TEST(ContainedCheckouts, ABindMountInsideFailsTheWholeFolder) {
  if (const std::string reason = hl::test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.dir("elsewhere/data");
  home.dir("sel/bound");
  const auto mount = hl::test::ScratchMount::bind(home / "elsewhere", home / "sel/bound");
  EXPECT_EQ(walk(home, "sel"), Lines{"failure: contains a mounted volume (bound)"});
  // The mounted folder itself is walked on its own volume.
  EXPECT_EQ(walk(home, "sel/bound"), Lines{});
}

TEST(ContainedCheckouts, CloudOnlyFoldersCannotBeInspected) {
  FakeHome home;
  home.dir("sel/docs/remote");
  ScanTrashPolicy policy(home.path());
  const std::string cloud = home / "sel/docs/remote";
  const std::string root = home / "cloud";
  home.dir("cloud");
  policy.boundary =
      WalkBoundary([cloud, root](std::string_view path) { return path == cloud || path == root; });
  EXPECT_EQ(walk(home, "sel", policy),
            Lines{"failure: contains a folder not downloaded from iCloud (remote)"});
  EXPECT_EQ(walk(home, "cloud", policy),
            Lines{"failure: not downloaded from iCloud, so it cannot be inspected"});
}

TEST(ContainedCheckouts, WhatCannotBeReadFailsTheFolder) {
  FakeHome home;
  home.file("sel/notes.txt", 1);
  home.dir("sel/sub/inner");
  struct Case {
    const char* name;
    std::string path;
    void (*set)(WalkFaults&, std::string);
  };
  const Case cases[] = {
      {"an entry's status", home / "sel/notes.txt",
       [](WalkFaults& f, std::string p) {
         f.failStatus = [p](std::string_view x) { return x == p; };
       }},
      {"a folder's status", home / "sel/sub",
       [](WalkFaults& f, std::string p) {
         f.failStatus = [p](std::string_view x) { return x == p; };
       }},
      {"opening a folder", home / "sel/sub/inner",
       [](WalkFaults& f, std::string p) {
         f.failOpen = [p](std::string_view x) { return x == p; };
       }},
      {"listing a folder", home / "sel/sub",
       [](WalkFaults& f, std::string p) {
         f.failListing = [p](std::string_view x) { return x == p; };
       }},
      {"the folder itself", home / "sel",
       [](WalkFaults& f, std::string p) {
         f.failStatus = [p](std::string_view x) { return x == p; };
       }},
  };
  for (const Case& c : cases) {
    ScanTrashPolicy policy(home.path());
    c.set(policy.faults, c.path);
    EXPECT_EQ(walk(home, "sel", policy), Lines{"failure: could not fully inspect this folder"})
        << c.name;
  }
}

TEST(ContainedCheckouts, RefusalsPutWorktreesAndBareRepositoriesFirst) {
  std::vector<Checkout> checkouts = {
      {"/x/b", Kind::repository, std::nullopt},
      {"/x/d", Kind::linkedWorktree, std::nullopt},
      {"/x/a", Kind::repository, std::nullopt},
      {"/x/c", Kind::bareRepository, std::nullopt},
  };
  std::sort(checkouts.begin(), checkouts.end(), ScanTrashPolicy::refusalOrder);
  std::vector<std::string> order;
  for (const Checkout& checkout : checkouts) order.push_back(checkout.url);
  EXPECT_EQ(order, (std::vector<std::string>{"/x/c", "/x/d", "/x/a", "/x/b"}));
}
