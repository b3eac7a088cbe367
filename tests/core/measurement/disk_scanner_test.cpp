#include "core/measurement/disk_scanner_fixtures.h"

#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <map>
#include <set>
#include <thread>

#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/scratch_mount.h"
#include "support/test_environment.h"
#include "support/ordinary_user.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace hl::test::walk;

// --- measurement ---------------------------------------------------------------------------

TEST(DiskScannerMeasure, MatchesAnIndependentSumOfAllocatedBlocks) {
  test::FakeHome home{"sum"};
  buildWideTree(home);
  const IndependentSum expected = independentSum(home.path());
  const DirectoryMeasurement m = measured(home.path());
  EXPECT_EQ(m.size, expected.size);
  EXPECT_EQ(m.fileCount, expected.files);
  EXPECT_EQ(m.deduplicatedLinks, expected.duplicates);
  EXPECT_EQ(m.deduplicatedLinks, 2);
  EXPECT_EQ(m.newestModification, expected.newest);
  EXPECT_EQ(m.unreadableCount, 0);
  EXPECT_TRUE(m.isReadable);
  EXPECT_TRUE(m.isApproximate());
  // The sparse file counts by the blocks it occupies, not its length.
  EXPECT_LT(m.size, 64LL << 20);
}

TEST(DiskScannerMeasure, GivesTheSameFiguresWhenNoFolderStaysOpen) {
  test::FakeHome home{"scarce"};
  buildWideTree(home);
  WalkFaults scarce;
  scarce.scarceDescriptors = true;
  EXPECT_EQ(measured(home.path(), true, WalkBoundary(), scarce), measured(home.path()));
  std::optional<FileNode> kept;
  std::optional<FileNode> reopened;
  recordTree(home.path(), ScanOptions{}, kept);
  recordTree(home.path(), ScanOptions{}, reopened, WalkBoundary(), scarce);
  ASSERT_TRUE(kept && reopened);
  EXPECT_EQ(*kept, *reopened);
}

TEST(DiskScannerMeasure, FoldersAddNoSizeCountOrDate) {
  test::FakeHome home{"folders"};
  home.text("a/b/c/file", "hello");
  const Date old = test::referenceDate() - std::chrono::hours(24 * 400);
  home.setModified("a/b/c/file", old);
  home.setModified("a/b/c", test::referenceDate());
  home.setModified("a", test::referenceDate());
  const DirectoryMeasurement m = measured(home.path());
  EXPECT_EQ(m.fileCount, 1);
  EXPECT_EQ(m.size, test::allocatedBytes(home / "a/b/c/file"));
  EXPECT_EQ(m.newestModification, old);
}

TEST(DiskScannerMeasure, CountsAHardLinkedFileOncePerMeasurement) {
  test::FakeHome home{"links"};
  home.file("one/data", 40000);
  home.hardlink("two/data", "one/data");
  const DirectoryMeasurement both = measured(home.path());
  EXPECT_EQ(both.fileCount, 1);
  EXPECT_EQ(both.deduplicatedLinks, 1);
  EXPECT_EQ(both.size, test::allocatedBytes(home / "one/data"));
  EXPECT_TRUE(both.isApproximate());
  // Measured as two separate items, the file counts in each.
  EXPECT_EQ(measured(home / "one").size, both.size);
  EXPECT_EQ(measured(home / "two").size, both.size);
  EXPECT_EQ(measured(home / "two").deduplicatedLinks, 0);
}

