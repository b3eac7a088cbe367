#include "services/cache_scan_service.h"

#include <gtest/gtest.h>

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

using namespace hl;
using namespace std::chrono_literals;
using hl::test::ManualMonotonicClock;
using hl::test::ManualWallClock;
using Event = CacheScanEvent;

namespace {

const std::string kHome = "/home/ann";

CacheItem item(const std::string& url, CacheGroup group) {
  CacheItemInit init;
  init.url = url;
  init.group = group;
  init.home = kHome;
  return CacheItem(init);
}

CacheItem worktreeItem(const std::string& url, std::optional<std::string> gitRoot) {
  CacheItem result = item(url, CacheGroup::aiWorktrees);
  WorktreeInfo info;
  info.gitRoot = std::move(gitRoot);
  result.worktree = info;
  return result;
}

CacheItem multiItem(const std::string& url, std::vector<std::string> members) {
  CacheItem result = item(url, CacheGroup::buildTools);
  result.members = std::move(members);
  return result;
}

DirectoryMeasurement measurement(std::int64_t size, std::int64_t files = 1) {
  DirectoryMeasurement result;
  result.size = size;
  result.fileCount = files;
  return result;
}

std::string describeEvent(const Event& event) {
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
void fillWorld(FakeWorld& world) {
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

CacheScanConfiguration configuration(int window = 1) {
  CacheScanConfiguration result;
  result.home = kHome;
  result.extraPaths = {"~/scratch"};
  result.maxConcurrentWalks = window;
  return result;
}

// One whole run: starts it and waits for its end.
std::vector<std::string> scanOnce(CacheScanService& service, const CacheScanConfiguration& config,
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

}  // namespace

TEST(CacheScanService, ARunSendsEveryKindOfEventInItsOrder) {
  FakeWorld world;
  fillWorld(world);
  Recorder recorder;
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());

  EXPECT_EQ(scanOnce(service, configuration(), recorder), kFullTrace);

  // What discovery was built with: the configuration, the resolved tools, the browser check,
  // the user's private temporary folder and no clone folder of its own.
  const auto discoveries = world.discoveries();
  ASSERT_EQ(discoveries.size(), 1u);
  const CacheDiscovery& asked = discoveries[0];
  EXPECT_EQ(asked.home, kHome);
  EXPECT_EQ(asked.extraPaths, std::vector<std::string>{"~/scratch"});
  EXPECT_EQ(asked.tools.path, "/fake/bin");
  EXPECT_FALSE(asked.chromeRunning);
  EXPECT_EQ(asked.temporaryDirectory, "/run/user/tmp");
  EXPECT_EQ(asked.chromeCloneFolder, std::nullopt);
  EXPECT_EQ(asked.worktrees.home, kHome);
  EXPECT_EQ(asked.worktrees.searchRoots,
            (std::vector<std::string>{"Documents", "Developer", "Projects", "code", "src", "repos",
                                      "work"}));
  EXPECT_EQ(asked.worktrees.toolFolders,
            (std::vector<std::string>{".grok/worktrees", ".codex/worktrees", ".cursor/worktrees"}));
  EXPECT_EQ(asked.worktrees.maxDepth, 4);
  EXPECT_EQ(asked.projects.home, kHome);
  EXPECT_EQ(asked.projects.searchRoots, asked.worktrees.searchRoots);
  EXPECT_EQ(asked.projects.maxDepth, 5);
  EXPECT_EQ(asked.clock(), hl::test::referenceDate());

  const auto detectors = world.detectors();
  ASSERT_EQ(detectors.size(), 1u);
  EXPECT_EQ(detectors[0].home, kHome);
  EXPECT_EQ(detectors[0].now, hl::test::referenceDate());
  EXPECT_EQ(world.gitTimeouts(), std::vector<ProcessRunner::Duration>{5s});

  // The payloads travel whole: discovery's notes, the evaluation, the summed members.
  const auto events = recorder.events();
  EXPECT_EQ(events[1].get<Event::Discovered>()->notes,
            std::vector<std::string>{"skipped a linked folder"});
  EXPECT_EQ(events[3].get<Event::InUse>()->evaluation, world.evaluation);
  EXPECT_EQ(events[10].get<Event::ItemSized>()->measurement.fileCount, 5);
  EXPECT_EQ(events[10].itemId(), "/h/b/multi");
  // The simulator query measures device folders with the scan's walker.
  EXPECT_EQ(world.simulatorDeviceSize(), 900);
  EXPECT_EQ(events.back().get<Event::Finished>()->duration, Seconds(2));
}

TEST(CacheScanService, EachSwitchLeavesOutItsStepAndItsEvents) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  const auto without = [](std::vector<std::string> trace, const std::string& prefix) {
    trace.erase(std::remove_if(trace.begin(), trace.end(),
                               [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }),
                trace.end());
    return trace;
  };
  const auto walked = [&](std::vector<std::string> trace) {
    service.invalidateCache();
    return trace;
  };

  {
    SCOPED_TRACE("no tools");
    CacheScanConfiguration config = configuration();
    config.detectTools = false;
    Recorder recorder;
    EXPECT_EQ(walked(scanOnce(service, config, recorder)), without(kFullTrace, "toolsResolved"));
    EXPECT_EQ(world.toolProbes(), 0);
    EXPECT_EQ(world.discoveries().back().tools, ToolEnvironment::empty());
  }
  {
    SCOPED_TRACE("no system queries");
    CacheScanConfiguration config = configuration();
    config.systemQueries = false;
    Recorder recorder;
    const int browserChecks = world.browserChecks();
    const int simulatorQueries = world.simulatorQueries();
    const int snapshotQueries = world.snapshotQueries();
    EXPECT_EQ(walked(scanOnce(service, config, recorder)), without(kFullTrace, "added"));
    EXPECT_EQ(world.browserChecks(), browserChecks);
    EXPECT_EQ(world.simulatorQueries(), simulatorQueries);
    EXPECT_EQ(world.snapshotQueries(), snapshotQueries);
    // Without a process picture the browser counts as running.
    EXPECT_TRUE(world.discoveries().back().chromeRunning);
  }
  {
    SCOPED_TRACE("no in-use evaluation");
    CacheScanConfiguration config = configuration();
    config.detectInUse = false;
    Recorder recorder;
    const std::size_t evaluations = world.detectors().size();
    EXPECT_EQ(walked(scanOnce(service, config, recorder)),
              without(without(kFullTrace, "runningOwners"), "inUse"));
    EXPECT_EQ(world.detectors().size(), evaluations);
  }
  {
    SCOPED_TRACE("no git");
    CacheScanConfiguration config = configuration();
    config.checkGitStatus = false;
    Recorder recorder;
    const std::size_t queries = world.gitRoots().size();
    EXPECT_EQ(walked(scanOnce(service, config, recorder)), without(kFullTrace, "worktreeStatus"));
    EXPECT_EQ(world.gitRoots().size(), queries);
  }
  {
    SCOPED_TRACE("no temporary folder, a clone folder of the caller's");
    CacheScanConfiguration config = configuration();
    config.includeTemporaryDirectory = false;
    config.chromeCloneFolder = "/var/clones/X";
    Recorder recorder;
    EXPECT_EQ(walked(scanOnce(service, config, recorder)), kFullTrace);
    EXPECT_EQ(world.discoveries().back().temporaryDirectory, std::nullopt);
    EXPECT_EQ(world.discoveries().back().chromeCloneFolder, "/var/clones/X");
  }
  {
    SCOPED_TRACE("tools kept, then refreshed");
    // The scans above resolved the tools once and kept them.
    EXPECT_EQ(world.toolProbes(), 1);
    Recorder kept;
    walked(scanOnce(service, configuration(), kept));
    EXPECT_EQ(world.toolProbes(), 1);
    EXPECT_EQ(kept.trace().front(), "toolsResolved /fake/bin");
    world.toolPath = "/newer/bin";
    CacheScanConfiguration config = configuration();
    config.refreshTools = true;
    Recorder refreshed;
    walked(scanOnce(service, config, refreshed));
    EXPECT_EQ(world.toolProbes(), 2);
    EXPECT_EQ(refreshed.trace().front(), "toolsResolved /newer/bin");
    EXPECT_EQ(world.discoveries().back().tools.path, "/newer/bin");
  }
}

TEST(CacheScanService, AScanThatFindsNothingStillEndsInOrder) {
  FakeWorld world;
  Recorder recorder;
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  EXPECT_EQ(scanOnce(service, configuration(4), recorder),
            (std::vector<std::string>{"toolsResolved /fake/bin", "discovered ", "runningOwners",
                                      "inUse 0", "added ", "finished 2.0"}));
  EXPECT_TRUE(world.measured().empty());
  EXPECT_TRUE(world.gitRoots().empty());
}

TEST(CacheScanService, CachedSizesComeFirstAndTheirGroupsFinishBeforeAnyWalk) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  Recorder first;
  scanOnce(service, configuration(4), first);
  EXPECT_EQ(service.cachedMeasurement("/h/c/one"), measurement(20));
  EXPECT_EQ(service.cachedMeasurement("/h/b/multi"), measurement(12, 5));

