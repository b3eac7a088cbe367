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

// A node knows only its name and finds the rest of its path through the folders above it: deep
// in a tree whose names hold every byte a file name may hold, and whose paths are longer than
// the system takes in one piece, each node's path is exactly the path that was walked.
TEST(DiskScannerTree, EveryNodesPathIsThePathWalkedWhateverItsNameHolds) {
  test::FakeHome home{"names"};
  std::string bytes;
  for (int b = 1; b < 256; ++b) {
    if (b != '/') bytes.push_back(static_cast<char>(b));
  }
  constexpr int kLevels = 24;
  const auto folderName = [&](int level) {
    std::string name;
    for (std::size_t k = 0; k < 200; ++k) name.push_back(bytes[(level * 37 + k) % bytes.size()]);
    return name;
  };
  const auto fileName = [&](int level) {
    std::string name;
    for (int k = 0; k < 2 + level % 5; ++k) name.push_back(bytes[(level * 53 + k) % bytes.size()]);
    return name;
  };
  std::set<std::string> walked{home.path()};
  std::vector<int> fds{::open(home.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  std::string path = home.path();
  for (int level = 0; level < kLevels; ++level) {
    ASSERT_GE(fds.back(), 0);
    const int file = ::openat(fds.back(), fileName(level).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC,
                              0644);
    ASSERT_GE(file, 0);
    ::close(file);
    walked.insert(path + "/" + fileName(level));
    ASSERT_EQ(::mkdirat(fds.back(), folderName(level).c_str(), 0755), 0);
    fds.push_back(::openat(fds.back(), folderName(level).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    path += "/" + folderName(level);
    walked.insert(path);
  }
  ASSERT_GT(path.size(), static_cast<std::size_t>(PATH_MAX));

  std::optional<FileNode> tree;
  recordTree(home.path(), ScanOptions{}, tree);
  ASSERT_TRUE(tree);
  std::set<std::string> found;
  tree->forEachNode([&](const FileNode& node) {
    const std::string url = node.url();
    found.insert(url);
    EXPECT_EQ(node.id(), url);
    EXPECT_EQ(node.name(), lastPathComponent(url));
  });
  EXPECT_EQ(found, walked);
  const FileNode* deepest = &*tree;
  while (deepest->outlineChildren()) {
    for (const FileNode& child : *deepest->children()) {
      if (child.isDirectory()) deepest = &child;
    }
  }
  EXPECT_EQ(deepest->url(), path);
  EXPECT_EQ(FileNode(*deepest).url(), path);

  for (int level = kLevels - 1; level >= 0; --level) {
    ::close(fds.back());
    fds.pop_back();
    EXPECT_EQ(::unlinkat(fds.back(), folderName(level).c_str(), AT_REMOVEDIR), 0);
    EXPECT_EQ(::unlinkat(fds.back(), fileName(level).c_str(), 0), 0);
  }
  ::close(fds.back());
}

// A folder large enough to be shared out in chunks, with subfolders among its files: what the
// chunks found joins the folder whether they end before its listing or after, once each.
TEST(DiskScannerTree, AFolderSharedOutInChunksKeepsEveryEntryOnce) {
  test::FakeHome home{"chunked"};
  std::set<std::string> expected{home.path(), home / "big"};
  for (int i = 0; i < 3000; ++i) {
    expected.insert(home.file("big/f" + std::to_string(i), i % 7 == 0 ? 5000 : 0));
  }
  for (int i = 0; i < 40; ++i) {
    expected.insert(home.dir("big/d" + std::to_string(i)));
    expected.insert(home.file("big/d" + std::to_string(i) + "/inner", 100));
  }
  std::optional<FileNode> tree;
  recordTree(home.path(), ScanOptions{}, tree);
  ASSERT_TRUE(tree);
  std::set<std::string> found;
  std::size_t nodes = 0;
  tree->forEachNode([&](const FileNode& node) {
    found.insert(node.url());
    ++nodes;
  });
  EXPECT_EQ(nodes, expected.size());
  EXPECT_EQ(found, expected);
  const DirectoryMeasurement m = measured(home.path());
  EXPECT_EQ(tree->fileCount(), m.fileCount);
  EXPECT_EQ(tree->size(), m.size);
  const FileNode* big = child(*tree, "big");
  ASSERT_TRUE(big);
  for (std::size_t i = 1; i < big->children()->size(); ++i) {
    EXPECT_GE((*big->children())[i - 1].size(), (*big->children())[i].size());
  }
}
