// The whole cleaning flow through the application model, with real threads, the real scan
// engine, in-use detection, trash service and history file over this test process's fake home.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

#include "app/composition/real_services.h"
#include "app_model_fixture.h"
#include "platform/trash_folders.h"
#include "support/ordinary_user.h"

using namespace hl;
using namespace hl::test;
using namespace std::chrono_literals;

namespace {

// The application model as the program wires it, except that removals pass an open gate (the
// test host closes the program's) and the wall clock is the test's: it runs ten days ahead, so
// what the test writes now is no longer recent, and it moves only when the test moves it.
struct RealApp {
  std::string home = homeDirectory();
  ManualWallClock wall{systemWallClock()() + std::chrono::hours(24 * 10)};
  std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
  std::unique_ptr<AppModel> model;
  // One package cache and one system cache: two categories.
  std::string pip = home + "/.cache/pip";
  std::string logs = home + "/Library/Logs/demo";

  RealApp() {
    // The history file is this test process's: an earlier test's removal must not count here.
    std::filesystem::remove(HistoryStore::defaultURL());
    writeFile(pip + "/http/blob", 12000);
    writeFile(logs + "/run.log", 20000);
    // Something in the Trash already, so that the scan lists its row.
    writeFile(TrashFolders::homeTrash() + "/files/earlier.bin", 9000);
    // The program's own services over this test's home, its gate open: this test means to remove.
    AppModelDependencies dependencies;
    dependencies.wallClock = wall.clock();
    dependencies.desktop = desktop;
    dependencies.readBootVolume = CompositionRoot::bootVolumeReader();
    dependencies.historyStore = CompositionRoot::historyStore();
    dependencies.cleaner = CompositionRoot::cleanerServices(home, DestructiveGate::open());
    dependencies.scanner = CompositionRoot::scannerServices(home, DestructiveGate::open());
    dependencies.scanner.clock = wall.clock();
    model = std::make_unique<AppModel>(
        std::make_unique<SettingsStore>(SettingsStore::standardDefaults()),
        std::move(dependencies));
  }

  CleanerViewModel& cleaner() { return model->cleaner(); }
  std::set<std::string> planted() const { return {cleanPath(pip), cleanPath(logs)}; }

  // Start-up with the automatic scan, until the scan has ended, the history is loaded and the
  // boot volume was read.
  void startUp() {
    bool loaded = false;
    model->start(true, [&] { loaded = true; });
    EXPECT_TRUE(cleaner().isScanning());
    waitUntil([&] {
      return loaded && cleaner().hasScanned() && !cleaner().isScanning() && model->bootVolume();
    });
  }

  // What the Trash holds, counted without the program: the blocks of everything but folders.
  static std::int64_t inTheTrash() {
    std::int64_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TrashFolders::homeTrash())) {
      struct stat info {};
      if (::lstat(entry.path().c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        total += static_cast<std::int64_t>(info.st_blocks) * 512;
      }
    }
    return total;
  }

  // The Trash row shows what the Trash holds now, without a rescan.
  void expectTheTrashRowMeasuredAgain() {
    const auto scansStarted = [&] {
      return std::count_if(model->activity().events().begin(), model->activity().events().end(),
                           [](const ActivityEvent& event) {
                             return event.message == "Scan started" ||
                                    event.message == "Refreshing items";
                           });
    };
    const auto before = scansStarted();
    const std::string id = cleanPath(TrashFolders::homeTrash());
    ASSERT_TRUE(cleaner().item(id));
    waitUntil([&] { return cleaner().item(id)->size == inTheTrash(); });
    EXPECT_EQ(cleaner().item(id)->size, inTheTrash());
    EXPECT_GT(inTheTrash(), 9000 + 12000 + 20000);
    EXPECT_EQ(scansStarted(), before);
  }

