#include <gtest/gtest.h>

#include "models/cache_group.h"
#include "models/cache_item.h"
#include "models/home_tab.h"
#include "models/native_action.h"
#include "support/manual_clock.h"

using namespace hl;
using namespace std::chrono_literals;

namespace {

CacheItem makeItem(RiskLevel risk = RiskLevel::safe, std::string url = "/Users/u/Library/Caches/x") {
  CacheItemInit init;
  init.url = std::move(url);
  init.group = CacheGroup::packageCaches;
  init.risk = risk;
  init.home = "/Users/u";
  return CacheItem(init);
}

CacheItem measured(RiskLevel risk, Date newest) {
  CacheItem item = makeItem(risk);
  item.size = 4096;
  item.newestModification = newest;
  return item;
}

}  // namespace

TEST(CacheItem, DefaultsComeFromThePath) {
  CacheItemInit init;
  init.url = "/private/tmp/x/../cache/";
  init.home = "/Users/u";
  const CacheItem item(init);
  EXPECT_EQ(item.id, "/tmp/cache");
  EXPECT_EQ(item.name, "cache");
  EXPECT_EQ(item.subtitle, "/tmp/cache");
  EXPECT_EQ(item.discoveryRoot, init.url);
  EXPECT_FALSE(item.size);
  EXPECT_EQ(item.knownSize(), 0);
  EXPECT_EQ(item.targetURLs(), std::vector<std::string>{init.url});

  CacheItemInit named = init;
  named.url = "/Users/u/.npm";
  named.name = "npm cache";
  named.id = "aggregate:x";
  const CacheItem other(named);
  EXPECT_EQ(other.id, "aggregate:x");
  EXPECT_EQ(other.name, "npm cache");
  EXPECT_EQ(other.subtitle, "~/.npm");
}

TEST(CacheItem, SelectabilityRules) {
  EXPECT_TRUE(makeItem().isSelectable());

  CacheItem busy = makeItem();
  busy.inUseReason = "open by node (pid 3)";
  EXPECT_FALSE(busy.isSelectable());
  busy.size = 4096;
  EXPECT_FALSE(busy.isAutoTickable(true, test::referenceDate()));

  CacheItem virtualRow = makeItem();
  virtualRow.kind = ItemKind::virtual_;
  EXPECT_FALSE(virtualRow.isSelectable());

  CacheItem reportOnly = makeItem();
  reportOnly.isReportOnly = true;
  EXPECT_FALSE(reportOnly.isSelectable());

  EXPECT_FALSE(makeItem(RiskLevel::review).isSelectable());
}

TEST(CacheItem, WorktreeMustBeCleanAndItsOwnGitRoot) {
  CacheItem item = makeItem(RiskLevel::moderate, "/tmp/x");
  item.worktree = WorktreeInfo{};
  for (const WorktreeStatus& status :
       {WorktreeStatus::dirty(true, 0), WorktreeStatus::unknown(), WorktreeStatus::ownClone(),
        WorktreeStatus::error("git timed out")}) {
    item.worktree->status = status;
    item.worktree->gitRoot = "/tmp/x";
    EXPECT_FALSE(item.isSelectable());
  }
  item.worktree->status = WorktreeStatus::clean();
  item.worktree->gitRoot = "/private/tmp/x/";
  EXPECT_FALSE(item.hasNestedGitRoot());
  EXPECT_TRUE(item.isSelectable());
  item.worktree->gitRoot = "/tmp";
  EXPECT_TRUE(item.hasNestedGitRoot());
  EXPECT_FALSE(item.isSelectable());
  item.worktree->gitRoot.reset();
  EXPECT_TRUE(item.hasNestedGitRoot());
  EXPECT_FALSE(item.isSelectable());
  EXPECT_FALSE(makeItem().hasNestedGitRoot());
}

TEST(CacheItem, AutoTickNeedsAMeasuredQuietSafeItem) {
  const Date now = test::referenceDate();
  EXPECT_FALSE(measured(RiskLevel::safe, now - (7 * 24h - 1h)).isAutoTickable(false, now));
  EXPECT_TRUE(measured(RiskLevel::safe, now - 7 * 24h).isAutoTickable(false, now));

  CacheItem unmeasured = makeItem();
  EXPECT_FALSE(unmeasured.isAutoTickable(true, now));
  // Without a newest modification the item is not recent.
  unmeasured.size = 1;
  EXPECT_TRUE(unmeasured.isAutoTickable(false, now));

  CacheItem owner = measured(RiskLevel::safe, now - 30 * 24h);
  owner.runningOwner = "Xcode";
  EXPECT_FALSE(owner.isAutoTickable(true, now));
  CacheItem unreadable = measured(RiskLevel::safe, now - 30 * 24h);
  unreadable.isUnreadable = true;
  EXPECT_FALSE(unreadable.isAutoTickable(true, now));
  CacheItem kept = measured(RiskLevel::safe, now - 30 * 24h);
  kept.keepNewest = true;
  EXPECT_FALSE(kept.isAutoTickable(true, now));

  const CacheItem moderate = measured(RiskLevel::moderate, now - 30 * 24h);
  EXPECT_FALSE(moderate.isAutoTickable(false, now));
  EXPECT_TRUE(moderate.isAutoTickable(true, now));
  EXPECT_FALSE(measured(RiskLevel::review, now - 30 * 24h).isAutoTickable(true, now));
}

