#include "services/scan/cache_scan_service.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <system_error>
#include <utility>

#include "platform/absolute_path.h"
#include "platform/memory_release.h"
#include "services/discovery/cache_catalog.h"
#include "services/measurement/disk_scanner.h"
#include "services/in_use/in_use_rules.h"
#include "services/in_use/process_snapshot.h"
#include "services/in_use/process_source.h"
#include "utilities/in_parallel.h"
#include "utilities/path_canonical.h"
#include "utilities/sliding_window.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using Event = CacheScanEvent;

constexpr ProcessRunner::Duration kGitTimeout = 5s;
constexpr std::string_view kBrowserOwner = "Google Chrome";

// One measurement folded into a running total of several folders.
DirectoryMeasurement adding(DirectoryMeasurement total, const DirectoryMeasurement& more) {
  total.size += more.size;
  total.fileCount += more.fileCount;
  total.unreadableCount += more.unreadableCount;
  total.isReadable = total.isReadable || more.isReadable;
  total.deduplicatedLinks += more.deduplicatedLinks;
  total.skippedVolumes += more.skippedVolumes;
  total.skippedDataless += more.skippedDataless;
  if (!total.newestModification ||
      (more.newestModification && *more.newestModification > *total.newestModification)) {
    total.newestModification = more.newestModification;
  }
  return total;
}

std::string plural(std::int64_t count, std::string_view noun) {
  std::string text = std::to_string(count) + " " + std::string(noun);
  if (count != 1) text += "s";
  return text;
}

}  // namespace

// What the runs share with the service: the size cache and run counter behind one mutex, and
// the fixed parts. A run keeps it alive for as long as it works.
class CacheScanService::Core {
 public:
  Core(std::shared_ptr<ToolLocator> locator, WalkBoundary limits, Dependencies calls)
      : tools(std::move(locator)), boundary(std::move(limits)), dependencies(std::move(calls)) {}

  void invalidateCache() {
    std::lock_guard lock(mutex_);
    sizeCache_.clear();
  }

  template <typename Ids>
  void forget(const Ids& ids) {
    std::lock_guard lock(mutex_);
    for (const std::string& id : ids) sizeCache_.erase(id);
  }

  std::optional<DirectoryMeasurement> cachedMeasurement(const std::string& id) const {
    std::lock_guard lock(mutex_);
    const auto found = sizeCache_.find(id);
    if (found == sizeCache_.end()) return std::nullopt;
    return found->second;
  }

  std::uint64_t beginRun() {
    std::lock_guard lock(mutex_);
    return ++currentRun_;
  }

  std::uint64_t currentRun() const {
    std::lock_guard lock(mutex_);
    return currentRun_;
  }

  bool isCurrent(std::uint64_t run, const std::stop_token& stop) const {
    std::lock_guard lock(mutex_);
    return run == currentRun_ && !stop.stop_requested();
  }

  bool record(const DirectoryMeasurement& measurement, const std::string& id, std::uint64_t run,
              const std::stop_token& stop) {
    std::lock_guard lock(mutex_);
    if (run != currentRun_ || stop.stop_requested()) return false;
    sizeCache_[id] = measurement;
    return true;
  }

  void run(const CacheScanConfiguration& configuration, const EventSink& sink,
           std::stop_token stop);

  const std::shared_ptr<ToolLocator> tools;
  const WalkBoundary boundary;
  const Dependencies dependencies;

 private:
  CacheDiscovery discovery(const CacheScanConfiguration& configuration,
                           const ToolEnvironment& environment, bool chromeRunning) const;
  std::vector<CacheItem> virtualRows(const std::string& home, std::stop_token stop) const;

  mutable std::mutex mutex_;
  std::map<std::string, DirectoryMeasurement> sizeCache_;
  std::uint64_t currentRun_ = 0;
};

