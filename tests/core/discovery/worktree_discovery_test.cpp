#include "services/discovery/worktree_discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "support/fake_home.h"
#include "support/git_repository.h"
#include "support/manual_clock.h"
#include "support/scratch_mount.h"
#include "utilities/path_canonical.h"

using namespace hl;
using hl::test::FakeHome;

namespace {

std::vector<std::string> relativeTo(const FakeHome& home, const std::vector<std::string>& paths) {
  std::vector<std::string> out;
  for (const std::string& path : paths) out.push_back(abbreviatedPath(path, home.path()));
  return out;
}

std::vector<std::string> ids(const FakeHome& home, const std::vector<CacheItem>& items) {
  std::vector<std::string> paths;
  for (const CacheItem& item : items) paths.push_back(item.id);
  return relativeTo(home, paths);
}

// A linked worktree as git leaves it: a ".git" file naming the repository's record, and the
// record's "gitdir" naming the worktree's ".git" back.
void linkedWorktree(FakeHome& home, const std::string& repository, const std::string& worktree) {
  const std::string name = lastPathComponent(worktree);
  const std::string record = repository + "/.git/worktrees/" + name;
  home.text(worktree + "/.git", "gitdir: " + (home / record) + "\n");
  home.text(record + "/gitdir", (home / worktree) + "/.git\n");
}

WorktreeDiscovery discovery(const FakeHome& home) {
  WorktreeDiscovery d;
  d.home = home.path();
  return d;
}

}  // namespace

TEST(WorktreeSearch, ExaminesFoldersDownToTheDepthLimit) {
  FakeHome home;
  home.dir("Projects/.claude/worktrees");                 // the root itself, depth 0
  home.dir("code/a/b/c/d/.claude/worktrees");             // d at depth 4
  home.dir("code/a/b/c/d/e/.claude/worktrees");           // too deep
  home.dir("code/x/node_modules/y/.claude/worktrees");    // never queued
  home.dir("code/x/node_modules/.claude/worktrees");
  home.dir("code/Library/.claude/worktrees");
  home.dir("code/.hidden/.claude/worktrees");             // hidden: skipped while searching
  home.text("code/plain/.claude/worktrees", "a file, not a folder");
  EXPECT_EQ(relativeTo(home, discovery(home).repositoriesWithClaudeWorktrees()),
            (std::vector<std::string>{"~/Projects", "~/code/a/b/c/d"}));
}

TEST(WorktreeSearch, StopsBelowTheChildrenOfACheckout) {
  FakeHome home;
  home.dir("code/mono/.git");
  home.dir("code/mono/pkg/.claude/worktrees");
  home.dir("code/mono/pkg/sub/.claude/worktrees");
  // A search root that is a checkout itself is still searched normally.
  home.dir("work/.git");
  home.dir("work/app/lib/.claude/worktrees");
  EXPECT_EQ(relativeTo(home, discovery(home).repositoriesWithClaudeWorktrees()),
            (std::vector<std::string>{"~/code/mono/pkg", "~/work/app/lib"}));
}

TEST(WorktreeSearch, ObeysTheWalkBoundary) {
  FakeHome home;
  home.dir("code/cloud/app/.claude/worktrees");
  home.dir("code/local/app/.claude/worktrees");
  WorktreeDiscovery d = discovery(home);
  const std::string cloud = home / "code/cloud";
  d.boundary = WalkBoundary([cloud](std::string_view path) { return path == cloud; });
  EXPECT_EQ(relativeTo(home, d.repositoriesWithClaudeWorktrees()),
            (std::vector<std::string>{"~/code/local/app"}));
}

