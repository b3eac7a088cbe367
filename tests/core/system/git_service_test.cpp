#include "services/system/git_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/fake_home.h"
#include "support/fake_process_runner.h"
#include "support/git_repository.h"
#include "support/service_printers.h"
#include "support/test_environment.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::describe;
using hl::test::commitFile;
using hl::test::FakeProcessRunner;
using hl::test::git;
using hl::test::initRepository;

namespace {

constexpr auto timeout = 20s;

// A repository whose every branch is also held by a remote-tracking ref, so it has nothing
// unpushed.
std::string pushedRepository(const std::string& path) {
  initRepository(path);
  commitFile(path, "readme.txt", "hello\n", "first");
  git(path, {"update-ref", "refs/remotes/origin/main", "HEAD"});
  return path;
}

// A clean filter that leaves a mark when git runs it.
void defineMarkingFilter(const std::string& repository, const std::string& marker) {
  git(repository, {"config", "filter.mark.clean", "touch '" + marker + "'; cat"});
}

// Makes git look at every file's content again on the next status.
void touchTrackedFile(const std::string& path) {
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - 1h);
}

class GitServiceRealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!hl::test::gitAvailable()) GTEST_SKIP() << "git is not installed";
    root = hl::test::makeScratchFolder("git");
  }
  std::string root;
};

}  // namespace

TEST_F(GitServiceRealTest, CleanRepositoryAndWorktree) {
  const std::string repo = pushedRepository(root + "/repo");
  git(repo, {"worktree", "add", "-q", "-b", "feature", root + "/wt"});
  EXPECT_EQ(describe(GitService::repositoryStatus(repo, timeout)), "clean");
  EXPECT_EQ(describe(GitService::worktreeStatus(root + "/wt", timeout)), "clean");
  // A folder whose .git is a folder is a clone of its own; git is not asked.
  EXPECT_EQ(describe(GitService::worktreeStatus(repo, timeout)), "ownClone");
  EXPECT_EQ(describe(GitService::worktreeStatus(root, timeout)), "error: no .git");
  EXPECT_EQ(describe(GitService::worktreeStatus(std::nullopt, timeout)), "error: no .git");
}

TEST_F(GitServiceRealTest, AnIgnoredFileCountsAsUncommittedWork) {
  const std::string repo = pushedRepository(root + "/repo");
  commitFile(repo, ".gitignore", "build/\n");
  git(repo, {"update-ref", "refs/remotes/origin/main", "HEAD"});
  git(repo, {"worktree", "add", "-q", "-b", "feature", root + "/wt"});
  std::filesystem::create_directories(root + "/wt/build");
  std::ofstream(root + "/wt/build/out.o") << "object";
  EXPECT_EQ(describe(GitService::worktreeStatus(root + "/wt", timeout)), "dirty(true, 0)");
}

TEST_F(GitServiceRealTest, LocalCommitsWithoutARemoteAreUnpushed) {
  const std::string repo = root + "/repo";
  initRepository(repo);
  commitFile(repo, "a.txt", "a", "one");
  commitFile(repo, "b.txt", "b", "two");
  git(repo, {"worktree", "add", "-q", "-b", "feature", root + "/wt"});
  EXPECT_EQ(describe(GitService::worktreeStatus(root + "/wt", timeout)), "dirty(false, 2)");
  EXPECT_EQ(describe(GitService::repositoryStatus(repo, timeout)), "dirty(false, 2)");
}

// A commit made on a detached HEAD lies on no branch: removing the repository would lose it.
TEST_F(GitServiceRealTest, ACommitOnADetachedHeadIsUnpushed) {
  const std::string repo = pushedRepository(root + "/repo");
  git(repo, {"checkout", "-q", "--detach"});
  commitFile(repo, "c.txt", "c", "detached");
  EXPECT_EQ(describe(GitService::repositoryStatus(repo, timeout)), "dirty(false, 1)");
}

