#include "core/measurement/disk_scanner_fixtures.h"

#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <set>

namespace hl::test::walk {


namespace {

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

}  // namespace

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

DirectoryMeasurement measured(const std::string& path, bool includeHidden,
                              const WalkBoundary& boundary,
                              const WalkFaults& faults) {
  const MeasureResult result = DiskScanner::measure(path, includeHidden, boundary, {}, faults);
  EXPECT_TRUE(result.hasValue()) << path;
  return result.hasValue() ? result.value() : DirectoryMeasurement::unreadable();
}

// A tree wide enough that several walking threads share it: folders of folders of files of
// many sizes, a sparse file, hard links across folders, links to files and to folders.
void buildWideTree(FakeHome& home) {
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
                                     const WalkBoundary& boundary,
                                     const WalkFaults& faults) {
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

}  // namespace hl::test::walk
