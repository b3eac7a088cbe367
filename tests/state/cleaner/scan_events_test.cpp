#include <gtest/gtest.h>

#include "cleaner_harness.h"

using namespace hl;
using namespace hl::test;
using Event = CacheScanEvent;
using Kind = ActivityEvent::Kind;

namespace {

const std::string kA = "/c/a";
const std::string kB = "/c/b";
const std::string kC = "/c/c";

CacheItem worktree(const std::string& path, std::optional<std::string> repository,
                   WorktreeStatus status = WorktreeStatus::clean()) {
  CacheItem item = makeItem(path, CacheGroup::aiWorktrees, RiskLevel::moderate);
  item.discoveryRoot = "/repos/root";
  item.worktree = WorktreeInfo{std::move(repository), true, path, std::move(status)};
  return item;
}

CacheItem temporary(const std::string& path) {
  CacheItem item = makeItem(path, CacheGroup::systemCaches);
  item.guardRule = GuardRule::temporaryFiles;
  return item;
}

// A harness whose scan is running, with `items` discovered and all of them ticked.
struct Running : CleanerHarness {
  explicit Running(std::vector<CacheItem> items) {
    cleaner->rescan(true);
    deliver(Event::Discovered{std::move(items), {}});
    cleaner->selectAllVisible();
    activity.setEvents({});
  }
  // Delivers and flushes at once, whatever the kind.
  template <typename Payload>
  void apply(Payload payload) {
    monotonic.advance(1s);
    deliver(std::move(payload));
  }
};

}  // namespace