  // `trigger` as the history file stores it, `shown` as the activity lines name it.
  void expectInTheTrashAndRecorded(const std::string& trigger, const std::string& shown) {
    const std::string trash = TrashFolders::homeTrash();
    for (const std::string& path : {pip, logs}) EXPECT_FALSE(existsNoFollow(path)) << path;
    EXPECT_TRUE(existsNoFollow(trash + "/files/pip"));
    EXPECT_TRUE(existsNoFollow(trash + "/files/demo"));
    EXPECT_TRUE(existsNoFollow(trash + "/info/demo.trashinfo"));
    for (const std::string& id : planted()) EXPECT_FALSE(cleaner().item(id)) << id;

    // One record per category, sharing the operation, in the file as on the page.
    const auto stored = HistoryStore(HistoryStore::defaultURL()).load();
    const auto* entries = std::get_if<std::vector<HistoryEntry>>(&stored);
    ASSERT_TRUE(entries);
    EXPECT_EQ(*entries, model->history().entries());
    ASSERT_EQ(entries->size(), 2u);
    std::map<std::string, std::vector<std::string>> byCategory;
    for (const HistoryEntry& entry : *entries) {
      EXPECT_EQ(entry.trigger, trigger);
      EXPECT_EQ(entry.operationID, entries->front().operationID);
      EXPECT_TRUE(entry.failures.empty());
      EXPECT_FALSE(entry.permanent);
      byCategory[entry.category] = entry.itemPaths;
    }
    EXPECT_EQ(byCategory, (std::map<std::string, std::vector<std::string>>{
                              {"Package caches", {cleanPath(pip)}},
                              {"System caches", {cleanPath(logs)}}}));

    std::vector<std::string> scans;
    std::vector<std::string> cleanups;
    for (const ActivityEvent& event : model->activity().events()) {
      if (event.kind == ActivityEvent::Kind::scan) scans.push_back(event.message);
      if (event.kind == ActivityEvent::Kind::cleanup) cleanups.push_back(event.message);
      if (event.kind == ActivityEvent::Kind::error) ADD_FAILURE() << event.message;
    }
    ASSERT_FALSE(scans.empty());
    EXPECT_EQ(scans.front(), "Scan started");
    ASSERT_EQ(cleanups.size(), 2u);
    EXPECT_TRUE(cleanups[0].starts_with(shown + ": 2 items, ")) << cleanups[0];
    EXPECT_TRUE(cleanups[0].ends_with(" moved to the Trash")) << cleanups[0];
    EXPECT_TRUE(cleanups[1].starts_with("Cleaned 2 items (")) << cleanups[1];
  }
};

}  // namespace

TEST(AppModelEndToEnd, StartUpScansTicksPlansConfirmsASecondLaterAndRecords) {
  RealApp app;
  CleanerViewModel& cleaner = app.cleaner();
  app.startUp();
  for (const std::string& id : app.planted()) {
    ASSERT_TRUE(cleaner.item(id)) << id;
    ASSERT_TRUE(cleaner.item(id)->isSelectable()) << id;
    cleaner.setChecked(id, true);
  }

  cleaner.requestTrash();
  waitUntil([&] { return !cleaner.isPreparingTrash(); });
  ASSERT_TRUE(cleaner.pendingPlan()) << cleaner.resultMessage().value_or("");
  const TrashPlan plan = *cleaner.pendingPlan();
  EXPECT_EQ(plan.items.size(), 2u);
  EXPECT_EQ(plan.createdAt, app.wall.now());

  // Within the second the confirmation is ignored; a second later it removes.
  app.wall.advance(999ms);
  cleaner.confirmTrash(plan, app.wall.now());
  EXPECT_FALSE(cleaner.isTrashing());
  EXPECT_TRUE(cleaner.pendingPlan());
  app.wall.advance(1ms);
  cleaner.confirmTrash(plan, app.wall.now());
  ASSERT_TRUE(cleaner.isTrashing());
  EXPECT_TRUE(app.model->isBusy());
  waitUntil([&] { return !cleaner.isTrashing(); });
  EXPECT_FALSE(app.model->isBusy());

  app.expectInTheTrashAndRecorded("Move to Trash (sheet)", "Move to Trash (sheet)");
  app.expectTheTrashRowMeasuredAgain();
  ASSERT_TRUE(cleaner.resultMessage());
  EXPECT_TRUE(cleaner.resultMessage()->starts_with("Cleaned 2 items (")) << *cleaner.resultMessage();
  EXPECT_TRUE(cleaner.checked().empty());
}

TEST(AppModelEndToEnd, QuickCleanArmsConfirmsASecondLaterAndRecords) {
  RealApp app;
  CleanerViewModel& cleaner = app.cleaner();
  app.startUp();
  std::set<std::string> candidates;
  for (const CacheItem& item : cleaner.quickCleanCandidates()) candidates.insert(item.id);
  ASSERT_EQ(candidates, app.planted());

  cleaner.armQuickClean();
  EXPECT_TRUE(cleaner.quickClean().isPreparing());
  waitUntil([&] { return !cleaner.quickClean().isPreparing(); });
  const QuickCleanState::Confirming* confirming = cleaner.quickClean().confirming();
  ASSERT_TRUE(confirming);
  EXPECT_EQ(std::set<std::string>(confirming->ids.begin(), confirming->ids.end()), app.planted());

  // Within the second the confirmation is ignored; a second later it removes.
  cleaner.confirmQuickClean(app.wall.now());
  EXPECT_TRUE(cleaner.quickClean().confirming());
  app.wall.advance(1s);
  cleaner.confirmQuickClean(app.wall.now());
  EXPECT_TRUE(cleaner.quickClean().isRunning());
  waitUntil([&] { return cleaner.quickClean().done() != nullptr; });
  EXPECT_TRUE(cleaner.quickClean().done()->message.starts_with("Cleaned 2 items ("))
      << cleaner.quickClean().done()->message;

  app.expectInTheTrashAndRecorded("Quick Clean (menu bar)", "Quick Clean (tray)");
  app.expectTheTrashRowMeasuredAgain();
}

