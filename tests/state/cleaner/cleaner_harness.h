#pragma once

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/composition/real_services.h"
#include "platform/user_folders.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/manual_executor.h"
#include "support/recording_desktop.h"
#include "support/scripted_scan_engine.h"
#include "support/test_environment.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl::test {

using namespace std::chrono_literals;

// An item at `path` (a path in the fake root; no file is needed for the list rules).
inline CacheItem makeItem(const std::string& path, CacheGroup group = CacheGroup::packageCaches,
                          RiskLevel risk = RiskLevel::safe,
                          std::optional<std::int64_t> size = std::nullopt) {
  CacheItemInit init;
  init.url = path;
  init.group = group;
  init.risk = risk;
  init.home = "/home/u";
  CacheItem item(std::move(init));
  item.size = size;
  return item;
}

inline DirectoryMeasurement measured(std::int64_t size, std::int64_t files = 1,
                                     std::optional<Date> newest = std::nullopt) {
  DirectoryMeasurement measurement;
  measurement.size = size;
  measurement.fileCount = files;
  measurement.isReadable = true;
  measurement.newestModification = newest;
  return measurement;
}

// Stands in for a service a test did not bring: any call fails the test, and nothing reaches the
// real system.
class UnexpectedRemoval : public RemovalService {
 public:
  const DestructiveGate& gate() const override { return gate_; }
  TrashResult trash(const std::vector<TrashItem>&, RemovalMode mode, const TrashService::Progress&,
                    const FreedesktopTrash::ReservationNote&) override {
    ADD_FAILURE() << "the test brought no trash service, yet a removal reached it";
    TrashResult result;
    result.mode = mode;
    return result;
  }

 private:
  DestructiveGate gate_ = DestructiveGate::open();
};

// The services a test did not bring, each failing the test when called.
inline CleanerDependencies withUnexpectedServices(CleanerDependencies d) {
  if (!d.trashService) d.trashService = std::make_shared<UnexpectedRemoval>();
  if (!d.evaluateInUse) {
    d.evaluateInUse = [](const std::vector<CacheItem>&, Date) {
      ADD_FAILURE() << "the test brought no in-use evaluation, yet it was asked";
      return InUseEvaluation{};
    };
  }
  if (!d.worktreeStatus) {
    d.worktreeStatus = [](const std::optional<std::string>&, ProcessRunner::Duration) {
      ADD_FAILURE() << "the test brought no git status, yet it was asked";
      return WorktreeStatus::unknown();
    };
  }
  if (!d.pruneWorktrees) {
    d.pruneWorktrees = [](const std::string&, const DestructiveGate&, ProcessRunner::Duration) {
      ADD_FAILURE() << "the test brought no git prune, yet it was asked";
      return false;
    };
  }
  if (!d.runningOwners) {
    d.runningOwners = [](const std::set<std::string>&) {
      ADD_FAILURE() << "the test brought no process list, yet it was read";
      return std::optional<std::set<std::string>>{};
    };
  }
  return d;
}

// A cleaner over a scripted engine and a hand-driven executor, with clocks that move only when
// the test moves them. Every dependency of the guarded actions is a fake the test can script;
// one the test leaves out fails it when called.
struct CleanerHarness {
  ManualWallClock wall{referenceDate()};
  ManualMonotonicClock monotonic{Instant{} + 1h};
  std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
  std::shared_ptr<ScriptedScanEngine> engine = std::make_shared<ScriptedScanEngine>();
  std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
  std::string scratch = makeScratchFolder("cleaner");
  SettingsStore settings{scratch + "/Harborlume.conf"};
  ActivityLog activity{wall.clock()};
  HistoryViewModel history{std::make_shared<HistoryStore>(scratch + "/history.json"), activity,
                           wall.clock()};
  FullDiskAccess::Status diskAccess = FullDiskAccess::Status::notApplicable;
  std::unique_ptr<CleanerViewModel> cleaner;

  explicit CleanerHarness(CleanerDependencies dependencies = {}) {
    dependencies.executor = executor;
    dependencies.engine = engine;
    dependencies.wallClock = wall.clock();
    dependencies.monotonicClock = monotonic.clock();
    if (!dependencies.home) dependencies.home = scratch;
    dependencies.desktop = desktop;
    dependencies.fullDiskAccess = [this] { return diskAccess; };
    cleaner = std::make_unique<CleanerViewModel>(settings, activity, history,
                                                 withUnexpectedServices(std::move(dependencies)));
  }

  CleanerViewModel& operator*() { return *cleaner; }
  CleanerViewModel* operator->() { return cleaner.get(); }

  // Sends one event of the latest run and lets it arrive.
  template <typename Payload>
  void deliver(Payload payload) {
    engine->send(std::move(payload));
    executor->runPosted();
  }
  void endRun() {
    engine->end();
    executor->runPosted();
  }
  // A completed scan that discovered `items` and sized none.
  void scan(std::vector<CacheItem> items, bool force = true) {
    cleaner->rescan(force);
    deliver(CacheScanEvent::Discovered{std::move(items), {}});
    deliver(CacheScanEvent::Finished{Seconds(1)});
    endRun();
    executor->settle();
  }

