#include <gtest/gtest.h>

#include <QLabel>

#include "models/volume_info.h"
#include "shell_harness.h"
#include "views/pages/page_dates.h"
#include "views/shared/elided_label.h"
#include "views/shared/panel_section.h"
#include "views/shared/size_bar.h"
#include "views/shell/right_panel.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using test::ShellHarness;

struct Panel : ShellHarness {
  RightPanel panel{*model};
  Panel() {
    panel.resize(260, 800);
    panel.show();
    QApplication::processEvents();
  }
};

TEST(RightPanel, TheFourSectionsInOrderWithTheirTitles) {
  Panel p;
  std::vector<QString> titles;
  for (PanelSection* section : {p.panel.diskSection(), p.panel.reclaimableSection(),
                                p.panel.largestSection(), p.panel.lastCleanupSection()}) {
    titles.push_back(section->titleLabel()->text());
  }
  EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("DISK"), QStringLiteral("RECLAIMABLE"),
                                          QStringLiteral("LARGEST ITEMS"),
                                          QStringLiteral("LAST CLEANUP")}));
  // Only "Reclaimable" explains itself.
  EXPECT_FALSE(p.panel.diskSection()->infoSymbol());
  ASSERT_TRUE(p.panel.reclaimableSection()->infoSymbol());
  EXPECT_TRUE(p.panel.reclaimableSection()->infoSymbol()->accessibleName().startsWith(
      QStringLiteral("Total found includes review, report-only and in-use items;")));
  EXPECT_FALSE(p.panel.largestSection()->infoSymbol());
  EXPECT_FALSE(p.panel.lastCleanupSection()->infoSymbol());
}

TEST(RightPanel, DiskFiguresAndTheBarsTint) {
  struct Row {
    std::int64_t total;
    std::int64_t available;
    const char* used;
    double fraction;
    bool red;
  };
  const Row rows[] = {
      {10'000, 1'000, "9 KB used", 0.9, false},  // exactly nine tenths: still the accent
      {10'000, 999, "9 KB used", 0.9001, true},
      {10'000, 10'000, "0 bytes used", 0, false},
      {0, 0, "0 bytes used", 0, false},            // no capacity: an empty bar
      {10'000, 12'000, "0 bytes used", 0, false},  // more free than total: nothing used
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.used + std::to_string(row.total) + "/" + std::to_string(row.available));
    Panel p;
    EXPECT_TRUE(p.panel.diskUnavailableLabel()->isVisible());
    EXPECT_EQ(p.panel.diskUnavailableLabel()->text(), QStringLiteral("Unavailable"));
    EXPECT_FALSE(p.panel.volumeNameLabel()->isVisible());

    p.readBootVolumeAs(row.total, row.available);
    EXPECT_FALSE(p.panel.diskUnavailableLabel()->isVisible());
    EXPECT_EQ(p.panel.volumeNameLabel()->text(), QStringLiteral("Disk"));
    EXPECT_EQ(p.panel.usedLabel()->text().toStdString(), row.used);
    EXPECT_NEAR(p.panel.diskBar()->fraction(), row.fraction, 1e-9);
    EXPECT_EQ(VolumeInfo::isNearlyFull(p.panel.diskBar()->fraction()), row.red);
  }
  Panel p;
  p.readBootVolumeAs(500'000'000'000, 123'400'000'000);
  EXPECT_EQ(p.panel.freeLabel()->text(), QStringLiteral("123.4 GB free"));
  EXPECT_EQ(p.panel.usedLabel()->text(), QStringLiteral("376.6 GB used"));
  EXPECT_EQ(p.panel.totalLabel()->text(), QStringLiteral("500 GB total"));
}

