#include <gtest/gtest.h>

#include <filesystem>

#include "app_model_fixture.h"

using namespace hl;
using namespace hl::test;
using namespace std::chrono_literals;

namespace {

int linesSaying(const ActivityLog& log, const std::string& message) {
  int count = 0;
  for (const ActivityEvent& event : log.events()) count += event.message == message;
  return count;
}

}  // namespace

TEST(AppModelConstruction, StartsNothingAndShowsHomeWithTheShellsFigures) {
  AppHarness app;
  EXPECT_EQ(app->page(), Page::home);
  EXPECT_EQ(app->settingsSection(), SettingsSection::general);
  EXPECT_EQ(app->topBarHeight(), 52);
  EXPECT_EQ(app->railWidth(), 72);
  EXPECT_FALSE(app->bootVolume());
  EXPECT_FALSE(app->isStarted());
  EXPECT_EQ(app.scans(), 0);
  EXPECT_EQ(app.executor->pendingJobs(), 0u);
  EXPECT_TRUE(app->activity().events().empty());
  // Both view models work over the one log, history and settings the model owns.
  EXPECT_EQ(&app.cleaner().activity(), &app->activity());
  EXPECT_EQ(&app.cleaner().history(), &app->history());
  EXPECT_EQ(&app.cleaner().settings(), &app->settings());
  EXPECT_EQ(app->history().store()->fileURL(), HistoryStore::defaultURL());
}

TEST(AppModelConstruction, ASettingThatCannotBeSavedIsReportedInTheLog) {
  AppHarness app;
  std::filesystem::create_directory(app->settings().path());
  app->settings().setShowInMenuBar(false);
  EXPECT_EQ(linesSaying(app->activity(), "Could not save settings: " + app->settings().path() +
                                             ": not a regular file"),
            1);
  EXPECT_EQ(app->activity().events().back().kind, ActivityEvent::Kind::error);
}

