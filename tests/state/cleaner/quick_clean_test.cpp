#include <gtest/gtest.h>

#include <algorithm>

#include "guarded_fakes.h"

using namespace hl;
using namespace hl::test;
using Event = CacheScanEvent;
using Kind = ActivityEvent::Kind;

namespace {

CacheItem safe(const std::string& path, std::int64_t size, std::vector<std::string> owners = {}) {
  CacheItem item = makeItem(path, CacheGroup::packageCaches, RiskLevel::safe, size);
  item.owners = std::move(owners);
  return item;
}

// Arms Quick Clean and lets its check finish.
void arm(Guarded& h) {
  h->armQuickClean();
  ASSERT_TRUE(h->quickClean().isPreparing());
  h.executor->settle();
}

}  // namespace

TEST(CleanerQuickClean, ArmsConfirmsAfterOneSecondAndReportsTheRemoval) {
  Guarded h;
  h.scan({safe("/c/a", 1000), safe("/c/b", 2000),
          makeItem("/c/moderate", CacheGroup::projects, RiskLevel::moderate, 5000)});
  EXPECT_EQ(h.ids(h->quickCleanCandidates()), (std::vector<std::string>{"/c/a", "/c/b"}));
  EXPECT_EQ(h->quickCleanSize(), 3000);
  h.settings.setDeleteImmediately(true);
  arm(h);
  ASSERT_TRUE(h->quickClean().confirming());
  EXPECT_EQ(h->quickClean(),
            QuickCleanState::confirming({"/c/a", "/c/b"}, 3000, 0));
  EXPECT_EQ(h->quickCleanMode(), RemovalMode::deletePermanently);

  h->confirmQuickClean(referenceDate() + 900ms);
  EXPECT_TRUE(h->quickClean().confirming());
  h->confirmQuickClean(referenceDate() + 1s);
  EXPECT_TRUE(h->quickClean().isRunning());
  h.executor->settle();
  // Permanent only when the setting still says so at confirmation.
  EXPECT_EQ(h->quickClean(), QuickCleanState::done("Deleted 2 items (3 KB)."));
  EXPECT_FALSE(h->resultMessage());
  // The history file keeps the stored name; the activity line speaks of the tray.
  EXPECT_EQ(h.history.entries().at(0).trigger, "Quick Clean (menu bar)");
  const std::vector<std::string> cleanups = h.logged(Kind::cleanup);
  EXPECT_NE(std::find(cleanups.begin(), cleanups.end(),
                      "Quick Clean (tray): 2 items, 3 KB deleted permanently"),
            cleanups.end());
  // The confirmation disarmed the lapse.
  h.executor->advance(10s);
  EXPECT_TRUE(h->quickClean().done());

  // Arming from done starts over at once.
  h.scan({safe("/c/c", 10)});
  arm(h);
  EXPECT_TRUE(h->quickClean().confirming());
}

TEST(CleanerQuickClean, AConfirmationLapsesAfterFiveSecondsOfItsOwnArming) {
  Guarded h;
  h.scan({safe("/c/a", 1000)});
  arm(h);
  h.executor->advance(4900ms);
  h->armQuickClean();  // while confirming: changes nothing, extends nothing
  h.executor->step();
  EXPECT_TRUE(h->quickClean().confirming());
  h.executor->advance(100ms);
  EXPECT_TRUE(h->quickClean().isIdle());

  // Cancelled and armed again: the first arming's lapse leaves the new confirmation alone.
  arm(h);
  h.executor->advance(3s);
  h->cancelQuickClean();
  EXPECT_TRUE(h->quickClean().isIdle());
  arm(h);
  h.executor->advance(2s);  // the first lapse comes due
  EXPECT_TRUE(h->quickClean().confirming());
  h.executor->advance(3s);
  EXPECT_TRUE(h->quickClean().isIdle());
}

TEST(CleanerQuickClean, AnOvertakenArmingDropsItsResult) {
  Guarded h;
  h.scan({safe("/c/a", 1000)});
  h->armQuickClean();
  h->cancelQuickClean();
  h.executor->settle();
  EXPECT_TRUE(h->quickClean().isIdle());
  EXPECT_EQ(h.executor->pendingTimers(), 0u);
}