void CacheScanService::Core::run(const CacheScanConfiguration& configuration, const EventSink& sink,
                                 std::stop_token stop) {
  const auto send = [&sink](Event::Value event) {
    if (sink) sink(Event(std::move(event)));
  };
  const std::uint64_t number = beginRun();
  // A home that is not a folder ends the run at once, before any event, so that no empty
  // result is ever reported as a finished scan (`homeProblem` tells why).
  if (homeProblem(configuration.home)) return;

  // The walks of discovery depend on nothing but the home and the disk: they start now, beside
  // the tools' resolution and the process picture, and discovery takes what they found. A run
  // that ends early stops them and waits for them (they stop between two levels).
  std::stop_source walkStop;
  const std::stop_callback forwardStop(stop, [&walkStop] { walkStop.request_stop(); });
  CacheDiscovery walker = discovery(configuration, ToolEnvironment::empty(), true);
  walker.worktrees.stop = walker.projects.stop = walkStop.get_token();
  const std::shared_future<CacheDiscovery::Walks> walks =
      inParallel([walker] { return walker.walk(); }).share();
  struct StopWalks {
    std::stop_source& source;
    ~StopWalks() { source.request_stop(); }
  } const stopWalks{walkStop};
  const Instant start = dependencies.monotonicClock();
  const auto current = [this, number, &stop] { return isCurrent(number, stop); };

  ToolEnvironment environment = ToolEnvironment::empty();
  if (configuration.detectTools) {
    // A resolution the stop cut short gives none, and the locator keeps nothing of it.
    std::optional<ToolEnvironment> resolved = tools->environment(configuration.refreshTools, stop);
    if (!resolved) return;
    environment = std::move(*resolved);
    send(Event::ToolsResolved{environment});
  }
  if (!current()) return;

  // Without a process picture the browser counts as running, so no clone row is offered.
  bool chromeRunning = true;
  if (configuration.systemQueries) {
    chromeRunning = dependencies.browserRunning(stop);
    // A picture the stop cut short tells nothing.
    if (stop.stop_requested()) return;
  }

  CacheDiscovery discovering = discovery(configuration, environment, chromeRunning);
  discovering.earlyWalks = [walks] { return walks.get(); };
  DiscoveryResult found = dependencies.discover(discovering);
  const std::vector<CacheItem> items = found.items;
  send(Event::Discovered{std::move(found.items), std::move(found.notes)});

  if (configuration.detectInUse) {
    InUseDetector detector;
    detector.home = configuration.home;
    detector.now = dependencies.wallClock();
    InUseEvaluation evaluation = dependencies.evaluateInUse(detector, items, stop);
    // An evaluation the stop cut short is unverified and would lock every item for nothing.
    if (stop.stop_requested()) return;
    send(Event::RunningOwners{evaluation.runningOwners});
    send(Event::InUse{std::move(evaluation)});
  }
  if (!current()) return;

  const int window = configuration.maxConcurrentWalks;
  if (configuration.checkGitStatus) {
    std::vector<const CacheItem*> worktrees;
    for (const CacheItem& item : items) {
      if (item.worktree) worktrees.push_back(&item);
    }
    // Every git query ends before the first walk starts: git and the walks never compete.
    slidingWindow(
        worktrees, window,
        [this, &stop](const CacheItem* item) {
          return dependencies.worktreeStatus(item->worktree->gitRoot, kGitTimeout, stop);
        },
        [&](const CacheItem* item, WorktreeStatus status) {
          if (current()) send(Event::WorktreeStatus{item->id, std::move(status)});
        },
        current);
  }
  if (!current()) return;

  std::map<CacheGroup, int> unsized;
  for (const CacheItem& item : items) ++unsized[item.group];
  const auto markSized = [&](const CacheItem& item) {
    const auto entry = unsized.try_emplace(item.group, 1).first;
    if (--entry->second == 0) send(Event::GroupFinished{item.group});
  };

  // Cached sizes first, before any walk; the other items wait for theirs, project folders
  // last.
  std::vector<const CacheItem*> pending;
  std::vector<const CacheItem*> pendingProjects;
  for (const CacheItem& item : items) {
    if (std::optional<DirectoryMeasurement> cached = cachedMeasurement(item.id)) {
      send(Event::ItemSized{item.id, std::move(*cached)});
      markSized(item);
    } else if (item.group == CacheGroup::projects) {
      pendingProjects.push_back(&item);
    } else {
      pending.push_back(&item);
    }
  }
  pending.insert(pending.end(), pendingProjects.begin(), pendingProjects.end());

  slidingWindow(
      pending, window,
      [this, &stop](const CacheItem* item) {
        return CacheScanService::measure(*item, boundary, stop, dependencies.measureFolder);
      },
      [&](const CacheItem* item, std::optional<DirectoryMeasurement> measurement) {
        if (!measurement) return;
        if (!record(*measurement, item->id, number, stop)) return;
        send(Event::ItemSized{item->id, std::move(*measurement)});
        markSized(*item);
      },
      current);
  if (!current()) return;

  if (configuration.systemQueries) {
    std::vector<CacheItem> rows = virtualRows(configuration.home, stop);
    // Queries the stop cut short may have missed what is there.
    if (stop.stop_requested()) return;
    send(Event::Added{std::move(rows)});
  }
  if (!current()) return;
  send(Event::Finished{Seconds(dependencies.monotonicClock() - start)});
}

