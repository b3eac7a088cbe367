#pragma once

// Fakes shared by the scan service tests: a world of scripted steps and a recorder of events.

#include <gtest/gtest.h>

#include "services/scan/cache_scan_service.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "models/cache_group.h"
#include "support/manual_clock.h"
#include "support/service_printers.h"

namespace hl::test::scan {

using namespace hl;
using namespace std::chrono_literals;
using hl::test::ManualMonotonicClock;
using hl::test::ManualWallClock;
using Event = CacheScanEvent;


// The test process's own fake home: a real folder, as a scan needs one.
inline std::string kHome() { return homeDirectory(); }

inline CacheItem item(const std::string& url, CacheGroup group) {
  CacheItemInit init;
  init.url = url;
  init.group = group;
  init.home = kHome();
  return CacheItem(init);
}

inline CacheItem worktreeItem(const std::string& url, std::optional<std::string> gitRoot) {
  CacheItem result = item(url, CacheGroup::aiWorktrees);
  WorktreeInfo info;
  info.gitRoot = std::move(gitRoot);
  result.worktree = info;
  return result;
}

inline CacheItem multiItem(const std::string& url, std::vector<std::string> members) {
  CacheItem result = item(url, CacheGroup::buildTools);
  result.members = std::move(members);
  return result;
}

inline DirectoryMeasurement measurement(std::int64_t size, std::int64_t files = 1) {
  DirectoryMeasurement result;
  result.size = size;
  result.fileCount = files;
  return result;
}

inline std::string describeEvent(const Event& event) {
  std::string text(rawValue(event.kind()));
  const auto ids = [](const std::vector<CacheItem>& items) {
    std::string joined;
    for (const CacheItem& each : items) joined += (joined.empty() ? "" : ",") + each.id;
    return joined;
  };
  if (const auto* tools = event.get<Event::ToolsResolved>()) {
    text += " " + tools->environment.path;
  } else if (const auto* discovered = event.get<Event::Discovered>()) {
    text += " " + ids(discovered->items);
  } else if (const auto* owners = event.get<Event::RunningOwners>()) {
    for (const std::string& owner : owners->owners) text += " " + owner;
  } else if (const auto* inUse = event.get<Event::InUse>()) {
    text += " " + std::to_string(inUse->evaluation.reasons.size());
  } else if (const auto* status = event.get<Event::WorktreeStatus>()) {
    text += " " + status->id + " " + describe(status->status);
  } else if (const auto* sized = event.get<Event::ItemSized>()) {
    text += " " + sized->id + " " + std::to_string(sized->measurement.size);
  } else if (const auto* group = event.get<Event::GroupFinished>()) {
    text += " " + std::string(rawValue(group->group));
  } else if (const auto* added = event.get<Event::Added>()) {
    text += " " + ids(added->items);
  } else if (const auto* finished = event.get<Event::Finished>()) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " %.1f", finished->duration.count());
    text += seconds;
  }
  return text;
}

// Collects the events of one run and its end, from whatever thread they come.
class Recorder {
 public:
  CacheScanService::EventSink sink() {
    return [this](Event event) {
      std::lock_guard lock(mutex_);
      EXPECT_FALSE(ended_) << "an event after the end";
      events_.push_back(std::move(event));
      changed_.notify_all();
    };
  }
  std::function<void()> ended() {
    return [this] {
      std::lock_guard lock(mutex_);
      EXPECT_FALSE(ended_) << "ended twice";
      ended_ = true;
      changed_.notify_all();
    };
  }

  void waitForEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
  }
  void waitForKind(Event::Kind kind) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
      return std::any_of(events_.begin(), events_.end(),
                         [kind](const Event& event) { return event.kind() == kind; });
    });
  }

  std::vector<Event> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<std::string> trace() {
    std::vector<std::string> lines;
    for (const Event& event : events()) lines.push_back(describeEvent(event));
    return lines;
  }
  std::vector<Event::Kind> kinds() {
    std::vector<Event::Kind> result;
    for (const Event& event : events()) result.push_back(event.kind());
    return result;
  }
  int count(Event::Kind kind) {
    const auto all = kinds();
    return static_cast<int>(std::count(all.begin(), all.end(), kind));
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
  bool ended_ = false;
};

