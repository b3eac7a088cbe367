// Starting a scan and taking in its events: each run is tagged, so the events of a run that a
// rescan overtook are dropped on arrival, and sizes, group ends and git states are batched for
// a short while so a burst of them costs one announcement.

#include <chrono>

#include "platform/memory_release.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

// Batched events wait at most this long (measured when each is handled) before a flush.
constexpr auto kBatchWindow = 150ms;

}  // namespace

CacheScanConfiguration CleanerViewModel::scanConfiguration(bool force) const {
  CacheScanConfiguration configuration;
  configuration.home = home_;
  configuration.extraPaths = settings_.extraPaths();
  configuration.maxConcurrentWalks = 4;
  configuration.checkGitStatus = true;
  configuration.detectTools = true;
  configuration.systemQueries = true;
  // The first scan of the session resolves the tools anyway; a forced one later resolves anew.
  configuration.refreshTools = force && hasScanned_;
  configuration.chromeCloneFolder = std::nullopt;
  configuration.includeTemporaryDirectory = true;
  configuration.detectInUse = true;
  return configuration;
}

void CleanerViewModel::rescan(bool force) {
  assertOnGuiThread();
  Batch batch(*this);
  // Giving the old run up drops its pending events and everything it still sends.
  scanHandle_.reset();
  // The run measures the items itself.
  stopMeasuringAgain();
  const std::uint64_t run = ++scanRun_;
  pendingEvents_.clear();

  assign(isScanning_, true, Input::isScanning);
  assign(scanningGroup_, std::optional<CacheGroup>{}, Input::scanningGroup);
  assign(finishedGroups_, std::set<CacheGroup>{}, Input::finishedGroups);
  // A `finished` of the overtaken run must not make this run's early end look complete.
  finishedThisRun_ = false;

  CleanerScanEngine::Request request{scanConfiguration(force), force};
  refreshFullDiskAccess();
  activity_.log(ActivityEvent::Kind::scan, force ? "Scan started" : "Refreshing items");

  lastFlush_ = monotonicClock_();
  const auto post = poster();
  scanHandle_ = engine_->start(
      std::move(request),
      [post, run](CacheScanEvent event) {
        post([run, event = std::move(event)](CleanerViewModel& model) mutable {
          model.receive(run, std::move(event));
        });
      },
      [post, run] { post([run](CleanerViewModel& model) { model.runEnded(run); }); });
}

void CleanerViewModel::refreshFullDiskAccess() {
  assertOnGuiThread();
  const auto post = poster();
  // Never cancelled: a late answer simply replaces the status.
  executor_->runInBackground([probe = dependencies_.fullDiskAccess, post] {
    const FullDiskAccess::Status status = probe();
    post([status](CleanerViewModel& model) {
      model.assign(model.fullDiskAccess_, status, Input::fullDiskAccess);
    });
  });
}

bool CleanerViewModel::isBatched(const CacheScanEvent& event) {
  switch (event.kind()) {
    case CacheScanEvent::Kind::itemSized:
    case CacheScanEvent::Kind::groupFinished:
    case CacheScanEvent::Kind::worktreeStatus:
      return true;
    default:
      return false;
  }
}

void CleanerViewModel::receive(std::uint64_t run, CacheScanEvent event) {
  // An overtaken run's events change nothing at all.
  if (run != scanRun_) return;
  const bool batched = isBatched(event);
  pendingEvents_.push_back(std::move(event));
  const Instant now = monotonicClock_();
  // Held back while the burst is young; a quiet stream keeps them until its next event or end.
  if (batched && now - lastFlush_ <= kBatchWindow) return;
  flush(now);
}

void CleanerViewModel::flush(Instant now) {
  Batch batch(*this);
  // A receiver of the log may start a rescan mid-way: the overtaken run then applies no more.
  const std::uint64_t run = scanRun_;
  for (std::size_t i = 0; i < pendingEvents_.size() && run == scanRun_; ++i) {
    apply(pendingEvents_[i]);
  }
  if (run != scanRun_) return;
  pendingEvents_.clear();  // keeps its capacity for the next burst
  lastFlush_ = now;
}

void CleanerViewModel::runEnded(std::uint64_t run) {
  if (run != scanRun_) return;
  Batch batch(*this);
  flush(monotonicClock_());
  if (run != scanRun_) return;
  scanHandle_.reset();
  if (!lastScanDate_ || !finishedThisRun_) {
    activity_.log(ActivityEvent::Kind::error, "Scan ended early; showing what was found so far");
    assign(lastScanDate_, std::optional<Date>(wallClock_()), Input::lastScanDate);
  }
  finishedThisRun_ = false;
  assign(isScanning_, false, Input::isScanning);
  assign(scanningGroup_, std::optional<CacheGroup>{}, Input::scanningGroup);
  assign(hasScanned_, true, Input::hasScanned);
  // What the replaced items and the applied events held is free now.
  MemoryRelease::giveBackFreedSoon();
}

}  // namespace hl
