#include <gtest/gtest.h>

#include "support/scanner_fixture.h"

using namespace hl;
using hl::test::ScannerFixture;

namespace {

std::string abbreviated(const ScannerFixture& f, const std::string& relative) {
  return abbreviatedPath(f.home / relative, f.home.path());
}

}  // namespace

TEST(ScannerScan, AnEmptyFolderGivesItsEmptyTreeAndNoPreview) {
  ScannerFixture f;
  f.home.dir("empty");
  f.scanned("empty");
  ScannerViewModel& scanner = f.scanner();
  ASSERT_NE(scanner.root(), nullptr);
  ASSERT_NE(scanner.root()->children(), nullptr);
  EXPECT_TRUE(scanner.root()->children()->empty());
  EXPECT_FALSE(scanner.isScanning());
  EXPECT_EQ(scanner.errorMessage(), std::nullopt);
  EXPECT_TRUE(f.policy.calls.empty());
  EXPECT_EQ(f.logged(),
            (std::vector<std::string>{
                "Folder scan started: " + abbreviated(f, "empty"),
                "Folder scan finished: " + abbreviated(f, "empty") + " · 0 bytes, 0 files",
            }));
}

TEST(ScannerScan, ATreeIsIndexedAndItsTopLevelIsPreviewed) {
  ScannerFixture f;
  f.home.file("big/a/b/c/deep.bin", 40000);
  f.home.file("big/small.txt", 5000);
  f.home.file("big/.hidden", 10);
  f.policy.refusals[f.id("big/a")] = "AI tool state";
  f.scanned("big");
  ScannerViewModel& scanner = f.scanner();
  ASSERT_NE(scanner.node(f.id("big/a/b/c/deep.bin")), nullptr);
  EXPECT_EQ(scanner.root()->fileCount(), 3);
  ASSERT_EQ(f.policy.calls.size(), 1u);
  EXPECT_FALSE(f.policy.calls[0].includeOpenFiles);
  EXPECT_EQ(f.policy.calls[0].urls.size(), 3u);
  EXPECT_EQ(scanner.refusals(),
            (std::map<std::string, std::string>{{f.id("big/a"), "AI tool state"}}));
  // Largest first, the refused one left out.
  EXPECT_EQ(scanner.selectableTopLevelIDs(),
            (std::vector<std::string>{f.id("big/small.txt"), f.id("big/.hidden")}));

  scanner.setIncludeHidden(false);
  f.scanned("big");
  EXPECT_EQ(scanner.node(f.id("big/.hidden")), nullptr);
  EXPECT_EQ(scanner.root()->fileCount(), 2);
}

// A folder that vanished or cannot be listed is a failure, never an empty result.
TEST(ScannerScan, AFolderThatCannotBeReadFails) {
  struct Case {
    const char* name;
    std::function<void(ScannerFixture&)> setUp;
  };
  const Case cases[] = {
      {"missing", [](ScannerFixture&) {}},
      {"a file", [](ScannerFixture& f) { f.home.file("target", 10); }},
      {"not opened",
       [](ScannerFixture& f) {
         f.home.dir("target");
         const std::string path = f.home / "target";
         f.services.walkFaults.failOpen = [path](std::string_view p) { return p == path; };
       }},
      {"not listed",
       [](ScannerFixture& f) {
         f.home.dir("target");
         const std::string path = f.home / "target";
         f.services.walkFaults.failListing = [path](std::string_view p) { return p == path; };
       }},
  };
  for (const Case& c : cases) {
    ScannerFixture f;
    c.setUp(f);
    f.scanned("target");
    EXPECT_EQ(f.scanner().root(), nullptr) << c.name;
    EXPECT_EQ(f.scanner().errorMessage(), "Could not read this folder.") << c.name;
    EXPECT_EQ(f.logged(ActivityEvent::Kind::error),
              std::vector<std::string>{"Folder scan failed: Could not read this folder."})
        << c.name;
    EXPECT_FALSE(f.scanner().isScanning());
  }
}

TEST(ScannerScan, ACloudOnlyFolderIsNotShownAsEmpty) {
  ScannerFixture f;
  f.home.dir("cloud");
  const std::string cloud = f.home / "cloud";
  f.services.boundary = WalkBoundary([cloud](std::string_view path) { return path == cloud; });
  f.scanned("cloud");
  EXPECT_EQ(f.scanner().root(), nullptr);
  EXPECT_EQ(f.scanner().errorMessage(),
            "cloud is not downloaded from iCloud. Download it in Finder to scan it.");
  EXPECT_EQ(f.logged().back(),
            "Folder scan skipped: " + abbreviated(f, "cloud") + " is not downloaded from iCloud");
}