// Everything a scan calls on the world, answered from what the test set. A call can be held at
// a named point until the test releases it (or, when so set, until the run's stop).
class FakeWorld {
 public:
  DiscoveryResult discovery;
  std::map<std::string, DirectoryMeasurement> sizes;  // per folder; absent: no measurement
  std::map<std::string, WorktreeStatus> statuses;     // per git root; absent: clean
  InUseEvaluation evaluation;
  bool browserRuns = false;
  std::optional<SystemQueries::UnavailableSimulators> simulators;
  std::vector<std::string> snapshots;
  std::string toolPath = "/fake/bin";

  ManualWallClock wall{hl::test::referenceDate()};
  ManualMonotonicClock monotonic;

  // The next call that reaches `point` waits there.
  void hold(const std::string& point, bool untilStop = false) {
    std::lock_guard lock(mutex_);
    holds_[point] = Hold{untilStop};
  }
  void release(const std::string& point) {
    std::lock_guard lock(mutex_);
    holds_.at(point).released = true;
    changed_.notify_all();
  }
  void waitUntilHeld(const std::string& point) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return holds_.count(point) > 0 && holds_.at(point).arrived; });
  }
  // From now on every measurement waits for a token of its own.
  void gateMeasurements() {
    std::lock_guard lock(mutex_);
    tokens_ = 0;
  }
  void giveToken() {
    std::lock_guard lock(mutex_);
    ++tokens_;
    changed_.notify_all();
  }
  // Blocks until `started` measurements have started and `inFlight` of them still run.
  void waitForMeasurements(std::size_t started, int inFlight) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return measured_.size() >= started && inFlight_ == inFlight; });
    EXPECT_EQ(measured_.size(), started);
  }

  std::shared_ptr<ToolLocator> locator() {
    ToolLocator::Dependencies dependencies;
    dependencies.launcher = [this](const std::string&, const std::vector<std::string>&,
                                   ProcessRunner::Duration, const ProcessRunner::Environment&,
                                   const ProcessRunner::OutputHandler&,
                                   std::stop_token stop) -> std::optional<ProcessOutput> {
      std::unique_lock lock(mutex_);
      ++toolProbes_;
      if (!arrive("tools", lock, stop)) return ProcessOutput{-1, "", "", true};
      return ProcessOutput{0, "PATH=" + toolPath + "\n", "", false};
    };
    dependencies.loginShell = [] { return std::string("/bin/bash"); };
    dependencies.home = [] { return std::string("/nonexistent-home"); };
    return std::make_shared<ToolLocator>(std::move(dependencies));
  }

  CacheScanService::Dependencies dependencies() {
    CacheScanService::Dependencies result;
    result.browserRunning = [this](std::stop_token) {
      std::lock_guard lock(mutex_);
      ++browserChecks_;
      return browserRuns;
    };
    result.discover = [this](const CacheDiscovery& asked) {
      std::lock_guard lock(mutex_);
      discoveries_.push_back(asked);
      monotonic.advance(2s);
      return discovery;
    };
    result.evaluateInUse = [this](const InUseDetector& detector,
                                  const std::vector<CacheItem>& items, std::stop_token stop) {
      std::unique_lock lock(mutex_);
      detectors_.push_back(detector);
      evaluatedCounts_.push_back(items.size());
      if (!arrive("inUse", lock, stop)) {
        InUseEvaluation unverified;
        unverified.verification = VerificationState::unavailable("ps timed out");
        return unverified;
      }
      return evaluation;
    };
    result.worktreeStatus = [this](const std::optional<std::string>& root,
                                   ProcessRunner::Duration timeout, std::stop_token stop) {
      std::unique_lock lock(mutex_);
      gitRoots_.push_back(root);
      gitTimeouts_.push_back(timeout);
      ++gitInFlight_;
      const bool finished = arrive("git:" + root.value_or("none"), lock, stop);
      --gitInFlight_;
      if (!finished) return WorktreeStatus::error("stopped");
      const auto found = statuses.find(root.value_or(""));
      return found == statuses.end() ? WorktreeStatus::clean() : found->second;
    };
    result.measureFolder = [this](const std::string& path, const WalkBoundary&,
                                  std::stop_token stop) -> std::optional<DirectoryMeasurement> {
      std::unique_lock lock(mutex_);
      // The simulator query's device folders are answered at once and kept apart.
      if (path.rfind("/devices/", 0) == 0) {
        const auto device = sizes.find(path);
        if (device == sizes.end()) return std::nullopt;
        return device->second;
      }
      measured_.push_back(path);
      if (gitInFlight_ > 0) measuredWhileGitRan_ = true;
      ++inFlight_;
      maxInFlight_ = std::max(maxInFlight_, inFlight_);
      changed_.notify_all();
      bool finished = arrive("measure:" + path, lock, stop);
      if (finished && tokens_ >= 0) {
        finished = changed_.wait(lock, stop, [&] { return tokens_ > 0; });
        if (finished) --tokens_;
      }
      --inFlight_;
      changed_.notify_all();
      const auto found = sizes.find(path);
      if (!finished || found == sizes.end()) return std::nullopt;
      return found->second;
    };
    result.unavailableSimulators = [this](const SystemQueries::FolderMeasurer& measure,
                                          std::stop_token) {
      {
        std::lock_guard lock(mutex_);
        ++simulatorQueries_;
      }
      // The query measures a device folder through the scan's walker.
      simulatorDeviceSize_ = measure("/devices/one");
      return simulators;
    };
    result.localSnapshots = [this](std::stop_token) {
      std::lock_guard lock(mutex_);
      ++snapshotQueries_;
      return snapshots;
    };
    result.temporaryFolder = [] { return std::optional<std::string>("/run/user/tmp"); };
    result.wallClock = wall.clock();
    result.monotonicClock = monotonic.clock();
    return result;
  }

  std::vector<CacheDiscovery> discoveries() {
    std::lock_guard lock(mutex_);
    return discoveries_;
  }
  std::vector<InUseDetector> detectors() {
    std::lock_guard lock(mutex_);
    return detectors_;
  }
  std::vector<std::optional<std::string>> gitRoots() {
    std::lock_guard lock(mutex_);
    return gitRoots_;
  }
  std::vector<ProcessRunner::Duration> gitTimeouts() {
    std::lock_guard lock(mutex_);
    return gitTimeouts_;
  }
  std::vector<std::string> measured() {
    std::lock_guard lock(mutex_);
    return measured_;
  }
  void forgetMeasured() {
    std::lock_guard lock(mutex_);
    measured_.clear();
  }
  bool measuredWhileGitRan() {
    std::lock_guard lock(mutex_);
    return measuredWhileGitRan_;
  }
  int maxInFlight() {
    std::lock_guard lock(mutex_);
    return maxInFlight_;
  }
  int toolProbes() {
    std::lock_guard lock(mutex_);
    return toolProbes_;
  }
  int browserChecks() {
    std::lock_guard lock(mutex_);
    return browserChecks_;
  }
  int simulatorQueries() {
    std::lock_guard lock(mutex_);
    return simulatorQueries_;
  }
  int snapshotQueries() {
    std::lock_guard lock(mutex_);
    return snapshotQueries_;
  }
  std::optional<std::int64_t> simulatorDeviceSize() {
    std::lock_guard lock(mutex_);
    return simulatorDeviceSize_;
  }

 private:
  struct Hold {
    bool untilStop = false;
    bool arrived = false;
    bool released = false;
  };

  // Waits at `point` when it is held; false when the stop ended the wait.
  bool arrive(const std::string& point, std::unique_lock<std::mutex>& lock,
              const std::stop_token& stop) {
    const auto found = holds_.find(point);
    if (found == holds_.end() || found->second.arrived) return true;
    Hold& held = found->second;
    held.arrived = true;
    changed_.notify_all();
    if (held.untilStop) return changed_.wait(lock, stop, [&] { return held.released; });
    changed_.wait(lock, [&] { return held.released; });
    return true;
  }

  std::mutex mutex_;
  std::condition_variable_any changed_;
  std::map<std::string, Hold> holds_;
  int tokens_ = -1;  // below 0: measurements do not wait for tokens
  std::vector<CacheDiscovery> discoveries_;
  std::vector<InUseDetector> detectors_;
  std::vector<std::size_t> evaluatedCounts_;
  std::vector<std::optional<std::string>> gitRoots_;
  std::vector<ProcessRunner::Duration> gitTimeouts_;
  int gitInFlight_ = 0;
  std::vector<std::string> measured_;
  bool measuredWhileGitRan_ = false;
  int inFlight_ = 0;
  int maxInFlight_ = 0;
  int toolProbes_ = 0;
  int browserChecks_ = 0;
  int simulatorQueries_ = 0;
  int snapshotQueries_ = 0;
  std::optional<std::int64_t> simulatorDeviceSize_;
};

