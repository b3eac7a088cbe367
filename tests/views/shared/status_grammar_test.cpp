#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "support/manual_clock.h"
#include "views/sample_items.h"
#include "views/shared/status_grammar.h"

namespace hl {
namespace {

using Kind = StatusTagModel::Kind;
using std::chrono::seconds;

const std::string kHome = "/home/ada";

CacheItem makeItem(std::function<void(CacheItem&)> adjust = {}) {
  CacheItem item = test::sampleItem(kHome + "/work/app/node_modules", CacheGroup::packageCaches,
                                    RiskLevel::safe, kHome);
  if (adjust) adjust(item);
  return item;
}

WorktreeInfo worktree(WorktreeStatus status, bool registered, const std::string& gitRoot) {
  return WorktreeInfo{kHome + "/repo", registered, gitRoot, std::move(status)};
}

struct Expected {
  Kind kind;
  std::string title;
  std::optional<std::string> symbol;
  StatusTint tint;
  std::string help;
};

void expectChip(const StatusTagModel& tag, const Expected& want, const std::string& context) {
  SCOPED_TRACE(context);
  EXPECT_EQ(tag.kind, want.kind);
  EXPECT_EQ(tag.title, want.title);
  EXPECT_EQ(tag.symbol, want.symbol);
  EXPECT_EQ(tag.tint, want.tint);
  EXPECT_EQ(tag.help, want.help);
}

TEST(StatusGrammar, StateChipFollowsTheFirstRuleThatHolds) {
  struct Case {
    std::string name;
    std::function<void(CacheItem&)> adjust;
    Expected want;
  };
  const std::string path = "~/work/app/node_modules";
  const std::vector<Case> cases = {
      {"cannot verify", [](CacheItem& i) { i.inUseReason = "cannot verify in-use state"; },
       {Kind::state, "Cannot verify", "questionmark.circle", StatusTint::neutral,
        "Cannot verify whether " + path + " is in use, so it is locked until a rescan succeeds."}},
      {"kept by the app", [](CacheItem& i) { i.inUseReason = "kept by Claude app"; },
       {Kind::state, "Kept by Claude", "lock.fill", StatusTint::locked,
        "In use: an open Claude desktop session keeps " + path + "."}},
      {"app pool", [](CacheItem& i) { i.inUseReason = "Claude app pool"; },
       {Kind::state, "Claude pool", "lock.fill", StatusTint::locked,
        "In use: " + path + " is in the Claude desktop app's worktree pool; the app reclaims it."}},
      {"other reason", [](CacheItem& i) { i.inUseReason = "open by node (pid 812)"; },
       {Kind::state, "In use", "lock.fill", StatusTint::locked,
        "In use: " + path + " is open by node (pid 812)."}},
      {"exact text only: a capital K is another reason",
       [](CacheItem& i) { i.inUseReason = "Kept by Claude app"; },
       {Kind::state, "In use", "lock.fill", StatusTint::locked,
        "In use: " + path + " is Kept by Claude app."}},
      {"in use beats review risk",
       [](CacheItem& i) {
         i.risk = RiskLevel::review;
         i.inUseReason = "used in the last 7 days";
       },
       {Kind::state, "In use", "lock.fill", StatusTint::locked,
        "In use: " + path + " is used in the last 7 days."}},
      {"review", [](CacheItem& i) { i.risk = RiskLevel::review; },
       {Kind::state, "Review only", "eye", StatusTint::review,
        "Review only: " + path + " is never selected here. Check it in your file manager."}},
      {"moderate", [](CacheItem& i) { i.risk = RiskLevel::moderate; },
       {Kind::state, "Moderate", "exclamationmark.triangle", StatusTint::moderate,
        "Moderate: opt-in, never ticked automatically."}},
      {"safe", {},
       {Kind::state, "Safe", "checkmark.shield", StatusTint::safe,
        "Safe: regenerated automatically; ticked by \u201cSelect all safe\u201d and Quick Clean."}},
      {"a virtual row is named by its name",
       [](CacheItem& i) {
         i.kind = ItemKind::virtual_;
         i.name = "Unavailable simulators";
         i.risk = RiskLevel::review;
       },
       {Kind::state, "Review only", "eye", StatusTint::review,
        "Review only: Unavailable simulators is never selected here. Check it in your file "
        "manager."}},
      {"the home folder itself reads ~",
       [](CacheItem& i) {
         i.url = kHome;
         i.risk = RiskLevel::review;
       },
       {Kind::state, "Review only", "eye", StatusTint::review,
        "Review only: ~ is never selected here. Check it in your file manager."}},
      {"a folder outside the home keeps its path",
       [](CacheItem& i) {
         i.url = "/opt/cache/<b>x";
         i.risk = RiskLevel::review;
       },
       {Kind::state, "Review only", "eye", StatusTint::review,
        "Review only: /opt/cache/<b>x is never selected here. Check it in your file manager."}},
  };
  for (const auto& c : cases) {
    expectChip(StatusGrammar::stateTag(makeItem(c.adjust), kHome), c.want, c.name);
  }
}

TEST(StatusGrammar, QualifierRowsEachGiveTheirChip) {
  const Date now = test::referenceDate();
  const std::string root = kHome + "/work/app/node_modules";
  struct Case {
    std::string name;
    std::function<void(CacheItem&)> adjust;
    std::vector<Expected> want;
  };
  const Expected registered{Kind::info, "Registered", std::nullopt, StatusTint::neutral,
                            "The repository still lists this worktree (git worktree prune runs "
                            "after trashing)."};
  const std::vector<Case> cases = {
      {"nothing to say", {}, {}},
      {"one unpushed commit, no plural",
       [&](CacheItem& i) { i.worktree = worktree(WorktreeStatus::dirty(false, 1), true, root); },
       {{Kind::guardTag, "Unpushed \u00b71", "arrow.up.circle", StatusTint::locked,
         "1 commit not on any remote."},
        registered}},
      {"three unpushed and uncommitted: unpushed first",
       [&](CacheItem& i) { i.worktree = worktree(WorktreeStatus::dirty(true, 3), true, root); },
       {{Kind::guardTag, "Unpushed \u00b73", "arrow.up.circle", StatusTint::locked,
         "3 commits not on any remote."},
        {Kind::guardTag, "Dirty", "pencil", StatusTint::locked,
         "Uncommitted, untracked or ignored files (e.g. .env) that git cannot restore."},
        registered}},
      {"nested repository and orphaned",
       [&](CacheItem& i) {
         i.worktree = worktree(WorktreeStatus::clean(), false, root + "/inner");
       },
       {{Kind::guardTag, "Nested repo", std::nullopt, StatusTint::locked,
         "The repository lives in a nested folder; the row is locked."},
        {Kind::info, "Orphaned", std::nullopt, StatusTint::neutral,
         "The repository no longer lists this worktree."}}},
      {"own clone",
       [&](CacheItem& i) { i.worktree = worktree(WorktreeStatus::ownClone(), false, root); },
       {{Kind::guardTag, "Own clone", std::nullopt, StatusTint::locked,
         "Its .git is a directory: a full clone, not a linked worktree. Never removed."},
        {Kind::info, "Orphaned", std::nullopt, StatusTint::neutral,
         "The repository no longer lists this worktree."}}},
      {"running owner by its display name",
       [](CacheItem& i) { i.runningOwner = "claude"; },
       {{Kind::guardTag, "Claude Code running", "play.circle", StatusTint::moderate,
         "Claude Code is running and may recreate or lock this item."}}},
      {"modified one second inside the week",
       [&](CacheItem& i) { i.newestModification = now - seconds(604799); },
       {{Kind::guardTag, "Recent", "clock", StatusTint::recent,
         "Modified in the last 7 days \u2014 not auto-selected."}}},
      {"modified exactly a week ago is not recent",
       [&](CacheItem& i) { i.newestModification = now - seconds(604800); }, {}},
      {"a date in the future counts as recent",
       [&](CacheItem& i) { i.newestModification = now + seconds(60); },
       {{Kind::guardTag, "Recent", "clock", StatusTint::recent,
         "Modified in the last 7 days \u2014 not auto-selected."}}},
      {"git error",
       [&](CacheItem& i) {
         i.worktree = worktree(WorktreeStatus::error("timed out"), true, root);
       },
       {{Kind::guardTag, "Status unknown", std::nullopt, StatusTint::neutral,
         "git could not report its status (timed out)."},
        registered}},
      {"status not checked yet",
       [&](CacheItem& i) { i.worktree = worktree(WorktreeStatus::unknown(), true, root); },
       {{Kind::guardTag, "Checking", std::nullopt, StatusTint::neutral, "Checking git status\u2026"},
        registered}},
      {"clean worktree still says whether it is registered",
       [&](CacheItem& i) { i.worktree = worktree(WorktreeStatus::clean(), true, root); },
       {registered}},
      {"stale project",
       [&](CacheItem& i) {
         i.group = CacheGroup::projects;
         i.projectModified = now - seconds(5184000);
       },
       {{Kind::info, "Stale 60d+", std::nullopt, StatusTint::neutral,
         "The project has not been touched for 60 days or more."}}},
      {"staleness outside projects says nothing",
       [&](CacheItem& i) { i.modified = now - seconds(6000000); }, {}},
      {"keep newest", [](CacheItem& i) { i.keepNewest = true; },
       {{Kind::info, "Newest", std::nullopt, StatusTint::neutral,
         "One of the two newest iOS versions: kept out of automatic selection."}}},
      {"report only", [](CacheItem& i) { i.isReportOnly = true; },
       {{Kind::info, "Report only", std::nullopt, StatusTint::neutral,
         "Shown for information; never trashed."}}},
      {"review risk without in-use reason: nothing at all",
       [&](CacheItem& i) {
         i.risk = RiskLevel::review;
         i.isReportOnly = true;
         i.runningOwner = "codex";
         i.newestModification = now;
       },
       {}},
      {"review risk in use: qualifiers, never report only",
       [&](CacheItem& i) {
         i.risk = RiskLevel::review;
         i.inUseReason = "open by node (pid 1)";
         i.isReportOnly = true;
         i.keepNewest = true;
       },
       {{Kind::info, "Newest", std::nullopt, StatusTint::neutral,
         "One of the two newest iOS versions: kept out of automatic selection."}}},
  };
  for (const auto& c : cases) {
    const auto got = StatusGrammar::qualifiers(makeItem(c.adjust), now);
    SCOPED_TRACE(c.name);
    ASSERT_EQ(got.size(), c.want.size());
    for (std::size_t i = 0; i < got.size(); ++i) expectChip(got[i], c.want[i], c.name);
  }
}

TEST(StatusGrammar, RowShowsAtMostOneQualifierAndListsTheRestInTheHelp) {
  const Date now = test::referenceDate();
  const std::string root = kHome + "/work/app/node_modules";
  const CacheItem busy = makeItem([&](CacheItem& i) {
    i.risk = RiskLevel::moderate;
    i.worktree = worktree(WorktreeStatus::dirty(true, 2), true, root);
  });
  const std::string base = "Moderate: opt-in, never ticked automatically.";
  struct Case {
    CacheItem item;
    int limit;
    std::vector<std::string> titles;
    std::string help;
  };
  const std::vector<Case> cases = {
      {busy, 1, {"Moderate"}, base + "\n\u2022 Unpushed \u00b72\n\u2022 Dirty\n\u2022 Registered"},
      {busy, 0, {"Moderate"}, base + "\n\u2022 Unpushed \u00b72\n\u2022 Dirty\n\u2022 Registered"},
      {busy, 2, {"Moderate", "Unpushed \u00b72"}, base + "\n\u2022 Dirty\n\u2022 Registered"},
      {busy, 3, {"Moderate", "Unpushed \u00b72"}, base + "\n\u2022 Dirty\n\u2022 Registered"},
      {makeItem(), 2, {"Safe"}, StatusGrammar::stateTag(makeItem(), kHome).help},
      {makeItem(), 1, {"Safe"}, StatusGrammar::stateTag(makeItem(), kHome).help},
  };
  for (const auto& c : cases) {
    const auto got = StatusGrammar::tags(c.item, c.limit, now, kHome);
    SCOPED_TRACE("limit " + std::to_string(c.limit) + " " + c.item.name);
    std::vector<std::string> titles;
    for (const auto& tag : got) titles.push_back(tag.title);
    EXPECT_EQ(titles, c.titles);
    EXPECT_EQ(got.front().help, c.help);
    EXPECT_EQ(got.front().kind, Kind::state);
  }
}

TEST(StatusGrammar, RefusalTextsChooseTheirChipsByLowerCasedPhrases) {
  struct Case {
    std::string reason;
    std::string state;
    std::optional<std::string> second;
  };
  const std::vector<Case> cases = {
      // The removal guard's own refusals.
      {"Nothing is moved to the Trash or deleted: read-only mode (-HLMReadOnly).", "Protected",
       std::nullopt},
      {"Refusing to remove protected location /home/ada/.ssh.", "Protected", std::nullopt},
      {"Refusing to remove /home/ada/x: it is not inside the folder it was found in.",
       "Protected", std::nullopt},
      {"/home/ada/x is already in the Trash.", "Protected", std::nullopt},
      {"/home/ada/x no longer exists.", "Protected", std::nullopt},
      // Why a folder could not be inspected.
      {"not downloaded from iCloud, so it cannot be inspected", "Protected", std::nullopt},
      {"could not fully inspect this folder", "Protected", std::nullopt},
      {"too large to verify contained worktrees; select a smaller folder", "Protected",
       std::nullopt},
      {"contains a mounted volume (disk)", "Protected", std::nullopt},
      // The folder-scanner policy.
      {"cannot verify in-use state (ps failed)", "Cannot verify", std::nullopt},
      {"cannot verify in-use state", "Cannot verify", std::nullopt},
      {"AI tool state", "Protected", std::nullopt},
      {"in use: open by node (pid 4)", "In use", std::nullopt},
      {"in use: kept by Claude app", "Kept by Claude", std::nullopt},
      {"in use: Claude app pool", "Claude pool", std::nullopt},
      {"review-only location: check it in your file manager", "Review only", std::nullopt},
      {"Claude Code running", "Protected", std::nullopt},
      {"contains worktree feature (dirty)", "Protected", "Dirty"},
      {"contains repository app (not clean)", "Protected", "Dirty"},
      {"contains worktree feature (3 unpushed)", "Protected", "Unpushed"},
      {"contains worktree feature (status unknown: fatal: bad object)", "Protected",
       "Status unknown"},
      {"contains worktree feature (status unknown)", "Protected", "Status unknown"},
      {"contains repository app (own clone)", "Protected", "Own clone"},
      {"contains worktree feature (kept by Claude)", "Kept by Claude", std::nullopt},
      {"contains worktree feature (Claude pool)", "Claude pool", std::nullopt},
      {"contains worktree feature (in use: open by vim (pid 9))", "In use", std::nullopt},
      {"contains bare repository store", "Protected", std::nullopt},
      // A folder named like a reason gets no chip for it.
      {"contains worktree dirty-fix (status unknown)", "Protected", "Status unknown"},
      {"contains worktree x (dirty) y (own clone)", "Protected", "Own clone"},
      {"contains worktree claude pool-2 (status unknown)", "Protected", "Status unknown"},
      // The grammar's own phrases, in any case.
      {"Worktree has UNCOMMITTED changes", "Protected", "Dirty"},
      {"2 unpushed commits", "Protected", "Unpushed"},
      {"sits in a nested repository", "Protected", "Nested repo"},
      {"folder without .git", "Protected", "Status unknown"},
      {"in use and review-only", "In use", std::nullopt},
      {"", "Protected", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const auto got = StatusGrammar::tags(std::string_view(c.reason));
    ASSERT_EQ(got.size(), c.second ? 2u : 1u);
    EXPECT_EQ(got[0].title, c.state);
    EXPECT_EQ(got[0].kind, Kind::state);
    if (c.second) {
      EXPECT_EQ(got[1].title, *c.second);
      EXPECT_EQ(got[1].kind, Kind::guardTag);
    }
    for (const auto& tag : got) EXPECT_EQ(tag.help, c.reason);
  }
}

TEST(StatusGrammar, RefusalChipsCarryTheirSymbolsAndTints) {
  struct Case {
    std::string reason;
    std::vector<std::pair<std::optional<std::string>, StatusTint>> looks;
  };
  const std::vector<Case> cases = {
      {"cannot verify in-use state (x)", {{"questionmark.circle", StatusTint::neutral}}},
      {"kept by claude", {{"lock.fill", StatusTint::locked}}},
      {"review-only location: check it in your file manager", {{"eye", StatusTint::review}}},
      {"2 unpushed", {{"lock.fill", StatusTint::locked}, {"arrow.up.circle", StatusTint::locked}}},
      {"contains worktree a (dirty)",
       {{"lock.fill", StatusTint::locked}, {"pencil", StatusTint::locked}}},
      {"nested repository", {{"lock.fill", StatusTint::locked}, {std::nullopt, StatusTint::locked}}},
      {"status unknown", {{"lock.fill", StatusTint::locked}, {std::nullopt, StatusTint::neutral}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const auto got = StatusGrammar::tags(std::string_view(c.reason));
    ASSERT_EQ(got.size(), c.looks.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].symbol, c.looks[i].first);
      EXPECT_EQ(got[i].tint, c.looks[i].second);
    }
  }
}

TEST(StatusGrammar, RemovalChipSaysWhetherTheRemovalCanBeUndone) {
  expectChip(StatusGrammar::removalTag(false),
             {Kind::state, "Trashed", "trash", StatusTint::neutral,
              "Moved to the Trash; recoverable until the Trash is emptied."},
             "trashed");
  expectChip(StatusGrammar::removalTag(true),
             {Kind::state, "Deleted", "exclamationmark.triangle.fill", StatusTint::locked,
              "Deleted permanently (Settings \u203a Delete immediately was on); not recoverable "
              "from the Trash."},
             "deleted");
}

TEST(StatusTagModel, IdentityRawValuesAndHashing) {
  const StatusTagModel safe = StatusGrammar::stateTag(makeItem(), kHome);
  EXPECT_EQ(safe.id(), "0:Safe");
  StatusTagModel otherHelp = safe;
  otherHelp.help = "x";
  EXPECT_EQ(otherHelp.id(), safe.id());
  EXPECT_NE(otherHelp, safe);
  StatusTagModel noSymbol = safe;
  noSymbol.symbol.reset();
  const std::unordered_set<StatusTagModel> set{safe, otherHelp, noSymbol, safe};
  EXPECT_EQ(set.size(), 3u);

  for (int raw = -1; raw <= 4; ++raw) {
    EXPECT_EQ(statusTagKindFromRaw(raw).has_value(), raw >= 0 && raw <= 3) << raw;
  }
  for (const char* raw : {"safe", "moderate", "review", "locked", "recent", "neutral"}) {
    ASSERT_TRUE(statusTintFromRaw(raw)) << raw;
    EXPECT_EQ(rawValue(*statusTintFromRaw(raw)), raw);
  }
  for (const char* raw : {"Safe", "", "red", "locked "}) EXPECT_FALSE(statusTintFromRaw(raw)) << raw;
}

}  // namespace
}  // namespace hl
