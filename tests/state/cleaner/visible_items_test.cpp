#include <gtest/gtest.h>

#include <algorithm>

#include "cleaner_harness.h"

using namespace hl;
using namespace hl::test;
using Event = CacheScanEvent;

namespace {

constexpr auto kDay = 24h;

CacheItem project(const std::string& path, std::optional<std::int64_t> size,
                  std::optional<Date> modified) {
  CacheItem item = makeItem(path, CacheGroup::projects, RiskLevel::moderate, size);
  item.projectModified = modified;
  return item;
}

}  // namespace

TEST(CleanerVisibleItems, ProjectsShowStaleFoldersByAgeTimesSize) {
  const Date now = referenceDate();
  const std::vector<CacheItem> projects = {
      project("/p/young", 1000, now - 59 * kDay),
      project("/p/boundary", 10, now - 60 * kDay),  // exactly 5,184,000 s: stale
      project("/p/undated", 5000, std::nullopt),
      project("/p/old-small", 100, now - 400 * kDay),     // score 40,000
      project("/p/big-younger", 600, now - 61 * kDay),    // score 36,600
      project("/p/equal-a", 50, now - 100 * kDay),        // score 5,000
      project("/p/young-b", 100, now - 50 * kDay),
      project("/p/young-c", 100, now - 50 * kDay - 1s),
      project("/p/tie", 25, now - 200 * kDay),            // score 5,000, after equal-a
      makeItem("/c/cache", CacheGroup::packageCaches, RiskLevel::safe, 9999),
  };
  CleanerHarness h;
  h.scan(projects);
  h->setSelectedGroup(CacheGroup::projects);
  EXPECT_EQ(h.ids(h->visibleItems()),
            (std::vector<std::string>{"/p/old-small", "/p/big-younger", "/p/equal-a", "/p/tie",
                                      "/p/boundary"}));
  EXPECT_EQ(h->largestVisibleSize(), 100);  // the top score's size, not the largest
  EXPECT_EQ(h->visibleIDs(), h.ids(h->visibleItems()));

  h->setShowAllProjects(true);
  const std::vector<std::string> all = h.ids(h->visibleItems());
  ASSERT_EQ(all.size(), 9u);
  // Undated projects score 0 and keep their list order at the end.
  EXPECT_EQ(all.back(), "/p/undated");
}

TEST(CleanerVisibleItems, OtherGroupsSortBySizeWithUnmeasuredLast) {
  CleanerHarness h;
  h.scan({makeItem("/c/unmeasured"), makeItem("/c/zero", CacheGroup::packageCaches,
                                               RiskLevel::safe, 0),
          makeItem("/c/big", CacheGroup::buildTools, RiskLevel::safe, 50),
          makeItem("/c/first-ten", CacheGroup::packageCaches, RiskLevel::safe, 10),
          makeItem("/c/second-ten", CacheGroup::packageCaches, RiskLevel::safe, 10)});
  EXPECT_EQ(h.ids(h->visibleItems()),
            (std::vector<std::string>{"/c/big", "/c/first-ten", "/c/second-ten", "/c/zero",
                                      "/c/unmeasured"}));
  h->setSelectedGroup(CacheGroup::packageCaches);
  EXPECT_EQ(h.ids(h->visibleItems()),
            (std::vector<std::string>{"/c/first-ten", "/c/second-ten", "/c/zero",
                                      "/c/unmeasured"}));
  EXPECT_EQ(h->visibleIDs(), h.ids(h->visibleItems()));
}

TEST(CleanerVisibleItems, ExclusionsHideWholeComponentsAtTheNextRead) {
  CleanerHarness h;
  h.scan({makeItem("/c/cache", CacheGroup::packageCaches, RiskLevel::safe, 1),
          makeItem("/c/cache/inner", CacheGroup::packageCaches, RiskLevel::safe, 2),
          makeItem("/c/cache-sibling", CacheGroup::packageCaches, RiskLevel::safe, 4)});
  EXPECT_EQ(h->totalFound(), 7);
  h.settings.setExcludedPaths({"/c/cache"});
  EXPECT_EQ(h.ids(h->includedItems()), std::vector<std::string>{"/c/cache-sibling"});
  EXPECT_EQ(h->totalFound(), 4);
  // The same paths in another order are read afresh, with the same result.
  h.settings.setExcludedPaths({"/x", "/c/cache"});
  EXPECT_EQ(h.ids(h->includedItems()), std::vector<std::string>{"/c/cache-sibling"});
  h.settings.setExcludedPaths({});
  EXPECT_EQ(h->includedItems().size(), 3u);
}

