#include "services/discovery/worktree_discovery.h"
#include "services/in_use/worktree_in_use_rules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/file_times.h"
#include "services/in_use/in_use_detector.h"
#include "support/fake_home.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;
namespace Rules = hl::WorktreeInUseRules;

namespace {

// The worktrees of most tests do not exist on disk, so their folder date never fires.
const std::string kRepo = "/Users/ann/repo";
const std::string kFix1 = "/Users/ann/repo/.claude/worktrees/fix-1";

CacheItem worktree(const std::string& url, std::optional<std::string> repository = kRepo,
                   std::optional<std::string> gitRoot = std::nullopt) {
  CacheItemInit init;
  init.url = url;
  WorktreeInfo info;
  info.repositoryURL = std::move(repository);
  info.gitRoot = std::move(gitRoot);
  init.worktree = info;
  return CacheItem(init);
}

struct Fixture {
  FakeHome home;
  Date now = std::chrono::system_clock::now();

  std::optional<std::string> reason(const CacheItem& item, const InUseSnapshot& snapshot = {}) {
    Rules::TranscriptCache transcripts;
    return reason(item, transcripts, snapshot);
  }
  std::optional<std::string> reason(const CacheItem& item, Rules::TranscriptCache& transcripts,
                                    const InUseSnapshot& snapshot = {}) {
    return Rules::worktreeReason(item, snapshot, home.path(), now, transcripts);
  }
  std::string transcript(const std::string& project, const std::string& relative,
                         const std::string& content, std::chrono::seconds age) {
    return home.text(".claude/projects/" + project + "/" + relative, content, now - age);
  }
};

Date attributeDate(const std::string& path) {
  const std::optional<Date> date = attributeModificationDate(path);
  EXPECT_TRUE(date.has_value());
  return date.value_or(Date{});
}

}  // namespace

TEST(WorktreeRules, ProjectFolderNames) {
  EXPECT_EQ(Rules::claudeProjectFolderName(kFix1), "-Users-ann-repo--claude-worktrees-fix-1");
  EXPECT_EQ(Rules::claudeProjectFolderName("/a b/c_d/Z9"), "-a-b-c-d-Z9");
  // One "-" per user-perceived character, however many bytes or code points it takes.
  EXPECT_EQ(Rules::claudeProjectFolderName("/caf\xC3\xA9"), "-caf-");
  EXPECT_EQ(Rules::claudeProjectFolderName("/cafe\xCC\x81/x"), "-caf--x");
  EXPECT_EQ(Rules::claudeProjectFolderName("/\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB"), "--");
  EXPECT_EQ(InUseDetector::claudeProjectFolderName("/r"), "-r");
}

TEST(WorktreeRules, TheDesktopRegistryComesFirst) {
  Fixture f;
  f.transcript("-Users-ann-repo--claude-worktrees-fix-1", "s.jsonl", "{}", 1h);
  InUseSnapshot snapshot;
  snapshot.desk = {{kFix1, DeskState::pooled}};
  EXPECT_EQ(f.reason(worktree(kFix1), snapshot), "Claude app pool");
  snapshot.desk = {{kFix1, DeskState::leased}};
  EXPECT_EQ(f.reason(worktree(kFix1 + "/"), snapshot), "kept by Claude app");
  EXPECT_EQ(f.reason(worktree(kFix1)), "Claude Code session in the last 24 h");
}

TEST(WorktreeRules, OwnSessionTranscripts) {
  const std::string project = "-Users-ann-repo--claude-worktrees-fix-1";
  {
    Fixture f;
    f.transcript(project, "old.jsonl", "{}", 25h);
    f.transcript(project, "sub/deep.jsonl", "{}", 1h);
    f.transcript(project, "upper.JSONL", "{}", 1h);
    f.transcript(project, "no-extension", "{}", 1h);
    EXPECT_EQ(f.reason(worktree(kFix1, std::nullopt)), std::nullopt);
    f.transcript(project, "recent.jsonl", "{}", 23h);
    EXPECT_EQ(f.reason(worktree(kFix1, std::nullopt)), "Claude Code session in the last 24 h");
  }
  {
    // A date in the future counts as recent.
    Fixture f;
    f.transcript(project, "ahead.jsonl", "{}", -5h);
    EXPECT_EQ(f.reason(worktree(kFix1, std::nullopt)), "Claude Code session in the last 24 h");
  }
}

