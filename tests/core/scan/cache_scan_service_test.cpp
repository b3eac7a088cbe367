#include "core/scan/cache_scan_fakes.h"
#include "support/fake_home.h"

using namespace hl;
using namespace hl::test::scan;

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
  EXPECT_EQ(asked.home, kHome());
  EXPECT_EQ(asked.extraPaths, std::vector<std::string>{"~/scratch"});
  EXPECT_EQ(asked.tools.path, "/fake/bin");
  EXPECT_FALSE(asked.chromeRunning);
  EXPECT_EQ(asked.temporaryDirectory, "/run/user/tmp");
  EXPECT_EQ(asked.chromeCloneFolder, std::nullopt);
  EXPECT_EQ(asked.worktrees.home, kHome());
  EXPECT_EQ(asked.worktrees.searchRoots,
            (std::vector<std::string>{"Documents", "Developer", "Projects", "code", "src", "repos",
                                      "work"}));
  EXPECT_EQ(asked.worktrees.toolFolders,
            (std::vector<std::string>{".grok/worktrees", ".codex/worktrees", ".cursor/worktrees"}));
  EXPECT_EQ(asked.worktrees.maxDepth, 4);
  EXPECT_EQ(asked.projects.home, kHome());
  EXPECT_EQ(asked.projects.searchRoots, asked.worktrees.searchRoots);
  EXPECT_EQ(asked.projects.maxDepth, 5);
  EXPECT_EQ(asked.clock(), hl::test::referenceDate());

  const auto detectors = world.detectors();
  ASSERT_EQ(detectors.size(), 1u);
  EXPECT_EQ(detectors[0].home, kHome());
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

  // On disk, a folder that is gone (or below a file) counts nothing and leaves the item readable.
  test::FakeHome home("gone");
  home.file("m/a/f", 4096);
  const std::string left = home / "m/a";
  const std::vector<std::string> gone = {home / "m/gone", home / "m/a/f/below"};
  const auto whole = CacheScanService::measure(item(left, CacheGroup::custom), WalkBoundary());
  ASSERT_TRUE(whole);
  EXPECT_GT(whole->size, 0);
  EXPECT_EQ(CacheScanService::measure(multiItem(home / "m", {gone[0], left, gone[1]}),
                                      WalkBoundary()),
            whole);
  EXPECT_EQ(CacheScanService::measure(multiItem(home / "m", gone), WalkBoundary()),
            DirectoryMeasurement{});
  EXPECT_EQ(CacheScanService::measure(item(gone[0], CacheGroup::custom), WalkBoundary()),
            DirectoryMeasurement{});
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
  EXPECT_EQ(simulators.url, kHome() + "/Library/Developer/CoreSimulator/Devices");
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
      CacheScanService::virtualRows(kHome(), SystemQueries::UnavailableSimulators{3, 1},
                                    {"a", "b"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].subtitle, "3 simulators without an installed runtime");
  EXPECT_EQ(rows[1].subtitle, "2 snapshots \u00B7 managed by macOS");
  EXPECT_EQ(CacheScanService::virtualRows(kHome(), std::nullopt, {"a"}).front().id,
            "virtual:local-snapshots");
  EXPECT_TRUE(CacheScanService::virtualRows(kHome(), std::nullopt, {}).empty());
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