  // A removal touched the project folder and one cache: only those are walked again.
  service.forget(std::set<std::string>{"/h/p/node_modules", "/h/c/two", "/not/cached"});
  world.sizes["/h/c/two"] = measurement(31);
  world.forgetMeasured();
  Recorder second;
  const std::vector<std::string> trace = scanOnce(service, configuration(1), second);
  EXPECT_EQ(std::vector<std::string>(trace.begin() + 4, trace.end()),
            (std::vector<std::string>{
                "worktreeStatus /h/wt/a dirty(true, 2)",
                "itemSized /h/wt/a 10",
                "groupFinished aiWorktrees",
                "itemSized /h/c/one 20",
                "itemSized /h/b/multi 12",
                "groupFinished buildTools",
                "itemSized /h/c/two 31",
                "groupFinished packageCaches",
                "itemSized /h/p/node_modules 40",
                "groupFinished projects",
                "added virtual:unavailable-simulators,virtual:local-snapshots",
                "finished 2.0",
            }));
  EXPECT_EQ(world.measured(), (std::vector<std::string>{"/h/c/two", "/h/p/node_modules"}));
  EXPECT_EQ(service.cachedMeasurement("/h/c/two"), measurement(31));

  // After the cache is emptied every item is walked again.
  service.invalidateCache();
  EXPECT_EQ(service.cachedMeasurement("/h/wt/a"), std::nullopt);
  world.forgetMeasured();
  Recorder third;
  scanOnce(service, configuration(1), third);
  EXPECT_EQ(world.measured(),
            (std::vector<std::string>{"/h/wt/a", "/h/c/one", "/h/c/two", "/h/b/multi/x",
                                      "/h/b/multi/y", "/h/p/node_modules"}));
}