TEST(CleanerQuickClean, DoesNotArmWithoutSomethingItMayRemove) {
  struct Case {
    const char* name;
    std::function<void(Guarded&)> arrange;
  };
  const std::vector<Case> cases = {
      {"no candidates", [](Guarded& h) { h.scan({makeItem("/c/m", CacheGroup::projects,
                                                         RiskLevel::moderate, 5)}); }},
      {"unverifiable", [](Guarded& h) {
         h.scan({safe("/c/a", 1)});
         h->rescan(true);
         h.deliver(Event::InUse{InUseEvaluation{{}, {}, {}, VerificationState::unavailable("r")}});
         h.executor->settle();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    c.arrange(h);
    h->armQuickClean();
    EXPECT_TRUE(h->quickClean().isIdle());
    EXPECT_EQ(h.executor->pendingJobs(), 0u);
  }
  Guarded readOnly(DestructiveGate{"read-only"});
  readOnly.scan({safe("/c/a", 1)});
  readOnly->armQuickClean();
  EXPECT_TRUE(readOnly->quickClean().isIdle());
}

// Mend: the candidates dropped at arming are counted once, not again among the held items.
TEST(CleanerQuickClean, CountsEveryItemHeldBackOnce) {
  Guarded h;
  h.scan({safe("/c/held", 10), safe("/c/a", 10), safe("/c/b", 10, {"Docker"}),
          safe("/c/c", 10, {"node"}), safe("/c/d", 10)});
  h->rescan(true);
  h.deliver(Event::InUse{InUseEvaluation{{{"/c/held", "open by vim"}}, {}, {}, {}}});
  h.endRun();
  ASSERT_EQ(h->inUseSkippedCount(), 1);
  // At arming: one item opens, one owner starts; a generic runtime runs too.
  h.reasons = {{"/c/a", "open by less"}};
  h.running = {"Docker", "node"};
  arm(h);
  const QuickCleanState::Confirming* confirming = h->quickClean().confirming();
  ASSERT_TRUE(confirming);
  EXPECT_EQ(confirming->ids, std::vector<std::string>{"/c/d"});
  EXPECT_EQ(confirming->size, 10);
  EXPECT_EQ(confirming->skippedForProcesses, 4);  // held, a, b, c

  // One more at confirmation time: three skipped in all at arming and after.
  Guarded g;
  g.scan({safe("/c/x", 1000), safe("/c/y", 1000), safe("/c/z", 1000), safe("/c/w", 1000)});
  g.reasons = {{"/c/x", "open"}, {"/c/y", "open"}};
  arm(g);
  g.reasons["/c/z"] = "open";
  g->confirmQuickClean(referenceDate() + 1s);
  g.executor->settle();
  EXPECT_EQ(g->quickClean(), QuickCleanState::done("Cleaned 1 item (1 KB). Skipped 3 in use."));
}

TEST(CleanerQuickClean, ConfirmingEndsInTheRightMessage) {
  struct Case {
    const char* name;
    std::function<void(Guarded&)> betweenArmAndConfirm;
    std::function<void(Guarded&)> duringRemoval;
    QuickCleanState state;
  };
  const std::vector<Case> cases = {
      {"everything came into use",
       [](Guarded& h) { h.reasons = {{"/c/a", "x"}, {"/c/b", "y"}}; }, nullptr,
       QuickCleanState::done("Nothing cleaned: every item became in use or its app started.")},
      {"an owner started",
       [](Guarded& h) { h.running = {"Docker"}; }, nullptr,
       QuickCleanState::done("Nothing cleaned: every item became in use or its app started.")},
      {"unverifiable at confirmation", [](Guarded& h) { h.unverifiable = "ps failed"; }, nullptr,
       QuickCleanState::done("Nothing cleaned: cannot verify in-use state (ps failed).")},
      {"the items left the list",
       [](Guarded& h) {
         h->rescan(true);
         h.deliver(Event::Discovered{{}, {}});
       },
       nullptr, QuickCleanState::idle()},
      // Mend: a lock set by a scan while the removal ran does not turn its result into
      // "nothing cleaned".
      {"a scan locks the list during the removal", nullptr,
       [](Guarded& h) {
         h->rescan(true);
         h.deliver(Event::InUse{InUseEvaluation{{}, {}, {}, VerificationState::unavailable("r")}});
       },
       QuickCleanState::done("Cleaned 2 items (3 KB).")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    h.scan({safe("/c/a", 1000, {"Docker"}), safe("/c/b", 2000, {"Docker"})});
    arm(h);
    if (c.betweenArmAndConfirm) c.betweenArmAndConfirm(h);
    h->confirmQuickClean(referenceDate() + 2s);
    if (c.duringRemoval) {
      h.executor->step();  // Quick Clean's own check
      h.executor->step();  // the removal's check; the removal itself waits
      ASSERT_TRUE(h->isTrashing());
      c.duringRemoval(h);
    }
    h.executor->settle();
    EXPECT_EQ(h->quickClean(), c.state);
  }
}

// What happens while a confirmed removal waits (for its checks, git, its journal) keeps an item
// out: excluded in Settings meanwhile, or, for Quick Clean, its application started after Quick
// Clean's own check.
TEST(CleanerQuickClean, WhatChangesWhileTheRemovalWaitsIsLeftOut) {
  struct Case {
    const char* name;
    bool quickClean;
    std::function<void(Guarded&)> meanwhile;
    std::vector<std::string> handed;
  };
  const std::vector<Case> cases = {
      {"Quick Clean, excluded", true, [](Guarded& h) { h->exclude({"/c/a"}); }, {"/c/b"}},
      {"sheet, excluded", false, [](Guarded& h) { h->exclude({"/c/a"}); }, {"/c/b"}},
      {"Quick Clean, its application started", true,
       [](Guarded& h) { h.running = {"Docker"}; }, {"/c/b"}},
      {"sheet, its application started", false, [](Guarded& h) { h.running = {"Docker"}; },
       {"/c/a", "/c/b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    h.scan({safe("/c/a", 1000, {"Docker"}), safe("/c/b", 2000)});
    if (c.quickClean) {
      arm(h);
      h->confirmQuickClean(referenceDate() + 2s);
      h.executor->step();  // Quick Clean's own check
    } else {
      h->selectAllVisible();
      h->requestTrash();
      h.executor->settle();
      ASSERT_TRUE(h->pendingPlan());
      h->confirmTrash(*h->pendingPlan(), referenceDate() + 2s);
    }
    c.meanwhile(h);
    h.executor->settle();
    std::vector<std::string> handed = h.removal->handed();
    std::sort(handed.begin(), handed.end());
    EXPECT_EQ(handed, c.handed);
  }
}

// A cancel while a confirmed Quick Clean checks its items only changes what the tray shows: its
// removal still follows, so no other removal may start meanwhile.
TEST(CleanerQuickClean, ACancelledConfirmationStillKeepsOtherRemovalsOut) {
  Guarded h;
  h.scan({safe("/c/a", 1000), safe("/c/b", 2000)});
  h->selectAllVisible();
  h->requestTrash();
  h.executor->settle();
  ASSERT_TRUE(h->pendingPlan());
  const TrashPlan made = *h->pendingPlan();
  arm(h);
  h->confirmQuickClean(referenceDate() + 1s);
  ASSERT_TRUE(h->quickClean().isRunning());
  h->cancelQuickClean();
  ASSERT_TRUE(h->quickClean().isIdle());

  h->confirmTrash(made, made.createdAt + 1s);
  EXPECT_FALSE(h->isTrashing());
  EXPECT_TRUE(h->pendingPlan());
  h->armQuickClean();
  EXPECT_TRUE(h->quickClean().isIdle());
  EXPECT_EQ(h.logged(Kind::error),
            (std::vector<std::string>{
                "Move to Trash (sheet): refused, a removal is already running",
                "Quick Clean (tray): refused, a removal is already running"}));

  h.executor->settle();
  EXPECT_EQ(h.removal->calls.size(), 1u);
  EXPECT_EQ(h->quickClean(), QuickCleanState::done("Cleaned 2 items (3 KB)."));
  // Once it is over, the sheet's plan may go.
  h->confirmTrash(made, made.createdAt + 1s);
  EXPECT_TRUE(h->isTrashing());
}

TEST(CleanerQuickClean, SelectingTheCandidatesTicksExactlyThem) {
  Guarded h;
  h.scan({safe("/c/a", 10), makeItem("/c/m", CacheGroup::buildTools, RiskLevel::moderate, 10)});
  h->setSelectedGroup(CacheGroup::buildTools);
  h->setTab(HomeTab::details);
  h->setChecked("/c/m", true);
  h->selectQuickCleanCandidates();
  EXPECT_EQ(h->checked(), std::set<std::string>{"/c/a"});
  EXPECT_EQ(h->selectedGroup(), std::nullopt);
  EXPECT_EQ(h->tab(), HomeTab::items);
  h.settings.setQuickCleanIncludesModerate(true);
  EXPECT_EQ(h->quickCleanCandidates().size(), 2u);
}

TEST(CleanerQuickClean, ByGroupSumsTheCandidatesLargestFirst) {
  Guarded h;
  EXPECT_TRUE(h->quickCleanByGroup().empty());
  h.scan({safe("/c/a", 1000), makeItem("/c/b", CacheGroup::buildTools, RiskLevel::safe, 3000),
          safe("/c/c", 2500), makeItem("/c/unmeasured", CacheGroup::trash, RiskLevel::safe),
          makeItem("/c/d", CacheGroup::projects, RiskLevel::safe, 3500),
          makeItem("/c/moderate", CacheGroup::xcode, RiskLevel::moderate, 9000)});
  using G = CleanerViewModel::GroupSize;
  // Equal sizes keep the groups' declared order; an unmeasured item is no candidate.
  EXPECT_EQ(h->quickCleanByGroup(),
            (std::vector<G>{{CacheGroup::projects, 3500}, {CacheGroup::packageCaches, 3500},
                            {CacheGroup::buildTools, 3000}}));
  h.settings.setQuickCleanIncludesModerate(true);
  EXPECT_EQ(h->quickCleanByGroup().front(), (G{CacheGroup::xcode, 9000}));
}