TEST(WorktreeRules, NamedInARecentRepositoryTranscript) {
  Fixture f;
  f.transcript("-Users-ann-repo", "a/b/s.jsonl",
               "cd /Users/ann/repo/.claude/worktrees/fix-10 && ls", 2h);
  f.transcript("-Users-ann-repo", "old.jsonl", ".claude/worktrees/fix-2", 30h);
  EXPECT_EQ(f.reason(worktree(kFix1)), "named in a recent Claude Code session");
  EXPECT_EQ(f.reason(worktree("/Users/ann/repo/.claude/worktrees/fix-10")),
            "named in a recent Claude Code session");
  EXPECT_EQ(f.reason(worktree("/Users/ann/repo/.claude/worktrees/fix-2")), std::nullopt);
  EXPECT_EQ(f.reason(worktree("/Users/ann/repo/.claude/worktrees/fix-100")), std::nullopt);
  // Without a repository the rule is not tried.
  EXPECT_EQ(f.reason(worktree(kFix1, std::nullopt)), std::nullopt);
}

TEST(WorktreeRules, OurOwnRepositorysTranscriptsAreNeverRead) {
  Fixture f;
  f.transcript("-Users-ann-harbor-lume", "s.jsonl", ".claude/worktrees/fix-1", 1h);
  Rules::TranscriptCache transcripts;
  EXPECT_EQ(
      f.reason(worktree("/Users/ann/harbor-lume/.claude/worktrees/fix-1", "/Users/ann/harbor-lume"),
               transcripts),
      std::nullopt);
  ASSERT_EQ(transcripts.count("/Users/ann/harbor-lume"), 1u);
  EXPECT_TRUE(transcripts.at("/Users/ann/harbor-lume").following.empty());
}

TEST(WorktreeRules, ARepositorysTranscriptsAreReadOncePerPass) {
  Fixture f;
  const std::string file = f.transcript("-Users-ann-repo", "s.jsonl",
                                        ".claude/worktrees/fix-1 .claude/worktrees/fix-2", 1h);
  Rules::TranscriptCache transcripts;
  EXPECT_EQ(f.reason(worktree(kFix1), transcripts), "named in a recent Claude Code session");
  ASSERT_EQ(::unlink(file.c_str()), 0);
  EXPECT_EQ(f.reason(worktree("/Users/ann/repo/.claude/worktrees/fix-2"), transcripts),
            "named in a recent Claude Code session");

  // An empty answer is kept as well.
  Rules::TranscriptCache empty;
  EXPECT_EQ(f.reason(worktree(kFix1), empty), std::nullopt);
  f.transcript("-Users-ann-repo", "late.jsonl", ".claude/worktrees/fix-1", 1h);
  EXPECT_EQ(f.reason(worktree(kFix1), empty), std::nullopt);
  EXPECT_EQ(f.reason(worktree(kFix1)), "named in a recent Claude Code session");
}

TEST(WorktreeRules, MentionsAreFoundAcrossReadsAndAtTheEnd) {
  FakeHome home;
  // A mention that straddles the first read of 64 KiB, and one that ends the file.
  std::string big(65536 - 10, 'x');
  big += ".claude/worktrees/straddle tail";
  big += std::string(300000, 'y');
  big += ".claude/worktrees/last";
  const std::string path = home.text("t.jsonl", big);
  const Rules::TranscriptMentions mentions = Rules::readMentions({path, home / "missing.jsonl"});
  EXPECT_TRUE(mentions.mention("straddle"));
  EXPECT_TRUE(mentions.mention("straddle tail"));
  EXPECT_TRUE(mentions.mention("last"));
  EXPECT_FALSE(mentions.mention("lastx"));
  EXPECT_FALSE(mentions.mention("yyy"));
  EXPECT_TRUE(mentions.mention(""));

  // A pipe where a transcript should be is never read (and never waited on).
  const std::string pipe = home / "pipe.jsonl";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(Rules::readMentions({pipe}).following.empty());
}