// The folder scanner moves to the Trash a Home item and a project folder that holds one: both
// leave the Home list with their check marks, and Total found counts what went once, in the
// Trash row. A project whose name merely begins with the removed one's stays.
TEST(AppModelEndToEnd, WhatTheFolderScannerRemovedLeavesTheHomeListAndIsCountedOnce) {
  RealApp app;
  const std::string project = app.home + "/Developer/app";
  const std::string other = app.home + "/Developer/app2";
  for (const std::string& folder : {project, other}) {
    writeFile(folder + "/CMakeLists.txt", 100);
    writeFile(folder + "/build/out.bin", 26000);
  }
  CleanerViewModel& cleaner = app.cleaner();
  app.startUp();
  const std::string build = cleanPath(project + "/build");
  const std::string otherBuild = cleanPath(other + "/build");
  const std::string trashRow = cleanPath(TrashFolders::homeTrash());
  std::set<std::string> listed;
  for (const CacheItem& item : cleaner.items()) {
    listed.insert(item.id);
    if (item.isSelectable()) cleaner.setChecked(item.id, true);
  }
  cleaner.setTableSelection(listed);
  const std::set<std::string> gone = {build, cleanPath(app.pip)};
  for (const std::string& id : {build, otherBuild, cleanPath(app.pip), trashRow}) {
    ASSERT_TRUE(listed.contains(id)) << id;
  }
  std::int64_t goneSize = 0;
  for (const std::string& id : gone) goneSize += cleaner.item(id)->knownSize();
  const std::int64_t foundBefore = cleaner.totalFound();
  const std::int64_t trashBefore = *cleaner.item(trashRow)->size;

  ScannerViewModel& scanner = app.model->scanner();
  scanner.scan(app.home);
  waitUntil([&] { return scanner.root() && !scanner.isScanning(); });
  scanner.requestTrash(std::set<std::string>{cleanPath(project), cleanPath(app.pip)});
  waitUntil([&] { return !scanner.isCheckingPolicy(); });
  ASSERT_TRUE(scanner.pendingPlan()) << scanner.resultMessage().value_or("");
  app.wall.advance(1s);
  scanner.confirmTrash(*scanner.pendingPlan());
  waitUntil([&] { return !scanner.isTrashing(); });
  ASSERT_TRUE(scanner.resultMessage());
  EXPECT_TRUE(scanner.resultMessage()->starts_with("Cleaned 2 items ("))
      << *scanner.resultMessage();
  EXPECT_FALSE(existsNoFollow(project));

  for (const std::string& id : gone) {
    EXPECT_FALSE(cleaner.item(id)) << id;
    EXPECT_FALSE(cleaner.checked().contains(id)) << id;
    EXPECT_FALSE(cleaner.tableSelection().contains(id)) << id;
  }
  for (const std::string& id : {otherBuild, cleanPath(app.logs)}) {
    EXPECT_TRUE(cleaner.item(id)) << id;
    EXPECT_TRUE(cleaner.checked().contains(id)) << id;
  }
  waitUntil([&] { return cleaner.item(trashRow)->size == RealApp::inTheTrash(); });
  const std::int64_t trashGrowth = *cleaner.item(trashRow)->size - trashBefore;
  EXPECT_GE(trashGrowth, goneSize);
  EXPECT_EQ(cleaner.totalFound(), foundBefore - goneSize + trashGrowth);
}

// The folder scanner deletes a project folder that it can empty only in part: it reports the
// folder failed, and the Home item inside it shows what is left there, without a rescan.
TEST(AppModelEndToEnd, WhatAFailedDeletionLeftOfAHomeItemIsMeasuredAgain) {
  HL_AS_ORDINARY_USER();
  RealApp app;
  const std::string project = app.home + "/Developer/app";
  writeFile(project + "/CMakeLists.txt", 100);
  writeFile(project + "/build/out.bin", 26000);
  writeFile(project + "/build/kept/z", 4096);
  ASSERT_EQ(::chmod((project + "/build/kept").c_str(), 0500), 0);
  app.model->settings().setDeleteImmediately(true);
  app.startUp();
  const std::string build = cleanPath(project + "/build");
  ASSERT_TRUE(app.cleaner().item(build));
  ASSERT_GT(app.cleaner().item(build)->size, allocatedBytes(project + "/build/kept/z"));

  ScannerViewModel& scanner = app.model->scanner();
  scanner.scan(app.home);
  waitUntil([&] { return scanner.root() && !scanner.isScanning(); });
  scanner.requestTrash(std::set<std::string>{cleanPath(project)});
  waitUntil([&] { return !scanner.isCheckingPolicy(); });
  ASSERT_TRUE(scanner.pendingPlan()) << scanner.resultMessage().value_or("");
  app.wall.advance(1s);
  scanner.confirmTrash(*scanner.pendingPlan());
  waitUntil([&] { return !scanner.isTrashing(); });
  ::chmod((project + "/build/kept").c_str(), 0700);
  EXPECT_FALSE(existsNoFollow(project + "/build/out.bin"));
  EXPECT_TRUE(existsNoFollow(project + "/build/kept/z"));

  waitUntil([&] {
    return app.cleaner().item(build)->size == allocatedBytes(project + "/build/kept/z");
  });
  EXPECT_FALSE(app.cleaner().item(build)->isUnreadable);
}