TEST(DiskScannerMeasure, CountsSymbolicLinksAsThemselvesAndNeverFollowsThem) {
  test::FakeHome outside{"huge"};
  outside.file("big/blob", 2 << 20);
  test::FakeHome home{"linking"};
  home.symlink("to-folder", outside / "big");
  home.symlink("to-file", outside / "big/blob");
  home.symlink("dangling", home / "nothing-here");
  const DirectoryMeasurement m = measured(home.path());
  EXPECT_EQ(m.fileCount, 3);
  EXPECT_EQ(m.size, test::allocatedBytes(home / "to-folder") +
                        test::allocatedBytes(home / "to-file") +
                        test::allocatedBytes(home / "dangling"));
  EXPECT_LT(m.size, 2 << 20);

  // A link given as the root is the link itself, even written with a trailing slash.
  for (const std::string& root : {home / "to-folder", home / "to-folder/"}) {
    const DirectoryMeasurement link = measured(root);
    EXPECT_EQ(link.fileCount, 1) << root;
    EXPECT_EQ(link.size, test::allocatedBytes(home / "to-folder")) << root;
    EXPECT_TRUE(link.isReadable);
  }
}

TEST(DiskScannerMeasure, AFileRootIsOneFile) {
  test::FakeHome home{"fileroot"};
  const Date when = test::referenceDate();
  home.file("single", 10000, when);
  const DirectoryMeasurement m = measured(home / "single");
  EXPECT_EQ(m.fileCount, 1);
  EXPECT_EQ(m.size, test::allocatedBytes(home / "single"));
  EXPECT_EQ(m.newestModification, when);
  EXPECT_TRUE(m.isReadable);
  EXPECT_FALSE(m.isApproximate());
}

TEST(DiskScannerMeasure, AnEmptyFolderMeasuresNothing) {
  test::FakeHome home{"empty"};
  const DirectoryMeasurement m = measured(home.path());
  EXPECT_EQ(m, DirectoryMeasurement{});
  EXPECT_FALSE(m.newestModification);
  EXPECT_FALSE(m.isApproximate());
}

TEST(DiskScannerMeasure, AMissingRootCannotBeWalked) {
  test::FakeHome home{"missing"};
  home.text("file", "x");
  // Told apart from a root that cannot be read, and recorded as one.
  for (const std::string& path : {home / "nothing", home / "file/below", std::string()}) {
    const MeasureResult result = DiskScanner::measure(path, true, WalkBoundary());
    EXPECT_FALSE(result.hasValue());
    EXPECT_EQ(result.error(), MeasureError::missing);
    EXPECT_FALSE(result.isCancelled());
    EXPECT_EQ(result.measurement(), DirectoryMeasurement::unreadable());
  }
  EXPECT_EQ(DirectoryMeasurement::unreadable().unreadableCount, 1);
  EXPECT_FALSE(DirectoryMeasurement::unreadable().isReadable);
}

TEST(DiskScannerMeasure, ARootThatCannotBeOpenedOrReadCannotBeWalked) {
  test::FakeHome home{"locked"};
  home.text("inside/file", "x");
  const std::string root = home / "inside";
  WalkFaults refuseOpen;
  refuseOpen.failOpen = [&](std::string_view path) { return path == root; };
  EXPECT_EQ(DiskScanner::measure(root, true, WalkBoundary(), {}, refuseOpen).error(),
            MeasureError::unreadableRoot);
  WalkFaults refuseStatus;
  refuseStatus.failStatus = [&](std::string_view path) { return path == root; };
  EXPECT_EQ(DiskScanner::measure(root, true, WalkBoundary(), {}, refuseStatus).error(),
            MeasureError::unreadableRoot);
}

TEST(DiskScannerMeasure, AFolderWithoutPermissionCannotBeWalked) {
  HL_AS_ORDINARY_USER();
  test::FakeHome home{"noperm"};
  home.text("closed/file", "x");
  ASSERT_EQ(::chmod((home / "closed").c_str(), 0), 0);
  EXPECT_EQ(DiskScanner::measure(home / "closed", true, WalkBoundary()).error(),
            MeasureError::unreadableRoot);
  const DirectoryMeasurement outer = measured(home.path());
  EXPECT_EQ(outer.unreadableCount, 1);
  EXPECT_TRUE(outer.isReadable);
  ::chmod((home / "closed").c_str(), 0755);
}