CacheDiscovery CacheScanService::Core::discovery(const CacheScanConfiguration& configuration,
                                                 const ToolEnvironment& environment,
                                                 bool chromeRunning) const {
  CacheDiscovery discovery;
  discovery.home = configuration.home;
  discovery.extraPaths = configuration.extraPaths;
  discovery.tools = environment;
  discovery.chromeRunning = chromeRunning;
  discovery.worktrees.home = configuration.home;
  discovery.worktrees.searchRoots = CacheCatalog::repositorySearchRoots();
  discovery.worktrees.toolFolders = CacheCatalog::toolWorktreeFolders();
  discovery.worktrees.maxDepth = 4;
  discovery.projects.home = configuration.home;
  discovery.projects.searchRoots = CacheCatalog::repositorySearchRoots();
  discovery.projects.maxDepth = 5;
  // Only the user's private temporary folder, never the shared one; and the browser's clone
  // folder has no place of its own here, so there is one only when the caller names it.
  if (configuration.includeTemporaryDirectory && dependencies.temporaryFolder) {
    discovery.temporaryDirectory = dependencies.temporaryFolder();
  }
  discovery.chromeCloneFolder = configuration.chromeCloneFolder;
  discovery.clock = dependencies.wallClock;
  return discovery;
}

std::vector<CacheItem> CacheScanService::Core::virtualRows(const std::string& home,
                                                           std::stop_token stop) const {
  const SystemQueries::FolderMeasurer measure =
      [this, stop](const std::string& folder) -> std::optional<std::int64_t> {
    const std::optional<DirectoryMeasurement> measured =
        dependencies.measureFolder(folder, boundary, stop);
    if (!measured) return std::nullopt;
    return measured->size;
  };
  auto simulators = inParallel(
      [this, &measure, stop] { return dependencies.unavailableSimulators(measure, stop); });
  const std::vector<std::string> snapshots = dependencies.localSnapshots(stop);
  return CacheScanService::virtualRows(home, simulators.get(), snapshots);
}

CacheScanService::Handle& CacheScanService::Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    cancel();
    stop_ = std::exchange(other.stop_, std::stop_source(std::nostopstate));
  }
  return *this;
}

void CacheScanService::Handle::cancel() {
  if (stop_.stop_possible()) stop_.request_stop();
}

CacheScanService::CacheScanService() : CacheScanService(WalkBoundary()) {}

