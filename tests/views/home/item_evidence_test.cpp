#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "models/in_use_reasons.h"
#include "services/in_use/in_use_detector.h"
#include "services/in_use/worktree_in_use_rules.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "views/home/item_evidence.h"
#include "views/pages/page_dates.h"
#include "views/sample_items.h"

namespace hl {
namespace {

using std::chrono::hours;

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

std::string dated(Date date) {
  return PageDates::abbreviated(date, kEnglish, QTimeZone::utc()).toStdString();
}

std::vector<std::string> evidence(const CacheItem& item, const std::string& home) {
  return ItemEvidence::collect(item, gatherEvidenceFacts(item, home), home, kEnglish,
                               QTimeZone::utc());
}

TEST(ItemEvidence, APlainItemSaysOnlyWhereItWasFound) {
  test::FakeHome home;
  const CacheItem item =
      test::sampleItem(home / ".npm/_cacache", CacheGroup::packageCaches, RiskLevel::safe, home.path());
  EXPECT_EQ(evidence(item, home.path()), std::vector<std::string>{"Found in: ~/.npm/_cacache."});
}

TEST(ItemEvidence, LinesComeInTheirOrderFromTheItemAndTheDisk) {
  test::FakeHome home;
  const Date now = test::referenceDate();
  // A linked worktree whose git folder lies in the main repository, with both lock files.
  const std::string repository = home.dir("code/atlas");
  const std::string gitFolder = home.dir("code/atlas/.git/worktrees/fix");
  home.file("code/atlas/.git/worktrees/fix/index.lock");
  home.file("code/atlas/.git/worktrees/fix/HEAD.lock");
  const std::string worktree = home.dir("code/atlas/.claude/worktrees/fix");
  home.text("code/atlas/.claude/worktrees/fix/.git", "gitdir: " + gitFolder + "\n");
  // Transcripts: only a lower-case "jsonl" extension counts, the newest wins.
  const std::string transcripts =
      ".claude/projects/" + InUseDetector::claudeProjectFolderName(worktree);
  home.file(transcripts + "/old.jsonl", 10, now - hours(48));
  home.file(transcripts + "/new.jsonl", 10, now - hours(3));
  home.file(transcripts + "/newer.JSONL", 10, now - hours(1));
  home.file(transcripts + "/newest.txt", 10, now);

  CacheItem item =
      test::sampleItem(worktree, CacheGroup::aiWorktrees, RiskLevel::moderate, home.path());
  item.discoveryRoot = home / "code/atlas/.claude/worktrees";
  item.inUseReason = "the working directory of claude (pid 7)";
  item.runningOwner = "claude";
  item.worktree = WorktreeInfo{repository, true, worktree, WorktreeStatus::dirty(true, 2)};
  item.newestModification = now - hours(5);
  EXPECT_EQ(evidence(item, home.path()),
            (std::vector<std::string>{
                "In-use check: the working directory of claude (pid 7).",
                "Running owner: Claude Code.",
                "Repository: ~/code/atlas.",
                "Registered in the repository's .git/worktrees.",
                "git rev-list HEAD --not --remotes: 2 commit(s).",
                "git status --porcelain --untracked-files=all --ignored: not empty.",
                "Lock file: ~/code/atlas/.git/worktrees/fix/index.lock.",
                "Lock file: ~/code/atlas/.git/worktrees/fix/HEAD.lock.",
                "Latest Claude Code transcript: " + dated(now - hours(3)) + ".",
                "Newest file inside: " + dated(now - hours(5)) + ".",
                "Found in: ~/code/atlas/.claude/worktrees.",
            }));

  // A clean worktree no repository registers, without a git file of its own: the locks are
  // looked for in its own ".git"; no git line.
  CacheItem loose =
      test::sampleItem(home.dir("code/loose"), CacheGroup::aiWorktrees, RiskLevel::moderate, home.path());
  home.file("code/loose/.git/index.lock");
  loose.worktree = WorktreeInfo{std::nullopt, false, loose.url, WorktreeStatus::dirty(false, 0)};
  EXPECT_EQ(evidence(loose, home.path()),
            (std::vector<std::string>{"Not registered in any repository.",
                                      "Lock file: ~/code/loose/.git/index.lock.",
                                      "Found in: ~/code/loose."}));
}

TEST(ItemEvidence, AFolderThatIsNoWorktreeGetsNoTranscriptLine) {
  test::FakeHome home;
  const std::string folder = home.dir("code/app/node_modules");
  home.file(".claude/projects/" + InUseDetector::claudeProjectFolderName(folder) + "/a.jsonl", 10);
  const CacheItem item =
      test::sampleItem(folder, CacheGroup::projects, RiskLevel::moderate, home.path());
  EXPECT_EQ(evidence(item, home.path()),
            std::vector<std::string>{"Found in: ~/code/app/node_modules."});
}

// What the details show and what locks the row come from the same rules: a lock file or a
// transcript the evidence names is one the in-use check counts, and one it does not count is
// not named.
TEST(ItemEvidence, TheEvidenceAndTheInUseDecisionAgree) {
  test::FakeHome home;
  // Three hours on, so that the folders made now are not fresh to the rules.
  const Date now = systemWallClock()() + hours(3);
  const std::string repository = home.dir("code/atlas");
  const std::string gitFolder = home.dir("code/atlas/.git/worktrees/fix");
  const std::string worktree = home.dir("code/atlas/.claude/worktrees/fix");
  home.text("code/atlas/.claude/worktrees/fix/.git", "gitdir: " + gitFolder + "\n");
  CacheItem item =
      test::sampleItem(worktree, CacheGroup::aiWorktrees, RiskLevel::moderate, home.path());
  item.worktree = WorktreeInfo{repository, true, worktree, WorktreeStatus::clean()};
  const std::string sessions =
      ".claude/projects/" + InUseDetector::claudeProjectFolderName(worktree);

  struct Case {
    std::string what;
    std::function<void()> plant;
    std::optional<std::string> reason;
    std::optional<std::string> line;
  };
  const std::vector<Case> cases = {
      {"nothing", [] {}, std::nullopt, std::nullopt},
      {"a lock file", [&] { home.file("code/atlas/.git/worktrees/fix/index.lock"); },
       std::string(InUseReasons::gitOperationInProgress),
       "Lock file: ~/code/atlas/.git/worktrees/fix/index.lock."},
      {"a transcript of an hour ago",
       [&] {
         ::unlink((gitFolder + "/index.lock").c_str());
         home.file(sessions + "/new.jsonl", 10, now - hours(1));
       },
       std::string(InUseReasons::recentOwnSession),
       "Latest Claude Code transcript: " + dated(now - hours(1)) + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.plant();
    WorktreeInUseRules::TranscriptCache transcripts;
    EXPECT_EQ(WorktreeInUseRules::worktreeReason(item, InUseSnapshot{}, home.path(), now,
                                                 transcripts),
              c.reason);
    const std::vector<std::string> lines = evidence(item, home.path());
    const bool named = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.starts_with("Lock file:") || line.starts_with("Latest Claude Code transcript:");
    });
    EXPECT_EQ(named, c.line.has_value());
    if (c.line) {
      EXPECT_NE(std::find(lines.begin(), lines.end(), *c.line), lines.end()) << *c.line;
    }
  }
}

}  // namespace
}  // namespace hl