TEST(WorktreeSearch, DoesNotCrossIntoAnotherVolume) {
  if (const std::string reason = hl::test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.dir("code/mounted");
  home.dir("code/local/app/.claude/worktrees");
  const auto mount = hl::test::ScratchMount::tmpfs(home / "code/mounted");
  home.dir("code/mounted/app/.claude/worktrees");
  EXPECT_EQ(relativeTo(home, discovery(home).repositoriesWithClaudeWorktrees()),
            (std::vector<std::string>{"~/code/local/app"}));
}

TEST(WorktreeSearch, ABindMountIsAnotherVolumeToo) {
  if (const std::string reason = hl::test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.dir("code/local/app/.claude/worktrees");
  home.dir("elsewhere/app/.claude/worktrees");
  home.dir("code/bound");
  const auto mount = hl::test::ScratchMount::bind(home / "elsewhere", home / "code/bound");
  EXPECT_EQ(relativeTo(home, discovery(home).repositoriesWithClaudeWorktrees()),
            (std::vector<std::string>{"~/code/local/app"}));
}

TEST(WorktreeDiscovery, FindsRepositoryWorktreesInNameOrder) {
  FakeHome home;
  home.dir("Projects/app/.git");
  linkedWorktree(home, "Projects/app", "Projects/app/.claude/worktrees/a");
  linkedWorktree(home, "Projects/app", "Projects/app/.claude/worktrees/B");
  home.dir("Projects/app/.claude/worktrees/.hidden/.git");
  home.symlink("Projects/app/.claude/worktrees/link", home / "Projects/app/.claude/worktrees/a");

  const auto items = discovery(home).discover();
  // Code-point order: "." and upper case first; links are never worktrees.
  EXPECT_EQ(ids(home, items),
            (std::vector<std::string>{"~/Projects/app/.claude/worktrees/.hidden",
                                      "~/Projects/app/.claude/worktrees/B",
                                      "~/Projects/app/.claude/worktrees/a"}));
  const CacheItem& b = items[1];
  EXPECT_EQ(b.group, CacheGroup::aiWorktrees);
  EXPECT_EQ(b.risk, RiskLevel::moderate);
  EXPECT_EQ(b.name, "B");
  EXPECT_EQ(b.subtitle, "app · ~/Projects/app/.claude/worktrees/B");
  EXPECT_EQ(b.discoveryRoot, home / "Projects/app/.claude/worktrees");
  EXPECT_TRUE(b.modified.has_value());
  ASSERT_TRUE(b.worktree.has_value());
  EXPECT_EQ(b.worktree->repositoryURL, home / "Projects/app");
  EXPECT_TRUE(b.worktree->isRegistered);
  EXPECT_EQ(b.worktree->gitRoot, home / "Projects/app/.claude/worktrees/B");
  EXPECT_TRUE(b.worktree->status.isUnknown());
}

TEST(WorktreeDiscovery, ToolFoldersHoldWorktreesOrFoldersOfThem) {
  FakeHome home;
  home.dir(".codex/worktrees/abc/repo/.git");   // nested layout
  home.dir(".codex/worktrees/abc/notes");
  home.dir(".codex/worktrees/empty");           // no checkout at all
  home.dir(".grok/worktrees/direct/.git");
  const auto items = discovery(home).discover();
  EXPECT_EQ(ids(home, items),
            (std::vector<std::string>{"~/.grok/worktrees/direct", "~/.codex/worktrees/abc/repo",
                                      "~/.codex/worktrees/empty"}));
  EXPECT_EQ(items[1].discoveryRoot, home / ".codex/worktrees/abc");
  EXPECT_EQ(items[1].subtitle, "Unknown repository · ~/.codex/worktrees/abc/repo");

  const CacheItem& empty = items[2];
  ASSERT_TRUE(empty.worktree.has_value());
  EXPECT_EQ(empty.worktree->status, WorktreeStatus::error("no .git"));
  EXPECT_FALSE(empty.worktree->isRegistered);
  EXPECT_EQ(empty.worktree->gitRoot, std::nullopt);
  EXPECT_EQ(empty.worktree->repositoryURL, std::nullopt);
  EXPECT_EQ(empty.discoveryRoot, home / ".codex/worktrees");
}

TEST(WorktreeDiscovery, GitRootPrefersTheFolderThenAChildThenAGrandchild) {
  FakeHome home;
  home.dir("w1/.git");
  home.dir("w1/a/.git");
  home.dir("w2/z/.git");
  home.dir("w2/a/deep/.git");  // a grandchild loses to any child
  home.dir("w3/a/x");
  home.dir("w3/b/y/.git");
  home.dir("w3/b/c/.git");     // name order among grandchildren
  home.dir("w4/a/b/c/.git");   // too deep
  const WorktreeDiscovery d = discovery(home);
  EXPECT_EQ(d.gitRoot(home / "w1"), home / "w1");
  EXPECT_EQ(d.gitRoot(home / "w2"), home / "w2/z");
  EXPECT_EQ(d.gitRoot(home / "w3"), home / "w3/b/c");
  EXPECT_EQ(d.gitRoot(home / "w4"), std::nullopt);
}

TEST(WorktreeDiscovery, NestedGitRootDiffersFromTheItem) {
  FakeHome home;
  home.dir(".cursor/worktrees/run/.keep");
  home.dir(".cursor/worktrees/run/inner");
  home.dir(".cursor/worktrees/run/inner/checkout/.git");
  const auto items = discovery(home).discover();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].id, home / ".cursor/worktrees/run");
  EXPECT_EQ(items[0].worktree->gitRoot, home / ".cursor/worktrees/run/inner/checkout");
  EXPECT_TRUE(items[0].hasNestedGitRoot());
}

TEST(WorktreeDiscovery, KeepsTheFirstOfTwoItemsWithOneId) {
  FakeHome home;
  home.dir("code/app/.claude/worktrees/w/.git");
  WorktreeDiscovery d = discovery(home);
  d.searchRoots = {"code", "code"};
  EXPECT_EQ(ids(home, d.discover()), (std::vector<std::string>{"~/code/app/.claude/worktrees/w"}));
}