CacheScanService::CacheScanService(WalkBoundary boundary)
    : CacheScanService(std::move(boundary), Dependencies{}) {}

CacheScanService::CacheScanService(WalkBoundary boundary, Dependencies dependencies)
    : CacheScanService(std::make_shared<ToolLocator>(), std::move(boundary),
                       std::move(dependencies)) {}

CacheScanService::CacheScanService(std::shared_ptr<ToolLocator> tools, WalkBoundary boundary,
                                   Dependencies dependencies)
    : core_(std::make_shared<Core>(tools ? std::move(tools) : std::make_shared<ToolLocator>(),
                                   std::move(boundary), std::move(dependencies))) {}

CacheScanService::~CacheScanService() {
  std::vector<RunThread> runs;
  {
    std::lock_guard lock(runsMutex_);
    runs.swap(runs_);
  }
  for (RunThread& run : runs) run.stop.request_stop();
  for (RunThread& run : runs) {
    // Destroyed by its own run's consumer: the run holds what it uses and finishes alone.
    if (run.thread.get_id() == std::this_thread::get_id()) {
      run.thread.detach();
    } else {
      run.thread.join();
    }
  }
}

ToolLocator& CacheScanService::tools() const { return *core_->tools; }

const WalkBoundary& CacheScanService::boundary() const { return core_->boundary; }

void CacheScanService::invalidateCache() { core_->invalidateCache(); }

void CacheScanService::forget(const std::vector<std::string>& ids) { core_->forget(ids); }

void CacheScanService::forget(const std::set<std::string>& ids) { core_->forget(ids); }

std::optional<DirectoryMeasurement> CacheScanService::cachedMeasurement(
    const std::string& id) const {
  return core_->cachedMeasurement(id);
}

std::optional<DirectoryMeasurement> CacheScanService::remeasure(const CacheItem& item,
                                                                std::stop_token stop) {
  // A run that begins during the walk measures the item itself: this older figure is not kept.
  const std::uint64_t run = core_->currentRun();
  std::optional<DirectoryMeasurement> measured =
      measure(item, core_->boundary, stop, core_->dependencies.measureFolder);
  if (measured) core_->record(*measured, item.id, run, stop);
  return measured;
}

std::uint64_t CacheScanService::beginRun() { return core_->beginRun(); }

bool CacheScanService::isCurrent(std::uint64_t run, std::stop_token stop) const {
  return core_->isCurrent(run, stop);
}

bool CacheScanService::record(const DirectoryMeasurement& measurement, const std::string& id,
                              std::uint64_t run, std::stop_token stop) {
  return core_->record(measurement, id, run, stop);
}

CacheScanService::Handle CacheScanService::scan(CacheScanConfiguration configuration,
                                                EventSink sink, std::function<void()> ended) {
  // A home given as a relative path is the folder of that name in the working folder of this
  // moment, never one below "/".
  configuration.home = absolutePath(configuration.home).value_or(configuration.home);
  std::stop_source stop;
  auto hasEnded = std::make_shared<std::atomic<bool>>(false);
  const std::function<void()> endedHere = ended;
  std::unique_lock lock(runsMutex_);
  reapEndedRunsLocked();
  runs_.reserve(runs_.size() + 1);
  try {
    std::thread thread([core = core_, configuration = std::move(configuration),
                        sink = std::move(sink), ended = std::move(ended), token = stop.get_token(),
                        hasEnded]() mutable {
      try {
        core->run(configuration, sink, token);
      } catch (...) {
        // Nothing a run calls reports failure by throwing; should something throw anyway (out
        // of memory), the run ends early without `finished`, which its consumer reports.
      }
      // Nothing of the run is held once its end is reported.
      sink = nullptr;
      core.reset();
      if (ended) ended();
      // What the run made is free now: given back, or the program would grow with every scan.
      MemoryRelease::giveBackFreed();
      hasEnded->store(true, std::memory_order_release);
    });
    runs_.push_back(RunThread{std::move(thread), stop, std::move(hasEnded)});
  } catch (const std::system_error&) {
    lock.unlock();
    if (endedHere) endedHere();
  }
  return Handle(std::move(stop));
}