TEST(CacheScanService, AnItemWithoutAMeasurementKeepsItsGroupFromFinishing) {
  FakeWorld world;
  fillWorld(world);
  world.sizes.erase("/h/c/two");  // its walk gives nothing, as a stopped walk would
  world.sizes.erase("/h/b/multi/y");
  Recorder recorder;
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  const std::vector<std::string> trace = scanOnce(service, configuration(2), recorder);
  EXPECT_EQ(recorder.count(Event::Kind::itemSized), 3);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "groupFinished packageCaches"), 0);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "groupFinished buildTools"), 0);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "groupFinished projects"), 1);
  EXPECT_EQ(trace.back(), "finished 2.0");
  EXPECT_EQ(service.cachedMeasurement("/h/c/two"), std::nullopt);
  EXPECT_EQ(service.cachedMeasurement("/h/b/multi"), std::nullopt);
}

TEST(CacheScanService, EveryGitQueryEndsBeforeTheFirstWalkAndAMissingRootIsStillAsked) {
  FakeWorld world;
  fillWorld(world);
  world.discovery.items.push_back(worktreeItem("/h/wt/b", std::nullopt));
  world.discovery.items.push_back(worktreeItem("/h/wt/c", "/h/wt/c/inner"));
  world.sizes["/h/wt/b"] = measurement(1);
  world.sizes["/h/wt/c"] = measurement(1);
  world.statuses["/h/wt/c/inner"] = WorktreeStatus::error("no .git");
  world.hold("git:/h/wt/c/inner");
  Recorder recorder;
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  CacheScanService::Handle handle =
      service.scan(configuration(4), recorder.sink(), recorder.ended());
  world.waitUntilHeld("git:/h/wt/c/inner");
  EXPECT_TRUE(world.measured().empty());
  world.release("git:/h/wt/c/inner");
  recorder.waitForEnd();

  EXPECT_FALSE(world.measuredWhileGitRan());
  const auto roots = world.gitRoots();
  EXPECT_EQ(roots.size(), 3u);
  EXPECT_EQ(std::count(roots.begin(), roots.end(), std::nullopt), 1);
  const std::vector<Event::Kind> kinds = recorder.kinds();
  const auto lastStatus = std::find(kinds.rbegin(), kinds.rend(), Event::Kind::worktreeStatus);
  const auto firstSize = std::find(kinds.begin(), kinds.end(), Event::Kind::itemSized);
  EXPECT_LT(kinds.rend() - lastStatus - 1, firstSize - kinds.begin());
  const std::vector<std::string> trace = recorder.trace();
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "worktreeStatus /h/wt/b clean"), 1);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "worktreeStatus /h/wt/c error: no .git"), 1);
  EXPECT_EQ(trace.back(), "finished 2.0");
}