// The five items most tests scan: a worktree, a project folder discovered second but walked
// last, two package caches and a tool cache of two member folders.
inline void fillWorld(FakeWorld& world) {
  world.discovery.items = {
      worktreeItem("/h/wt/a", "/h/wt/a"), item("/h/p/node_modules", CacheGroup::projects),
      item("/h/c/one", CacheGroup::packageCaches), item("/h/c/two", CacheGroup::packageCaches),
      multiItem("/h/b/multi", {"/h/b/multi/x", "/h/b/multi/y"})};
  world.discovery.notes = {"skipped a linked folder"};
  world.sizes = {{"/h/wt/a", measurement(10)},        {"/h/p/node_modules", measurement(40)},
                 {"/h/c/one", measurement(20)},       {"/h/c/two", measurement(30)},
                 {"/h/b/multi/x", measurement(5, 2)}, {"/h/b/multi/y", measurement(7, 3)},
                 {"/devices/one", measurement(900)}};
  world.statuses = {{"/h/wt/a", WorktreeStatus::dirty(true, 2)}};
  world.evaluation.reasons = {{"/h/c/one", "open by node (pid 7)"}};
  world.evaluation.runningOwners = {"node"};
  world.simulators = SystemQueries::UnavailableSimulators{2, 4096};
  world.snapshots = {"com.apple.TimeMachine.2026-03-01-120000.local"};
}