TEST(CleanerVisibleItems, TotalsAndTextsOfGroups) {
  CacheItem unreadable = makeItem("/c/locked", CacheGroup::systemCaches, RiskLevel::safe, 0);
  unreadable.isUnreadable = true;
  CacheItem busy = makeItem("/c/busy", CacheGroup::packageCaches, RiskLevel::safe, 300);
  CacheItem review = makeItem("/c/review", CacheGroup::largeBackups, RiskLevel::review, 4000);
  review.isApproximate = true;
  CacheItem trash = makeItem("/c/trash", CacheGroup::trash, RiskLevel::review, 7);
  std::vector<CacheItem> items = {unreadable, busy, review, trash};
  for (int i = 0; i < 7; ++i) {
    items.push_back(makeItem("/c/s" + std::to_string(i), CacheGroup::buildTools, RiskLevel::safe,
                             1000 * (i + 1)));
  }
  CleanerHarness h;
  h.scan(items);
  h->rescan(true);
  h.deliver(Event::InUse{InUseEvaluation{{{"/c/busy", "open by vim"}}, {}, {}, {}}});

  EXPECT_EQ(h->totalSize(std::nullopt), 0 + 300 + 4000 + 7 + 28000);
  EXPECT_EQ(h->totalSize(CacheGroup::buildTools), 28000);
  EXPECT_EQ(h->totalSelectable(), 28000);  // not the in-use, review or unreadable-zero ones
  EXPECT_EQ(h->headlineText(), "\u2248 28 KB");
  EXPECT_TRUE(h->isApproximate(std::nullopt));
  EXPECT_TRUE(h->isApproximate(CacheGroup::largeBackups));
  EXPECT_FALSE(h->isApproximate(CacheGroup::buildTools));
  EXPECT_EQ(h.ids(h->largestItems()),
            (std::vector<std::string>{"/c/s6", "/c/s5", "/c/s4", "/c/s3", "/c/s2"}));

  struct Case {
    std::optional<CacheGroup> group;
    FullDiskAccess::Status access;
    std::string text;
  };
  const std::vector<Case> cases = {
      {std::nullopt, FullDiskAccess::Status::denied, "\u2248 32 KB"},
      {CacheGroup::systemCaches, FullDiskAccess::Status::granted, "No access"},
      {CacheGroup::trash, FullDiskAccess::Status::granted, "\u2248 7 bytes"},
      {CacheGroup::trash, FullDiskAccess::Status::denied, "No access"},
      {CacheGroup::xcode, FullDiskAccess::Status::denied, "\u2248 0 bytes"},
  };
  for (const Case& c : cases) {
    h.diskAccess = c.access;
    h->refreshFullDiskAccess();
    h.executor->settle();
    EXPECT_EQ(h->sizeText(c.group), c.text);
  }
  // One readable item turns "No access" back into a size.
  h.deliver(Event::ItemSized{"/c/locked", measured(2000)});
  h.monotonic.advance(1s);
  h.deliver(Event::GroupFinished{CacheGroup::systemCaches});
  EXPECT_EQ(h->sizeText(CacheGroup::systemCaches), "\u2248 2 KB");
  EXPECT_EQ(CleanerViewModel::approximate(-5), CleanerViewModel::approximate(0));
}

TEST(CleanerVisibleItems, AnEmptyListHasZeroEverywhere) {
  CleanerHarness h;
  EXPECT_TRUE(h->visibleItems().empty());
  EXPECT_TRUE(h->checkedItems().empty());
  EXPECT_TRUE(h->largestItems().empty());
  EXPECT_EQ(h->totalSelectable(), 0);
  EXPECT_EQ(h->largestVisibleSize(), 0);
  EXPECT_EQ(h->sizeText(std::nullopt), "\u2248 0 bytes");
  // Custom paths waits for an extra path; Xcode for something found in a home's Library.
  EXPECT_EQ(h->sidebarGroups(),
            (std::vector<CacheGroup>{CacheGroup::aiWorktrees, CacheGroup::projects,
                                     CacheGroup::packageCaches, CacheGroup::buildTools,
                                     CacheGroup::systemCaches, CacheGroup::largeBackups,
                                     CacheGroup::trash}));
  EXPECT_FALSE(h->item("/nothing"));
}

