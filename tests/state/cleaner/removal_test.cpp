#include <gtest/gtest.h>

#include "guarded_fakes.h"
#include "support/removal_journals.h"

using namespace hl;
using namespace hl::test;
using Event = CacheScanEvent;
using Kind = ActivityEvent::Kind;
using Ids = std::set<std::string>;
using Paths = std::vector<std::string>;

namespace {

CacheItem sized(const std::string& path, std::int64_t size,
                CacheGroup group = CacheGroup::packageCaches) {
  return makeItem(path, group, RiskLevel::safe, size);
}

CacheItem owned(CacheItem item, std::vector<std::string> owners) {
  item.owners = std::move(owners);
  return item;
}

std::vector<std::string> names(const std::vector<CacheItem>& items) {
  std::vector<std::string> result;
  for (const CacheItem& item : items) result.push_back(item.name);
  return result;
}

// Plans the ticked items and lets the check finish.
const TrashPlan& plan(Guarded& h, std::optional<Ids> ids = std::nullopt) {
  h->requestTrash(std::move(ids));
  h.executor->settle();
  EXPECT_TRUE(h->pendingPlan()) << h->resultMessage().value_or("no message");
  return *h->pendingPlan();
}

// Confirms the pending plan one second after it was made and lets the removal finish.
void confirm(Guarded& h) {
  const TrashPlan plan = *h->pendingPlan();
  h->confirmTrash(plan, plan.createdAt + 1s);
  h.executor->settle();
}

}  // namespace

TEST(CleanerRemovalRequest, ConfirmingThePendingPlanItselfRemovesItsItems) {
  Guarded h;
  h.scan({sized("/c/a", 10), sized("/c/b", 20)});
  h->setChecked("/c/a", true);
  plan(h);
  // The plan passed is the pending one, which the confirmation clears.
  h->confirmTrash(*h->pendingPlan(), h->pendingPlan()->createdAt + 1s);
  h.executor->settle();
  EXPECT_EQ(h.removal->handed(), std::vector<std::string>{"/c/a"});
}

TEST(CleanerRemovalRequest, LeavesOutWhatIsInUseNowAndSortsTheRestBySize) {
  Guarded h;
  h.scan({owned(sized("/c/a", 10), {"Xcode"}), sized("/c/b", 50), owned(sized("/c/c", 30), {"Xcode"}),
          sized("/c/d", 40), sized("/c/e", 30)});
  h->selectAllVisible();
  h.reasons = {{"/c/b", "open by vim"}, {"/c/d", "open by less"}};
  h.running = {"Xcode", "node"};
  h->requestTrash();
  EXPECT_TRUE(h->isPreparingTrash());
  EXPECT_EQ(h->statusText(), "Idle");
  h.executor->settle();
  EXPECT_FALSE(h->isPreparingTrash());
  const TrashPlan& made = *h->pendingPlan();
  EXPECT_EQ(names(made.items), (std::vector<std::string>{"c", "e", "a"}));
  EXPECT_EQ(made.runningWarnings,
            (std::vector<std::string>{"2 item(s) skipped because they are in use right now.",
                                      "Xcode is running \u2014 a, c may be recreated or locked"}));
  EXPECT_EQ(made.createdAt, referenceDate());
  EXPECT_EQ(made.mode, RemovalMode::trash);
  EXPECT_EQ(made.totalSize(), 70);
  // The table already shows the new reasons; those items lost their ticks.
  EXPECT_EQ(h->item("/c/b")->inUseReason, "open by vim");
  EXPECT_EQ(h->checked(), (Ids{"/c/a", "/c/c", "/c/e"}));
  EXPECT_EQ(h->item("/c/a")->runningOwner, "Xcode");
}