TEST(GitdirTarget, ReadsTheFirstGitdirLine) {
  FakeHome home;
  home.text("rel/.git", "gitdir: ../x/.git/worktrees/w\n");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(home / "rel"), home / "x/.git/worktrees/w");

  home.text("abs/.git", "\r\n\nsomething else\r\ngitdir:\t /r/repo/.git/worktrees/w \r\ngitdir: /no\n");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(home / "abs"), "/r/repo/.git/worktrees/w");

  // Unicode line breaks and spaces count as such.
  home.text("unicode/.git", "x\u2028gitdir:\u00a0/r/u\u2003\u2029");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(home / "unicode"), "/r/u");
}

TEST(GitdirTarget, NoTargetWithoutALinkedWorktreeFile) {
  FakeHome home;
  home.dir("own/.git");
  home.dir("missing");
  home.text("noline/.git", "ref: refs/heads/main\n");
  home.text("binary/.git", std::string("gitdir: /r/") + "\xff\xfe\n");
  const std::string fifo = home.dir("fifo") + "/.git";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // must not block the walk
  for (const char* folder : {"own", "missing", "noline", "binary", "fifo"}) {
    EXPECT_EQ(WorktreeDiscovery::gitdirTarget(home / folder), std::nullopt) << folder;
  }
}

TEST(WorktreeInspect, FindsTheRepositoryFromTheGitdirTarget) {
  FakeHome home;
  home.dir("repo/.git/worktrees/w");
  home.text("w/.git", "gitdir: " + (home / "repo/.git/worktrees/w") + "\n");
  home.text("repo/.git/worktrees/w/gitdir", "../../../../w/.git\n");  // relative to the record
  const WorktreeInfo info = WorktreeDiscovery::inspect(home / "w", std::nullopt);
  EXPECT_EQ(info.repositoryURL, home / "repo");
  EXPECT_TRUE(info.isRegistered);
  EXPECT_EQ(info.gitRoot, home / "w");
  EXPECT_TRUE(info.status.isUnknown());
}

TEST(WorktreeInspect, ASubmoduleTargetNamesNoRepository) {
  FakeHome home;
  home.text("w/.git", "gitdir: " + (home / "repo/.git/modules/w") + "\n");
  const WorktreeInfo info = WorktreeDiscovery::inspect(home / "w", std::nullopt);
  EXPECT_EQ(info.repositoryURL, std::nullopt);
  EXPECT_FALSE(info.isRegistered);
}

TEST(WorktreeInspect, RegisteredOnlyWhenTheRecordPointsBack) {
  FakeHome home;
  home.dir("repo/.git/worktrees/w");
  home.dir("w/.git");  // a checkout of its own: no gitdir line
  home.text("repo/.git/worktrees/w/gitdir", (home / "elsewhere/.git") + "\n");
  EXPECT_FALSE(WorktreeDiscovery::inspect(home / "w", home / "repo").isRegistered);
  home.text("repo/.git/worktrees/w/gitdir", "  \n");
  EXPECT_FALSE(WorktreeDiscovery::inspect(home / "w", home / "repo").isRegistered);
  // The expected repository's record, reached through a linked folder, still points back.
  home.symlink("alias", home / "w");
  home.text("repo/.git/worktrees/w/gitdir", (home / "alias/.git") + "\n");
  const WorktreeInfo info = WorktreeDiscovery::inspect(home / "w", home / "repo");
  EXPECT_TRUE(info.isRegistered);
  EXPECT_EQ(info.repositoryURL, home / "repo");
}

TEST(WorktreeDiscovery, RealGitWorktree) {
  if (!hl::test::gitAvailable()) GTEST_SKIP() << "git is not installed";
  FakeHome home;
  const std::string repository = home.dir("Projects/app");
  hl::test::initRepository(repository);
  hl::test::commitFile(repository, "README", "hello\n");
  hl::test::git(repository, {"worktree", "add", "-q", ".claude/worktrees/feature", "-b", "feature"});

  const auto items = discovery(home).discover();
  ASSERT_EQ(items.size(), 1u);
  const CacheItem& item = items[0];
  EXPECT_EQ(item.id, home / "Projects/app/.claude/worktrees/feature");
  EXPECT_EQ(item.subtitle, "app · ~/Projects/app/.claude/worktrees/feature");
  ASSERT_TRUE(item.worktree.has_value());
  EXPECT_EQ(item.worktree->repositoryURL, repository);
  EXPECT_TRUE(item.worktree->isRegistered);
  EXPECT_EQ(item.worktree->gitRoot, item.id);
  EXPECT_FALSE(item.hasNestedGitRoot());
}