TEST(DiskScannerMeasure, EntryFailuresAreCountedAndTheWalkGoesOn) {
  test::FakeHome home{"faults"};
  home.file("ok", 5000);
  home.file("unstatable", 5000);
  home.file("closed/hidden-inside", 5000);
  home.file("unlistable/also-inside", 5000);
  WalkFaults faults;
  faults.failStatus = [&](std::string_view p) { return p == home / "unstatable"; };
  faults.failOpen = [&](std::string_view p) { return p == home / "closed"; };
  faults.failListing = [&](std::string_view p) { return p == home / "unlistable"; };
  const DirectoryMeasurement m = measured(home.path(), true, WalkBoundary(), faults);
  EXPECT_EQ(m.unreadableCount, 3);
  EXPECT_TRUE(m.isReadable);
  EXPECT_EQ(m.fileCount, 1);
  EXPECT_EQ(m.size, test::allocatedBytes(home / "ok"));
}

TEST(DiskScannerMeasure, HiddenEntriesAreLeftOutOnRequestButAHiddenRootIsMeasured) {
  test::FakeHome home{"hidden"};
  home.file(".root/seen", 5000);
  home.file(".root/.secret", 5000);
  home.file(".root/.cache/deep/file", 5000);
  home.file(".root/visible/.dotfile", 5000);
  const std::string root = home / ".root";
  const DirectoryMeasurement visible = measured(root, false);
  EXPECT_EQ(visible.fileCount, 1);
  EXPECT_EQ(visible.size, test::allocatedBytes(root + "/seen"));
  const DirectoryMeasurement all = measured(root, true);
  EXPECT_EQ(all.fileCount, 4);
}

TEST(DiskScannerMeasure, StopRequestedBeforeTheWalkReturnsNothing) {
  test::FakeHome home{"stopfirst"};
  home.file("f", 100);
  std::stop_source stop;
  stop.request_stop();
  bool touched = false;
  WalkFaults watch;
  watch.failStatus = [&](std::string_view) {
    touched = true;
    return false;
  };
  const MeasureResult result =
      DiskScanner::measure(home.path(), true, WalkBoundary(), stop.get_token(), watch);
  EXPECT_TRUE(result.isCancelled());
  EXPECT_FALSE(result.measurement());
  EXPECT_FALSE(touched);
  // A missing root gives the same answer: nothing is looked at.
  EXPECT_TRUE(
      DiskScanner::measure(home / "none", true, WalkBoundary(), stop.get_token()).isCancelled());
}

TEST(DiskScannerMeasure, StopRequestedDuringTheWalkReturnsNothing) {
  test::FakeHome home{"stopmid"};
  buildWideTree(home);
  // At a folder about to be entered: the dataless test is asked about each one.
  std::stop_source atFolder;
  std::atomic<int> asked{0};
  const WalkBoundary boundary([&](std::string_view path) {
    if (path.ends_with("/lib2")) atFolder.request_stop();
    ++asked;
    return false;
  });
  const MeasureResult folderStop =
      DiskScanner::measure(home.path(), true, boundary, atFolder.get_token());
  EXPECT_GT(asked.load(), 0);
  EXPECT_TRUE(folderStop.isCancelled());
  EXPECT_FALSE(folderStop.measurement());

  // At a file that is being counted: its status is read through the hook.
  std::stop_source atFile;
  WalkFaults watch;
  watch.failStatus = [&](std::string_view path) {
    if (path == home / "pkg6/lib3/f7") atFile.request_stop();
    return false;
  };
  const MeasureResult fileStop =
      DiskScanner::measure(home.path(), true, WalkBoundary(), atFile.get_token(), watch);
  EXPECT_TRUE(atFile.stop_requested());
  EXPECT_TRUE(fileStop.isCancelled());
  EXPECT_FALSE(fileStop.hasValue());
}