TEST(CacheScanService, NoMoreWalksRunAtOnceThanTheWindowAndAWindowBelowOneIsOne) {
  for (const int window : {2, 0, -3}) {
    SCOPED_TRACE(window);
    FakeWorld world;
    for (int i = 0; i < 6; ++i) {
      const std::string path = "/h/c/" + std::to_string(i);
      world.discovery.items.push_back(
          item(path, i % 2 ? CacheGroup::projects : CacheGroup::packageCaches));
      world.sizes[path] = measurement(i + 1);
    }
    world.gateMeasurements();
    Recorder recorder;
    CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
    CacheScanService::Handle handle =
        service.scan(configuration(window), recorder.sink(), recorder.ended());
    const std::size_t width = static_cast<std::size_t>(std::max(window, 1));
    for (std::size_t done = 0; done < 6; ++done) {
      const std::size_t started = std::min<std::size_t>(6, done + width);
      world.waitForMeasurements(started, static_cast<int>(started - done));
      world.giveToken();
    }
    recorder.waitForEnd();
    EXPECT_EQ(world.maxInFlight(), static_cast<int>(width));
    // Non-project items first, each kind in item order. The first window starts at once, so
    // its members may be seen in either order.
    std::vector<std::string> measured = world.measured();
    std::sort(measured.begin(), measured.begin() + static_cast<std::ptrdiff_t>(width));
    EXPECT_EQ(measured, (std::vector<std::string>{"/h/c/0", "/h/c/2", "/h/c/4", "/h/c/1", "/h/c/3",
                                                  "/h/c/5"}));
    EXPECT_EQ(recorder.count(Event::Kind::itemSized), 6);
    EXPECT_EQ(recorder.trace().back(), "finished 2.0");
  }
}

