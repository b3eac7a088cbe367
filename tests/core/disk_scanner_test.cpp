#include "services/disk_scanner.h"

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

namespace {

// What `du`-like arithmetic over a tree gives, computed here with nftw, independently of the
// walker: non-folders only, a hard-linked file once, links never followed.
struct IndependentSum {
  std::int64_t size = 0;
  std::int64_t files = 0;
  std::int64_t duplicates = 0;
  std::optional<Date> newest;
};

IndependentSum* currentSum = nullptr;
std::set<std::pair<dev_t, ino_t>>* currentSeen = nullptr;

int addEntry(const char*, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_D || type == FTW_DP) return 0;
  if (type != FTW_SL && st->st_nlink > 1 && !currentSeen->insert({st->st_dev, st->st_ino}).second) {
    ++currentSum->duplicates;
    return 0;
  }
  currentSum->size += static_cast<std::int64_t>(st->st_blocks) * 512;
  ++currentSum->files;
  const Date modified(std::chrono::duration_cast<Date::duration>(
      std::chrono::seconds(st->st_mtim.tv_sec) + std::chrono::nanoseconds(st->st_mtim.tv_nsec)));
  if (!currentSum->newest || modified > *currentSum->newest) currentSum->newest = modified;
  return 0;
}

IndependentSum independentSum(const std::string& root) {
  IndependentSum sum;
  std::set<std::pair<dev_t, ino_t>> seen;
  currentSum = &sum;
  currentSeen = &seen;
  EXPECT_EQ(::nftw(root.c_str(), addEntry, 32, FTW_PHYS | FTW_MOUNT), 0);
  currentSum = nullptr;
  currentSeen = nullptr;
  return sum;
}

DirectoryMeasurement measured(const std::string& path, bool includeHidden = true,
                              const WalkBoundary& boundary = WalkBoundary(),
                              const WalkFaults& faults = {}) {
  const MeasureResult result = DiskScanner::measure(path, includeHidden, boundary, {}, faults);
  EXPECT_TRUE(result.hasValue()) << path;
  return result.hasValue() ? result.value() : DirectoryMeasurement::unreadable();
}

// A tree wide enough that several walking threads share it: folders of folders of files of
// many sizes, a sparse file, hard links across folders, links to files and to folders.
void buildWideTree(test::FakeHome& home) {
  for (int a = 0; a < 12; ++a) {
    for (int b = 0; b < 6; ++b) {
      const std::string folder = "pkg" + std::to_string(a) + "/lib" + std::to_string(b);
      for (int f = 0; f < 15; ++f) {
        home.text(folder + "/f" + std::to_string(f),
                  std::string(static_cast<std::size_t>((a * 7 + b * 3 + f) * 911 % 20000), 'z'));
      }
    }
  }
  home.sparseFile("pkg0/sparse.bin", 64LL << 20, 8192);
  home.hardlink("pkg5/lib1/again", "pkg0/lib0/f3");
  home.hardlink("pkg9/lib4/again", "pkg0/lib0/f3");
  home.symlink("pkg3/to-file", "lib0/f1");
  home.symlink("pkg4/to-folder", "../pkg0");
  home.dir("pkg7/empty");
}

const FileNode* child(const FileNode& node, std::string_view name) {
  if (!node.children()) return nullptr;
  for (const FileNode& c : *node.children()) {
    if (c.name() == name) return &c;
  }
  return nullptr;
}

std::int64_t nodeCount(const FileNode& root) {
  std::int64_t count = 0;
  root.forEachNode([&](const FileNode&) { ++count; });
  return count;
}

std::vector<ScanProgress> recordTree(const std::string& path, ScanOptions options,
                                     std::optional<FileNode>& tree,
                                     const WalkBoundary& boundary = WalkBoundary(),
                                     const WalkFaults& faults = {}) {
  std::vector<ScanProgress> reports;
  std::mutex mutex;
  tree = DiskScanner::buildTree(
      path, options, boundary,
      [&](const ScanProgress& p) {
        std::lock_guard lock(mutex);
        reports.push_back(p);
      },
      {}, faults);
  return reports;
}

// Folders nested `levels` deep under `root`, each named `name`, with one file at the bottom.
// Made through descriptors, so the whole path may be longer than PATH_MAX. Returns the file's
// allocated bytes.
std::int64_t makeDeepChain(const std::string& root, int levels, const char* name) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  for (int i = 0; i < levels; ++i) {
    EXPECT_EQ(::mkdirat(fd, name, 0755), 0);
    const int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = next;
    EXPECT_GE(fd, 0);
  }
  const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  EXPECT_GE(file, 0);
  const std::string data(5000, 'q');
  EXPECT_EQ(::write(file, data.data(), data.size()), static_cast<ssize_t>(data.size()));
  ::close(file);
  struct stat st {};
  EXPECT_EQ(::fstatat(fd, "bottom", &st, AT_SYMLINK_NOFOLLOW), 0);
  ::close(fd);
  return static_cast<std::int64_t>(st.st_blocks) * 512;
}

// Removes such a chain without ever using its long paths: the second level is moved up to
// take the first one's place, one level at a time.
void removeDeepChain(const std::string& root, const char* name) {
  const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(rootFd, 0);
  for (;;) {
    const int top = ::openat(rootFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0) break;
    ::unlinkat(top, "bottom", 0);
    const bool deeper = ::renameat(top, name, rootFd, "moving") == 0;
    ::close(top);
    ASSERT_EQ(::unlinkat(rootFd, name, AT_REMOVEDIR), 0);
    if (!deeper) break;
    ASSERT_EQ(::renameat(rootFd, "moving", rootFd, name), 0);
  }
  ::close(rootFd);
}

}  // namespace

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
  for (const std::string& path : {home / "nothing", std::string()}) {
    const MeasureResult result = DiskScanner::measure(path, true, WalkBoundary());
    EXPECT_FALSE(result.hasValue());
    EXPECT_EQ(result.error(), MeasureError::unreadableRoot);
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
  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions do not restrict root; the injected test covers it";
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
