#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "models/cache_item.h"
#include "models/directory_measurement.h"
#include "models/worktree_status.h"
#include "platform/temporary_folder.h"
#include "services/discovery/cache_discovery.h"
#include "services/scan/cache_scan_configuration.h"
#include "services/scan/cache_scan_event.h"
#include "services/system/git_service.h"
#include "services/in_use/in_use_detector.h"
#include "services/in_use/in_use_evaluation.h"
#include "services/system/process_runner.h"
#include "services/system/system_queries.h"
#include "services/system/tool_locator.h"
#include "utilities/time.h"
#include "utilities/walk_boundary.h"

namespace hl {

// The engine behind the cleaner: one scan resolves the tools, discovers every candidate item,
// tells which are in use, asks git about every agent worktree, sizes every item with a bounded
// number of walks at once and adds the rows only system commands know of, pushing each result
// to the caller the moment it is known.
//
// The service keeps two things across scans: a size cache (item id to its last measurement,
// in memory only), which makes a repeated scan cheap, and a run counter, which lets a newer
// scan supersede an older one. One mutex guards both and is never held across a walk or a
// process run. A superseded or cancelled run stops at its next check: from then on it caches
// and sends no measurement, sends no git state and never sends `finished`.
class CacheScanService {
 public:
  // Receives the events of one run, one at a time, in order, on the run's own thread.
  using EventSink = std::function<void(CacheScanEvent)>;
  // Measures one folder (or file) by allocated size with hidden entries; none when the stop was
  // requested before the walk completed. A folder that cannot be read gives the unreadable
  // measurement.
  using FolderMeasurer = std::function<std::optional<DirectoryMeasurement>(
      const std::string& path, const WalkBoundary& boundary, std::stop_token stop)>;

  // What a run calls on the world. Each function may be called from several threads at once;
  // the defaults are the real services. A requested stop may cut a function's work short; the
  // run then drops what it returned.
  struct Dependencies {
    // Whether the browser runs, by a fresh process picture.
    std::function<bool(std::stop_token)> browserRunning = &CacheScanService::isBrowserRunning;
    std::function<DiscoveryResult(const CacheDiscovery&)> discover =
        [](const CacheDiscovery& discovery) { return discovery.discover(); };
    // The in-use evaluation of the items, open files included.
    std::function<InUseEvaluation(const InUseDetector&, const std::vector<CacheItem>&,
                                  std::stop_token)>
        evaluateInUse =
            [](const InUseDetector& detector, const std::vector<CacheItem>& items,
               std::stop_token stop) { return detector.evaluate(items, true, std::move(stop)); };
    std::function<WorktreeStatus(const std::optional<std::string>& gitRoot,
                                 ProcessRunner::Duration timeout, std::stop_token)>
        worktreeStatus = [](const std::optional<std::string>& gitRoot,
                            ProcessRunner::Duration timeout, std::stop_token stop) {
          return GitService::worktreeStatus(gitRoot, timeout, std::move(stop));
        };
    FolderMeasurer measureFolder = &CacheScanService::measureFolder;
    std::function<std::optional<SystemQueries::UnavailableSimulators>(
        const SystemQueries::FolderMeasurer&, std::stop_token)>
        unavailableSimulators =
            [](const SystemQueries::FolderMeasurer& measure, std::stop_token stop) {
              return SystemQueries::unavailableSimulators(measure, std::move(stop));
            };
    std::function<std::vector<std::string>(std::stop_token)> localSnapshots =
        [](std::stop_token stop) { return SystemQueries::localSnapshots(std::move(stop)); };
    // What "$TMPDIR" means to discovery; none leaves its row empty.
    std::function<std::optional<std::string>()> temporaryFolder = &privateTemporaryFolder;
    // The in-use rules' and discovery's "now".
    WallClock wallClock = systemWallClock();
    // Times the run for `finished`.
    MonotonicClock monotonicClock = systemMonotonicClock();
  };

  // Stops its run when cancelled or destroyed, and never waits for it.
  class Handle {
   public:
    Handle() = default;
    explicit Handle(std::stop_source stop) : stop_(std::move(stop)) {}
    Handle(Handle&& other) noexcept = default;
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { cancel(); }