TEST(WorktreeRules, RecentFilesListingsAndWalks) {
  FakeHome home;
  const Date now = std::chrono::system_clock::now();
  home.text("p/a.jsonl", "", now - 1h);
  home.text("p/.hidden.jsonl", "", now - 1h);
  home.text("p/.jsonl", "", now - 1h);
  home.text("p/sub/b.jsonl", "", now - 1h);
  home.text("p/sub/c.jsonl", "", now - 48h);
  home.dir("p/folder.jsonl", now - 1h);
  home.text("elsewhere/linked.jsonl", "", now - 1h);
  home.symlink("p/link", home / "elsewhere");

  const auto names = [&](std::vector<std::string> paths) {
    for (std::string& path : paths) path = path.substr(home.path().size() + 1);
    std::sort(paths.begin(), paths.end());
    return paths;
  };
  EXPECT_EQ(names(Rules::recentFiles(home / "p", "jsonl", 86400, now, false)),
            (std::vector<std::string>{"p/.hidden.jsonl", "p/a.jsonl", "p/folder.jsonl"}));
  EXPECT_EQ(names(Rules::recentFiles(home / "p", "jsonl", 86400, now, true)),
            (std::vector<std::string>{"p/.hidden.jsonl", "p/a.jsonl", "p/folder.jsonl",
                                      "p/sub/b.jsonl"}));
  EXPECT_TRUE(Rules::recentFiles(home / "absent", "jsonl", 86400, now, true).empty());
}

TEST(WorktreeRules, GitLocks) {
  Fixture f;
  f.now += 24h * 365;  // the folders made here are not fresh
  // A linked worktree whose ".git" file points into the main repository.
  const std::string linked = f.home.dir("repo/.claude/worktrees/a");
  f.home.text("repo/.claude/worktrees/a/.git",
              "gitdir: \t" + (f.home / "repo/.git/worktrees/a") + " \xC2\xA0\n");
  f.home.dir("repo/.git/worktrees/a");
  EXPECT_EQ(f.reason(worktree(linked, std::nullopt, linked)), std::nullopt);
  f.home.text("repo/.git/worktrees/a/index.lock", "");
  EXPECT_EQ(f.reason(worktree(linked, std::nullopt, linked)), "git operation in progress");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(linked), f.home / "repo/.git/worktrees/a");

  // A relative gitdir line.
  const std::string relative = f.home.dir("repo/.claude/worktrees/b");
  f.home.text("repo/.claude/worktrees/b/.git", "# note\r\ngitdir: ../../../.git/worktrees/b\n");
  f.home.text("repo/.git/worktrees/b/HEAD.lock", "");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(relative), f.home / "repo/.git/worktrees/b");
  EXPECT_FALSE(Rules::gitLockFiles(relative).empty());

  // A plain checkout with its own ".git" folder.
  const std::string plain = f.home.dir("plain");
  f.home.dir("plain/.git");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(plain), std::nullopt);
  EXPECT_TRUE(Rules::gitLockFiles(plain).empty());
  f.home.text("plain/.git/HEAD.lock", "");
  EXPECT_FALSE(Rules::gitLockFiles(plain).empty());

  // A lock in the worktree folder itself is none of git's.
  const std::string stray = f.home.dir("stray");
  f.home.text("stray/index.lock", "");
  f.home.text("stray/.git", "gitdir: " + (f.home / "nowhere") + "\n");
  EXPECT_TRUE(Rules::gitLockFiles(stray).empty());

  // A ".git" file that is not text, or names no folder.
  const std::string odd = f.home.dir("odd");
  f.home.text("odd/.git", "gitdir: /x\xFF\n");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(odd), std::nullopt);
  f.home.text("odd/.git", "nothing here\n");
  EXPECT_EQ(WorktreeDiscovery::gitdirTarget(odd), std::nullopt);
}

TEST(WorktreeRules, FreshFolders) {
  Fixture f;
  const std::string folder = f.home.dir("repo/.claude/worktrees/new");
  const Date made = attributeDate(folder);
  // Without a git root the lock rule is skipped and the folder date still counts.
  f.now = made + 2h - 1min;
  EXPECT_EQ(f.reason(worktree(folder, std::nullopt)), "created in the last 2 h");
  f.now = made + 7200s;
  EXPECT_EQ(f.reason(worktree(folder, std::nullopt)), std::nullopt);
  // A folder that is gone has no date.
  f.now = made;
  EXPECT_EQ(f.reason(worktree(f.home / "gone", std::nullopt)), std::nullopt);
}
