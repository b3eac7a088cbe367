#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>

#include "models/directory_measurement.h"
#include "models/file_node.h"
#include "utilities/walk_boundary.h"

namespace hl {

// The options of one folder tree walk.
struct ScanOptions {
  bool includeHidden = true;
  // A progress report after about every this many entries; 0 or less reports after every
  // batch of entries a walking thread hands in.
  std::int64_t progressInterval = 500;

  bool operator==(const ScanOptions&) const = default;
};

// One progress report of a folder tree walk.
struct ScanProgress {
  std::int64_t itemsVisited = 0;  // entries handled so far
  std::int64_t bytesScanned = 0;  // allocated bytes of the files found so far
  // Canonical path of a recently handled entry, or of the root in the final report.
  std::string currentPath;
  std::int64_t skippedVolumes = 0;
  std::int64_t skippedDataless = 0;

  bool operator==(const ScanProgress&) const = default;
};

// Why a measurement gave no figure of the location's contents.
enum class MeasureError {
  cancelled,       // the stop was requested; nothing of the walk is kept
  missing,         // nothing is at the location (or a folder above it is not one)
  unreadableRoot,  // the location cannot be read, or is a folder that cannot be listed
};

std::string_view rawValue(MeasureError error);

// A measurement, or why there is none.
class MeasureResult {
 public:
  MeasureResult(DirectoryMeasurement measurement) : value_(std::move(measurement)) {}
  MeasureResult(MeasureError error) : value_(error) {}

  bool hasValue() const { return std::holds_alternative<DirectoryMeasurement>(value_); }
  bool isCancelled() const { return error() == MeasureError::cancelled; }
  std::optional<MeasureError> error() const;
  // The walk's figures; only when hasValue().
  const DirectoryMeasurement& value() const { return std::get<DirectoryMeasurement>(value_); }
  // What a location is recorded with: the walk's figures, the unreadable measurement for a
  // location that cannot be walked (a missing one too), and none when the walk was cancelled.
  std::optional<DirectoryMeasurement> measurement() const;

  bool operator==(const MeasureResult&) const = default;

 private:
  std::variant<DirectoryMeasurement, MeasureError> value_;
};

// Failures a test cannot cause on a real disk when it runs with every permission. Each
// predicate, when set, makes that step fail for the given path as if the system had refused
// it. Real callers pass none.
struct WalkFaults {
  std::function<bool(std::string_view path)> failStatus;   // reading an entry or the root
  std::function<bool(std::string_view path)> failOpen;     // opening a folder for listing
  std::function<bool(std::string_view path)> failListing;  // reading a folder's names
  // As if the process were short of descriptors: no folder stays open for its subfolders, and
  // each subfolder is reached again from the root, one component at a time.
  bool scarceDescriptors = false;

  // Whether any step is set to fail for some path.
  bool any() const { return failStatus || failOpen || failListing; }
};

// The only walker of folder contents: sizes a folder by allocated bytes, or builds its tree.
// Both walks count what files occupy on disk, never follow a symbolic link, never enter
// another volume or a dataless folder, and stop when asked. They run on the threads of the
// shared walk pool and block the caller until done; any number of callers may walk at once.
class DiskScanner {
 public:
  using ProgressCallback = std::function<void(const ScanProgress&)>;

  explicit DiskScanner(WalkBoundary::DatalessTest isDataless = &FileFlags::isDataless);
  explicit DiskScanner(WalkBoundary boundary);

  const WalkBoundary& boundary() const { return boundary_; }

  // The tree of a folder the user chose, with this scanner's walk limits; none when cancelled.
  std::optional<FileNode> scan(std::string_view path, const ScanOptions& options,
                               const ProgressCallback& progress = {},
                               std::stop_token stop = {}) const;

  // Adds up a folder (or a single file or link) by allocated size. Folders add no size, count
  // or date of their own; a file with several hard links counts once per walk.
  static MeasureResult measure(std::string_view path, bool includeHidden,
                               const WalkBoundary& boundary, std::stop_token stop = {},
                               const WalkFaults& faults = {});

  // Whether the location is a folder that can be opened and listed to its end: a tree walk
  // gives an unreadable folder as an empty one, and this tells the two apart.
  static bool isListableFolder(std::string_view path, const WalkFaults& faults = {});

  // The tree walk itself. A folder's node is made once all of its contents are known; entries
  // that cannot be read become empty leaves, folders that cannot be opened empty folders.
  // Progress is reported on a walking thread, never two reports at once, the final one with
  // the root's path. None when cancelled.
  static std::optional<FileNode> buildTree(std::string_view path, const ScanOptions& options,
                                           const WalkBoundary& boundary,
                                           const ProgressCallback& progress,
                                           std::stop_token stop = {},
                                           const WalkFaults& faults = {});

 private:
  WalkBoundary boundary_;
};

}  // namespace hl