TEST(CacheItem, StalenessPrefersTheProjectDate) {
  const Date now = test::referenceDate();
  CacheItem item = makeItem();
  EXPECT_FALSE(item.isStale(now));
  EXPECT_EQ(item.staleDays(now), 0);

  item.modified = now - 100 * 24h;
  EXPECT_TRUE(item.isStale(now));
  item.newestModification = now - 1h;
  EXPECT_FALSE(item.isStale(now));
  item.projectModified = now - 60 * 24h;
  EXPECT_TRUE(item.isStale(now));
  EXPECT_DOUBLE_EQ(item.staleDays(now), 60.0);
  item.projectModified = now - 36h;
  EXPECT_DOUBLE_EQ(item.staleDays(now), 1.5);
  item.projectModified = now + 24h;
  EXPECT_EQ(item.staleDays(now), 0);
  EXPECT_FALSE(item.isStale(now));
}

TEST(CacheItem, EqualityCoversMeasurements) {
  CacheItem a = makeItem();
  CacheItem b = a;
  EXPECT_EQ(a, b);
  b.size = 10;
  EXPECT_NE(a, b);
}

TEST(ModelTexts, RawValuesRoundTripExactly) {
  EXPECT_EQ(cacheGroupFromRaw("largeBackups"), CacheGroup::largeBackups);
  EXPECT_EQ(cacheGroupFromRaw("Large & backups"), std::nullopt);
  EXPECT_EQ(homeTabFromRaw("Items"), HomeTab::items);
  EXPECT_EQ(homeTabFromRaw("items"), std::nullopt);
  for (CacheGroup group : allCacheGroups) {
    EXPECT_EQ(cacheGroupFromRaw(rawValue(group)), group);
    EXPECT_EQ(caveats(group).front().rfind("Sizes are allocated size.", 0), 0u);
  }
  EXPECT_EQ(caveats(CacheGroup::projects).size(), 2u);
  EXPECT_EQ(caveats(CacheGroup::trash).size(), 1u);
  EXPECT_TRUE(neverTouch(CacheGroup::custom).empty());
  EXPECT_EQ(defaultOwners(CacheGroup::xcode).size(), 3u);
  EXPECT_EQ(defaultRisk(CacheGroup::trash), RiskLevel::review);
  EXPECT_LT(RiskLevel::safe, RiskLevel::moderate);
  EXPECT_LT(RiskLevel::moderate, RiskLevel::review);
}

TEST(NativeAction, CommandLinesAndTitles) {
  EXPECT_EQ((NativeAction{NativeAction::Tool::simctl}).commandLine(),
            "xcrun simctl delete unavailable");
  EXPECT_EQ((NativeAction{NativeAction::Tool::simctl}).title(), "Prune with simctl");
  EXPECT_EQ((NativeAction{NativeAction::Tool::docker}).commandLine(), "docker system prune -f");
  EXPECT_EQ((NativeAction{NativeAction::Tool::conda}).id(), "conda");
  EXPECT_EQ(toolFromRaw("go"), NativeAction::Tool::go);
  EXPECT_EQ(toolFromRaw("xcrun"), std::nullopt);
}

TEST(WorktreeStatus, EqualityAndHashFollowThePayload) {
  EXPECT_EQ(WorktreeStatus::dirty(true, 2), WorktreeStatus::dirty(true, 2));
  EXPECT_NE(WorktreeStatus::dirty(true, 2), WorktreeStatus::dirty(false, 2));
  EXPECT_NE(WorktreeStatus::error("a"), WorktreeStatus::error("b"));
  EXPECT_NE(WorktreeStatus::clean(), WorktreeStatus::unknown());
  EXPECT_TRUE(WorktreeStatus::clean().isClean());
  EXPECT_FALSE(WorktreeStatus::ownClone().isClean());
  std::hash<WorktreeStatus> h;
  EXPECT_EQ(h(WorktreeStatus::error("x")), h(WorktreeStatus::error("x")));
  EXPECT_NE(h(WorktreeStatus::clean()), h(WorktreeStatus::unknown()));
  WorktreeInfo info;
  EXPECT_FALSE(info.repositoryName());
  info.repositoryURL = "/Users/u/code/app";
  EXPECT_EQ(info.repositoryName(), "app");
}