TEST(ScannerScan, SkippedVolumesAreNamedAndMakeFiguresApproximate) {
  ScannerFixture f;
  f.home.file("top/disk/x", 10);
  f.home.file("top/own", 10);
  const std::string disk = f.home / "top/disk";
  f.services.boundary = WalkBoundary(&FileFlags::isDataless, [disk](std::string_view path) {
    return std::optional(VolumeIdentifier{path == disk ? 2u : 1u, 0});
  });
  f.scanned("top");
  EXPECT_TRUE(f.scanner().isApproximate());
  EXPECT_EQ(f.scanner().skippedSummary(), "Not included: 1 mounted volume");
  EXPECT_TRUE(f.logged().back().ends_with(" · Not included: 1 mounted volume"));
  ScanProgress progress;
  progress.skippedVolumes = 2;
  progress.skippedDataless = 3;
  EXPECT_EQ(ScannerViewModel::skippedSummary(progress),
            "Not included: 2 mounted volumes, 3 cloud-only folders");
  EXPECT_EQ(ScannerViewModel::skippedSummary(ScanProgress{}), std::nullopt);
}

TEST(ScannerScan, ANewScanReplacesTheRunningOneAndItsLateReportsAreDropped) {
  ScannerFixture f;
  // The walk reports at its end whatever its size.
  for (int i = 0; i < 3; ++i) f.home.file("first/f" + std::to_string(i), 1);
  f.home.file("second/one", 10);
  ScannerViewModel& scanner = f.scanner();
  int progressChanges = 0;
  QObject::connect(&scanner, &ScannerViewModel::progressChanged, [&] { ++progressChanges; });

  scanner.scan(f.home / "first");
  // The first walk finishes; its reports and its tree are on their way to the GUI thread.
  ASSERT_TRUE(f.executor.run());
  scanner.scan(f.home / "second");
  const ScanProgress started = scanner.progress();
  EXPECT_EQ(started.currentPath, f.id("second"));
  progressChanges = 0;
  QCoreApplication::processEvents();
  EXPECT_EQ(progressChanges, 0);
  EXPECT_EQ(scanner.progress(), started);
  EXPECT_TRUE(scanner.isScanning());
  EXPECT_EQ(scanner.statusText(), "Scanning second… 0 bytes");
  EXPECT_EQ(scanner.root(), nullptr);

  f.settle();
  ASSERT_NE(scanner.root(), nullptr);
  EXPECT_EQ(scanner.root()->id(), f.id("second"));
  EXPECT_EQ(scanner.progress().itemsVisited, 1);
  EXPECT_EQ(scanner.statusText(), "Idle");
}

TEST(ScannerScan, CancellingStopsAtOnceAndTheWalkSaysSoWhenItEnds) {
  ScannerFixture f;
  f.home.file("folder/a", 10);
  ScannerViewModel& scanner = f.scanner();
  scanner.scan(f.home / "folder");
  scanner.cancel();
  EXPECT_FALSE(scanner.isScanning());
  f.settle();
  EXPECT_EQ(f.logged().back(), "Folder scan cancelled: " + abbreviated(f, "folder"));
  EXPECT_EQ(scanner.root(), nullptr);
  EXPECT_EQ(scanner.errorMessage(), std::nullopt);
  EXPECT_EQ(scanner.rootURL(), f.home / "folder");
}

TEST(ScannerScan, ChoosingAFolderScansItAndCancellingTheChoiceDoesNothing) {
  ScannerFixture f;
  f.home.file("picked/a", 10);
  f.scanner().chooseFolder();
  EXPECT_FALSE(f.scanner().isScanning());
  EXPECT_TRUE(f.logged().empty());
  f.chosen = f.home / "picked";
  f.scanner().chooseFolder();
  f.settle();
  ASSERT_NE(f.scanner().root(), nullptr);
  EXPECT_EQ(f.scanner().rootURL(), f.home / "picked");
}

TEST(ScannerScan, StatusTextFollowsTheWork) {
  ScannerFixture f;
  EXPECT_EQ(f.scanner().statusText(), "Idle");
  f.home.file("work/a", 10);
  f.scanned("work");
  f.settings->setDeleteImmediately(true);
  f.scanner().requestTrash(std::set<std::string>{f.id("work/a")});
  f.settle();
  f.clock.advance(std::chrono::seconds(2));
  f.scanner().confirmTrash(*f.scanner().pendingPlan());
  EXPECT_EQ(f.scanner().statusText(), "Deleting…");
}

// A view holds the tree it shows for as long as it shows it, whatever the next scan installs.
TEST(ScannerScan, ASharedTreeOutlivesTheScanThatReplacesIt) {
  ScannerFixture f;
  f.home.file("first/a", 10);
  f.home.file("second/b", 10);
  f.scanned("first");
  const std::shared_ptr<const FileNode> shown = f.scanner().rootNode();
  ASSERT_EQ(shown.get(), f.scanner().root());
  f.scanned("second");
  EXPECT_EQ(f.scanner().root()->id(), f.id("second"));
  EXPECT_EQ(shown->id(), f.id("first"));
  ASSERT_NE(shown->children(), nullptr);
  EXPECT_EQ(shown->children()->front().id(), f.id("first/a"));
  EXPECT_EQ(f.scanner().home(), f.home.path());
}