TEST(CacheScanService, AnOlderRunThatCompletesLastNeitherCachesNorSendsNorFinishes) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  world.hold("measure:/h/c/one");
  Recorder older;
  CacheScanService::Handle olderHandle =
      service.scan(configuration(1), older.sink(), older.ended());
  world.waitUntilHeld("measure:/h/c/one");

  // The newer run measures the same item afresh (nothing was cached yet) and ends.
  world.sizes["/h/c/one"] = measurement(21);
  Recorder newer;
  CacheScanService::Handle newerHandle =
      service.scan(configuration(1), newer.sink(), newer.ended());
  newer.waitForEnd();
  EXPECT_EQ(newer.trace().back(), "finished 2.0");
  EXPECT_EQ(service.cachedMeasurement("/h/c/one"), measurement(21));

  world.release("measure:/h/c/one");
  older.waitForEnd();
  const std::vector<std::string> trace = older.trace();
  EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + 7),
            std::vector<std::string>(kFullTrace.begin(), kFullTrace.begin() + 7));
  EXPECT_EQ(trace.size(), 7u) << "the stale run sent " << trace.back();
  EXPECT_EQ(service.cachedMeasurement("/h/c/one"), measurement(21));
  // It started no further walk once it was stale.
  const auto measured = world.measured();
  EXPECT_EQ(std::count(measured.begin(), measured.end(), "/h/c/two"), 1);
}

TEST(CacheScanService, AnOlderRunDropsTheGitStatesThatArriveAfterANewerRunBegan) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  world.hold("git:/h/wt/a");
  Recorder older;
  CacheScanService::Handle olderHandle = service.scan(configuration(), older.sink(), older.ended());
  world.waitUntilHeld("git:/h/wt/a");
  Recorder newer;
  CacheScanService::Handle newerHandle = service.scan(configuration(), newer.sink(), newer.ended());
  newer.waitForEnd();
  world.release("git:/h/wt/a");
  older.waitForEnd();
  EXPECT_EQ(newer.trace(), kFullTrace);
  EXPECT_EQ(older.trace(), std::vector<std::string>(kFullTrace.begin(), kFullTrace.begin() + 4));
}

TEST(CacheScanService, ACancelDuringToolResolutionEndsTheRunAndKeepsNoEnvironment) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  world.hold("tools", true);
  Recorder cancelled;
  CacheScanService::Handle handle =
      service.scan(configuration(), cancelled.sink(), cancelled.ended());
  world.waitUntilHeld("tools");
  handle.cancel();
  cancelled.waitForEnd();
  EXPECT_TRUE(cancelled.events().empty());
  EXPECT_EQ(service.tools().cached(), std::nullopt);
  EXPECT_TRUE(world.discoveries().empty());

  // The next scan resolves afresh and keeps what it found.
  Recorder next;
  EXPECT_EQ(scanOnce(service, configuration(), next), kFullTrace);
  EXPECT_EQ(world.toolProbes(), 2);
  ASSERT_TRUE(service.tools().cached());
  EXPECT_EQ(service.tools().cached()->path, "/fake/bin");
}

TEST(CacheScanService, ACancelledRunStopsItsWalksAndSendsNothingMore) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  world.hold("measure:/h/c/one", true);
  Recorder recorder;
  CacheScanService::Handle handle =
      service.scan(configuration(1), recorder.sink(), recorder.ended());
  world.waitUntilHeld("measure:/h/c/one");
  handle.cancel();
  recorder.waitForEnd();
  EXPECT_EQ(recorder.trace(), std::vector<std::string>(kFullTrace.begin(), kFullTrace.begin() + 7));
  EXPECT_EQ(world.measured(), (std::vector<std::string>{"/h/wt/a", "/h/c/one"}));
  EXPECT_EQ(service.cachedMeasurement("/h/c/one"), std::nullopt);
  EXPECT_EQ(world.simulatorQueries(), 0);
}

TEST(CacheScanService, AnInUseEvaluationCutShortByACancelIsNotSent) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  world.hold("inUse", true);
  Recorder recorder;
  CacheScanService::Handle handle =
      service.scan(configuration(), recorder.sink(), recorder.ended());
  world.waitUntilHeld("inUse");
  handle.cancel();
  recorder.waitForEnd();
  EXPECT_EQ(recorder.trace(), std::vector<std::string>(kFullTrace.begin(), kFullTrace.begin() + 2));
  EXPECT_TRUE(world.gitRoots().empty());
}

