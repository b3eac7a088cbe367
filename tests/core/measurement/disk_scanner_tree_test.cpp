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
#include "utilities/path_canonical.h"

using namespace hl;
using namespace hl::test::walk;

TEST(DiskScannerTree, BuildsSizesCountsAndOrderFromTheDisk) {
  test::FakeHome home{"tree"};
  home.file("big/one", 90000);
  home.file("big/two", 20000);
  home.file("small", 5000);
  home.hardlink("big/three", "big/two");
  home.symlink("link", "big");
  home.dir("empty");
  std::optional<FileNode> tree;
  recordTree(home.path(), ScanOptions{}, tree);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->id(), PathCanonical::canonical(home.path()));
  EXPECT_TRUE(tree->isDirectory());

  const FileNode* big = child(*tree, "big");
  ASSERT_TRUE(big);
  EXPECT_TRUE(big->isDirectory());
  // Every hard link is a leaf of its own in the tree.
  EXPECT_EQ(big->fileCount(), 3);
  EXPECT_EQ(big->size(),
            test::allocatedBytes(home / "big/one") + 2 * test::allocatedBytes(home / "big/two"));
  EXPECT_EQ(big->id(), home / "big");
  EXPECT_EQ(child(*big, "one")->size(), test::allocatedBytes(home / "big/one"));

  const FileNode* link = child(*tree, "link");
  ASSERT_TRUE(link);
  EXPECT_TRUE(link->isSymbolicLink());
  EXPECT_FALSE(link->isDirectory());
  EXPECT_FALSE(link->children());

  const FileNode* empty = child(*tree, "empty");
  ASSERT_TRUE(empty);
  ASSERT_TRUE(empty->children());
  EXPECT_TRUE(empty->children()->empty());

  EXPECT_EQ(tree->fileCount(), 5);
  EXPECT_EQ(tree->size(), big->size() + test::allocatedBytes(home / "small") +
                              test::allocatedBytes(home / "link"));
  EXPECT_EQ(tree->children()->front().name(), "big");
  EXPECT_EQ(nodeCount(*tree), 8);
}

TEST(DiskScannerTree, AWideTreeMatchesTheMeasurementWithoutLinkFolding) {
  test::FakeHome home{"widetree"};
  buildWideTree(home);
  std::optional<FileNode> tree;
  const auto reports = recordTree(home.path(), ScanOptions{true, 100}, tree);
  ASSERT_TRUE(tree);
  const DirectoryMeasurement m = measured(home.path());
  const std::int64_t linkedFile = test::allocatedBytes(home / "pkg0/lib0/f3");
  EXPECT_EQ(tree->fileCount(), m.fileCount + m.deduplicatedLinks);
  EXPECT_EQ(tree->size(), m.size + m.deduplicatedLinks * linkedFile);
  // Children come largest first, and every share is relative to its parent.
  tree->forEachNode([](const FileNode& node) {
    if (!node.children()) return;
    for (std::size_t i = 1; i < node.children()->size(); ++i) {
      EXPECT_GE((*node.children())[i - 1].size(), (*node.children())[i].size());
    }
  });
  ASSERT_GE(reports.size(), 2u);
  for (std::size_t i = 1; i < reports.size(); ++i) {
    EXPECT_GE(reports[i].itemsVisited, reports[i - 1].itemsVisited);
  }
  // Every entry is handled once: each node but the root.
  EXPECT_EQ(reports.back().itemsVisited, nodeCount(*tree) - 1);
  EXPECT_EQ(reports.back().bytesScanned, tree->size());
  EXPECT_EQ(reports.back().currentPath, PathCanonical::canonical(home.path()));
}

TEST(DiskScannerTree, ReportsProgressAfterEveryBatchWithAnIntervalBelowOne) {
  test::FakeHome home{"progress"};
  home.file("a/one", 100);
  home.file("b/two", 100);
  home.file("three", 100);
  std::optional<FileNode> tree;
  const auto reports = recordTree(home.path(), ScanOptions{true, 0}, tree);
  ASSERT_TRUE(tree);
  // One report per folder listed (three folders) and the final one.
  ASSERT_EQ(reports.size(), 4u);
  for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
    EXPECT_TRUE(reports[i].currentPath.starts_with(home.path())) << reports[i].currentPath;
  }
  EXPECT_EQ(reports.back().itemsVisited, 5);
  EXPECT_EQ(reports.back().currentPath, home.path());
}

TEST(DiskScannerTree, AFileOrLinkRootIsOneLeafWithoutProgress) {
  test::FakeHome home{"leafroot"};
  home.file("file", 12000);
  home.symlink("link", "file");
  std::optional<FileNode> tree;
  EXPECT_TRUE(recordTree(home / "file", ScanOptions{}, tree).empty());
  ASSERT_TRUE(tree);
  EXPECT_FALSE(tree->isDirectory());
  EXPECT_FALSE(tree->children());
  EXPECT_EQ(tree->size(), test::allocatedBytes(home / "file"));
  EXPECT_EQ(tree->fileCount(), 1);

  EXPECT_TRUE(recordTree(home / "link", ScanOptions{}, tree).empty());
  ASSERT_TRUE(tree);
  EXPECT_TRUE(tree->isSymbolicLink());
  EXPECT_EQ(tree->size(), test::allocatedBytes(home / "link"));

  // A root that cannot be read at all is an empty leaf.
  EXPECT_TRUE(recordTree(home / "missing", ScanOptions{}, tree).empty());
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->size(), 0);
  EXPECT_FALSE(tree->children());
}