TEST(RightPanel, ReclaimableShowsAPlaceholderOnlyWhileAScanHasNoItemsYet) {
  Panel p;
  // Before any scan: the rows, at zero.
  EXPECT_FALSE(p.panel.reclaimablePlaceholder()->isVisible());
  EXPECT_EQ(p.panel.totalFoundValue()->text(), QStringLiteral("≈ 0 bytes"));

  p.cleaner().rescan(true);
  EXPECT_TRUE(p.panel.reclaimablePlaceholder()->isVisible());
  EXPECT_FALSE(p.panel.reclaimableRows()->isVisible());
  EXPECT_EQ(p.panel.largestEmptyLabel()->text(), QStringLiteral("Measuring…"));

  // Items of any group end the placeholder while the scan goes on.
  p.engine->send(CacheScanEvent::Discovered{
      {p.item("a", 2'000'000), p.item("b", 500'000, CacheGroup::projects, RiskLevel::review)},
      {}});
  p.settle();
  ASSERT_TRUE(p.cleaner().isScanning());
  EXPECT_FALSE(p.panel.reclaimablePlaceholder()->isVisible());
  EXPECT_TRUE(p.panel.reclaimableRows()->isVisible());
  EXPECT_EQ(p.panel.totalFoundValue()->text(), QStringLiteral("≈ 2.5 MB"));
  EXPECT_EQ(p.panel.reclaimableValue()->text(), QStringLiteral("≈ 2 MB"));
  EXPECT_EQ(p.panel.selectedValue()->text(), QStringLiteral("0 bytes"));

  p.cleaner().setChecked(cleanPath(p.folders / "a"), true);
  EXPECT_EQ(p.panel.selectedValue()->text(), QStringLiteral("2 MB"));
  p.engine->end();
  p.settle();
}

TEST(RightPanel, LargestItemsListTheSelectableOnesAndLeadIntoTheTable) {
  Panel p;
  EXPECT_EQ(p.panel.largestEmptyLabel()->text(), QStringLiteral("Nothing found yet"));
  EXPECT_TRUE(p.panel.largestEmptyLabel()->isVisible());

  std::vector<CacheItem> items;
  for (int i = 1; i <= 7; ++i) items.push_back(p.item("cache" + std::to_string(i), i * 1000));
  items.push_back(p.item("review", 90'000, CacheGroup::largeBackups, RiskLevel::review));
  // A project touched today: the Projects group's "Stale" filter hides it.
  items.push_back(p.item("build", 8000, CacheGroup::projects, RiskLevel::moderate));
  items.back().projectModified = test::referenceDate();
  p.scanCleaner(items);
  EXPECT_FALSE(p.panel.largestEmptyLabel()->isVisible());
  std::vector<std::string> shown;
  for (LargestItemRow* row : p.panel.largestRows()) {
    shown.push_back(row->nameLabel()->text().toStdString() + " | " +
                    row->groupLabel()->text().toStdString() + " | " +
                    row->sizeLabel()->text().toStdString());
  }
  EXPECT_EQ(shown, (std::vector<std::string>{
                       "build | Projects | 8 KB", "cache7 | Package caches | 7 KB",
                       "cache6 | Package caches | 6 KB", "cache5 | Package caches | 5 KB",
                       "cache4 | Package caches | 4 KB"}));
  const std::string build = cleanPath(p.folders / "build");
  EXPECT_EQ(p.panel.largestRows().front()->itemID(), build);
  EXPECT_TRUE(p.panel.largestRows().front()->accessibleName().startsWith(QStringLiteral("build, Projects")));

  // From another page, on the Details tab, with a group chosen and something ticked.
  const std::string ticked = cleanPath(p.folders / "cache1");
  p.cleaner().setChecked(ticked, true);
  p.cleaner().setSelectedGroup(CacheGroup::packageCaches);
  p.cleaner().setTab(HomeTab::details);
  p->setPage(Page::history);
  p.panel.largestRows().front()->click();
  EXPECT_EQ(p->page(), Page::home);
  EXPECT_EQ(p.cleaner().selectedGroup(), CacheGroup::projects);
  EXPECT_EQ(p.cleaner().tab(), HomeTab::items);
  EXPECT_EQ(p.cleaner().tableSelection(), std::set<std::string>{build});
  EXPECT_EQ(p.cleaner().checked(), std::set<std::string>{ticked});
  // The filter went to "All" so that the row shows.
  EXPECT_TRUE(p.cleaner().showAllProjects());
  EXPECT_EQ(p.cleaner().visibleIDs(), std::vector<std::string>{build});
  QApplication::processEvents();

  // A stale project shows under "Stale": the filter stays.
  p.cleaner().setShowAllProjects(false);
  std::vector<CacheItem> stale = p.cleaner().items();
  for (CacheItem& item : stale) {
    if (item.id == build) item.projectModified = test::referenceDate() - std::chrono::days(90);
  }
  p.scanCleaner(stale);
  p.panel.largestRows().front()->click();
  EXPECT_FALSE(p.cleaner().showAllProjects());
  EXPECT_EQ(p.cleaner().visibleIDs(), std::vector<std::string>{build});
  QApplication::processEvents();
}

TEST(RightPanel, LastCleanupCountsEveryRecordOfTheNewestOperation) {
  Panel p;
  EXPECT_TRUE(p.panel.neverLabel()->isVisible());
  EXPECT_EQ(p.panel.neverLabel()->text(), QStringLiteral("Never"));

  const Date when = test::referenceDate();
  const UUID older = UUID::random();
  const UUID newest = UUID::random();
  p->history().setEntries(
      {HistoryEntry::make(older, when - 48h, "Projects", {"/p"}, 5'000'000'000, {}, "Home", true),
       HistoryEntry::make(newest, when, "Package caches", {"/a"}, 1'000'000'000, {}, "Home", false),
       HistoryEntry::make(newest, when, "Build tools", {"/b"}, 200'000'000, {}, "Home", false)});
  EXPECT_FALSE(p.panel.neverLabel()->isVisible());
  EXPECT_EQ(p.panel.cleanupDateLabel()->text(), PageDates::abbreviated(when));
  EXPECT_EQ(p.panel.cleanupBytesLabel()->text(), QStringLiteral("1.2 GB moved to Trash"));

  p->history().setEntries(
      {HistoryEntry::make(newest, when, "Package caches", {"/a"}, 1'000'000'000, {}, "Home", false),
       HistoryEntry::make(newest, when, "Build tools", {"/b"}, 200'000'000, {}, "Home", true)});
  EXPECT_EQ(p.panel.cleanupBytesLabel()->text(), QStringLiteral("1.2 GB deleted permanently"));
}

}  // namespace
}  // namespace hl