    // Asks the run to stop; returns at once. The run ends at its next check.
    void cancel();

   private:
    std::stop_source stop_{std::nostopstate};
  };

  // A service with its own tool locator, nothing cached, and the default walk limits.
  CacheScanService();
  explicit CacheScanService(WalkBoundary boundary);
  CacheScanService(WalkBoundary boundary, Dependencies dependencies);
  // A service that resolves tools through `tools`, which other callers may share.
  CacheScanService(std::shared_ptr<ToolLocator> tools, WalkBoundary boundary,
                   Dependencies dependencies);
  CacheScanService(const CacheScanService&) = delete;
  CacheScanService& operator=(const CacheScanService&) = delete;
  // Stops every run still going and waits for each to wind down; each still reports its end.
  ~CacheScanService();

  // The locator whose environment the scans resolve and keep; native cleanup commands run
  // through it too.
  ToolLocator& tools() const;
  const WalkBoundary& boundary() const;

  // Empties the size cache: the next scan walks every item again.
  void invalidateCache();
  // Drops the cached measurements of these ids; unknown ids are ignored.
  void forget(const std::vector<std::string>& ids);
  void forget(const std::set<std::string>& ids);
  std::optional<DirectoryMeasurement> cachedMeasurement(const std::string& id) const;
  // Measures one item again, alone, as a run measures it (`measure` with the service's walk
  // limits and folder measurer), and caches the measurement unless a newer run began meanwhile;
  // none when the stop was requested before the walk completed. Blocks the calling thread.
  std::optional<DirectoryMeasurement> remeasure(const CacheItem& item, std::stop_token stop = {});
  // Starts a new run: raises the run counter and returns its new value. Every older run is
  // superseded from now on.
  std::uint64_t beginRun();
  // Whether `run` is the newest run and its stop was not requested.
  bool isCurrent(std::uint64_t run, std::stop_token stop = {}) const;
  // Caches the measurement under the id, replacing any earlier one, only while `run` is
  // current; says whether it did.
  bool record(const DirectoryMeasurement& measurement, const std::string& id, std::uint64_t run,
              std::stop_token stop = {});

  // Starts one scan on a thread of its own and returns at once. The run pushes its events to
  // `sink`, one at a time and in order, from that thread; when it returns, early or not, it
  // calls `ended` once, after its last event. A run that ran to its end sends `finished` last.
  // If no thread can be had the run does not start and `ended` is called here. A relative home
  // is taken from the working folder at this call.
  Handle scan(CacheScanConfiguration configuration, EventSink sink,
              std::function<void()> ended = {});

  // The item's measurement summed over its target folders, each measured with `folder`;
  // none when a walk was stopped (the partial total is dropped).
  static std::optional<DirectoryMeasurement> measure(const CacheItem& item,
                                                     const WalkBoundary& boundary,
                                                     std::stop_token stop = {},
                                                     const FolderMeasurer& folder = measureFolder);
  // One walk of the shared walker, hidden entries included. Nothing at the path measures as
  // an empty folder, not as an unreadable one.
  static std::optional<DirectoryMeasurement> measureFolder(const std::string& path,
                                                           const WalkBoundary& boundary,
                                                           std::stop_token stop);
  // Why a scan of `home` cannot run: the home (a relative one taken from the working folder) is
  // missing, not a folder or unreadable; none when it can. A scan of such a home ends without
  // any event.
  static std::optional<std::string> homeProblem(const std::string& home);
  // The distinct canonical roots under which the items' open files matter.
  static std::vector<std::string> roots(const std::vector<CacheItem>& items);
  // The report-only rows for unavailable simulators and local snapshots, those that apply,
  // simulators first.
  static std::vector<CacheItem> virtualRows(
      const std::string& home,
      const std::optional<SystemQueries::UnavailableSimulators>& simulators,
      const std::vector<std::string>& snapshots);
  static bool isBrowserRunning(std::stop_token stop);

 private:
  class Core;
  struct RunThread {
    std::thread thread;
    std::stop_source stop;
    std::shared_ptr<std::atomic<bool>> ended;
  };

  void reapEndedRunsLocked();

  std::shared_ptr<Core> core_;
  std::mutex runsMutex_;
  std::vector<RunThread> runs_;
};

}  // namespace hl