TEST(CacheScanService, DroppingTheHandleDoesNotWaitAndTheServiceMayGoFirst) {
  FakeWorld world;
  fillWorld(world);
  Recorder recorder;
  auto service =
      std::make_unique<CacheScanService>(world.locator(), WalkBoundary(), world.dependencies());
  // The walk ignores the stop: the handle's destruction must not wait for it.
  world.hold("measure:/h/c/one");
  {
    CacheScanService::Handle handle =
        service->scan(configuration(1), recorder.sink(), recorder.ended());
    world.waitUntilHeld("measure:/h/c/one");
  }
  world.release("measure:/h/c/one");
  recorder.waitForEnd();
  EXPECT_EQ(recorder.count(Event::Kind::finished), 0);
  EXPECT_EQ(service->cachedMeasurement("/h/c/one"), std::nullopt);

  // Destroyed while a run walks: the run is stopped, reports its end, and nothing breaks.
  world.hold("measure:/h/c/two", true);
  Recorder cut;
  CacheScanService::Handle handle = service->scan(configuration(1), cut.sink(), cut.ended());
  world.waitUntilHeld("measure:/h/c/two");
  service.reset();
  cut.waitForEnd();
  EXPECT_EQ(cut.count(Event::Kind::finished), 0);
  handle.cancel();
}

TEST(CacheScanService, AnItemOfSeveralFoldersIsTheirSum) {
  const Date early = hl::test::referenceDate();
  std::map<std::string, std::optional<DirectoryMeasurement>> folders;
  DirectoryMeasurement a = measurement(100, 2);
  a.unreadableCount = 1;
  a.deduplicatedLinks = 1;
  a.newestModification = early;
  DirectoryMeasurement b = DirectoryMeasurement::unreadable();
  DirectoryMeasurement c = measurement(50, 4);
  c.skippedVolumes = 2;
  c.skippedDataless = 1;
  c.newestModification = early + 1h;
  folders = {{"/m/a", a}, {"/m/b", b}, {"/m/c", c}, {"/m/stopped", std::nullopt}};
  std::vector<std::string> asked;
  const CacheScanService::FolderMeasurer fake = [&](const std::string& path, const WalkBoundary&,
                                                    std::stop_token) {
    asked.push_back(path);
    return folders.at(path);
  };

  const auto sum = CacheScanService::measure(multiItem("/m", {"/m/a", "/m/b", "/m/c"}),
                                             WalkBoundary(), {}, fake);
  ASSERT_TRUE(sum);
  EXPECT_EQ(sum->size, 150);
  EXPECT_EQ(sum->fileCount, 6);
  EXPECT_EQ(sum->unreadableCount, 1 + b.unreadableCount);
  EXPECT_EQ(sum->deduplicatedLinks, 1);
  EXPECT_EQ(sum->skippedVolumes, 2);
  EXPECT_EQ(sum->skippedDataless, 1);
  EXPECT_TRUE(sum->isReadable);
  EXPECT_EQ(sum->newestModification, early + 1h);
  EXPECT_EQ(asked, (std::vector<std::string>{"/m/a", "/m/b", "/m/c"}));

  // Unreadable alone: still a size, and not readable. A later member without a date keeps the
  // earlier date.
  const auto unreadable =
      CacheScanService::measure(multiItem("/m", {"/m/b", "/m/b"}), WalkBoundary(), {}, fake);
  ASSERT_TRUE(unreadable);
  EXPECT_FALSE(unreadable->isReadable);
  EXPECT_EQ(unreadable->size, 0);
  const auto dated =
      CacheScanService::measure(multiItem("/m", {"/m/a", "/m/b"}), WalkBoundary(), {}, fake);
  EXPECT_EQ(dated->newestModification, early);

  // One stopped member drops the whole item, and the members after it are not walked.
  asked.clear();
  EXPECT_EQ(CacheScanService::measure(multiItem("/m", {"/m/a", "/m/stopped", "/m/c"}),
                                      WalkBoundary(), {}, fake),
            std::nullopt);
  EXPECT_EQ(asked, (std::vector<std::string>{"/m/a", "/m/stopped"}));
  // Without members the item's own location is measured.
  EXPECT_EQ(CacheScanService::measure(item("/m/c", CacheGroup::custom), WalkBoundary(), {}, fake),
            c);
}

