#include "core/scan/cache_scan_fakes.h"

#include <unistd.h>

#include "support/fake_home.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace hl::test::scan;

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


// A home given as a relative path is the folder of that name in the working folder, and scans
// the same items as its absolute path; a home that is not a folder ends the run before any event
// and the reason can be asked for.
TEST(CacheScanService, ARelativeHomeIsTakenFromTheWorkingFolderAndAMissingOneSendsNothing) {
  test::FakeHome home("relative");
  home.text("Projects/web/package.json", "{}");
  home.file("Projects/web/node_modules/x/index.js", 100);
  home.text("a-file", "x");
  CacheScanService service;
  CacheScanConfiguration quiet;
  quiet.detectTools = quiet.systemQueries = quiet.detectInUse = quiet.checkGitStatus = false;
  quiet.includeTemporaryDirectory = false;
  const auto scanned = [&](const std::string& given) {
    quiet.home = given;
    Recorder recorder;
    CacheScanService::Handle handle = service.scan(quiet, recorder.sink(), recorder.ended());
    recorder.waitForEnd();
    std::vector<std::string> trace = recorder.trace();
    // How long it took is no part of what was found.
    for (std::string& line : trace) {
      if (line.starts_with("finished ")) line = "finished";
    }
    return trace;
  };

  const std::vector<std::string> absolute = scanned(home.path());
  ASSERT_GE(absolute.size(), 2u);
  EXPECT_EQ(absolute.front(), "discovered " + home / "Projects/web/node_modules");
  EXPECT_EQ(absolute.back(), "finished");
  char saved[4096];
  ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(::chdir(parentPath(home.path()).c_str()), 0);
  EXPECT_EQ(scanned(lastPathComponent(home.path())), absolute);
  EXPECT_EQ(scanned("./" + lastPathComponent(home.path()) + "/"), absolute);

  const std::vector<std::pair<std::string, std::string>> problems = {
      {"nowhere", "The home folder " + parentPath(home.path()) + "/nowhere does not exist."},
      {home / "a-file", "The home folder " + home / "a-file" + " is not a folder."},
      {"", "No home folder was given."},
  };
  for (const auto& [given, problem] : problems) {
    EXPECT_EQ(scanned(given), std::vector<std::string>{}) << given;
    EXPECT_EQ(CacheScanService::homeProblem(given), problem);
  }
  EXPECT_EQ(CacheScanService::homeProblem(lastPathComponent(home.path())), std::nullopt);
  ASSERT_EQ(::chdir(saved), 0);
}


// One item measured again alone, as a run measures it: its folders summed, the figure cached for
// the next run unless a run began during the walk; a walk cut short gives none and caches none.
TEST(CacheScanService, AnItemMeasuredAgainAloneIsCachedUnlessARunBeganMeanwhile) {
  FakeWorld world;
  world.sizes["/h/trash"] = measurement(300, 3);
  world.sizes["/h/m/a"] = measurement(10);
  world.sizes["/h/m/b"] = measurement(20);
  CacheScanService service(world.locator(), WalkBoundary(), world.dependencies());

  EXPECT_EQ(service.remeasure(item("/h/trash", CacheGroup::trash)), measurement(300, 3));
  EXPECT_EQ(service.cachedMeasurement("/h/trash"), measurement(300, 3));
  const std::optional<DirectoryMeasurement> members =
      service.remeasure(multiItem("/h/m", {"/h/m/a", "/h/m/b"}));
  ASSERT_TRUE(members);
  EXPECT_EQ(members->size, 30);
  EXPECT_EQ(members->fileCount, 2);

  // A run that begins while the walk goes on measures the item itself.
  world.sizes["/h/trash"] = measurement(500, 5);
  world.hold("measure:/h/trash");
  std::optional<DirectoryMeasurement> during;
  std::thread walk([&] { during = service.remeasure(item("/h/trash", CacheGroup::trash)); });
  world.waitUntilHeld("measure:/h/trash");
  service.beginRun();
  world.release("measure:/h/trash");
  walk.join();
  EXPECT_EQ(during, measurement(500, 5));
  EXPECT_EQ(service.cachedMeasurement("/h/trash"), measurement(300, 3));

  service.forget(std::vector<std::string>{"/h/trash"});
  std::stop_source stop;
  world.hold("measure:/h/trash", true);
  std::thread stopped([&] {
    during = service.remeasure(item("/h/trash", CacheGroup::trash), stop.get_token());
  });
  world.waitUntilHeld("measure:/h/trash");
  stop.request_stop();
  stopped.join();
  EXPECT_EQ(during, std::nullopt);
  EXPECT_EQ(service.cachedMeasurement("/h/trash"), std::nullopt);
}
