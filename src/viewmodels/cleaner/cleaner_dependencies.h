#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "models/directory_measurement.h"
#include "models/native_action.h"
#include "models/removal_mode.h"
#include "models/trash_item.h"
#include "models/trash_result.h"
#include "models/worktree_status.h"
#include "services/in_use/in_use_evaluation.h"
#include "services/in_use/process_guard.h"
#include "services/removal/destructive_gate.h"
#include "services/removal/trash_service.h"
#include "services/scan/cache_scan_configuration.h"
#include "services/scan/cache_scan_event.h"
#include "services/scan/cache_scan_service.h"
#include "services/system/full_disk_access.h"
#include "services/system/process_runner.h"
#include "services/system/tool_locator.h"
#include "utilities/time.h"
#include "viewmodels/cleaner/flow_executor.h"

namespace hl {

class DesktopServices;

// The scan engine as the cleaner uses it: start a run, give up on it, forget measurements, and
// measure one item again, and the tool locator whose environment the runs resolve.
class CleanerScanEngine {
 public:
  struct Request {
    CacheScanConfiguration configuration;
    // Empty the size cache before the run starts, so nothing measured earlier is reused.
    bool clearSizeCacheFirst = false;
  };
  // Receives the run's events in order, from any thread.
  using EventSink = std::function<void(CacheScanEvent)>;

  // A started run. Destroying it gives the run up as `cancel` does.
  class Run {
   public:
    virtual ~Run() = default;
    // Asks the run to stop and returns at once.
    virtual void cancel() = 0;
  };

  virtual ~CleanerScanEngine() = default;
  // Starts a run; `ended` is called once, from any thread, after the run's last event, whether
  // it finished or stopped early.
  virtual std::unique_ptr<Run> start(Request request, EventSink sink,
                                     std::function<void()> ended) = 0;
  // Drops the cached measurements of these ids.
  virtual void forget(const std::vector<std::string>& ids) = 0;
  // Measures one listed item again, alone, as a scan measures it, and keeps the measurement for
  // the next scan; none when `stop` was requested before the walk completed. Blocks: called on a
  // worker thread.
  virtual std::optional<DirectoryMeasurement> measure(const CacheItem& item,
                                                      std::stop_token stop) = 0;
  virtual ToolLocator& tools() = 0;
};

// The real engine behind the interface.
std::shared_ptr<CleanerScanEngine> makeCacheScanEngine(std::shared_ptr<CacheScanService> service);

// The service the cleaner hands confirmed removals to, with the gate it was made with.
class RemovalService {
 public:
  virtual ~RemovalService() = default;
  virtual const DestructiveGate& gate() const = 0;
  // Blocks; called on a worker thread. `progress` is called after each item, and `reserved` for
  // each Trash record reserved before its item is moved, on that thread.
  virtual TrashResult trash(const std::vector<TrashItem>& items, RemovalMode mode,
                            const TrashService::Progress& progress,
                            const FreedesktopTrash::ReservationNote& reserved) = 0;
};

// The real trash service behind the interface.
std::shared_ptr<RemovalService> makeRemovalService(std::shared_ptr<TrashService> service);

// Everything the cleaner calls on the world. The services that reach it (engine, trash service,
// in-use evaluation, git, the process list) must be given: the composition root wires the real
// ones, tests their fakes, and a missing one is an error at construction. The rest has a
// default. The blocking functions are called on worker threads.
struct CleanerDependencies {
  std::shared_ptr<FlowExecutor> executor;
  std::shared_ptr<CleanerScanEngine> engine;
  std::shared_ptr<RemovalService> trashService;
  // Dates: plan ages, scan dates, Quick Clean's one-second delay, the in-use time rules.
  WallClock wallClock;
  // Batching of scan events; default the clock that keeps counting through sleep.
  MonotonicClock monotonicClock;
  // The user's home folder; default the process's.
  std::optional<std::string> home;
  // Full Disk Access of the user's Trash; blocking.
  std::function<FullDiskAccess::Status()> fullDiskAccess;
  // The in-use evaluation of items, open files included, with the rules' reference date.
  std::function<InUseEvaluation(const std::vector<CacheItem>& items, Date now)> evaluateInUse;
  // Git's state of a linked worktree.
  std::function<WorktreeStatus(const std::optional<std::string>& gitRoot,
                               ProcessRunner::Duration timeout)>
      worktreeStatus;
  // `git worktree prune` in a repository; true when it ran and succeeded.
  std::function<bool(const std::string& repository, const DestructiveGate& gate,
                     ProcessRunner::Duration timeout)>
      pruneWorktrees;
  // Which owner keys run now, by a fresh process list; none when it cannot be read.
  ProcessGuard::RunningOwnersSource runningOwners;
  // A tool's own cleanup command; default through the engine's tool locator.
  std::function<std::optional<ProcessOutput>(const NativeAction& action,
                                             const DestructiveGate& gate,
                                             const ProcessRunner::OutputHandler& onOutput)>
      runTool;
  // Reveal in the file manager and the clipboard; none does nothing.
  std::shared_ptr<DesktopServices> desktop;
};

}  // namespace hl