TEST(CacheScanService, TheVirtualRowsComeFromTheSystemQueries) {
  FakeWorld world;
  world.simulators = SystemQueries::UnavailableSimulators{1, 2048};
  world.snapshots = {"a"};
  Recorder recorder;
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  scanOnce(service, configuration(), recorder);
  const auto events = recorder.events();
  ASSERT_GE(events.size(), 2u);
  const auto* added = events[events.size() - 2].get<Event::Added>();
  ASSERT_NE(added, nullptr);
  ASSERT_EQ(added->items.size(), 2u);

  const CacheItem& simulators = added->items[0];
  EXPECT_EQ(simulators.id, "virtual:unavailable-simulators");
  EXPECT_EQ(simulators.url, "/home/ann/Library/Developer/CoreSimulator/Devices");
  EXPECT_EQ(simulators.discoveryRoot, simulators.url);
  EXPECT_EQ(simulators.name, "Unavailable simulators");
  EXPECT_EQ(simulators.subtitle, "1 simulator without an installed runtime");
  EXPECT_EQ(simulators.group, CacheGroup::xcode);
  EXPECT_EQ(simulators.risk, RiskLevel::moderate);
  EXPECT_EQ(simulators.kind, ItemKind::virtual_);
  EXPECT_TRUE(simulators.isReportOnly);
  EXPECT_EQ(simulators.owners, (std::vector<std::string>{
                                   "Simulator", "com.apple.CoreSimulator.CoreSimulatorService"}));
  EXPECT_EQ(simulators.action, NativeAction{NativeAction::Tool::simctl});
  EXPECT_EQ(simulators.size, 2048);
  EXPECT_EQ(simulators.modified, std::nullopt);
  EXPECT_EQ(simulators.worktree, std::nullopt);
  EXPECT_FALSE(simulators.isSelectable());

  const CacheItem& snapshots = added->items[1];
  EXPECT_EQ(snapshots.id, "virtual:local-snapshots");
  EXPECT_EQ(snapshots.url, "/");
  EXPECT_EQ(snapshots.discoveryRoot, "/");
  EXPECT_EQ(snapshots.name, "Time Machine local snapshots");
  EXPECT_EQ(snapshots.subtitle, "1 snapshot \u00B7 managed by macOS");
  EXPECT_EQ(snapshots.group, CacheGroup::largeBackups);
  EXPECT_EQ(snapshots.risk, RiskLevel::review);
  EXPECT_EQ(snapshots.kind, ItemKind::virtual_);
  EXPECT_TRUE(snapshots.isReportOnly);
  EXPECT_TRUE(snapshots.owners.empty());
  EXPECT_EQ(snapshots.action, std::nullopt);
  EXPECT_EQ(snapshots.size, std::nullopt);

  // Plurals, and each row only when its query found something.
  const auto rows =
      CacheScanService::virtualRows(kHome, SystemQueries::UnavailableSimulators{3, 1}, {"a", "b"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].subtitle, "3 simulators without an installed runtime");
  EXPECT_EQ(rows[1].subtitle, "2 snapshots \u00B7 managed by macOS");
  EXPECT_EQ(CacheScanService::virtualRows(kHome, std::nullopt, {"a"}).front().id,
            "virtual:local-snapshots");
  EXPECT_TRUE(CacheScanService::virtualRows(kHome, std::nullopt, {}).empty());
}