TEST_F(GitServiceRealTest, UnbornHeadAndEmptyRepository) {
  const std::string repo = pushedRepository(root + "/repo");
  git(repo, {"worktree", "add", "-q", "-b", "feature", root + "/wt"});
  git(root + "/wt", {"symbolic-ref", "HEAD", "refs/heads/never-committed"});
  EXPECT_EQ(describe(GitService::worktreeStatus(root + "/wt", timeout)),
            "error: git rev-list failed");

  // An empty repository has nothing unpushed and no stash: its counts succeed with 0.
  initRepository(root + "/empty");
  EXPECT_EQ(describe(GitService::repositoryStatus(root + "/empty", timeout)), "clean");
}

TEST_F(GitServiceRealTest, AStashIsUncommittedWork) {
  const std::string repo = pushedRepository(root + "/repo");
  std::ofstream(repo + "/readme.txt") << "edited\n";
  git(repo, {"stash", "-q"});
  EXPECT_EQ(git(repo, {"status", "--porcelain"}), "");
  EXPECT_EQ(describe(GitService::repositoryStatus(repo, timeout)), "dirty(true, 0)");
}

TEST_F(GitServiceRealTest, ALocalFilterBlocksStatusAndAGlobalOneDoesNot) {
  const std::string repo = pushedRepository(root + "/repo");
  commitFile(repo, ".gitattributes", "*.txt filter=mark\n");
  git(repo, {"update-ref", "refs/remotes/origin/main", "HEAD"});

  // Defined only in the user's own configuration: status runs.
  const std::string home = std::getenv("HOME");
  std::ofstream(home + "/.gitconfig") << "[filter \"other\"]\n\tclean = cat\n";
  EXPECT_EQ(describe(GitService::repositoryStatus(repo, timeout)), "clean");

  const std::string marker = root + "/filter-ran";
  defineMarkingFilter(repo, marker);
  touchTrackedFile(repo + "/readme.txt");
  EXPECT_EQ(describe(GitService::repositoryStatus(repo, timeout)),
            "error: the repository config defines a filter driver");
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(GitServiceRealTest, AFilterInsideANestedSubmoduleBlocksStatus) {
  // leaf is a submodule of middle, which is a submodule of top; the filter lives in leaf.
  const std::string leaf = root + "/leaf-origin";
  initRepository(leaf);
  commitFile(leaf, ".gitattributes", "*.txt filter=mark\n");
  commitFile(leaf, "data.txt", "leaf data\n");
  const std::string middle = root + "/middle-origin";
  initRepository(middle);
  commitFile(middle, "m.txt", "middle\n");
  git(middle, {"-c", "protocol.file.allow=always", "submodule", "add", "-q", leaf, "leaf"});
  git(middle, {"commit", "-q", "-m", "add leaf"});
  const std::string top = root + "/top";
  initRepository(top);
  commitFile(top, "t.txt", "top\n");
  git(top, {"-c", "protocol.file.allow=always", "submodule", "add", "-q", middle, "middle"});
  git(top, {"commit", "-q", "-m", "add middle"});
  git(top,
      {"-c", "protocol.file.allow=always", "submodule", "update", "-q", "--init", "--recursive"});
  git(top, {"update-ref", "refs/remotes/origin/main", "HEAD"});
  EXPECT_EQ(describe(GitService::repositoryStatus(top, timeout)), "clean");

  const std::string checkedOutLeaf = top + "/middle/leaf";
  ASSERT_TRUE(std::filesystem::exists(checkedOutLeaf + "/data.txt"));
  const std::string marker = root + "/filter-ran";
  defineMarkingFilter(checkedOutLeaf, marker);
  touchTrackedFile(checkedOutLeaf + "/data.txt");
  EXPECT_EQ(describe(GitService::repositoryStatus(top, timeout)),
            "error: the repository config defines a filter driver");
  EXPECT_FALSE(std::filesystem::exists(marker));

  // A checked-out submodule whose configuration cannot be read leaves the status unknown to us:
  // an error, and still no status run.
  git(checkedOutLeaf, {"config", "--unset", "filter.mark.clean"});
  std::filesystem::remove_all(checkedOutLeaf + "/.git");
  std::ofstream(checkedOutLeaf + "/.git") << "gitdir: " << root << "/nowhere\n";
  EXPECT_EQ(describe(GitService::repositoryStatus(top, timeout)),
            "error: git config could not be read");
}

TEST_F(GitServiceRealTest, ASubmoduleThatIsNotCheckedOutIsNotLookedInto) {
  const std::string sub = root + "/sub-origin";
  initRepository(sub);
  commitFile(sub, "s.txt", "sub\n");
  const std::string top = root + "/top";
  initRepository(top);
  commitFile(top, "t.txt", "top\n");
  git(top, {"-c", "protocol.file.allow=always", "submodule", "add", "-q", sub, "sub"});
  git(top, {"commit", "-q", "-m", "add sub"});
  git(top, {"submodule", "deinit", "-q", "--force", "sub"});
  git(top, {"update-ref", "refs/remotes/origin/main", "HEAD"});
  EXPECT_EQ(describe(GitService::repositoryStatus(top, timeout)), "clean");
}

TEST_F(GitServiceRealTest, ABranchGitCannotCountIsAnErrorNotZeroUnpushedCommits) {
  const std::string repo = pushedRepository(root + "/repo");
  git(repo, {"checkout", "-q", "-b", "ghost"});
  commitFile(repo, "ghost.txt", "only here\n", "ghost work");
  const std::string ghost = git(repo, {"rev-parse", "HEAD"}).substr(0, 40);
  git(repo, {"checkout", "-q", "main"});
  std::filesystem::remove(repo + "/.git/objects/" + ghost.substr(0, 2) + "/" + ghost.substr(2));
  EXPECT_EQ(git(repo, {"status", "--porcelain"}), "");
  EXPECT_EQ(describe(GitService::repositoryStatus(repo, timeout)), "error: git rev-list failed");
}

TEST_F(GitServiceRealTest, PruneForgetsRemovedWorktreesOnlyThroughAnOpenGate) {
  const std::string repo = pushedRepository(root + "/repo");
  git(repo, {"worktree", "add", "-q", "-b", "feature", root + "/wt"});
  std::filesystem::remove_all(root + "/wt");
  EXPECT_FALSE(GitService::pruneWorktrees(repo, DestructiveGate::current(), timeout));
  EXPECT_NE(git(repo, {"worktree", "list"}).find("/wt"), std::string::npos);
  EXPECT_TRUE(GitService::pruneWorktrees(repo, DestructiveGate::open(), timeout));
  EXPECT_EQ(git(repo, {"worktree", "list"}).find("/wt"), std::string::npos);
}

namespace {

// A linked worktree's top folder, as far as the fake git needs one.
struct FakeWorktree {
  hl::test::FakeHome home{"worktree"};
  std::string top = home.dir("real");
  std::string link = home.symlink("link", home / "real");
  FakeWorktree() { home.text("real/.git", "gitdir: /elsewhere\n"); }
};

std::vector<std::string> expectedPrefix(const std::string& directory) {
  std::vector<std::string> prefix = GitService::overridePrefix();
  prefix.push_back("-C");
  prefix.push_back(directory);
  return prefix;
}

const std::vector<std::string> configQuery = {"config", "--show-scope"};
const std::vector<std::string> statusQuery = {"status", "--porcelain"};

void scriptQuietRepository(FakeProcessRunner& fake) {
  const std::string git(GitService::gitPath);
  fake.on(git, configQuery, FakeProcessRunner::output(1));
  fake.on(git, {"ls-files"}, FakeProcessRunner::output(0));
  fake.on(git, statusQuery, FakeProcessRunner::output(0));
  fake.on(git, {"--walk-reflogs"},
          FakeProcessRunner::output(128, "",
                                    "fatal: ambiguous argument 'refs/stash': unknown "
                                    "revision or path not in the working tree.\n"));
  fake.on(git, {"rev-list"}, FakeProcessRunner::output(0, "0\n"));
}

GitService::Dependencies dependenciesOf(
    const FakeProcessRunner& fake,
    CommandLineTools::ProbeResult tools = CommandLineTools::ProbeResult::installed) {
  return GitService::Dependencies{fake.launcher(), [tools] { return tools; }};
}

}  // namespace

TEST(GitService, EveryRunIsHardenedAndNamesTheResolvedRoot) {
  FakeWorktree worktree;
  FakeProcessRunner fake;
  scriptQuietRepository(fake);
  EXPECT_EQ(describe(GitService::worktreeStatus(worktree.link, 5s, {}, dependenciesOf(fake))),
            "clean");

  const std::string top = PathCanonical::canonical(worktree.top);
  const std::vector<std::string> prefix = expectedPrefix(top);
  ASSERT_EQ(prefix.size(), 20u);
  ASSERT_EQ(fake.callCount(), 4u);  // config, ls-files, status, rev-list
  for (const auto& call : fake.calls()) {
    EXPECT_EQ(call.executable, "/usr/bin/git");
    ASSERT_GE(call.arguments.size(), prefix.size());
    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), call.arguments.begin()));
    EXPECT_EQ(call.timeout, ProcessRunner::Duration(5s));
    EXPECT_FALSE(call.watchedOutput);
    EXPECT_EQ(call.environment.at("GIT_TERMINAL_PROMPT"), "0");
    EXPECT_EQ(call.environment.at("GIT_OPTIONAL_LOCKS"), "0");
    EXPECT_EQ(call.environment.at("GIT_NO_LAZY_FETCH"), "1");
    EXPECT_EQ(call.environment.at("LC_ALL"), "C");
    EXPECT_EQ(call.environment.at("GIT_CEILING_DIRECTORIES"), parentPath(top));
  }
  EXPECT_EQ(fake.callCount("/usr/bin/git", {"config", "--show-scope", "--includes", "--get-regexp",
                                            "^filter\\..*\\.(clean|smudge|process|required)$"}),
            1u);
  EXPECT_EQ(fake.callCount("/usr/bin/git",
                           {"-c", "status.showUntrackedFiles=all", "status", "--porcelain",
                            "--untracked-files=all", "--ignored=matching"}),
            1u);
  EXPECT_EQ(fake.callCount("/usr/bin/git", {"rev-list", "--count", "HEAD", "--not", "--remotes"}),
            1u);
}

