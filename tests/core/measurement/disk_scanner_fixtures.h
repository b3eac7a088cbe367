#pragma once

// Helpers shared by the walker's tests: an independent sum over a tree, fixture trees, and
// thin wrappers around the two walks.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/measurement/disk_scanner.h"
#include "support/fake_home.h"

namespace hl::test::walk {

// What `du`-like arithmetic over a tree gives, computed with nftw, independently of the
// walker: non-folders only, a hard-linked file once, links never followed.
struct IndependentSum {
  std::int64_t size = 0;
  std::int64_t files = 0;
  std::int64_t duplicates = 0;
  std::optional<Date> newest;
};

IndependentSum independentSum(const std::string& root);

// The measurement of a path that must be walkable.
DirectoryMeasurement measured(const std::string& path, bool includeHidden = true,
                              const WalkBoundary& boundary = WalkBoundary(),
                              const WalkFaults& faults = {});

// A tree wide enough that several walking threads share it: folders of folders of files of
// many sizes, a sparse file, hard links across folders, links to files and to folders.
void buildWideTree(FakeHome& home);

const FileNode* child(const FileNode& node, std::string_view name);
std::int64_t nodeCount(const FileNode& root);

// Builds the tree of `path` into `tree` and returns every progress report.
std::vector<ScanProgress> recordTree(const std::string& path, ScanOptions options,
                                     std::optional<FileNode>& tree,
                                     const WalkBoundary& boundary = WalkBoundary(),
                                     const WalkFaults& faults = {});

// Folders nested `levels` deep under `root`, each named `name`, with one file at the bottom.
// Made through descriptors, so the whole path may be longer than PATH_MAX. Returns the file's
// allocated bytes.
std::int64_t makeDeepChain(const std::string& root, int levels, const char* name);

// Removes such a chain without ever using its long paths.
void removeDeepChain(const std::string& root, const char* name);

}  // namespace hl::test::walk