TEST(DiskScannerTree, HiddenEntriesFollowTheOption) {
  test::FakeHome home{"treehidden"};
  home.file("shown", 100);
  home.file(".hidden", 100);
  home.file(".folder/inside", 100);
  std::optional<FileNode> tree;
  recordTree(home.path(), ScanOptions{false, 500}, tree);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->children()->size(), 1u);
  EXPECT_TRUE(child(*tree, "shown"));
  recordTree(home.path(), ScanOptions{true, 500}, tree);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->children()->size(), 3u);
  EXPECT_TRUE(child(*tree, ".folder"));
  EXPECT_EQ(tree->fileCount(), 3);
}

TEST(DiskScannerTree, UnreadableEntriesBecomeEmptyLeavesAndFolders) {
  test::FakeHome home{"treefaults"};
  home.file("ok", 5000);
  home.file("unstatable", 5000);
  home.file("closed/inside", 5000);
  WalkFaults faults;
  faults.failStatus = [&](std::string_view p) { return p == home / "unstatable"; };
  faults.failOpen = [&](std::string_view p) { return p == home / "closed"; };
  std::optional<FileNode> tree;
  recordTree(home.path(), ScanOptions{}, tree, WalkBoundary(), faults);
  ASSERT_TRUE(tree);
  const FileNode* unstatable = child(*tree, "unstatable");
  ASSERT_TRUE(unstatable);
  EXPECT_EQ(unstatable->size(), 0);
  EXPECT_FALSE(unstatable->isDirectory());
  const FileNode* closed = child(*tree, "closed");
  ASSERT_TRUE(closed);
  EXPECT_TRUE(closed->isDirectory());
  EXPECT_TRUE(closed->children()->empty());
  EXPECT_EQ(tree->size(), test::allocatedBytes(home / "ok"));

  // A root folder that cannot be opened is an empty folder, with no progress.
  WalkFaults rootClosed;
  rootClosed.failOpen = [&](std::string_view p) { return p == home.path(); };
  EXPECT_TRUE(recordTree(home.path(), ScanOptions{}, tree, WalkBoundary(), rootClosed).empty());
  ASSERT_TRUE(tree);
  EXPECT_TRUE(tree->isDirectory());
  EXPECT_TRUE(tree->children()->empty());
}

TEST(DiskScannerTree, SkippedFoldersAreLeftOutAndCountedInProgress) {
  test::FakeHome home{"treeskip"};
  home.file("mounted/file", 5000);
  home.file("cloud/file", 5000);
  home.file("kept/file", 5000);
  const WalkBoundary boundary([&](std::string_view path) { return path == home / "cloud"; },
                              [&](std::string_view path) -> std::optional<VolumeIdentifier> {
                                return VolumeIdentifier{path == home / "mounted" ? 2u : 1u, 0};
                              });
  std::optional<FileNode> tree;
  const auto reports = recordTree(home.path(), ScanOptions{}, tree, boundary);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->children()->size(), 1u);
  EXPECT_TRUE(child(*tree, "kept"));
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().skippedVolumes, 1);
  EXPECT_EQ(reports.back().skippedDataless, 1);
  EXPECT_EQ(reports.back().itemsVisited, 4);
}

TEST(DiskScannerTree, AFolderOfOnlySkippedFoldersIsReportedWithoutARecentEntry) {
  // More skipped folders than one progress batch holds, and nothing else: the batch has no
  // leaf or subfolder to name as the recent entry.
  test::FakeHome home{"treeallskipped"};
  for (int i = 0; i < 600; ++i) home.dir("mount" + std::to_string(i));
  const WalkBoundary boundary(&FileFlags::isDataless,
                              [&](std::string_view path) -> std::optional<VolumeIdentifier> {
                                return VolumeIdentifier{path == home.path() ? 1u : 2u, 0};
                              });
  std::optional<FileNode> tree;
  const auto reports = recordTree(home.path(), ScanOptions{true, 1}, tree, boundary);
  ASSERT_TRUE(tree);
  EXPECT_TRUE(tree->children()->empty());
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().skippedVolumes, 600);
  EXPECT_EQ(reports.back().itemsVisited, 600);
  for (const ScanProgress& report : reports) {
    EXPECT_EQ(report.currentPath, PathCanonical::canonical(home.path()));
  }
}

TEST(DiskScannerTree, ADatalessRootIsReportedOnceAndLeftEmpty) {
  test::FakeHome home{"treecloud"};
  home.file("file", 5000);
  const DiskScanner scanner([&](std::string_view path) { return path == home.path(); });
  std::vector<ScanProgress> reports;
  const auto tree = scanner.scan(home.path(), ScanOptions{},
                                 [&](const ScanProgress& p) { reports.push_back(p); });
  ASSERT_TRUE(tree);
  EXPECT_TRUE(tree->children()->empty());
  ScanProgress expected;
  expected.currentPath = PathCanonical::canonical(home.path());
  expected.skippedDataless = 1;
  EXPECT_EQ(reports, std::vector<ScanProgress>{expected});
}

TEST(DiskScannerTree, AStopBeforeOrDuringTheWalkReturnsNothing) {
  test::FakeHome home{"treestop"};
  buildWideTree(home);
  std::stop_source before;
  before.request_stop();
  const DiskScanner scanner;
  int calls = 0;
  EXPECT_FALSE(scanner.scan(
      home.path(), ScanOptions{}, [&](const ScanProgress&) { ++calls; }, before.get_token()));
  EXPECT_EQ(calls, 0);

  std::stop_source during;
  std::mutex mutex;
  const auto tree = scanner.scan(
      home.path(), ScanOptions{true, 1},
      [&](const ScanProgress&) {
        std::lock_guard lock(mutex);
        ++calls;
        during.request_stop();
      },
      during.get_token());
  EXPECT_GE(calls, 1);
  EXPECT_FALSE(tree);
}