TEST(GitService, WithoutGitNothingRuns) {
  FakeWorktree worktree;
  FakeProcessRunner fake;
  scriptQuietRepository(fake);
  const auto missing = dependenciesOf(fake, CommandLineTools::ProbeResult::missing);
  const auto unknown = dependenciesOf(fake, CommandLineTools::ProbeResult::indeterminate);
  EXPECT_EQ(describe(GitService::worktreeStatus(worktree.top, 5s, {}, missing)),
            "error: git is not installed");
  EXPECT_EQ(describe(GitService::repositoryStatus(worktree.top, 5s, {}, missing)),
            "error: git is not installed");
  EXPECT_EQ(describe(GitService::worktreeStatus(worktree.top, 5s, {}, unknown)),
            "error: could not check whether git is installed");
  EXPECT_EQ(describe(GitService::repositoryStatus(worktree.top, 5s, {}, unknown)),
            "error: could not check whether git is installed");
  EXPECT_FALSE(GitService::pruneWorktrees(worktree.top, DestructiveGate::open(), 10s, {}, missing));
  EXPECT_EQ(fake.callCount(), 0u);
}

TEST(GitService, TheReadOnlyGateStartsNoPrune) {
  FakeProcessRunner fake;
  fake.on("/usr/bin/git", {"worktree", "prune"}, FakeProcessRunner::output(0));
  const DestructiveGate closed{"read-only mode (-HLMReadOnly)"};
  EXPECT_FALSE(GitService::pruneWorktrees("/repo", closed, 10s, {}, dependenciesOf(fake)));
  EXPECT_EQ(fake.callCount(), 0u);
  EXPECT_TRUE(
      GitService::pruneWorktrees("/repo", DestructiveGate::open(), 10s, {}, dependenciesOf(fake)));
  ASSERT_EQ(fake.callCount(), 1u);
  EXPECT_EQ(fake.calls()[0].timeout, ProcessRunner::Duration(10s));
}

