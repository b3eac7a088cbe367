#include <gtest/gtest.h>

#include "cleaner_harness.h"

using namespace hl;
using namespace hl::test;
using Event = CacheScanEvent;
using Bulk = CleanerViewModel::BulkCheckState;
using Ids = std::set<std::string>;

namespace {

// Six rows in display order r1…r6 (sizes 6…1); r3 is review-only and can never be ticked.
struct Rows : CleanerHarness {
  Rows() {
    std::vector<CacheItem> items;
    for (int i = 1; i <= 6; ++i) {
      items.push_back(makeItem("/r/r" + std::to_string(i), CacheGroup::packageCaches,
                               i == 3 ? RiskLevel::review : RiskLevel::safe, 7 - i));
    }
    scan(items);
  }
  static std::string row(int i) { return "/r/r" + std::to_string(i); }
};

}  // namespace

TEST(CleanerCheckMarks, OnlySelectableItemsChangeEitherWay) {
  CacheItem busy = makeItem("/c/busy");
  CacheItem virtualRow = makeItem("/c/v");
  virtualRow.id = "virtual:simulators";
  virtualRow.kind = ItemKind::virtual_;
  CacheItem reportOnly = makeItem("/c/report");
  reportOnly.isReportOnly = true;
  CacheItem review = makeItem("/c/review", CacheGroup::trash, RiskLevel::review);
  CleanerHarness h;
  h.scan({busy, virtualRow, reportOnly, review, makeItem("/c/free")});
  h->setChecked("/c/busy", true);
  h->setChecked("/c/free", true);
  ASSERT_EQ(h->checked(), (Ids{"/c/busy", "/c/free"}));
  h->rescan(true);
  h.deliver(Event::InUse{InUseEvaluation{{{"/c/busy", "open by vim"}}, {}, {}, {}}});
  // The scan's pruning withdrew the mark; a stale id left in the set never shows a tick either.
  EXPECT_EQ(h->checked(), Ids{"/c/free"});
  for (const std::string id : {"virtual:simulators", "/c/report", "/c/review", "/c/busy"}) {
    SCOPED_TRACE(id);
    h->setChecked(id, true);
    h->setChecked(id, true, true);
    EXPECT_FALSE(h->isChecked(id));
    EXPECT_EQ(h->checked(), Ids{"/c/free"});
  }
  h->setChecked("/unknown", true);
  EXPECT_EQ(h->checked(), Ids{"/c/free"});
  EXPECT_TRUE(h->isChecked("/c/free"));
}