TEST(AppModelState, SettersNotifyOnlyOnAChange) {
  AppHarness app;
  int pages = 0, sections = 0, heights = 0, widths = 0;
  QObject::connect(&*app, &AppModel::pageChanged, [&] { ++pages; });
  QObject::connect(&*app, &AppModel::settingsSectionChanged, [&] { ++sections; });
  QObject::connect(&*app, &AppModel::topBarHeightChanged, [&] { ++heights; });
  QObject::connect(&*app, &AppModel::railWidthChanged, [&] { ++widths; });
  app->setPage(Page::home);
  app->setPage(Page::history);
  app->setPage(Page::history);
  app->setSettingsSection(SettingsSection::general);
  app->setSettingsSection(SettingsSection::excluded);
  app->setTopBarHeight(52);
  app->setTopBarHeight(60);
  app->setRailWidth(72);
  app->setRailWidth(80);
  app->setRailWidth(80);
  EXPECT_EQ((std::vector<int>{pages, sections, heights, widths}), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(app->page(), Page::history);
  EXPECT_EQ(app->settingsSection(), SettingsSection::excluded);
}

TEST(AppModelStart, RunsOnceAndOverlappingOrLaterCallsReturnAtOnce) {
  for (const bool autoScan : {true, false}) {
    SCOPED_TRACE(autoScan ? "autoScan" : "no autoScan");
    AppHarness app;
    std::filesystem::remove(HistoryStore::defaultURL());
    // A record written before start-up is what the history shows once loaded.
    HistoryEntry recorded;
    recorded.id = UUID::random();
    recorded.operationID = UUID::random();
    recorded.date = wholeSeconds(referenceDate());
    recorded.category = "Package caches";
    recorded.itemPaths = {"/h/a"};
    ASSERT_TRUE(std::holds_alternative<std::vector<HistoryEntry>>(
        HistoryStore(HistoryStore::defaultURL()).append({recorded})));

    std::vector<std::string> finished;
    app->start(autoScan, [&] { finished.push_back("first"); });
    app->start(autoScan, [&] { finished.push_back("overlapping"); });
    // The overlapping call did not wait for the history of the first.
    EXPECT_EQ(finished, std::vector<std::string>{"overlapping"});
    EXPECT_TRUE(app->isStarted());
    waitUntil([&] { return finished.size() == 2; });
    EXPECT_EQ(finished, (std::vector<std::string>{"overlapping", "first"}));
    EXPECT_EQ(app->history().entries().size(), 1u);
    app.settle();

    // Another record on disk: a later start reads nothing, scans nothing, reads no volume.
    recorded.id = UUID::random();
    HistoryStore(HistoryStore::defaultURL()).append({recorded});
    app->start(true, [&] { finished.push_back("later"); });
    EXPECT_EQ(finished.back(), "later");
    app.settle();
    QCoreApplication::processEvents();

    EXPECT_EQ(app.scans(), autoScan ? 1 : 0);
    EXPECT_EQ(linesSaying(app->activity(), "Scan started"), autoScan ? 1 : 0);
    EXPECT_EQ(app.volumeReads, 1);
    EXPECT_EQ(app->history().entries().size(), 1u);
    ASSERT_TRUE(app->bootVolume());
    EXPECT_EQ(app->bootVolume()->availableCapacity, 1000);
  }
}

TEST(AppModelWindowAppeared, RescansOnlyAStaleIdleCleanerAfterStartUp) {
  enum class Before { notStarted, neverScanned, scanned, scanning, removing };
  struct Row {
    const char* name;
    Before before;
    Seconds sinceLastScan;  // `now` is the last scan's date plus this
    bool rescans;
  };
  const std::vector<Row> rows = {
      {"before start-up", Before::notStarted, Seconds(0), false},
      {"never scanned", Before::neverScanned, Seconds(0), true},
      {"just under 600 s", Before::scanned, Seconds(599.9), false},
      {"600 s exactly", Before::scanned, Seconds(600), true},
      {"a day", Before::scanned, Seconds(86400), true},
      {"a last scan in the future", Before::scanned, Seconds(-3600), false},
      {"while scanning", Before::scanning, Seconds(86400), false},
      {"while removing", Before::removing, Seconds(86400), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    AppHarness app;
    switch (row.before) {
      case Before::notStarted:
        break;
      case Before::neverScanned:
        app.start(false);
        app.settle();
        break;
      case Before::scanned:
        app.start(false);
        app.scanTwoItems();
        break;
      case Before::scanning:
        app.start(true);
        app.settle();
        break;
      case Before::removing:
        app.start(false);
        app.removing();
        break;
    }
    const int scans = app.scans();
    const int reads = app.volumeReads;
    const Date lastScan = app.cleaner().lastScanDate().value_or(app.wall.now());
    app->windowAppeared(lastScan + std::chrono::duration_cast<Date::duration>(row.sinceLastScan));
    while (app.executor->runJob()) {
    }
    EXPECT_EQ(app.scans() - scans, row.rescans ? 1 : 0);
    EXPECT_EQ(app.volumeReads - reads, row.rescans ? 1 : 0);
    if (row.rescans) {
      EXPECT_TRUE(app.engine->at(-1).request.clearSizeCacheFirst) << "forced";
    }
  }
}

TEST(AppModelCommands, RescanFollowsThePageShownAndReadsTheVolumeAfterwards) {
  struct Row {
    Page page;
    bool folderChosenBefore;
    std::optional<std::string> userChooses;
    int cleanerScans;
    int chooserCalls;
    std::optional<std::string> scannerRoot;  // relative to the folders
  };
  const std::vector<Row> rows = {
      {Page::home, false, std::nullopt, 1, 0, std::nullopt},
      {Page::activity, false, std::nullopt, 1, 0, std::nullopt},
      {Page::history, false, std::nullopt, 1, 0, std::nullopt},
      {Page::settings, false, std::nullopt, 1, 0, std::nullopt},
      // The folder scanner without a folder asks for one; a cancelled choice scans nothing.
      {Page::search, false, "picked", 0, 1, "picked"},
      {Page::search, false, std::nullopt, 0, 1, std::nullopt},
      // With a folder it measures that folder again without asking.
      {Page::search, true, "other", 0, 0, "measured"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(rawValue(row.page)) + (row.folderChosenBefore ? " with a folder" : ""));
    AppHarness app;
    app.folders.file("measured/x.bin", 4000);
    app.folders.file("picked/y.bin", 4000);
    app.folders.file("other/z.bin", 4000);
    if (row.folderChosenBefore) app.scanFolder("measured");
    if (row.userChooses) app.chosen = app.folders / *row.userChooses;
    app->setPage(row.page);
    const int reads = app.volumeReads;
    std::vector<std::string> measured;
    QObject::connect(&app.scanner(), &ScannerViewModel::isScanningChanged, [&] {
      if (app.scanner().isScanning()) measured.push_back(app.scanner().rootURL().value_or(""));
    });

    app->rescanCurrentPage();
    app.settle();
    EXPECT_EQ(app.scans(), row.cleanerScans);
    EXPECT_EQ(app.chooserCalls, row.chooserCalls);
    EXPECT_EQ(measured, row.scannerRoot ? std::vector<std::string>{app.folders / *row.scannerRoot}
                                        : std::vector<std::string>{});
    EXPECT_EQ(app.volumeReads - reads, 1);
  }
}

TEST(AppModelCommands, SelectAllFollowsThePageShownAndTheHomeTab) {
  struct Row {
    Page page;
    HomeTab tab;
    bool can;
  };
  const std::vector<Row> rows = {
      {Page::home, HomeTab::items, true},     {Page::home, HomeTab::details, false},
      {Page::home, HomeTab::excluded, false}, {Page::search, HomeTab::items, true},
      {Page::activity, HomeTab::items, false}, {Page::history, HomeTab::items, false},
      {Page::settings, HomeTab::items, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(rawValue(row.page)) + " " + std::string(rawValue(row.tab)));
    AppHarness app;
    app.scanTwoItems();
    app.folders.file("t/a.bin", 8000);
    app.folders.file("t/b.bin", 4000);
    app.folders.file("t/c.bin", 100);
    app.policy.refusals[PathCanonical::canonical(app.folders / "t/c.bin")] = "AI tool state";
    app.scanFolder("t");
    app.cleaner().setTab(row.tab);
    int announced = 0;
    QObject::connect(&*app, &AppModel::canSelectAllOnCurrentPageChanged, [&] { ++announced; });
    app->setPage(row.page);
    if (row.page != Page::home) {
      EXPECT_EQ(announced, 1);
    }

    EXPECT_EQ(app->canSelectAllOnCurrentPage(), row.can);
    app->selectAllOnCurrentPage();
    const std::set<std::string> ticked = app.cleaner().checked();
    const std::set<std::string> selected = app.scanner().selection();
    EXPECT_EQ(ticked, row.can && row.page == Page::home
                          ? (std::set<std::string>{cleanPath(app.folders / "a"),
                                                   cleanPath(app.folders / "b")})
                          : std::set<std::string>{});
    // The scanner takes its top-level nodes that carry no refusal.
    EXPECT_EQ(selected, row.can && row.page == Page::search
                            ? (std::set<std::string>{
                                  PathCanonical::canonical(app.folders / "t/a.bin"),
                                  PathCanonical::canonical(app.folders / "t/b.bin")})
                            : std::set<std::string>{});
    // Everything selectable is selected now: nothing more to select.
    EXPECT_FALSE(app->canSelectAllOnCurrentPage());
  }
}

TEST(AppModelBusy, AnyScanOrRemovalOfEitherViewModelIsBusy) {
  enum class Work { none, cleanerScan, cleanerRemoval, folderScan };
  for (const Work work : {Work::none, Work::cleanerScan, Work::cleanerRemoval, Work::folderScan}) {
    SCOPED_TRACE(static_cast<int>(work));
    AppHarness app;
    app.folders.file("t/a.bin", 8000);
    int announced = 0;
    QObject::connect(&*app, &AppModel::isBusyChanged, [&] { ++announced; });
    switch (work) {
      case Work::none:
        break;
      case Work::cleanerScan:
        app.cleaner().rescan(true);
        break;
      case Work::cleanerRemoval:
        app.removing();
        announced = 0;
        break;
      case Work::folderScan:
        app.scanner().scan(app.folders / "t");
        break;
    }
    EXPECT_EQ(app->isBusy(), work != Work::none);
    if (work == Work::cleanerScan || work == Work::folderScan) {
      EXPECT_EQ(announced, 1);
    }
    app.settle();
    if (work == Work::cleanerScan) {
      app.engine->end();
      app.settle();
    }
    EXPECT_FALSE(app->isBusy());
    EXPECT_EQ(announced, work == Work::none ? 0 : work == Work::cleanerRemoval ? 1 : 2);
  }
}

TEST(AppModelVolume, OnlyTheLatestReadingStartedIsKept) {
  AppHarness app;
  int announced = 0;
  QObject::connect(&*app, &AppModel::bootVolumeChanged, [&] { ++announced; });

  // A reading started before a removal answers after the one started after it.
  app.freeSpace = {5000, 2000};
  app->refreshVolume();
  app->refreshVolume();
  ASSERT_TRUE(app.executor->runNewestJob());
  app.executor->runPosted();
  ASSERT_TRUE(app->bootVolume());
  EXPECT_EQ(app->bootVolume()->availableCapacity, 5000);
  ASSERT_TRUE(app.executor->runJob());
  app.executor->runPosted();
  EXPECT_EQ(app->bootVolume()->availableCapacity, 5000) << "an older reading came back last";
  EXPECT_EQ(announced, 1);

  // The same figures notify nobody; an unreadable volume is stored like any other answer.
  app.freeSpace = {5000, std::nullopt};
  app->refreshVolume();
  app.settle();
  EXPECT_EQ(announced, 1);
  app->refreshVolume();
  app.settle();
  EXPECT_FALSE(app->bootVolume());
  EXPECT_EQ(announced, 2);
}

namespace {

// The folder scanner measures "t" holding a new file `name`, removes it with a confirmation a
// second after its plan, and finishes.
void scannerRemoves(AppHarness& app, const std::string& name) {
  app.folders.file("t/" + name, 8000);
  app.scanFolder("t");
  app.scanner().requestTrash(
      std::set<std::string>{PathCanonical::canonical(app.folders / ("t/" + name))});
  app.settle();
  ASSERT_TRUE(app.scanner().pendingPlan());
  app.wall.advance(1s);
  app.scanner().confirmTrash(*app.scanner().pendingPlan());
  waitUntil([&] {
    app.settle();
    return !app.scanner().isTrashing();
  });
}

}  // namespace

TEST(AppModelVolume, BothViewModelsReadTheVolumeAgainAfterChangingTheDisk) {
  AppHarness app;
  app.removing();
  const int reads = app.volumeReads;
  app.settle();
  EXPECT_FALSE(app.cleaner().isTrashing());
  EXPECT_EQ(app.volumeReads - reads, 1);

  scannerRemoves(app, "a.bin");
  ASSERT_EQ(app.scannerTrash.calls.size(), 1u);
  EXPECT_EQ(app.volumeReads - reads, 2);
}

// Whenever anything was moved to the Trash, by the cleaner or the folder scanner, the Trash row
// is measured again and shows what the Trash holds now, its cached size dropped first.
TEST(AppModelVolume, EveryMoveToTheTrashMeasuresTheTrashRowAgain) {
  AppHarness app;
  const CacheItem trashRow =
      app.item(".local/share/Trash", 500, CacheGroup::trash, RiskLevel::review);
  app.scanCleaner({app.item("a", 100), app.item("b", 100), trashRow});
  const auto forgetsOfTheTrash = [&] {
    return std::count(app.engine->forgotten.begin(), app.engine->forgotten.end(),
                      std::vector<std::string>{trashRow.id});
  };
  const auto measuresOfTheTrash = [&] {
    return std::count(app.engine->measured.begin(), app.engine->measured.end(), trashRow.id);
  };
  const auto cleanerRemoves = [&](const std::string& relative) {
    app.cleaner().setChecked(cleanPath(app.folders / relative), true);
    app.cleaner().requestTrash();
    app.settle();
    ASSERT_TRUE(app.cleaner().pendingPlan());
    const TrashPlan plan = *app.cleaner().pendingPlan();
    app.cleaner().confirmTrash(plan, plan.createdAt + 1s);
    app.settle();
  };
  const auto trashShown = [&] { return app.cleaner().item(trashRow.id)->size; };

  app->settings().setDeleteImmediately(true);
  cleanerRemoves("a");
  scannerRemoves(app, "x.bin");
  EXPECT_EQ(forgetsOfTheTrash(), 0);
  EXPECT_EQ(measuresOfTheTrash(), 0);
  EXPECT_EQ(trashShown(), 500);
  app->settings().setDeleteImmediately(false);
  app.engine->measurements[trashRow.id] = test::measured(600);
  cleanerRemoves("b");
  EXPECT_EQ(forgetsOfTheTrash(), 1);
  EXPECT_EQ(measuresOfTheTrash(), 1);
  EXPECT_EQ(trashShown(), 600);
  app.engine->measurements[trashRow.id] = test::measured(4600);
  scannerRemoves(app, "y.bin");
  EXPECT_EQ(forgetsOfTheTrash(), 2);
  EXPECT_EQ(measuresOfTheTrash(), 2);
  EXPECT_EQ(trashShown(), 4600);
  EXPECT_EQ(app.cleaner().totalFound(), 4600);
}