TEST(GitService, FailuresBecomeTheirErrorTexts) {
  FakeWorktree worktree;
  const std::string git(GitService::gitPath);
  const auto statusWith = [&](auto script) {
    FakeProcessRunner fake;
    script(fake);
    scriptQuietRepository(fake);
    return GitService::worktreeStatus(worktree.top, 5s, {}, dependenciesOf(fake));
  };
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, configQuery, FakeProcessRunner::output(128));
            })),
            "error: git config could not be read");
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, configQuery,
                   FakeProcessRunner::output(0,
                                             "global\tfilter.x.clean cat\n"
                                             "worktree\tfilter.y.smudge cat\n"));
            })),
            "error: the repository config defines a filter driver");
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, configQuery,
                   FakeProcessRunner::output(0,
                                             "global\tfilter.x.clean cat\n"
                                             "system\tfilter.y.process p\n"));
            })),
            "clean");
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, {"ls-files"}, FakeProcessRunner::output(128));
            })),
            "error: git ls-files failed");
  EXPECT_EQ(
      describe(statusWith([&](FakeProcessRunner& f) { f.on(git, statusQuery, std::nullopt); })),
      "error: git could not run");
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, statusQuery, FakeProcessRunner::output(-1, "", "", true));
            })),
            "error: git timed out");
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, statusQuery, FakeProcessRunner::output(128));
            })),
            "error: git status failed");
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, {"rev-list"}, FakeProcessRunner::output(0, "many\n"));
            })),
            "error: git rev-list failed");
  EXPECT_EQ(describe(statusWith([&](FakeProcessRunner& f) {
              f.on(git, statusQuery, FakeProcessRunner::output(0, "?? new.txt\n"));
              f.on(git, {"rev-list"}, FakeProcessRunner::output(0, " 3 \n"));
            })),
            "dirty(true, 3)");
}