  std::vector<std::string> logged(std::optional<ActivityEvent::Kind> kind = std::nullopt) const {
    std::vector<std::string> lines;
    for (const ActivityEvent& event : activity.events()) {
      if (!kind || event.kind == *kind) lines.push_back(event.message);
    }
    return lines;
  }
  std::vector<std::string> ids(const std::vector<CacheItem>& items) const {
    std::vector<std::string> result;
    for (const CacheItem& item : items) result.push_back(item.id);
    return result;
  }
};

// Counts the emissions of each signal it is connected to.
class SignalCounter {
 public:
  template <typename Signal>
  int& watch(CleanerViewModel& model, Signal signal) {
    auto counter = std::make_shared<int>(0);
    counters_.push_back(counter);
    QObject::connect(&model, signal, [counter] { ++*counter; });
    return *counter;
  }

 private:
  std::vector<std::shared_ptr<int>> counters_;
};

// A file of `bytes` bytes, its folders made as needed.
inline void writeFile(const std::string& path, std::size_t bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

// Runs the event loop until `done` holds after one of the model's `signal`s; fails rather than
// hanging.
template <typename Signal, typename Predicate>
void waitFor(CleanerViewModel& model, Signal signal, Predicate done) {
  QEventLoop loop;
  QObject::connect(&model, signal, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(std::chrono::seconds(120), &loop, [&] {
    ADD_FAILURE() << "gave up waiting";
    loop.quit();
  });
  if (!done()) loop.exec();
}

// A cleaner with the real services and executor over this test process's home, its trash
// service behind the test host's closed gate unless the test brings one.
struct RealCleaner {
  std::string home = homeDirectory();
  std::string scratch = makeScratchFolder("real");
  SettingsStore settings{scratch + "/Harborlume.conf"};
  ActivityLog activity;
  std::string historyFile = scratch + "/history.json";
  HistoryViewModel history{std::make_shared<HistoryStore>(historyFile), activity};
  std::unique_ptr<CleanerViewModel> cleaner;

  explicit RealCleaner(std::shared_ptr<RemovalService> trashService = nullptr) {
    CleanerDependencies real = CompositionRoot::cleanerServices(home, DestructiveGate::current());
    if (trashService) real.trashService = std::move(trashService);
    real.home = home;
    real.executor = std::make_shared<QtFlowExecutor>();
    cleaner = std::make_unique<CleanerViewModel>(settings, activity, history, std::move(real));
  }
  CleanerViewModel& operator*() { return *cleaner; }
  CleanerViewModel* operator->() { return cleaner.get(); }

  void scan() {
    cleaner->rescan(true);
    waitFor(*cleaner, &CleanerViewModel::isScanningChanged,
            [&] { return cleaner->hasScanned() && !cleaner->isScanning(); });
  }
};

// A cleaner over a home of its own, with the real scan engine (no tools), in-use detection,
// trash service and history; its clock runs ten days ahead, so what the test writes is not
// recent and Quick Clean offers it. Its gate is open unless a test brings one, its settings are
// its own unless a test names where they are.
struct OwnHomeCleaner {
  FakeHome home{"own"};
  std::string scratch = makeScratchFolder("own-state");
  ManualWallClock wall{systemWallClock()() + std::chrono::hours(24 * 10)};
  SettingsStore settings;
  ActivityLog activity;
  HistoryViewModel history{std::make_shared<HistoryStore>(scratch + "/history.json"), activity};
  std::unique_ptr<CleanerViewModel> cleaner;

  explicit OwnHomeCleaner(DestructiveGate gate = DestructiveGate::open(),
                          std::optional<SettingsFile::Location> settingsAt = std::nullopt)
      : settings(settingsAt ? *settingsAt : SettingsFile::Location(scratch + "/Harborlume.conf")) {
    CleanerDependencies d = CompositionRoot::cleanerServices(home.path(), gate);
    d.home = home.path();
    d.wallClock = wall.clock();
    d.executor = std::make_shared<QtFlowExecutor>();
    ToolLocator::Dependencies noTools;
    noTools.launcher = nullptr;
    d.engine = makeCacheScanEngine(std::make_shared<CacheScanService>(
        std::make_shared<ToolLocator>(noTools), WalkBoundary(), CacheScanService::Dependencies()));
    d.trashService = makeRemovalService(
        std::make_shared<TrashService>(home.path(), std::move(gate), home / ".local/share/Trash"));
    cleaner = std::make_unique<CleanerViewModel>(settings, activity, history, std::move(d));
  }

  void scan() {
    cleaner->rescan(true);
    waitFor(*cleaner, &CleanerViewModel::isScanningChanged,
            [&] { return cleaner->hasScanned() && !cleaner->isScanning(); });
  }
};

}  // namespace hl::test