TEST(DiskScannerMeasure, FoldersOnAnotherVolumeAreCountedAndNotEntered) {
  test::FakeHome home{"volumes"};
  home.file("local/file", 5000);
  home.file("mounted/file", 50000);
  home.file("unknown/file", 7000);
  const WalkBoundary boundary(&FileFlags::isDataless,
                              [&](std::string_view path) -> std::optional<VolumeIdentifier> {
                                if (path == home / "mounted") return VolumeIdentifier{9, 9};
                                if (path == home / "unknown") return std::nullopt;
                                return VolumeIdentifier{1, 1};
                              });
  const DirectoryMeasurement m = measured(home.path(), true, boundary);
  EXPECT_EQ(m.skippedVolumes, 1);
  EXPECT_TRUE(m.isApproximate());
  EXPECT_EQ(m.fileCount, 2);
  EXPECT_EQ(m.size, test::allocatedBytes(home / "local/file") +
                        test::allocatedBytes(home / "unknown/file"));

  // Without the root's volume nothing counts as another volume.
  const WalkBoundary noRoot(&FileFlags::isDataless,
                            [&](std::string_view path) -> std::optional<VolumeIdentifier> {
                              if (path == home.path()) return std::nullopt;
                              return VolumeIdentifier{9, 9};
                            });
  const DirectoryMeasurement entered = measured(home.path(), true, noRoot);
  EXPECT_EQ(entered.skippedVolumes, 0);
  EXPECT_EQ(entered.fileCount, 3);
}

TEST(DiskScannerMeasure, DatalessFoldersAreCountedAndNotEntered) {
  test::FakeHome home{"dataless"};
  home.file("cloud/file", 5000);
  home.file("disk/file", 5000);
  const Date when = test::referenceDate();
  home.setModified("cloud", when);
  const WalkBoundary boundary([&](std::string_view path) { return path == home / "cloud"; });
  const DirectoryMeasurement m = measured(home.path(), true, boundary);
  EXPECT_EQ(m.skippedDataless, 1);
  EXPECT_EQ(m.fileCount, 1);
  EXPECT_TRUE(m.isApproximate());

  // A dataless root is never listed: no folder is opened.
  bool opened = false;
  WalkFaults watch;
  watch.failOpen = [&](std::string_view) {
    opened = true;
    return false;
  };
  const DirectoryMeasurement root = measured(home / "cloud", true, boundary, watch);
  EXPECT_FALSE(opened);
  EXPECT_EQ(root.skippedDataless, 1);
  EXPECT_EQ(root.size, 0);
  EXPECT_EQ(root.fileCount, 0);
  EXPECT_EQ(root.newestModification, when);
  EXPECT_TRUE(root.isApproximate());
}

TEST(DiskScannerMeasure, WalksATreeDeeperThanThePathLimit) {
  const std::string root = test::makeScratchFolder("deep");
  const int levels = 2000;
  const std::int64_t bottom = makeDeepChain(root, levels, "dd");
  const DirectoryMeasurement m = measured(root);
  EXPECT_EQ(m.fileCount, 1);
  EXPECT_EQ(m.size, bottom);
  EXPECT_EQ(m.unreadableCount, 0);

  std::optional<FileNode> tree;
  recordTree(root, ScanOptions{}, tree);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->size(), bottom);
  const FileNode* node = &*tree;
  int depth = 0;
  while (node->children() && !node->children()->empty()) {
    node = &node->children()->front();
    ++depth;
  }
  EXPECT_EQ(depth, levels + 1);
  EXPECT_EQ(node->name(), "bottom");
  EXPECT_GT(node->url().size(), static_cast<std::size_t>(PATH_MAX));
  tree.reset();
  removeDeepChain(root, "dd");

  // Without descriptors kept along the way, every level is reached again from the root, one
  // component at a time, however long the whole path is.
  const std::string longName(100, 'n');
  const std::int64_t longBottom = makeDeepChain(root, 60, longName.c_str());
  WalkFaults scarce;
  scarce.scarceDescriptors = true;
  const DirectoryMeasurement reopened = measured(root, true, WalkBoundary(), scarce);
  EXPECT_EQ(reopened.fileCount, 1);
  EXPECT_EQ(reopened.size, longBottom);
  EXPECT_EQ(reopened.unreadableCount, 0);
  removeDeepChain(root, longName.c_str());
}