TEST(CleanerVisibleItems, AGroupOnlyMacOSFillsIsListedWhileItHoldsAnItemOrIsChosen) {
  CleanerHarness h;
  SignalCounter counter;
  int& sidebar = counter.watch(*h, &CleanerViewModel::sidebarGroupsChanged);
  CacheItemInit init;
  init.url = h.scratch + "/Library/Developer/Xcode/DerivedData/App-abc";
  init.discoveryRoot = h.scratch + "/Library/Developer/Xcode/DerivedData";
  init.group = CacheGroup::xcode;
  init.risk = RiskLevel::safe;
  init.home = h.scratch;
  const CacheItem derived(std::move(init));
  const auto listsXcode = [&] {
    const std::vector<CacheGroup> groups = h->sidebarGroups();
    return std::find(groups.begin(), groups.end(), CacheGroup::xcode) != groups.end();
  };

  h.scan({makeItem("/c/npm")});
  EXPECT_FALSE(listsXcode());
  EXPECT_EQ(sidebar, 0);  // the list is the same: nobody is told
  EXPECT_TRUE(h->coveredPaths(CacheGroup::xcode).empty());

  h.scan({makeItem("/c/npm"), derived});
  EXPECT_EQ(h->sidebarGroups().at(4), CacheGroup::xcode);  // in its place, after the build tools
  EXPECT_EQ(sidebar, 1);
  EXPECT_EQ(h->coveredPaths(CacheGroup::xcode),
            std::vector<std::string>{"~/Library/Developer/Xcode/DerivedData/*"});

  // Chosen, it stays listed when its last item goes, until another choice.
  h->setSelectedGroup(CacheGroup::xcode);
  h->exclude({derived.id});
  EXPECT_TRUE(listsXcode());
  EXPECT_TRUE(h->coveredPaths(CacheGroup::xcode).empty());
  h->setSelectedGroup(std::nullopt);
  EXPECT_FALSE(listsXcode());
  EXPECT_EQ(sidebar, 2);
}

TEST(CleanerContentState, TheFirstRuleThatHoldsDecides) {
  struct Case {
    const char* name;
    std::function<void(CleanerHarness&)> arrange;
    CleanerViewModel::ContentState state;
    std::string status;
  };
  using State = CleanerViewModel::ContentState;
  const auto item = makeItem("/c/a", CacheGroup::packageCaches, RiskLevel::safe, 2'500'000);
  const std::vector<Case> cases = {
      {"never scanned", [](CleanerHarness&) {}, State::notScanned, "Idle"},
      {"discovering", [](CleanerHarness& h) { h->rescan(true); }, State::scanning,
       "Discovering caches\u2026"},
      {"scanning a group",
       [&](CleanerHarness& h) {
         h->rescan(true);
         h.deliver(Event::Discovered{{item}, {}});
       },
       State::results, "Scanning Package caches\u2026 \u2248 2.5 MB"},
      {"scanning, the group hidden",
       [&](CleanerHarness& h) {
         h->rescan(true);
         h.deliver(Event::Discovered{{item}, {}});
         h->setSelectedGroup(CacheGroup::xcode);
       },
       State::scanning, "Scanning Package caches\u2026 \u2248 2.5 MB"},
      {"nothing found",
       [](CleanerHarness& h) { h.scan({}); }, State::nothingFound, "Idle"},
      {"unverifiable wins over results",
       [&](CleanerHarness& h) {
         h.scan({item});
         h->rescan(true);
         h.deliver(Event::InUse{InUseEvaluation{
             {{"/c/a", "cannot verify in-use state"}}, {}, {}, VerificationState::unavailable("r")}});
       },
       State::unavailable,
       "Cannot verify in-use state (r) \u2014 nothing is selectable until a rescan succeeds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CleanerHarness h;
    c.arrange(h);
    EXPECT_EQ(h->contentState(), c.state);
    EXPECT_EQ(h->statusText(), c.status);
  }
}