TEST(CleanerScanEvents, DiscoveredReplacesTheListAndCountsWorktreesByRepository) {
  struct Case {
    const char* name;
    std::vector<CacheItem> items;
    std::vector<std::string> notes;
    std::optional<CacheGroup> scanningGroup;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"nothing found", {}, {}, std::nullopt, {"0 worktrees in 0 repos"}},
      {"notes first, no worktree",
       {makeItem(kA, CacheGroup::buildTools)},
       {"note one", "note two"},
       CacheGroup::buildTools,
       {"note one", "note two", "0 worktrees in 0 repos"}},
      {"one repository spelt two ways, one without a repository",
       {worktree("/r/w1", "/repos/one"), worktree("/r/w2", "/repos//one/"),
        worktree("/r/w3", std::nullopt), makeItem(kA)},
       {},
       CacheGroup::aiWorktrees,
       {"3 worktrees in 2 repos"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Running h({makeItem(kB), makeItem(kC)});
    ASSERT_EQ(h->checked().size(), 2u);
    h.apply(Event::Discovered{c.items, c.notes});
    EXPECT_EQ(h.ids(h->items()), h.ids(c.items));
    EXPECT_EQ(h->scanningGroup(), c.scanningGroup);
    EXPECT_EQ(h.logged(), c.lines);
    EXPECT_TRUE(h->checked().empty());  // the ticked items are gone
    for (const CacheItem& item : c.items) EXPECT_EQ(h->item(item.id)->id, item.id);
  }
}

TEST(CleanerScanEvents, RediscoveryCarriesOnlyTheMeasurementOver) {
  Running h({makeItem(kA), makeItem(kB), makeItem(kC)});
  DirectoryMeasurement measurement = measured(700, 7, referenceDate() - 30 * 24h);
  measurement.deduplicatedLinks = 1;  // approximate
  measurement.isReadable = false;
  h.apply(Event::ItemSized{kA, measurement});
  h.apply(Event::ItemSized{kB, measured(5)});
  h.apply(Event::InUse{InUseEvaluation{{{kA, "open by vim"}}, {}, {}, {}}});
  ASSERT_TRUE(h->item(kA)->isUnreadable);
  ASSERT_EQ(h->item(kA)->inUseReason, "open by vim");

  CacheItem again = makeItem(kA);
  again.owners = {"npm"};
  CacheItem sizedAgain = makeItem(kB, CacheGroup::packageCaches, RiskLevel::safe, 42);
  h.apply(Event::Discovered{{again, sizedAgain, makeItem(kC)}, {}});
  const CacheItem a = *h->item(kA);
  EXPECT_EQ(a.size, 700);
  EXPECT_EQ(a.fileCount, 7);
  EXPECT_EQ(a.newestModification, referenceDate() - 30 * 24h);
  EXPECT_TRUE(a.isApproximate);
  EXPECT_FALSE(a.isUnreadable);  // not carried over
  EXPECT_FALSE(a.inUseReason);   // not carried over
  EXPECT_EQ(a.owners, std::vector<std::string>{"npm"});
  EXPECT_EQ(h->item(kB)->size, 42);  // its own size wins
  EXPECT_FALSE(h->item(kC)->size);
  // Still selectable after the new list is in place: still ticked; kA lost its tick to the
  // in-use reason.
  EXPECT_EQ(h->checked(), (std::set<std::string>{kB, kC}));
}

TEST(CleanerScanEvents, AddedReplacesByIdAndMovesToTheEnd) {
  Running h({makeItem(kA), makeItem(kB), makeItem(kC)});
  h.apply(Event::Added{{makeItem(kA, CacheGroup::xcode), makeItem("/c/d")}});
  EXPECT_EQ(h.ids(h->items()), (std::vector<std::string>{kB, kC, kA, "/c/d"}));
  EXPECT_EQ(h->item(kA)->group, CacheGroup::xcode);
  EXPECT_EQ(h->item(kA)->id, kA);  // the index follows the move
  EXPECT_TRUE(h->checked().contains(kA));
}

TEST(CleanerScanEvents, ItemSizedDecidesTheTimeRulesAndFollowsTheGroup) {
  const Date now = referenceDate();
  struct Case {
    const char* name;
    CacheItem item;
    std::optional<std::string> reasonBefore;
    std::optional<Date> newest;
    std::optional<std::string> reasonAfter;
  };
  const std::vector<Case> cases = {
      {"an ordinary item stays free", makeItem(kA), std::nullopt, now - 1h, std::nullopt},
      {"not measured yet, old enough: free", temporary(kA), "not measured yet", now - 100h,
       std::nullopt},
      {"not measured yet, touched lately: held", temporary(kA), "not measured yet", now - 1h,
       "modified in the last 72 h"},
      {"free, touched lately: held", temporary(kA), std::nullopt, now - 1h,
       "modified in the last 72 h"},
      {"any other reason stands", temporary(kA), "open by vim", now - 100h, "open by vim"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Running h({c.item, makeItem(kB)});
    if (c.reasonBefore) {
      std::map<std::string, std::string> reasons;
      // A reason set as the scan would: by the in-use evaluation.
      if (*c.reasonBefore != "not measured yet") reasons[kA] = *c.reasonBefore;
      h.apply(Event::InUse{InUseEvaluation{reasons, {}, {}, {}}});
      if (*c.reasonBefore == "not measured yet") {
        ASSERT_EQ(h->item(kA)->inUseReason, "not measured yet");
      }
    }
    h->selectAllVisible();
    const bool wasTicked = h->checked().contains(kA);
    h.apply(Event::ItemSized{kA, measured(100, 3, c.newest)});
    const CacheItem item = *h->item(kA);
    EXPECT_EQ(item.size, 100);
    EXPECT_EQ(item.fileCount, 3);
    EXPECT_EQ(item.newestModification, c.newest);
    EXPECT_EQ(item.inUseReason, c.reasonAfter);
    EXPECT_EQ(h->checked().contains(kA), wasTicked && !c.reasonAfter);
  }

  // The group being scanned follows the measured item until that group has finished.
  Running h({makeItem(kA, CacheGroup::xcode), makeItem(kB, CacheGroup::trash)});
  h.apply(Event::ItemSized{kB, measured(1)});
  EXPECT_EQ(h->scanningGroup(), CacheGroup::trash);
  h.apply(Event::GroupFinished{CacheGroup::xcode});
  h.apply(Event::ItemSized{kA, measured(1)});
  EXPECT_EQ(h->scanningGroup(), CacheGroup::trash);
  h.apply(Event::ItemSized{"/unknown", measured(1)});  // ignored
  EXPECT_EQ(h->items().size(), 2u);
}

TEST(CleanerScanEvents, WorktreeStatusUnticksEverythingButClean) {
  struct Case {
    const char* name;
    bool hasWorktree;
    WorktreeStatus status;
    bool staysTicked;
  };
  const std::vector<Case> cases = {
      {"clean", true, WorktreeStatus::clean(), true},
      {"dirty", true, WorktreeStatus::dirty(true, 0), false},
      {"error", true, WorktreeStatus::error("git failed"), false},
      {"own clone", true, WorktreeStatus::ownClone(), false},
      {"not a worktree, unknown", false, WorktreeStatus::unknown(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CacheItem item = c.hasWorktree ? worktree(kA, "/repos/one") : makeItem(kA);
    Running h({item});
    ASSERT_TRUE(h->checked().contains(kA));
    h.apply(Event::WorktreeStatus{kA, c.status});
    EXPECT_EQ(h->checked().contains(kA), c.staysTicked);
    if (c.hasWorktree) {
      EXPECT_EQ(h->item(kA)->worktree->status, c.status);
    } else {
      EXPECT_FALSE(h->item(kA)->worktree);
    }
  }
}

TEST(CleanerScanEvents, RunningOwnersSkipGenericRuntimesAndRewriteEveryItem) {
  CacheItem a = makeItem(kA);
  a.owners = {"node", "Xcode", "Simulator"};
  CacheItem b = makeItem(kB);
  b.owners = {"python3"};
  CacheItem c = makeItem(kC);
  c.owners = {"Docker"};
  Running h({a, b, c});
  h.apply(Event::RunningOwners{{"Docker"}});
  EXPECT_EQ(h->item(kC)->runningOwner, "Docker");
  h.apply(Event::RunningOwners{{"node", "Simulator", "Xcode", "python3"}});
  EXPECT_EQ(h->item(kA)->runningOwner, "Xcode");  // first of its own list, node is generic
  EXPECT_FALSE(h->item(kB)->runningOwner);
  EXPECT_FALSE(h->item(kC)->runningOwner);  // no longer running
  EXPECT_EQ(h->checked().size(), 3u);        // marks are not touched
}

TEST(CleanerScanEvents, InUseReplacesEveryReasonAndLocksAllWhenUnverifiable) {
  Running h({makeItem(kA), makeItem(kB), temporary(kC)});
  h.apply(Event::ItemSized{kC, measured(1, 1, referenceDate() - 2h)});  // held by its time rule
  h.apply(Event::InUse{InUseEvaluation{{{kA, "open by vim"}}, {"vim"}, LiveSummary{}, {}}});
  EXPECT_EQ(h->item(kA)->inUseReason, "open by vim");
  EXPECT_EQ(h->item(kC)->inUseReason, "modified in the last 72 h");
  EXPECT_EQ(h->checked(), std::set<std::string>{kB});

  LiveSummary summary;
  summary.claudeProcesses = 2;
  h.apply(Event::InUse{InUseEvaluation{{}, {}, summary, {}}});
  EXPECT_FALSE(h->item(kA)->inUseReason);  // an earlier evaluation's reason never survives
  EXPECT_EQ(h->item(kC)->inUseReason, "modified in the last 72 h");
  EXPECT_EQ(h->liveSummary(), summary);
  EXPECT_TRUE(h.logged().empty());

  const std::map<std::string, std::string> all = {{kA, "cannot verify in-use state"},
                                                  {kB, "cannot verify in-use state"},
                                                  {kC, "cannot verify in-use state"}};
  h.apply(Event::InUse{
      InUseEvaluation{all, {}, {}, VerificationState::unavailable("ps timed out")}});
  EXPECT_EQ(h->verification(), VerificationState::unavailable("ps timed out"));
  EXPECT_TRUE(h->checked().empty());
  EXPECT_EQ(h.logged(Kind::error),
            std::vector<std::string>{"Cannot verify in-use state (ps timed out); every item is locked"});
}

TEST(CleanerScanEvents, ToolsResolvedStoresTheEnvironment) {
  Running h({});
  ToolEnvironment environment = ToolEnvironment::empty();
  environment.path = "/opt/bin";
  h.apply(Event::ToolsResolved{environment});
  EXPECT_EQ(h->tools(), environment);
}

TEST(CleanerScanEvents, FinishedReportsTheScanInPlainNumbers) {
  struct Case {
    const char* name;
    std::vector<CacheItem> items;
    Seconds duration;
    std::vector<std::string> lines;
  };
  CacheItem unreadable = makeItem("/c/u1", CacheGroup::trash, RiskLevel::review, 0);
  unreadable.isUnreadable = true;
  std::vector<CacheItem> fiveUnreadable;
  for (int i = 1; i <= 5; ++i) {
    CacheItem item = unreadable;
    item.id = item.url = "/c/u" + std::to_string(i);
    item.subtitle = "~/u" + std::to_string(i);
    fiveUnreadable.push_back(item);
  }
  const std::vector<Case> cases = {
      {"whole seconds keep their decimal",
       {makeItem(kA, CacheGroup::packageCaches, RiskLevel::safe, 2'500'000)},
       Seconds(2),
       {"Scan finished in 2.0 s: 1 items, 2.5 MB reclaimable"}},
      {"worktrees by state; unselectable sizes are not reclaimable",
       {worktree("/r/1", "/x"), worktree("/r/2", "/x", WorktreeStatus::dirty(false, 2)),
        worktree("/r/3", "/x", WorktreeStatus::error("e")),
        worktree("/r/4", "/x", WorktreeStatus::ownClone()),
        makeItem(kB, CacheGroup::trash, RiskLevel::review, 9000)},
       Seconds(0.26),
       {"Worktrees: 1 clean, 1 dirty, 2 unknown",
        "Scan finished in 0.3 s: 5 items, 0 bytes reclaimable"}},
      {"the first three unreadable locations",
       fiveUnreadable,
       Seconds(12.04),
       {"Scan finished in 12.0 s: 5 items, 0 bytes reclaimable",
        "5 location(s) could not be read (Full Disk Access may be needed): ~/u1, ~/u2, ~/u3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Running h(c.items);
    h.wall.advance(90s);
    h.apply(Event::Finished{c.duration});
    EXPECT_EQ(h.logged(), c.lines);
    EXPECT_EQ(h->lastScanDate(), referenceDate() + 90s);
  }
}