TEST(CleanerRemovalRequest, EndsWithAMessageAndNoPlanWhenNothingCanGo) {
  struct Case {
    const char* name;
    std::optional<std::string> unverifiable;
    std::map<std::string, std::string> reasons;
    std::optional<std::string> message;
  };
  const std::vector<Case> cases = {
      {"unverifiable", "ps timed out", {},
       "Nothing was trashed: cannot verify in-use state (ps timed out). Nothing is selectable "
       "until a rescan succeeds."},
      {"all in use", std::nullopt, {{"/c/a", "x"}, {"/c/b", "y"}},
       "Nothing to remove: every selected item is in use right now."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    h.scan({sized("/c/a", 1), sized("/c/b", 2)});
    h->selectAllVisible();
    h.unverifiable = c.unverifiable;
    h.reasons = c.reasons;
    h->requestTrash();
    h.executor->settle();
    EXPECT_FALSE(h->pendingPlan());
    EXPECT_EQ(h->resultMessage(), c.message);
    EXPECT_FALSE(h->isPreparingTrash());
  }

  // Nothing ticked, or nothing selectable among the ids: nothing at all happens.
  Guarded h;
  h.scan({sized("/c/a", 1), makeItem("/c/review", CacheGroup::trash, RiskLevel::review)});
  h->requestTrash();
  h->requestTrash(Ids{"/c/review", "/unknown"});
  EXPECT_FALSE(h->isPreparingTrash());
  EXPECT_EQ(h.executor->pendingJobs(), 0u);
  EXPECT_FALSE(h->resultMessage());
}

TEST(CleanerRemovalRequest, RunningWarningsNameTwoItemsOncePerApplication) {
  const std::vector<CacheItem> items = {
      owned(sized("/c/one", 1), {"Xcode", "com.apple.CoreSimulator.CoreSimulatorService"}),
      owned(sized("/c/two", 1), {"Xcode", "CoreSimulatorService"}),
      owned(sized("/c/three", 1), {"Xcode"}), owned(sized("/c/four", 1), {"Xcode"}),
      owned(sized("/c/five", 1), {"Docker"})};
  struct Case {
    std::set<std::string> running;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{"Docker"}, {"Docker is running \u2014 five may be recreated or locked"}},
      {{"Xcode"}, {"Xcode is running \u2014 one, two \u2026 may be recreated or locked"}},
      // Two keys with one display name give one line, by the first key in text order.
      {{"com.apple.CoreSimulator.CoreSimulatorService", "CoreSimulatorService", "Simulator"},
       {"CoreSimulatorService is running \u2014 two may be recreated or locked"}},
      {{"com.apple.CoreSimulator.CoreSimulatorService"},
       {"CoreSimulatorService is running \u2014 one may be recreated or locked"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CleanerViewModel::runningWarnings(items, c.running), c.lines);
  }
  EXPECT_EQ(CleanerViewModel::runningWarnings({items[0], items[1]}, {"Xcode"}),
            std::vector<std::string>{"Xcode is running \u2014 one, two may be recreated or locked"});
}

// Mend: the sheet may confirm with the pending plan itself, which confirming clears.
TEST(CleanerRemovalConfirmation, TakesThePlanBeforeClearingIt) {
  Guarded h;
  h.scan({sized("/c/a", 1), sized("/c/b", 2)});
  h->selectAllVisible();
  h.settings.setDeleteImmediately(true);
  const Date createdAt = plan(h).createdAt;
  h->confirmTrash(*h->pendingPlan(), createdAt + 1s);
  EXPECT_FALSE(h->pendingPlan());
  h.executor->settle();
  // The plan lists the larger item first.
  EXPECT_EQ(h.removal->handed(), (std::vector<std::string>{"/c/b", "/c/a"}));
  EXPECT_EQ(h->activeRemovalMode(), RemovalMode::deletePermanently);
}

TEST(CleanerRemovalConfirmation, CountsOnlyAfterOneSecondAndUsesTheStricterMode) {
  Guarded h;
  h.scan({sized("/c/a", 1)});
  h->selectAllVisible();
  h.settings.setDeleteImmediately(true);
  const TrashPlan made = plan(h);
  EXPECT_EQ(made.mode, RemovalMode::deletePermanently);
  h->confirmTrash(made, made.createdAt + 500ms);
  h->confirmTrash(made, made.createdAt - 10s);  // a clock set back
  EXPECT_TRUE(h->pendingPlan());
  EXPECT_FALSE(h->isTrashing());

  h.settings.setDeleteImmediately(false);
  h->confirmTrash(made, made.createdAt + 1s);
  // Started synchronously up to its first wait.
  EXPECT_TRUE(h->isTrashing());
  EXPECT_FALSE(h->pendingPlan());
  EXPECT_EQ(h->statusText(), "Checking that nothing is in use\u2026");
  h.executor->settle();
  EXPECT_FALSE(h->isTrashing());
  ASSERT_EQ(h.removal->calls.size(), 1u);
  EXPECT_EQ(h->activeRemovalMode(), RemovalMode::trash);
  EXPECT_EQ(h.history.entries().at(0).permanent, false);
}

TEST(CleanerRemoval, ReadOnlyRefusesEveryPassedItemWithoutStarting) {
  Guarded h(DestructiveGate{"read-only mode is on"});
  CacheItem reportOnly = sized("/c/report", 1);
  reportOnly.isReportOnly = true;
  h.scan({sized("/c/a", 1), sized("/c/b", 2), reportOnly});
  bool diskChanged = false;
  h->setOnDiskChanged([&] { diskChanged = true; });
  SignalCounter counter;
  int& trashing = counter.watch(*h, &CleanerViewModel::isTrashingChanged);
  TrashPlan made{UUID::random(), {sized("/c/a", 1), sized("/c/b", 2), reportOnly},
                 referenceDate(), {}, RemovalMode::trash};
  h->confirmTrash(made, referenceDate() + 2s);
  h.executor->settle();
  EXPECT_EQ(trashing, 0);
  EXPECT_TRUE(h.removal->calls.empty());
  EXPECT_TRUE(h.history.entries().empty());
  EXPECT_FALSE(diskChanged);
  EXPECT_EQ(h->resultMessage(),
            "Nothing was moved to the Trash or deleted: read-only mode is on.");
  EXPECT_EQ(h.logged(Kind::error),
            std::vector<std::string>{"Move to Trash (sheet): refused, read-only mode is on"});
  EXPECT_TRUE(h->isReadOnly());
}

TEST(CleanerRemoval, SkipsWhatChangedRemovesTheRestAndRecordsEveryCategory) {
  Guarded h;
  CacheItem aggregate = sized("/c/agg", 900, CacheGroup::xcode);
  aggregate.id = "aggregate:xcode";
  aggregate.members = {"/c/agg/m1", "/c/agg/m2", "/c/agg/m3"};
  const CacheItem busy = sized("/c/busy", 5);
  const CacheItem dirty = worktreeItem("/w/dirty", "/repos/app");
  const CacheItem clean = worktreeItem("/w/clean", "/repos/app", 300);
  const CacheItem cache = sized("/c/cache", 2000);
  h.scan({aggregate, busy, dirty, clean, cache});
  h->selectAllVisible();
  bool diskChanged = false;
  h->setOnDiskChanged([&] { diskChanged = true; });
  plan(h);
  // Between the plan and the removal: a process opens one item, one worktree gets new work, one
  // member cannot be moved.
  h.reasons = {{"/c/busy", "open by vim"}};
  h.gitStatus["/w/dirty"] = WorktreeStatus::dirty(true, 0);
  h.removal->failing["/c/agg/m2"] = FileSystemError{13, "Permission denied"};
  SignalCounter counter;
  int& progress = counter.watch(*h, &CleanerViewModel::trashProgressChanged);
  confirm(h);

  // Handed over: the free items' paths; the aggregate's members with no size of their own.
  ASSERT_EQ(h.removal->calls.size(), 1u);
  std::vector<std::pair<std::string, std::int64_t>> handed;
  for (const TrashItem& item : h.removal->calls[0]) handed.emplace_back(item.url, item.size);
  EXPECT_EQ(handed, (std::vector<std::pair<std::string, std::int64_t>>{
                        {"/c/cache", 2000}, {"/c/agg/m1", 0}, {"/c/agg/m2", 0},
                        {"/c/agg/m3", 0}, {"/w/clean", 300}}));
  EXPECT_EQ(h.gitAsked, (std::vector<std::string>{"/w/clean", "/w/dirty"}));
  EXPECT_EQ(h->trashProgress(), (CleanerViewModel::TrashProgress{5, 5}));
  EXPECT_GE(progress, 2);

  // The list: removed items gone, the aggregate (one member failed) and the skipped ones stay.
  EXPECT_EQ(h.ids(h->items()),
            (std::vector<std::string>{"aggregate:xcode", "/c/busy", "/w/dirty"}));
  EXPECT_EQ(h->item("/w/dirty")->worktree->status, WorktreeStatus::dirty(true, 0));
  // A mark may outlive the item's selectability; it counts nowhere.
  EXPECT_EQ(h->checked(), (Ids{"/w/dirty", "aggregate:xcode"}));
  EXPECT_EQ(h.ids(h->checkedItems()), std::vector<std::string>{"aggregate:xcode"});
  EXPECT_EQ(h.engine->forgotten.back(), (std::vector<std::string>{"/c/cache", "/w/clean"}));
  EXPECT_EQ(h.pruned, std::vector<std::string>{"/repos/app"});
  EXPECT_TRUE(diskChanged);
  EXPECT_FALSE(h->isTrashing());

  // One history record per category, skipped items included, failures under their paths.
  std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> records;
  for (const HistoryEntry& entry : h.history.entries()) {
    std::vector<std::string> failed;
    for (const auto& failure : entry.failures) failed.push_back(failure.path + ": " + failure.message);
    records[entry.category] = {entry.itemPaths, failed};
    EXPECT_EQ(entry.trigger, "Move to Trash (sheet)");
  }
  EXPECT_EQ(records["AI worktrees"].first, std::vector<std::string>{"/w/clean"});
  EXPECT_EQ(records["AI worktrees"].second,
            std::vector<std::string>{"/w/dirty: Skipped: worktree is no longer clean"});
  EXPECT_EQ(records["Package caches"].second,
            std::vector<std::string>{"/c/busy: Skipped: now in use: open by vim"});
  EXPECT_EQ(records["Xcode"].first, (std::vector<std::string>{"/c/agg/m1", "/c/agg/m3"}));
  EXPECT_EQ(records["Xcode"].second,
            std::vector<std::string>{"/c/agg/m2: Permission denied"});

  EXPECT_EQ(h->resultMessage(),
            "Cleaned 4 items (2 KB). 3 failed. Space is reclaimed when you empty the Trash.\n\n"
            "\u2022 busy: Skipped: now in use: open by vim\n"
            "\u2022 dirty: Skipped: worktree is no longer clean\n"
            "\u2022 m2: Permission denied");
  const std::vector<std::string> cleanup = h.logged(Kind::cleanup);
  EXPECT_EQ(cleanup, (std::vector<std::string>{
                         "Pruned worktrees in app",
                         "Move to Trash (sheet): 4 items, 2 KB moved to the Trash",
                         "Cleaned 4 items (2 KB). 3 failed."}));
  EXPECT_EQ(h.logged(Kind::error),
            (std::vector<std::string>{"/c/busy: Skipped: now in use: open by vim",
                                      "/w/dirty: Skipped: worktree is no longer clean",
                                      "/c/agg/m2: Permission denied"}));
}

TEST(CleanerRemoval, CountsMessagesAndForgottenSizesFollowTheOutcome) {
  struct Case {
    const char* name;
    int items;
    int failing;
    RemovalMode mode;
    std::string cleanupLine;
    std::size_t bullets;
    std::size_t errorLines;
    std::size_t forgotten;
  };
  const std::vector<Case> cases = {
      {"one removed", 1, 0, RemovalMode::trash, "Move to Trash (sheet): 1 item, 1 KB moved to the Trash",
       0, 0, 1},
      {"none removed", 2, 2, RemovalMode::trash,
       "Move to Trash (sheet): 0 items, 0 bytes moved to the Trash", 2, 2, 0},
      {"seven failures", 8, 7, RemovalMode::trash,
       "Move to Trash (sheet): 1 item, 1 KB moved to the Trash", 5, 7, 1},
      {"deleting forgets the failed too", 3, 1, RemovalMode::deletePermanently,
       "Move to Trash (sheet): 2 items, 2 KB deleted permanently", 1, 1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    std::vector<CacheItem> items;
    for (int i = 0; i < c.items; ++i) {
      items.push_back(sized("/c/i" + std::to_string(i), 1000));
      if (i < c.failing) h.removal->failing["/c/i" + std::to_string(i)] = FileSystemError{5, "I/O error"};
    }
    h.scan(items);
    h->selectAllVisible();
    h.settings.setDeleteImmediately(isPermanent(c.mode));
    plan(h);
    confirm(h);
    const std::vector<std::string> cleanup = h.logged(Kind::cleanup);
    ASSERT_FALSE(cleanup.empty());
    EXPECT_EQ(cleanup.front(), c.cleanupLine);
    const std::string message = h->resultMessage().value_or("");
    EXPECT_EQ(static_cast<std::size_t>(std::count(message.begin(), message.end(), '\n')),
              c.bullets == 0 ? 0 : c.bullets + 1);
    EXPECT_EQ(h.logged(Kind::error).size(), c.errorLines);
    EXPECT_EQ(h.engine->forgotten.back().size(), c.forgotten);
  }
}

TEST(CleanerRemoval, AnUnverifiableCheckRemovesNothing) {
  Guarded h;
  h.scan({sized("/c/a", 1), sized("/c/b", 1)});
  h->selectAllVisible();
  bool diskChanged = false;
  h->setOnDiskChanged([&] { diskChanged = true; });
  plan(h);
  h.unverifiable = "lsof failed";
  confirm(h);
  EXPECT_TRUE(h.removal->calls.empty());
  EXPECT_TRUE(h.history.entries().empty());
  EXPECT_FALSE(diskChanged);
  EXPECT_FALSE(h->isTrashing());
  const std::string message =
      "Nothing was trashed: cannot verify in-use state (lsof failed). Nothing is selectable until "
      "a rescan succeeds.";
  EXPECT_EQ(h->resultMessage(), message);
  EXPECT_EQ(h.logged(Kind::error), std::vector<std::string>{message});
  EXPECT_EQ(h->verification(), VerificationState::unavailable("lsof failed"));
  EXPECT_EQ(h->contentState(), CleanerViewModel::ContentState::unavailable);
}

// Mend: the plan's copies are judged by the list as it stands when the removal runs, so a
// rescan's findings between plan and confirmation (or during the removal's own waits) count.
TEST(CleanerRemoval, JudgesTheConfirmedItemsByTheListAsItIsNow) {
  CacheItem temporary = sized("/tmp/x", 10, CacheGroup::systemCaches);
  temporary.guardRule = GuardRule::temporaryFiles;
  CacheItem aggregate = sized("/c/agg", 10, CacheGroup::xcode);
  aggregate.id = "aggregate:a";
  aggregate.members = {"/c/agg/one"};
  const CacheItem worktree = worktreeItem("/w/t", "/r");
  // A rescan that finds the temporary folder touched an hour ago.
  const auto touched = [](Guarded& h) {
    h->rescan(false);
    h.deliver(Event::ItemSized{"/tmp/x", measured(10, 1, referenceDate() - 1h)});
    h.monotonic.advance(1s);
    h.deliver(Event::GroupFinished{CacheGroup::systemCaches});
  };
  struct Case {
    const char* name;
    std::function<void(Guarded&)> change;
    bool duringGitCheck;
    std::string url;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"gone after a rescan",
       [&](Guarded& h) {
         h->rescan(false);
         h.deliver(Event::Discovered{{worktree}, {}});
       },
       false, "/tmp/x", "no longer in the list"},
      {"its members changed",
       [&](Guarded& h) {
         CacheItem grown = aggregate;
         grown.members.push_back("/c/agg/two");
         h->rescan(false);
         h.deliver(Event::Discovered{{temporary, grown, worktree}, {}});
       },
       false, "/c/agg", "its folders changed"},
      // A time rule's reason is an in-use reason: said as the in-use check says it.
      {"found modified in the last 72 h", touched, false, "/tmp/x",
       "now in use: modified in the last 72 h"},
      {"made unselectable while git was asked", touched, true, "/tmp/x",
       "now in use: modified in the last 72 h"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    h->rescan(true);
    h.deliver(Event::Discovered{{temporary, aggregate, worktree}, {}});
    h.deliver(Event::ItemSized{"/tmp/x", measured(10, 1, referenceDate() - 30 * 24h)});
    h.deliver(Event::Finished{Seconds(1)});
    h.endRun();
    h->selectAllVisible();
    const TrashPlan made = plan(h);
    ASSERT_EQ(made.items.size(), 3u);
    if (!c.duringGitCheck) c.change(h);
    h->confirmTrash(made, made.createdAt + 1s);
    h.executor->step();  // the in-use check; the removal now waits for git
    ASSERT_TRUE(h.removal->calls.empty());
    if (c.duringGitCheck) c.change(h);
    h.executor->settle();

    ASSERT_EQ(h.removal->calls.size(), 1u);
    const std::vector<std::string> handed = h.removal->handed();
    // Neither the item that changed nor a path the user did not confirm.
    const std::string changed = c.url == "/c/agg" ? "/c/agg/one" : c.url;
    for (const std::string& url : handed) {
      EXPECT_NE(url, changed);
      EXPECT_NE(url, "/c/agg/two");
    }
    EXPECT_NE(std::find(handed.begin(), handed.end(), "/w/t"), handed.end());
    const std::vector<std::string> errors = h.logged(Kind::error);
    EXPECT_NE(std::find(errors.begin(), errors.end(), c.url + ": Skipped: " + c.reason),
              errors.end())
        << ::testing::PrintToString(errors);
  }
}

// Mend: one removal at a time. A request while another runs or is being prepared changes nothing
// and says so in one line.
TEST(CleanerRemoval, RefusesASecondRemovalWhileOneRunsOrIsPrepared) {
  struct Case {
    const char* name;
    std::function<void(Guarded&, const TrashPlan&)> first;
    std::function<void(Guarded&, const TrashPlan&)> second;
    std::string line;
  };
  const auto confirmSheet = [](Guarded& h, const TrashPlan& plan) {
    h->confirmTrash(plan, plan.createdAt + 1s);
  };
  const auto confirmQuick = [](Guarded& h, const TrashPlan&) {
    h->armQuickClean();
    h.executor->step();
    h->confirmQuickClean(referenceDate() + 1s);
  };
  const std::vector<Case> cases = {
      {"a request while the sheet's removal runs", confirmSheet,
       [](Guarded& h, const TrashPlan&) { h->requestTrash(Ids{"/c/b"}); },
       "Move to Trash (sheet): refused, a removal is already running"},
      {"a request while another is checked",
       [](Guarded& h, const TrashPlan&) { h->requestTrash(Ids{"/c/a"}); },
       [](Guarded& h, const TrashPlan&) { h->requestTrash(Ids{"/c/b"}); },
       "Move to Trash (sheet): refused, a removal is already running"},
      {"Quick Clean while the sheet's removal runs", confirmSheet,
       [](Guarded& h, const TrashPlan&) { h->armQuickClean(); },
       "Quick Clean (tray): refused, a removal is already running"},
      {"the sheet while Quick Clean checks before removing", confirmQuick, confirmSheet,
       "Move to Trash (sheet): refused, a removal is already running"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    h.scan({sized("/c/a", 10), sized("/c/b", 20)});
    h->selectAllVisible();
    const TrashPlan made = plan(h);
    c.first(h, made);
    ASSERT_TRUE(h->isTrashing() || h->isPreparingTrash() || h->quickClean().isRunning());
    const auto quickBefore = h->quickClean();
    const auto planBefore = h->pendingPlan();
    const std::size_t linesBefore = h.activity.events().size();
    c.second(h, made);
    EXPECT_EQ(h->quickClean(), quickBefore);
    EXPECT_EQ(h->pendingPlan(), planBefore);
    ASSERT_EQ(h.activity.events().size(), linesBefore + 1);
    EXPECT_EQ(h.activity.events().back().message, c.line);
    EXPECT_EQ(h.activity.events().back().kind, Kind::error);
    h.executor->settle();
    EXPECT_LE(h.removal->calls.size(), 1u);
  }

  // An armed Quick Clean that is not yet confirmed does not count.
  Guarded h;
  h.scan({sized("/c/a", 10), sized("/c/b", 20)});
  h->selectAllVisible();
  const TrashPlan made = plan(h);
  h->armQuickClean();
  h.executor->step();
  ASSERT_TRUE(h->quickClean().confirming());
  h->confirmTrash(made, made.createdAt + 1s);
  EXPECT_TRUE(h->isTrashing());
}

// Mend: the history is written before git prunes (which may take seconds per repository).
TEST(CleanerRemoval, TheHistoryIsWrittenBeforeWorktreesArePruned) {
  Guarded h;
  h.scan({worktreeItem("/w/a", "/repos/app"), worktreeItem("/w/b", "/repos/app"),
          worktreeItem("/w/c", "/repos/other")});
  h->selectAllVisible();
  std::vector<std::size_t> recordsAtPrune;
  h.onPrune = [&] { recordsAtPrune.push_back(h.history.entries().size()); };
  h.pruneSucceeds = false;
  plan(h);
  confirm(h);
  EXPECT_EQ(recordsAtPrune, (std::vector<std::size_t>{1, 1}));
  EXPECT_EQ(h.pruned, (std::vector<std::string>{"/repos/app", "/repos/other"}));
  EXPECT_EQ(h.logged(Kind::error), (std::vector<std::string>{"git worktree prune failed in app",
                                                             "git worktree prune failed in other"}));

  Guarded off;
  off.scan({worktreeItem("/w/a", "/repos/app")});
  off->selectAllVisible();
  off.settings.setPruneWorktreesAfterTrash(false);
  plan(off);
  confirm(off);
  EXPECT_TRUE(off.pruned.empty());
  EXPECT_EQ(off.removal->calls.size(), 1u);
}

// Mend: a row of several folders skipped as in use is recorded under its category.
TEST(CleanerRemoval, ASkippedRowOfSeveralFoldersReachesTheHistory) {
  Guarded h;
  CacheItem aggregate = sized("/c/sims", 100, CacheGroup::xcode);
  aggregate.id = "aggregate:sims";
  aggregate.members = {"/c/sims/a", "/c/sims/b"};
  h.scan({aggregate, sized("/c/other", 5)});
  h->selectAllVisible();
  plan(h);
  h.reasons = {{"aggregate:sims", "open by Simulator"}};
  confirm(h);
  bool recorded = false;
  for (const HistoryEntry& entry : h.history.entries()) {
    if (entry.category != "Xcode") continue;
    recorded = true;
    ASSERT_EQ(entry.failures.size(), 1u);
    EXPECT_EQ(entry.failures[0].path, "/c/sims");
    EXPECT_EQ(entry.bytesFreed, 0);
  }
  EXPECT_TRUE(recorded);
}

TEST(CleanerRemoval, AModelDestroyedMidRemovalLeavesItsWaitsUnanswered) {
  auto h = std::make_unique<Guarded>();
  h->scan({sized("/c/a", 1)});
  (*h)->selectAllVisible();
  const TrashPlan made = plan(*h);
  (*h)->confirmTrash(made, made.createdAt + 1s);
  ASSERT_EQ(h->executor->pendingJobs(), 1u);
  std::shared_ptr<ManualExecutor> executor = h->executor;
  h->cleaner.reset();
  // The in-use check finishes after the model is gone: nothing is continued, nothing removed.
  executor->settle();
  EXPECT_TRUE(h->removal->calls.empty());
}

// Mend: what a removal is about to do is on disk before its first item is acted on, and goes
// once its record is written; the sheet and Quick Clean alike.
TEST(CleanerRemoval, IsWrittenDownBeforeItActsUntilItIsRecorded) {
  struct Case {
    std::string trigger;
    std::function<void(Guarded&)> remove;
    Paths handed;
    std::vector<HistoryEntry::Failure> skipped;
  };
  const std::vector<Case> cases = {
      {"Move to Trash (sheet)",
       [](Guarded& h) {
         h->selectAllVisible();
         plan(h);
         h.reasons = {{"/c/b", "open by Tool"}};
         confirm(h);
       },
       {"/c/a"},
       {{"/c/b", "Skipped: now in use: open by Tool"}}},
      {"Quick Clean (menu bar)",
       [](Guarded& h) {
         h->armQuickClean();
         h.executor->settle();
         h->confirmQuickClean(referenceDate() + 1s);
         h.executor->settle();
       },
       {"/c/b", "/c/a"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trigger);
    Guarded h;
    h.scan({sized("/c/b", 20), sized("/c/a", 10)});
    std::vector<PendingRemoval> atRemoval;
    h.removal->onTrash = [&] { atRemoval = journalsIn(h.scratch); };
    c.remove(h);
    ASSERT_EQ(atRemoval.size(), 1u);
    const PendingRemoval& journal = atRemoval[0];
    EXPECT_EQ(journal.trigger, c.trigger);
    Paths handed;
    for (const PendingRemoval::Item& item : journal.items) handed.push_back(item.path);
    EXPECT_EQ(handed, c.handed);
    EXPECT_EQ(journal.skipped, c.skipped);
    EXPECT_EQ(journal.categories.at("Package caches").size(), 2u);
    ASSERT_FALSE(h.history.entries().empty());
    EXPECT_EQ(h.history.entries()[0].operationID, journal.operationID);
    EXPECT_TRUE(journalsIn(h.scratch).empty());
  }
}