TEST(DiskScannerMeasure, AVeryLargeFolderIsSharedOutAndCountedOnce) {
  test::FakeHome home{"flat"};
  // Enough entries that the folder is handed out in chunks, with folders, links and hidden
  // entries among them.
  for (int i = 0; i < 3000; ++i) {
    const std::string name = (i % 10 == 0 ? ".h" : "f") + std::to_string(i);
    if (i % 250 == 3) {
      home.text("big/" + name + "/inside", std::string(i % 7000, 'i'));
    } else {
      home.text("big/" + name, std::string(i % 9000, 'x'));
    }
  }
  home.hardlink("big/zz-link", "big/f1");
  home.symlink("big/zz-symlink", "f2");
  const IndependentSum expected = independentSum(home / "big");
  const DirectoryMeasurement m = measured(home / "big");
  EXPECT_EQ(m.size, expected.size);
  EXPECT_EQ(m.fileCount, expected.files);
  EXPECT_EQ(m.fileCount, 3001);
  EXPECT_EQ(m.deduplicatedLinks, 1);
  EXPECT_EQ(m.newestModification, expected.newest);

  const DirectoryMeasurement visible = measured(home / "big", false);
  EXPECT_EQ(visible.fileCount, 2701);

  std::optional<FileNode> tree;
  const auto reports = recordTree(home / "big", ScanOptions{false, 500}, tree);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->fileCount(), 2702);
  EXPECT_EQ(tree->children()->size(), 2702u);
  EXPECT_EQ(reports.back().itemsVisited, nodeCount(*tree) - 1);
  EXPECT_EQ(reports.back().bytesScanned, tree->size());
  EXPECT_GE(reports.size(), 6u);
}

TEST(DiskScannerMeasure, ConcurrentMeasurementsAgreeWithOneAtATime) {
  test::FakeHome home{"concurrent"};
  buildWideTree(home);
  std::vector<std::string> roots = {home.path(), home / "pkg0", home / "pkg3", home / "pkg7",
                                    home / "pkg0/lib0/f3"};
  std::map<std::string, DirectoryMeasurement> alone;
  for (const std::string& root : roots) alone[root] = measured(root);

  std::vector<std::map<std::string, DirectoryMeasurement>> seen(6);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < seen.size(); ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t i = 0; i < roots.size(); ++i) {
        const std::string& root = roots[(i + t) % roots.size()];
        seen[t][root] = *DiskScanner::measure(root, true, WalkBoundary()).measurement();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& results : seen) EXPECT_EQ(results, alone);
}

// Real mounts, in a mount namespace of this test process only, so nothing outside sees them.

TEST(DiskScannerMounts, BindMountsAndOtherFileSystemsAreNotEntered) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  test::FakeHome home{"mounts"};
  home.file("source/data", 30000);
  home.dir("bound");
  home.dir("memory");
  auto bound = test::ScratchMount::bind(home / "source", home / "bound");
  auto memory = test::ScratchMount::tmpfs(home / "memory");
  home.text("memory/file", std::string(20000, 'm'));
  const DirectoryMeasurement m = measured(home.path());
  EXPECT_EQ(m.skippedVolumes, 2);
  EXPECT_EQ(m.fileCount, 1);
  EXPECT_EQ(m.size, test::allocatedBytes(home / "source/data"));

  std::optional<FileNode> tree;
  const auto reports = recordTree(home.path(), ScanOptions{}, tree);
  ASSERT_TRUE(tree);
  EXPECT_FALSE(child(*tree, "bound"));
  EXPECT_FALSE(child(*tree, "memory"));
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().skippedVolumes, 2);
}

// --- tree walk -----------------------------------------------------------------------------
