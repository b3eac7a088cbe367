#include <gtest/gtest.h>

#include "cleaner_harness.h"

using namespace hl;
using namespace hl::test;
using Event = CacheScanEvent;
using Kind = ActivityEvent::Kind;

namespace {

const std::string kA = "/c/a";
const std::string kB = "/c/b";

}  // namespace

TEST(CleanerScanRun, BatchedEventsWaitAtMostTheWindowMeasuredWhenEachArrives) {
  struct Case {
    const char* name;
    std::chrono::nanoseconds second;  // after the last flush
    bool flushed;
  };
  const Case cases[] = {
      {"well inside", 100ms, false},
      {"exactly at the window", 150ms, false},
      {"just past it", 150ms + 1ns, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CleanerHarness h;
    h->rescan(true);
    h.deliver(Event::Discovered{{makeItem(kA), makeItem(kB)}, {}});  // flushes at once
    h.monotonic.advance(50ms);
    h.deliver(Event::ItemSized{kA, measured(10)});
    EXPECT_FALSE(h->item(kA)->size);
    h.monotonic.advance(c.second - 50ms);
    h.deliver(Event::ItemSized{kB, measured(20)});
    EXPECT_EQ(h->item(kA)->size.has_value(), c.flushed);
    EXPECT_EQ(h->item(kB)->size.has_value(), c.flushed);
  }
}

TEST(CleanerScanRun, AQuietStreamHoldsItsBatchUntilTheStreamEnds) {
  CleanerHarness h;
  h->rescan(true);
  h.deliver(Event::Discovered{{makeItem(kA)}, {}});
  h.monotonic.advance(10ms);
  h.deliver(Event::GroupFinished{CacheGroup::packageCaches});
  h.deliver(Event::ItemSized{kA, measured(10)});
  // Time alone never flushes.
  h.monotonic.advance(10s);
  h.executor->runPosted();
  EXPECT_FALSE(h->item(kA)->size);
  EXPECT_TRUE(h->finishedGroups().empty());
  h.endRun();
  EXPECT_EQ(h->item(kA)->size, 10);
  EXPECT_EQ(h->finishedGroups(), std::set<CacheGroup>{CacheGroup::packageCaches});
}

TEST(CleanerScanRun, AnImmediateEventAppliesTheHeldOnesFirstInArrivalOrder) {
  CleanerHarness h;
  h->rescan(true);
  h.deliver(Event::Discovered{{makeItem(kA)}, {}});
  h.deliver(Event::ItemSized{kA, measured(9)});
  // Found again with a size of its own: applied after the held size, it keeps its own.
  h.deliver(Event::Discovered{{makeItem(kA, CacheGroup::packageCaches, RiskLevel::safe, 5)}, {}});
  EXPECT_EQ(h->item(kA)->size, 5);
}

TEST(CleanerScanRun, OneFlushAnnouncesEachChangeOnce) {
  CleanerHarness h;
  h->rescan(true);
  h.deliver(Event::Discovered{{makeItem(kA), makeItem(kB)}, {}});
  SignalCounter counter;
  int& items = counter.watch(*h, &CleanerViewModel::itemsChanged);
  int& revision = counter.watch(*h, &CleanerViewModel::itemsRevisionChanged);
  int& visible = counter.watch(*h, &CleanerViewModel::visibleItemsChanged);
  int& status = counter.watch(*h, &CleanerViewModel::statusTextChanged);
  int& group = counter.watch(*h, &CleanerViewModel::scanningGroupChanged);
  const quint64 before = h->itemsRevision();
  h.deliver(Event::ItemSized{kA, measured(1)});
  h.deliver(Event::ItemSized{kB, measured(2)});
  h.deliver(Event::WorktreeStatus{kA, WorktreeStatus::clean()});
  EXPECT_EQ(items, 0);
  h.monotonic.advance(200ms);
  h.deliver(Event::GroupFinished{CacheGroup::packageCaches});
  EXPECT_EQ(items, 1);
  EXPECT_EQ(revision, 1);
  EXPECT_EQ(visible, 1);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(group, 0);  // the group it was scanning already
  // Two in-place edits, one per size; the worktree event edits nothing (no worktree).
  EXPECT_EQ(h->itemsRevision(), before + 2);
}

TEST(CleanerScanRun, ARescanMidRunDropsTheOldRunWithoutEverLeavingTheScanningState) {
  CleanerHarness h;
  SignalCounter counter;
  int& scanning = counter.watch(*h, &CleanerViewModel::isScanningChanged);
  h->rescan(true);
  h.deliver(Event::Discovered{{makeItem(kA)}, {}});
  h.deliver(Event::ItemSized{kA, measured(10)});  // held

  h->rescan(true);
  EXPECT_TRUE(h.engine->runs[0]->cancelled);
  EXPECT_TRUE(h.engine->runs[1]->request.clearSizeCacheFirst);
  // Whatever the old run still sends, and its end, changes nothing.
  h.engine->send(Event::ItemSized{kA, measured(99)}, 0);
  h.engine->send(Event::Finished{Seconds(3)}, 0);
  h.engine->end(0);
  h.executor->runPosted();
  EXPECT_FALSE(h->item(kA)->size);
  EXPECT_FALSE(h->lastScanDate());
  EXPECT_TRUE(h->isScanning());
  EXPECT_FALSE(h->hasScanned());
  EXPECT_EQ(scanning, 1);

  h.deliver(Event::Discovered{{makeItem(kB)}, {}});
  h.deliver(Event::Finished{Seconds(1)});
  h.endRun();
  EXPECT_EQ(h.ids(h->items()), std::vector<std::string>{kB});
  EXPECT_FALSE(h->isScanning());
  EXPECT_EQ(scanning, 2);
  EXPECT_EQ(h.logged(Kind::error), std::vector<std::string>{});
}

TEST(CleanerScanRun, ToolsAreResolvedAgainOnlyByALaterForcedScan) {
  CleanerHarness h;
  h->rescan(true);
  EXPECT_FALSE(h.engine->at(-1).request.configuration.refreshTools);
  h.endRun();
  h->rescan(false);
  EXPECT_FALSE(h.engine->at(-1).request.configuration.refreshTools);
  EXPECT_FALSE(h.engine->at(-1).request.clearSizeCacheFirst);
  h->rescan(true);
  EXPECT_TRUE(h.engine->at(-1).request.configuration.refreshTools);
  EXPECT_TRUE(h.engine->at(-1).request.clearSizeCacheFirst);

  h.settings.setExtraPaths({"/x/extra"});
  h->rescan(false);
  const CacheScanConfiguration& configuration = h.engine->at(-1).request.configuration;
  EXPECT_EQ(configuration.extraPaths, std::vector<std::string>{"/x/extra"});
  EXPECT_EQ(configuration.home, h.scratch);
  EXPECT_EQ(configuration.maxConcurrentWalks, 4);
  EXPECT_EQ(h.logged(Kind::scan), (std::vector<std::string>{"Scan started", "Refreshing items",
                                                             "Scan started", "Refreshing items"}));
}

TEST(CleanerScanRun, AFirstScanEndingWithoutFinishedStillCountsAsAScan) {
  CleanerHarness h;
  h->rescan(true);
  h.deliver(Event::Discovered{{makeItem(kA)}, {}});
  h.wall.advance(5s);
  h.endRun();
  EXPECT_TRUE(h->hasScanned());
  EXPECT_FALSE(h->isScanning());
  EXPECT_EQ(h->lastScanDate(), referenceDate() + 5s);
  EXPECT_EQ(h.logged(Kind::error),
            std::vector<std::string>{"Scan ended early; showing what was found so far"});
  EXPECT_EQ(h.ids(h->items()), std::vector<std::string>{kA});
}

TEST(CleanerScanRun, AnOvertakenRunsFinishDoesNotHideTheNextRunsEarlyEnd) {
  CleanerHarness h;
  h.scan({makeItem(kA)});
  h->rescan(true);
  h.deliver(Event::Finished{Seconds(1)});  // applied: this run finished…
  h->rescan(true);                         // …but is overtaken before its stream ended
  h.wall.advance(1min);
  h.endRun();  // the new run ends without finishing
  EXPECT_EQ(h.logged(Kind::error),
            std::vector<std::string>{"Scan ended early; showing what was found so far"});
  EXPECT_EQ(h->lastScanDate(), referenceDate() + 1min);
}

TEST(CleanerScanRun, EveryScanProbesFullDiskAccessAndKeepsTheLastAnswer) {
  CleanerHarness h;
  SignalCounter counter;
  int& changes = counter.watch(*h, &CleanerViewModel::fullDiskAccessChanged);
  h.diskAccess = FullDiskAccess::Status::denied;
  h->rescan(true);
  EXPECT_EQ(h->fullDiskAccess(), FullDiskAccess::Status::notApplicable);
  h.executor->settle();
  EXPECT_TRUE(h->needsFullDiskAccess());
  h->rescan(true);
  h.executor->settle();
  EXPECT_EQ(changes, 1);  // the same answer again notifies nobody
}

TEST(CleanerScanRun, SettingsReannounceTheValuesDerivedFromThem) {
  CleanerHarness h;
  h.scan({makeItem(kA), makeItem(kB)});
  SignalCounter counter;
  int& included = counter.watch(*h, &CleanerViewModel::includedItemsChanged);
  int& visible = counter.watch(*h, &CleanerViewModel::visibleItemsChanged);
  int& totals = counter.watch(*h, &CleanerViewModel::totalsChanged);
  int& sidebar = counter.watch(*h, &CleanerViewModel::sidebarGroupsChanged);
  int& candidates = counter.watch(*h, &CleanerViewModel::quickCleanCandidatesChanged);
  int& mode = counter.watch(*h, &CleanerViewModel::removalModeChanged);
  int& content = counter.watch(*h, &CleanerViewModel::contentStateChanged);

  h->exclude({kA});  // one operation: one announcement, though it also changes the settings
  EXPECT_EQ(h.ids(h->includedItems()), std::vector<std::string>{kB});
  EXPECT_EQ(included, 1);
  EXPECT_EQ(visible, 1);
  EXPECT_EQ(totals, 1);
  EXPECT_EQ(content, 1);
  EXPECT_EQ(sidebar, 0);

  h.settings.setExtraPaths({"/x"});
  EXPECT_EQ(sidebar, 1);
  EXPECT_EQ(h->sidebarGroups().back(), CacheGroup::custom);
  h.settings.setQuickCleanIncludesModerate(true);
  EXPECT_EQ(candidates, 2);  // the exclusion and the setting
  h.settings.setDeleteImmediately(true);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(h->removalMode(), RemovalMode::deletePermanently);
  EXPECT_TRUE(h->deletesImmediately());
}