TEST(CleanerCheckMarks, ShiftClicksApplyTheClickedStateToTheRangeFromTheAnchor) {
  struct Click {
    int row;
    bool tick;
    bool shift;
  };
  struct Case {
    const char* name;
    std::vector<Click> clicks;
    Ids checked;
  };
  const std::vector<Case> cases = {
      {"shift without an anchor is a plain click", {{4, true, true}}, {Rows::row(4)}},
      {"anchor on 2, shift-tick 5 skips the review row",
       {{2, true, false}, {5, true, true}},
       {Rows::row(2), Rows::row(4), Rows::row(5)}},
      {"then shift-untick the ticked row 1 unticks 1 to 5",
       {{1, true, false}, {6, true, false}, {2, true, false}, {5, true, true},
        {1, false, true}},
       {Rows::row(6)}},
      {"shift on the anchor itself", {{4, true, false}, {4, false, true}}, {}},
      {"upwards", {{5, true, false}, {2, true, true}},
       {Rows::row(2), Rows::row(4), Rows::row(5)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rows h;
    for (const Click& click : c.clicks) h->setChecked(Rows::row(click.row), click.tick, click.shift);
    EXPECT_EQ(h->checked(), c.checked);
  }

  // An anchor that is no longer visible makes the next shift-click act on its row alone.
  Rows h;
  h->setChecked(Rows::row(2), true, false);
  h.settings.setExcludedPaths({Rows::row(2)});
  h->setChecked(Rows::row(5), true, true);
  EXPECT_EQ(h->checked(), (Ids{Rows::row(2), Rows::row(5)}));
}

TEST(CleanerCheckMarks, TheHeaderBoxFollowsTheVisibleSelectableRows) {
  Rows h;
  EXPECT_EQ(h->visibleCheckState(), Bulk::none);
  EXPECT_TRUE(h->canSelectAllVisible());
  h->setChecked(Rows::row(1), true);
  EXPECT_EQ(h->visibleCheckState(), Bulk::mixed);
  h->toggleAllVisible();  // mixed → all
  EXPECT_EQ(h->visibleCheckState(), Bulk::all);
  EXPECT_EQ(h->checked().size(), 5u);  // never the review row
  EXPECT_FALSE(h->canSelectAllVisible());
  h->toggleAllVisible();  // all → none
  EXPECT_EQ(h->visibleCheckState(), Bulk::none);
  EXPECT_FALSE(h->canDeselect());
  // A group with only rows that cannot be ticked has nothing to select.
  h->setSelectedGroup(CacheGroup::trash);
  EXPECT_EQ(h->visibleCheckState(), Bulk::none);
  EXPECT_FALSE(h->canSelectAllVisible());
}

TEST(CleanerCheckMarks, BulkSelectionsStayWithinTheirScope) {
  const Date now = referenceDate();
  CacheItem safe = makeItem("/c/safe", CacheGroup::packageCaches, RiskLevel::safe, 10);
  CacheItem sixDays = makeItem("/c/six-days", CacheGroup::packageCaches, RiskLevel::safe, 10);
  CacheItem moderate = makeItem("/c/moderate", CacheGroup::packageCaches, RiskLevel::moderate, 10);
  CacheItem unsized = makeItem("/c/unsized", CacheGroup::packageCaches);
  CacheItem otherGroup = makeItem("/c/other", CacheGroup::buildTools, RiskLevel::safe, 10);
  CacheItem project = makeItem("/p/project", CacheGroup::projects, RiskLevel::moderate, 10);
  project.projectModified = now - 90 * 24h;
  CleanerHarness h;
  h.scan({safe, sixDays, moderate, unsized, otherGroup, project});
  h->rescan(true);
  h.deliver(Event::ItemSized{"/c/six-days", measured(10, 1, now - 6 * 24h)});
  h.endRun();

  h->setSelectedGroup(CacheGroup::packageCaches);
  EXPECT_TRUE(h->canSelectSafe());
  h->selectAllSafe();
  EXPECT_EQ(h->checked(), Ids{"/c/safe"});
  EXPECT_FALSE(h->canSelectSafe());

  h->setChecked("/c/moderate", true);
  h->setSelectedGroup(CacheGroup::projects);
  h->setChecked("/p/project", true);
  h->deselectAll();  // only the projects group's rows
  EXPECT_EQ(h->checked(), (Ids{"/c/safe", "/c/moderate"}));

  h->selectAllReclaimable();  // every group's safe items, and only those
  EXPECT_EQ(h->selectedGroup(), std::nullopt);
  EXPECT_EQ(h->checked(), (Ids{"/c/safe", "/c/other"}));
  EXPECT_EQ(h->checkedSize(), 20);
}

TEST(CleanerCheckMarks, ExcludeCopyAndReveal) {
  CacheItem aggregate = makeItem("/c/agg");
  aggregate.id = "aggregate:two";
  aggregate.members = {"/c/m/b", "/c/m/a"};
  CacheItem virtualRow = makeItem("/c/v");
  virtualRow.id = "virtual:snapshots";
  virtualRow.kind = ItemKind::virtual_;
  CleanerHarness h;
  h.scan({makeItem("/c/z"), aggregate, virtualRow, makeItem("/c/folder")});
  h->setChecked("/c/folder", true);
  h->setTableSelection({"/c/folder", "virtual:snapshots", "/c/z"});

  h->copyPaths({"aggregate:two", "/c/z", "virtual:snapshots", "/unknown"});
  h->copyPaths({"virtual:snapshots"});
  EXPECT_EQ(h.desktop->copied,
            (std::vector<std::string>{"/c/m/a\n/c/m/b\n/c/z", ""}));

  h->revealInFinder(std::vector<std::string>{"/c/z", "virtual:snapshots", "aggregate:two"});
  h->revealInFinder(std::vector<std::string>{"virtual:snapshots"});
  EXPECT_EQ(h.desktop->revealed,
            (std::vector<std::vector<std::string>>{{"/c/z", "/c/agg"}}));
  // Nothing could open the folder: the Activity log says so.
  EXPECT_TRUE(h.logged(ActivityEvent::Kind::error).empty());
  h.desktop->unopened = {"/c"};
  h->revealInFinder(std::vector<std::string>{"/c/z"});
  EXPECT_EQ(h.logged(ActivityEvent::Kind::error),
            std::vector<std::string>{
                "Could not open the folder /c: no program that opens folders was found"});

  h->exclude({"virtual:snapshots", "/c/folder"});
  EXPECT_EQ(h.settings.excludedPaths(), std::vector<std::string>{"/c/folder"});
  EXPECT_TRUE(h->checked().empty());
  EXPECT_EQ(h->tableSelection(), Ids{"/c/z"});
  EXPECT_EQ(h.logged().back(), "Excluded 2 path(s)");
  EXPECT_FALSE(h->item("/c/folder") && h->isChecked("/c/folder"));
  EXPECT_EQ(h->includedItems().size(), 3u);
}