void CacheScanService::reapEndedRunsLocked() {
  const auto ended = [](RunThread& run) {
    if (!run.ended->load(std::memory_order_acquire)) return false;
    run.thread.join();
    return true;
  };
  runs_.erase(std::remove_if(runs_.begin(), runs_.end(), ended), runs_.end());
}

std::optional<DirectoryMeasurement> CacheScanService::measure(const CacheItem& item,
                                                              const WalkBoundary& boundary,
                                                              std::stop_token stop,
                                                              const FolderMeasurer& folder) {
  std::optional<DirectoryMeasurement> total;
  for (const std::string& target : item.targetURLs()) {
    std::optional<DirectoryMeasurement> measured = folder(target, boundary, stop);
    if (!measured) return std::nullopt;
    total = total ? adding(std::move(*total), *measured) : std::move(*measured);
  }
  return total;
}

std::optional<DirectoryMeasurement> CacheScanService::measureFolder(const std::string& path,
                                                                    const WalkBoundary& boundary,
                                                                    std::stop_token stop) {
  const MeasureResult result = DiskScanner::measure(path, true, boundary, std::move(stop));
  // A folder that is gone holds nothing: it is not one that could not be read. What a removal
  // elsewhere left of an item is measured so, its removed folders counting nothing.
  if (result.error() == MeasureError::missing) return DirectoryMeasurement{};
  return result.measurement();
}

std::optional<std::string> CacheScanService::homeProblem(const std::string& home) {
  const std::optional<std::string> absolute = absolutePath(home);
  if (!absolute) return "No home folder was given.";
  return folderProblem(*absolute, "The home folder");
}

std::vector<std::string> CacheScanService::roots(const std::vector<CacheItem>& items) {
  return InUseRules::scanRoots(items);
}

std::vector<CacheItem> CacheScanService::virtualRows(
    const std::string& home, const std::optional<SystemQueries::UnavailableSimulators>& simulators,
    const std::vector<std::string>& snapshots) {
  std::vector<CacheItem> rows;
  if (simulators) {
    CacheItemInit init;
    init.url = appendingPath(home, "Library/Developer/CoreSimulator/Devices");
    init.id = "virtual:unavailable-simulators";
    init.name = "Unavailable simulators";
    init.subtitle = plural(simulators->count, "simulator") + " without an installed runtime";
    init.group = CacheGroup::xcode;
    init.risk = RiskLevel::moderate;
    init.kind = ItemKind::virtual_;
    init.isReportOnly = true;
    init.owners = {"Simulator", "com.apple.CoreSimulator.CoreSimulatorService"};
    init.action = NativeAction{NativeAction::Tool::simctl};
    init.home = home;
    CacheItem row(std::move(init));
    row.size = simulators->size;
    rows.push_back(std::move(row));
  }
  if (!snapshots.empty()) {
    CacheItemInit init;
    init.url = "/";
    init.id = "virtual:local-snapshots";
    init.name = "Time Machine local snapshots";
    init.subtitle = plural(static_cast<std::int64_t>(snapshots.size()), "snapshot") +
                    " \u00B7 managed by macOS";
    init.group = CacheGroup::largeBackups;
    init.risk = RiskLevel::review;
    init.kind = ItemKind::virtual_;
    init.isReportOnly = true;
    init.home = home;
    rows.emplace_back(std::move(init));
  }
  return rows;
}

bool CacheScanService::isBrowserRunning(std::stop_token stop) {
  return ProcessSnapshot::capture(*defaultProcessSource(), ProcessRunner::defaultRunner(),
                                  std::move(stop))
      .isRunning(kBrowserOwner);
}

}  // namespace hl