inline CacheScanConfiguration configuration(int window = 1) {
  CacheScanConfiguration result;
  result.home = kHome();
  result.extraPaths = {"~/scratch"};
  result.maxConcurrentWalks = window;
  return result;
}

// One whole run: starts it and waits for its end.
inline std::vector<std::string> scanOnce(CacheScanService& service,
                                         const CacheScanConfiguration& config,
                                         Recorder& recorder) {
  CacheScanService::Handle handle = service.scan(config, recorder.sink(), recorder.ended());
  recorder.waitForEnd();
  return recorder.trace();
}

const std::vector<std::string> kFullTrace = {
    "toolsResolved /fake/bin",
    "discovered /h/wt/a,/h/p/node_modules,/h/c/one,/h/c/two,/h/b/multi",
    "runningOwners node",
    "inUse 1",
    "worktreeStatus /h/wt/a dirty(true, 2)",
    "itemSized /h/wt/a 10",
    "groupFinished aiWorktrees",
    "itemSized /h/c/one 20",
    "itemSized /h/c/two 30",
    "groupFinished packageCaches",
    "itemSized /h/b/multi 12",
    "groupFinished buildTools",
    "itemSized /h/p/node_modules 40",
    "groupFinished projects",
    "added virtual:unavailable-simulators,virtual:local-snapshots",
    "finished 2.0",
};


}  // namespace hl::test::scan