TEST(CacheScanService, TheRunCounterMakesOnlyTheNewestRunCurrent) {
  FakeWorld world;
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());
  const std::uint64_t first = service.beginRun();
  EXPECT_TRUE(service.isCurrent(first));
  EXPECT_TRUE(service.record(measurement(1), "/a", first));
  const std::uint64_t second = service.beginRun();
  EXPECT_EQ(second, first + 1);
  EXPECT_FALSE(service.isCurrent(first));
  EXPECT_FALSE(service.record(measurement(2), "/a", first));
  EXPECT_EQ(service.cachedMeasurement("/a"), measurement(1));

  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(service.isCurrent(second, stop.get_token()));
  EXPECT_FALSE(service.record(measurement(3), "/a", second, stop.get_token()));
  EXPECT_TRUE(service.record(measurement(4), "/a", second));
  EXPECT_EQ(service.cachedMeasurement("/a"), measurement(4));
  service.forget(std::vector<std::string>{"/a", "/b"});
  EXPECT_EQ(service.cachedMeasurement("/a"), std::nullopt);
}

TEST(CacheScanService, RootsAreTheInUseRulesScanRoots) {
  CacheItem cache = item("/h/.cache/pip", CacheGroup::packageCaches);
  cache.discoveryRoot = "/h/.cache";
  const CacheItem tree = worktreeItem("/h/r/.claude/worktrees/a", "/h/r/.claude/worktrees/a");
  CacheItem row = item("/", CacheGroup::largeBackups);
  row.kind = ItemKind::virtual_;
  std::vector<std::string> roots = CacheScanService::roots({cache, tree, row, cache});
  std::sort(roots.begin(), roots.end());
  EXPECT_EQ(roots, (std::vector<std::string>{"/h/.cache", "/h/r/.claude/worktrees/a"}));
}

TEST(CacheScanService, AStepThatThrowsEndsTheRunEarlyInsteadOfTheProgram) {
  FakeWorld world;
  fillWorld(world);
  CacheScanService::Dependencies dependencies = world.dependencies();
  dependencies.discover = [](const CacheDiscovery&) -> DiscoveryResult { throw std::bad_alloc(); };
  Recorder recorder;
  CacheScanService service(world.locator(), WalkBoundary(), dependencies);
  EXPECT_EQ(scanOnce(service, configuration(), recorder),
            std::vector<std::string>{"toolsResolved /fake/bin"});
}

TEST(CacheScanService, AGitQueryOrWalkThatThrowsEndsTheRunEarlyInsteadOfTheProgram) {
  FakeWorld world;
  fillWorld(world);
  {
    CacheScanService::Dependencies dependencies = world.dependencies();
    const CacheScanService::FolderMeasurer measure = dependencies.measureFolder;
    dependencies.measureFolder = [measure](const std::string& path, const WalkBoundary& boundary,
                                           std::stop_token stop) {
      if (path == "/h/c/one") throw std::bad_alloc();
      return measure(path, boundary, stop);
    };
    Recorder recorder;
    CacheScanService service(world.locator(), WalkBoundary(), dependencies);
    const std::vector<std::string> trace = scanOnce(service, configuration(), recorder);
    EXPECT_EQ(trace, std::vector<std::string>(kFullTrace.begin(), kFullTrace.begin() + 7));
    EXPECT_EQ(service.cachedMeasurement("/h/c/one"), std::nullopt);
  }
  {
    CacheScanService::Dependencies dependencies = world.dependencies();
    dependencies.worktreeStatus = [](const std::optional<std::string>&, ProcessRunner::Duration,
                                     std::stop_token) -> WorktreeStatus {
      throw std::bad_alloc();
    };
    Recorder recorder;
    CacheScanService service(world.locator(), WalkBoundary(), dependencies);
    EXPECT_EQ(scanOnce(service, configuration(), recorder),
              std::vector<std::string>(kFullTrace.begin(), kFullTrace.begin() + 4));
  }
}