TEST(GitService, AStashThatCannotBeCountedIsAnError) {
  FakeWorktree worktree;
  const std::string git(GitService::gitPath);
  FakeProcessRunner fake;
  fake.on(git, {"--walk-reflogs"}, FakeProcessRunner::output(128, "", "fatal: something else\n"));
  scriptQuietRepository(fake);
  EXPECT_EQ(describe(GitService::repositoryStatus(worktree.top, 5s, {}, dependenciesOf(fake))),
            "error: git rev-list failed");
}

TEST(GitService, ReadsCountsRevisionErrorsAndSubmoduleEntries) {
  EXPECT_EQ(GitService::readCount("12\n"), 12);
  EXPECT_EQ(GitService::readCount("  +3 "), 3);
  EXPECT_EQ(GitService::readCount("-2"), -2);
  EXPECT_EQ(GitService::readCount(""), std::nullopt);
  EXPECT_EQ(GitService::readCount("+"), std::nullopt);
  EXPECT_EQ(GitService::readCount("+-2"), std::nullopt);
  EXPECT_EQ(GitService::readCount("1 2"), std::nullopt);
  EXPECT_EQ(GitService::readCount("99999999999"), std::nullopt);

  EXPECT_TRUE(GitService::isMissingRevision("fatal: ambiguous argument: Unknown Revision"));
  EXPECT_TRUE(GitService::isMissingRevision("fatal: bad revision 'refs/stash'"));
  EXPECT_FALSE(GitService::isMissingRevision("fatal: not a git repository"));

  using namespace std::string_literals;
  const std::string listing = "100644 aaaa 0\tREADME\0"s + "160000 bbbb 0\tlib/sub one\0"s +
                              "160000 bbbb 1\tlib/sub one\0"s + "160000 cccc 0\tnew\nline"s;
  EXPECT_EQ(GitService::gitlinkPaths(listing),
            (std::vector<std::string>{"lib/sub one", "new\nline"}));
}
