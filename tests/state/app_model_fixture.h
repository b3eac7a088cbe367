#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cleaner/guarded_fakes.h"
#include "support/scanner_fixture.h"
#include "support/manual_task_queue.h"
#include "viewmodels/app_model.h"

namespace hl::test {

// Runs the event loop until `done` holds; fails rather than hanging.
inline void waitUntil(const std::function<bool()>& done) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done() && elapsed.elapsed() < 60000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  if (!done()) ADD_FAILURE() << "gave up waiting";
}

// An application model whose every outside answer the test decides: the cleaner's engine, in-use
// state, git and trash are fakes (`Fakes`), the folder scanner's policy, trash and folder chooser
// too; background work and the boot volume's readings wait for the test.
struct AppHarness : Fakes {
  ManualWallClock wall{referenceDate()};
  ManualMonotonicClock monotonic{Instant{} + std::chrono::hours(1)};
  std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
  std::shared_ptr<ScriptedScanEngine> engine = std::make_shared<ScriptedScanEngine>();
  std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
  FakeHome folders{"folders"};
  FakePolicy policy;
  FakeTrash scannerTrash;
  ManualTaskQueue scannerWork;
  std::optional<std::string> chosen;
  int chooserCalls = 0;
  // Runs while the folder chooser is asked, as its dialog would.
  std::function<void()> whileChoosing;
  // The free space each reading finds, in reading order; when none is left, `volumeFree`.
  std::deque<std::optional<std::int64_t>> freeSpace;
  std::int64_t volumeFree = 1000;
  // The volume's name and total capacity in every reading.
  std::string volumeName = "Disk";
  std::int64_t volumeCapacity = 10000;
  int volumeReads = 0;
  std::unique_ptr<AppModel> model;

  AppHarness() {
    model = std::make_unique<AppModel>(
        std::make_unique<SettingsStore>(makeScratchFolder("settings") + "/Harborlume.conf"),
        makeDependencies());
  }

  // The harness's fakes, as the model was made with them.
  AppModelDependencies makeDependencies() {
    AppModelDependencies d;
    d.executor = executor;
    d.wallClock = wall.clock();
    d.desktop = desktop;
    d.historyStore = std::make_shared<HistoryStore>(HistoryStore::defaultURL());
    d.readBootVolume = [this]() -> std::optional<VolumeInfo> {
      ++volumeReads;
      std::optional<std::int64_t> available = volumeFree;
      if (!freeSpace.empty()) {
        available = freeSpace.front();
        freeSpace.pop_front();
      }
      if (!available) return std::nullopt;
      return VolumeInfo{"/", volumeName, volumeCapacity, *available};
    };
    d.cleaner = dependencies();
    d.cleaner.engine = engine;
    d.cleaner.monotonicClock = monotonic.clock();
    d.cleaner.home = folders.path();
    d.cleaner.fullDiskAccess = [] { return FullDiskAccess::Status::notApplicable; };
    ScannerServices s;
    s.home = folders.path();
    s.gate = DestructiveGate::open();
    s.trash = scannerTrash.remover();
    s.makePolicy = policy.factory();
    s.pruneWorktrees = [](const std::string&, const DestructiveGate&) { return true; };
    s.chooseFolder = [this] {
      ++chooserCalls;
      if (whileChoosing) whileChoosing();
      return chosen;
    };
    s.executor = scannerWork.executor();
    s.clock = wall.clock();
    d.scanner = std::move(s);
    return d;
  }

  AppModel& operator*() { return *model; }
  AppModel* operator->() { return model.get(); }
  CleanerViewModel& cleaner() { return model->cleaner(); }
  ScannerViewModel& scanner() { return model->scanner(); }

  // Starts the model and waits until the history has loaded.
  void start(bool autoScan) {
    bool loaded = false;
    model->start(autoScan, [&] { loaded = true; });
    waitUntil([&] { return loaded; });
  }

  // Runs every background job, posted answer and folder-scanner task until nothing is left.
  void settle() {
    for (;;) {
      executor->settle();
      QCoreApplication::processEvents();
      if (scannerWork.run()) continue;
      QCoreApplication::processEvents();
      if (scannerWork.pending() == 0 && executor->pendingJobs() == 0) return;
    }
  }

  // A completed cleaner scan that found `items`, at the wall clock's current date.
  void scanCleaner(std::vector<CacheItem> items) {
    cleaner().rescan(true);
    engine->send(CacheScanEvent::Discovered{std::move(items), {}});
    engine->send(CacheScanEvent::Finished{Seconds(1)});
    engine->end();
    settle();
  }

  // The folder scanner measured `relative` below the harness's folders, previews included.
  void scanFolder(const std::string& relative) {
    scanner().scan(folders / relative);
    settle();
  }

  // A measured item below the harness's folders; selectable unless its risk is review.
  CacheItem item(const std::string& relative, std::int64_t size,
                 CacheGroup group = CacheGroup::packageCaches, RiskLevel risk = RiskLevel::safe) {
    return makeItem(folders / relative, group, risk, size);
  }

  // Two selectable items, scanned; the cleaner has ticked nothing.
  void scanTwoItems() {
    scanCleaner({makeItem(folders / "a", CacheGroup::packageCaches, RiskLevel::safe, 100),
                 makeItem(folders / "b", CacheGroup::packageCaches, RiskLevel::safe, 200)});
  }

  // A removal of a ticked item that is under way: the trash service has not answered yet.
  void removing() {
    scanTwoItems();
    cleaner().setChecked(cleanPath(folders / "a"), true);
    cleaner().requestTrash();
    settle();
    ASSERT_TRUE(cleaner().pendingPlan()) << cleaner().resultMessage().value_or("");
    const TrashPlan plan = *cleaner().pendingPlan();
    cleaner().confirmTrash(plan, plan.createdAt + std::chrono::seconds(1));
    ASSERT_TRUE(cleaner().isTrashing());
  }

  int scans() const { return static_cast<int>(engine->runs.size()); }
};

}  // namespace hl::test
