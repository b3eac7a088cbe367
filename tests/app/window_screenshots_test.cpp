// The whole window on each page, over a fake home scanned through the harness's fakes, in a
// light and a dark palette, saved for a look at what was built.

#include <gtest/gtest.h>

#include "application_harness.h"
#include "views/screenshot_support.h"
#include "views/home/home_main_view.h"
#include "views/home/items_table.h"
#include "views/shell/root_view.h"
#include "views/shell/status_bar.h"
#include "views/shell/window_sizing.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

CacheItem homeItem(test::ProgramHarness& h, const std::string& relative, const std::string& name,
                   CacheGroup group, RiskLevel risk, std::int64_t size) {
  CacheItemInit init;
  init.url = h.folders / relative;
  init.name = name;
  init.group = group;
  init.risk = risk;
  init.home = h.folders.path();
  CacheItem item(std::move(init));
  item.size = size;
  return item;
}

// What a developer's home holds after some months of work.
void fill(test::ProgramHarness& h) {
  h.volumeName = "Macintosh HD";
  h.volumeCapacity = 494'380'000'000;
  h.volumeFree = 61'230'000'000;
  h->refreshVolume();

  std::vector<CacheItem> items = {
      homeItem(h, ".npm/_cacache", "npm cache", CacheGroup::packageCaches, RiskLevel::safe,
               4'812'000'000),
      homeItem(h, ".cache/pip", "pip cache", CacheGroup::packageCaches, RiskLevel::safe,
               1'204'000'000),
      homeItem(h, ".cache/go-build", "Go build cache", CacheGroup::buildTools, RiskLevel::safe,
               3'377'000'000),
      homeItem(h, ".gradle/caches", "Gradle caches", CacheGroup::buildTools,
               RiskLevel::moderate, 6'020'000'000),
      homeItem(h, "code/site/node_modules", "node_modules", CacheGroup::projects,
               RiskLevel::moderate, 912'000'000),
      homeItem(h, "code/api/target", "target", CacheGroup::projects, RiskLevel::moderate,
               7'408'000'000),
      homeItem(h, "code/app/.claude/worktrees/feature-login", "feature-login",
               CacheGroup::aiWorktrees, RiskLevel::moderate, 1'733'000'000),
      homeItem(h, "Backups/phone-2023.tar", "phone-2023.tar", CacheGroup::largeBackups,
               RiskLevel::review, 21'400'000'000),
      homeItem(h, ".local/share/Trash", "Trash", CacheGroup::trash, RiskLevel::review,
               2'950'000'000),
      homeItem(h, ".cache/thumbnails", "Thumbnails", CacheGroup::systemCaches, RiskLevel::safe,
               388'000'000),
  };
  h.scanCleaner(items);
  h.cleaner().setChecked(cleanPath(h.folders / ".npm/_cacache"), true);
  h.cleaner().setChecked(cleanPath(h.folders / ".cache/go-build"), true);

  const Date now = h.wall.clock()();
  h->history().setEntries(
      {HistoryEntry::make(UUID::random(), now - 72h, "Package caches",
                          {h.folders / ".cache/yarn"}, 2'140'000'000, {}, "Home", false),
       HistoryEntry::make(UUID::random(), now - 26h, "Projects",
                          {h.folders / "code/old/node_modules", h.folders / "code/old/dist"},
                          640'000'000, {}, "Quick Clean", false),
       HistoryEntry::make(UUID::random(), now - 3h, "AI worktrees",
                          {h.folders / "code/app/.claude/worktrees/fix-nav"}, 480'000'000, {},
                          "Home", true)});
  h->activity().log(ActivityEvent::Kind::cleanup, "Moved 2 items to the Trash (640 MB).");
  h->activity().log(ActivityEvent::Kind::tool, "Running npm cache verify");

  // A folder for the folder scanner.
  for (const auto& [file, size] : std::vector<std::pair<std::string, std::int64_t>>{
           {"Downloads/datasets/train.parquet", 3'200'000},
           {"Downloads/datasets/test.parquet", 900'000},
           {"Downloads/installers/toolchain.tar.xz", 2'400'000},
           {"Downloads/videos/talk.mp4", 4'100'000},
           {"Downloads/notes.pdf", 350'000},
           {"Downloads/photos/IMG_0001.jpg", 620'000},
           {"Downloads/photos/IMG_0002.jpg", 580'000}}) {
    h.folders.file(file, size);
  }
  h.scanFolder("Downloads");
  h.settle();
  // The last scan was a few minutes ago.
  h.wall.advance(4min);
}

TEST(WindowScreenshots, EveryPageOfTheWholeWindowInLightAndDark) {
  for (const auto& [palette, suffix] : test::lightAndDark()) {
    const test::AppPalette applied(palette);
    test::ProgramHarness h;
    ASSERT_TRUE(h.launch());
    fill(h);
    h.window().resize(1320, 820);
    for (Page page : allPages) {
      h->setPage(page);
      // As the bar's ticker does: the line follows the clock, which moved on since the scan.
      h.window().rootView()->statusBar()->refresh();
      QApplication::processEvents();
      const QImage image = test::grabSettled(h.window());
      EXPECT_EQ(image.size() / image.devicePixelRatio(), QSize(1320, 820));
      test::saveScreenshot(image, QStringLiteral("window-%1-%2")
                                      .arg(QString::fromLatin1(id(page).data(), id(page).size()),
                                           QLatin1String(suffix)));
    }
    // At the smallest size the columns narrow and everything still fits.
    h->setPage(Page::home);
    h.window().resize(1040, 680);
    QApplication::processEvents();
    test::saveScreenshot(test::grabSettled(h.window()),
                         QStringLiteral("window-smallest-%1").arg(QLatin1String(suffix)));
    h->setPage(Page::history);
    QApplication::processEvents();
    test::saveScreenshot(test::grabSettled(h.window()),
                         QStringLiteral("window-smallest-history-%1").arg(QLatin1String(suffix)));
    h->setPage(Page::home);
    QApplication::processEvents();
    // With no band kept for a title bar, seven rows of the table show in the smallest window.
    ItemsListView* list = static_cast<HomeMainView*>(h.window().rootView()->mainView(Page::home))
                              ->table()
                              ->listView();
    int shown = 0;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
      if (list->visualRect(list->model()->index(row, 0)).top() < list->viewport()->height()) {
        ++shown;
      }
    }
    EXPECT_GE(shown, 7);
  }
}

// The smallest window after the npm cache went to the Trash from the sheet: the Trash row, its
// group and the totals show what the Trash holds now, before any rescan.
TEST(WindowScreenshots, TheTrashFigureAfterAMoveToTheTrashInLightAndDark) {
  for (const auto& [palette, suffix] : test::lightAndDark()) {
    const test::AppPalette applied(palette);
    test::ProgramHarness h;
    ASSERT_TRUE(h.launch());
    fill(h);
    h.window().resize(WindowSizing::minimumSize);
    const std::string trash = cleanPath(h.folders / ".local/share/Trash");
    const std::string npm = cleanPath(h.folders / ".npm/_cacache");
    h.engine->measurements[trash] = test::measured(2'950'000'000 + 4'812'000'000, 5214);
    h.cleaner().deselectAll();
    h.cleaner().setChecked(npm, true);
    h.cleaner().requestTrash();
    h.settle();
    ASSERT_TRUE(h.cleaner().pendingPlan());
    const TrashPlan plan = *h.cleaner().pendingPlan();
    h.cleaner().confirmTrash(plan, plan.createdAt + 1s);
    h.settle();
    h.cleaner().setResultMessage(std::nullopt);
    h.settle();
    ASSERT_EQ(h.cleaner().item(trash)->size, 7'762'000'000);
    EXPECT_FALSE(h.cleaner().item(npm));
    h.cleaner().setSelectedGroup(CacheGroup::trash);
    QApplication::processEvents();
    test::saveScreenshot(test::grabSettled(h.window()),
                         QStringLiteral("window-smallest-trash-after-removal-%1")
                             .arg(QLatin1String(suffix)));
    h.cleaner().setSelectedGroup(std::nullopt);
    QApplication::processEvents();
    test::saveScreenshot(test::grabSettled(h.window()),
                         QStringLiteral("window-smallest-all-after-removal-%1")
                             .arg(QLatin1String(suffix)));
  }
}

}  // namespace
}  // namespace hl
