#include "services/disk_scanner.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#include "platform/folder_reader.h"
#include "services/walk_pool.h"
#include "utilities/path_canonical.h"

namespace hl {
namespace {

// Folders that stay open after their listing so that their subfolders can be opened relative to
// them, across all walks of the process. Beyond this, a subfolder is reached again from the
// walk's root, one component at a time, so descriptors stay bounded however wide or deep the
// tree is and however long its paths are.
constexpr int kRetainedDescriptorLimit = 256;
std::atomic<int> retainedDescriptors{0};

// Entries between two looks at the stop token, and at most this many entries are handed in to
// the progress counters at once.
constexpr std::size_t kCheckInterval = 64;
constexpr std::int64_t kProgressBatch = 256;

std::string withoutTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

std::string joinPath(std::string_view folder, std::string_view name) {
  std::string out;
  out.reserve(folder.size() + name.size() + 1);
  out.append(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

Date dateOf(const EntryStatus& status) {
  return Date(std::chrono::duration_cast<Date::duration>(
      std::chrono::seconds(status.modifiedSeconds) +
      std::chrono::nanoseconds(status.modifiedNanoseconds)));
}

bool sameObject(int fd, std::uint64_t device, std::uint64_t inode) {
  EntryStatus status;
  return FolderAccess::status(fd, status) && status.device == device && status.inode == inode;
}

// One folder of a walk, from the moment its parent lists it until its contents are known.
struct Folder {
  std::shared_ptr<Folder> parent;  // none for the root
  // The whole path when the walk needs paths (the tree, an injected predicate), else the name.
  std::string path;
  std::size_t nameOffset = 0;
  // The object the parent's listing saw; what is opened later must still be it.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  // Open while subfolders still have to be opened relative to it (always, for the root).
  int fd = -1;
  bool retained = false;
  std::atomic<std::size_t> unopened{0};

  // The tree walk: the nodes found so far and the subfolders whose nodes are still missing.
  std::mutex mutex;
  std::vector<FileNode> children;
  std::size_t incomplete = 0;
  bool listed = false;

  const char* name() const { return path.c_str() + nameOffset; }

  void releaseDescriptor() {
    if (fd < 0) return;
    ::close(fd);
    fd = -1;
    if (retained) {
      retainedDescriptors.fetch_sub(1, std::memory_order_relaxed);
      retained = false;
    }
  }

  ~Folder() {
    releaseDescriptor();
    // A deep chain of folders would otherwise be released by one nested call per level.
    std::shared_ptr<Folder> next = std::move(parent);
    while (next && next.use_count() == 1) {
      std::shared_ptr<Folder> up = std::move(next->parent);
      next.reset();
      next = std::move(up);
    }
  }
};

// Hard links seen by one measurement, split so that walking threads rarely wait for each other.
class LinkSet {
 public:
  // True the first time an object is seen.
  bool insert(std::uint64_t device, std::uint64_t inode) {
    const std::size_t hash = std::hash<std::uint64_t>()(inode * 0x9E3779B97F4A7C15ULL ^ device);
    Shard& shard = shards_[hash % shards_.size()];
    std::lock_guard lock(shard.mutex);
    return shard.seen.insert(Key{device, inode}).second;
  }

 private:
  struct Key {
    std::uint64_t device;
    std::uint64_t inode;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const {
      return std::hash<std::uint64_t>()(key.inode ^ (key.device << 1));
    }
  };
  struct Shard {
    std::mutex mutex;
    std::unordered_set<Key, KeyHash> seen;
  };
  std::array<Shard, 32> shards_;
};

struct Totals {
  std::int64_t size = 0;
  std::int64_t files = 0;
  std::int64_t unreadable = 0;
  std::int64_t deduplicated = 0;
  std::int64_t skippedVolumes = 0;
  std::int64_t skippedDataless = 0;
  bool hasNewest = false;
  std::int64_t newestSeconds = 0;
  std::uint32_t newestNanoseconds = 0;

  void count(const EntryStatus& status) {
    size += status.allocatedBytes;
    ++files;
    noteModified(status.modifiedSeconds, status.modifiedNanoseconds);
  }

  void noteModified(std::int64_t seconds, std::uint32_t nanoseconds) {
    if (!hasNewest || seconds > newestSeconds ||
        (seconds == newestSeconds && nanoseconds > newestNanoseconds)) {
      hasNewest = true;
      newestSeconds = seconds;
      newestNanoseconds = nanoseconds;
    }
  }

  void add(const Totals& other) {
    size += other.size;
    files += other.files;
    unreadable += other.unreadable;
    deduplicated += other.deduplicated;
    skippedVolumes += other.skippedVolumes;
    skippedDataless += other.skippedDataless;
    if (other.hasNewest) noteModified(other.newestSeconds, other.newestNanoseconds);
  }
};

// The state of one walk, shared by the threads that work on it.
struct Walk {
  enum class Mode { measure, tree };

  Walk(Mode mode, bool includeHidden, const WalkBoundary& boundary, const WalkFaults& faults,
       std::stop_token stop)
      : mode(mode), includeHidden(includeHidden), boundary(boundary), faults(faults),
        stop(std::move(stop)) {
    const auto* test = boundary.isDataless.target<bool (*)(std::string_view)>();
    // The platform's own test is false for every folder here; asking it would only cost a
    // path per folder.
    asksDataless = boundary.isDataless && !(test && *test == &FileFlags::isDataless);
    keepsPaths = mode == Mode::tree || asksDataless || bool(boundary.volumeSource) ||
                 faults.any();
  }

  const Mode mode;
  const bool includeHidden;
  const WalkBoundary& boundary;
  const WalkFaults& faults;
  const std::stop_token stop;
  bool asksDataless = false;
  bool keepsPaths = false;
  std::optional<VolumeIdentifier> rootVolume;
  std::shared_ptr<Folder> root;

  // The measurement.
  std::mutex totalsMutex;
  Totals totals;
  LinkSet links;

  // The tree walk.
  const DiskScanner::ProgressCallback* progress = nullptr;
  std::int64_t progressInterval = 1;
  std::atomic<std::int64_t> visited{0};
  std::atomic<std::int64_t> bytes{0};
  std::atomic<std::int64_t> skippedVolumes{0};
  std::atomic<std::int64_t> skippedDataless{0};
  std::mutex progressMutex;
  std::optional<FileNode> result;

  bool stopped() const { return stop.stop_requested(); }
};

bool readStatus(const Walk& walk, int fd, const Folder& folder, const char* name,
                EntryStatus& status) {
  if (walk.faults.failStatus && walk.faults.failStatus(joinPath(folder.path, name))) {
    errno = EACCES;
    return false;
  }
  return FolderAccess::status(fd, name, status);
}

// Why a subfolder must not be entered. `path` is its whole path when the walk keeps paths.
std::optional<WalkBoundary::Skip> skipReason(const Walk& walk, const EntryStatus& status,
                                             const std::string& path) {
  if (walk.boundary.volumeSource) {
    return walk.boundary.skipReason(path, walk.boundary.volumeSource(path), walk.rootVolume);
  }
  // A bind mount keeps the device of its source, so the mount root tells it apart.
  if (status.isMountRoot ||
      WalkBoundary::crossesVolume(VolumeIdentifier{status.device, status.mountId},
                                  walk.rootVolume)) {
    return WalkBoundary::Skip::otherVolume;
  }
  if (walk.asksDataless && walk.boundary.isDataless(path)) return WalkBoundary::Skip::dataless;
  return std::nullopt;
}

std::shared_ptr<Folder> makeSubfolder(const Walk& walk, const std::shared_ptr<Folder>& parent,
                                      const char* name, std::string path,
                                      const EntryStatus& status) {
  auto folder = std::make_shared<Folder>();
  folder->parent = parent;
  if (walk.keepsPaths) {
    folder->path = std::move(path);
    folder->nameOffset = folder->path.size() - std::strlen(name);
  } else {
    folder->path = name;
  }
  folder->device = status.device;
  folder->inode = status.inode;
  return folder;
}

// Opens a subfolder again from the walk's root, one component at a time: its parent's
// descriptor was not kept. Each step must reach the object the walk saw there.
int reopenFromRoot(const Walk& walk, const Folder& folder) {
  std::vector<const Folder*> chain;
  for (const Folder* up = folder.parent.get(); up->parent; up = up->parent.get()) {
    chain.push_back(up);
  }
  int current = walk.root->fd;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const int next = FolderAccess::openFolder(current, (*it)->name());
    if (current != walk.root->fd) ::close(current);
    if (next < 0) return -1;
    if (!sameObject(next, (*it)->device, (*it)->inode)) {
      ::close(next);
      errno = ENOENT;
      return -1;
    }
    current = next;
  }
  const int fd = FolderAccess::openFolder(current, folder.name());
  if (current != walk.root->fd) ::close(current);
  return fd;
}

int openSubfolder(const Walk& walk, const Folder& folder) {
  if (walk.faults.failOpen && walk.faults.failOpen(folder.path)) {
    errno = EACCES;
    return -1;
  }
  // The parent's descriptor is either kept until this folder has been opened, or was closed
  // before any subfolder task existed.
  const int parentFd = folder.parent->fd;
  const int fd = parentFd >= 0 ? FolderAccess::openFolder(parentFd, folder.name())
                               : reopenFromRoot(walk, folder);
  if (fd < 0) return -1;
  // Whatever took the folder's place since its parent was listed is not walked.
  if (!sameObject(fd, folder.device, folder.inode)) {
    ::close(fd);
    errno = ENOENT;
    return -1;
  }
  return fd;
}

void listFolder(Walk& walk, WalkPool::Job& job, const std::shared_ptr<Folder>& folder);

// Hands the subfolders found in a listing to the pool, keeping the folder's descriptor open for
// them when the budget allows.
void publish(Walk& walk, WalkPool::Job& job, Folder& folder,
             std::vector<std::shared_ptr<Folder>>& subfolders) {
  if (folder.parent) {
    if (!subfolders.empty() &&
        retainedDescriptors.fetch_add(1, std::memory_order_relaxed) < kRetainedDescriptorLimit) {
      folder.retained = true;
    } else {
      if (!subfolders.empty()) retainedDescriptors.fetch_sub(1, std::memory_order_relaxed);
      folder.releaseDescriptor();
    }
  }
  if (subfolders.empty()) return;
  folder.unopened.store(subfolders.size(), std::memory_order_release);
  std::vector<WalkPool::Task> tasks;
  tasks.reserve(subfolders.size());
  // Pushed in reverse so that the pool, last in first out, takes them in listing order.
  for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
    tasks.emplace_back([&walk, sub = std::move(*it)](WalkPool::Job& j) { listFolder(walk, j, sub); });
  }
  subfolders.clear();
  job.add(tasks);
}

// The tree walk: makes the node of a folder whose contents are all known, then of every
// ancestor that this completes.
void complete(Walk& walk, std::shared_ptr<Folder> folder) {
  while (folder) {
    std::vector<FileNode> children;
    {
      std::lock_guard lock(folder->mutex);
      children = std::move(folder->children);
    }
    FileNode node = FileNode::directory(std::move(folder->path), std::nullopt,
                                        std::move(children));
    std::shared_ptr<Folder> parent = folder->parent;
    if (!parent) {
      walk.result = std::move(node);
      return;
    }
    bool parentComplete = false;
    {
      std::lock_guard lock(parent->mutex);
      parent->children.push_back(std::move(node));
      parentComplete = --parent->incomplete == 0 && parent->listed;
    }
    folder = parentComplete ? std::move(parent) : nullptr;
  }
}

void reportProgress(Walk& walk, std::int64_t visited, std::int64_t bytes,
                    const std::string& recentPath) {
  walk.bytes.fetch_add(bytes, std::memory_order_relaxed);
  const std::int64_t before = walk.visited.fetch_add(visited, std::memory_order_relaxed);
  if (!walk.progress || !*walk.progress || visited == 0) return;
  const std::int64_t interval = walk.progressInterval;
  if (before / interval == (before + visited) / interval) return;
  std::lock_guard lock(walk.progressMutex);
  ScanProgress progress;
  progress.itemsVisited = walk.visited.load(std::memory_order_relaxed);
  progress.bytesScanned = walk.bytes.load(std::memory_order_relaxed);
  progress.currentPath = PathCanonical::canonical(recentPath);
  progress.skippedVolumes = walk.skippedVolumes.load(std::memory_order_relaxed);
  progress.skippedDataless = walk.skippedDataless.load(std::memory_order_relaxed);
  (*walk.progress)(progress);
}

void measureListing(Walk& walk, WalkPool::Job& job, const std::shared_ptr<Folder>& folder) {
  const int fd = folder->fd;
  Totals local;
  std::vector<std::shared_ptr<Folder>> subfolders;
  FolderListing listing(fd);
  const bool refused = walk.faults.failListing && walk.faults.failListing(folder->path);
  std::size_t sinceCheck = 0;
  for (const char* name = refused ? nullptr : listing.next(); name; name = listing.next()) {
    if (++sinceCheck == kCheckInterval) {
      sinceCheck = 0;
      if (walk.stopped()) return;
    }
    if (!walk.includeHidden && name[0] == '.') continue;
    EntryStatus status;
    if (!readStatus(walk, fd, *folder, name, status)) {
      ++local.unreadable;
      continue;
    }
    if (status.kind == EntryStatus::Kind::folder) {
      std::string path = walk.keepsPaths ? joinPath(folder->path, name) : std::string();
      if (const auto skip = skipReason(walk, status, path)) {
        ++(*skip == WalkBoundary::Skip::otherVolume ? local.skippedVolumes
                                                     : local.skippedDataless);
      } else {
        subfolders.push_back(makeSubfolder(walk, folder, name, std::move(path), status));
      }
      continue;
    }
    if (status.kind != EntryStatus::Kind::symbolicLink && status.linkCount > 1 &&
        !walk.links.insert(status.device, status.inode)) {
      ++local.deduplicated;
      continue;
    }
    local.count(status);
  }
  if (refused || listing.failed()) ++local.unreadable;
  {
    std::lock_guard lock(walk.totalsMutex);
    walk.totals.add(local);
  }
  publish(walk, job, *folder, subfolders);
}

// The leaves of the folder a thread is listing. Reused from folder to folder, so that a
// folder's list of children is allocated once, at its exact size; emptied whatever way the
// listing ends, and given back when an unusually large folder made it grow.
class LeafScratch {
 public:
  LeafScratch() : leaves_(storage()) { leaves_.clear(); }
  ~LeafScratch() {
    leaves_.clear();
    if (leaves_.capacity() > 4096) std::vector<FileNode>().swap(leaves_);
  }
  std::vector<FileNode>& leaves() { return leaves_; }

 private:
  static std::vector<FileNode>& storage() {
    thread_local std::vector<FileNode> leaves;
    return leaves;
  }
  std::vector<FileNode>& leaves_;
};

void treeListing(Walk& walk, WalkPool::Job& job, const std::shared_ptr<Folder>& folder) {
  LeafScratch scratch;
  std::vector<FileNode>& leaves = scratch.leaves();
  const int fd = folder->fd;
  std::vector<std::shared_ptr<Folder>> subfolders;
  FolderListing listing(fd);
  const bool refused = walk.faults.failListing && walk.faults.failListing(folder->path);
  std::int64_t visited = 0;
  std::int64_t bytes = 0;
  std::size_t sinceCheck = 0;
  for (const char* name = refused ? nullptr : listing.next(); name; name = listing.next()) {
    if (++sinceCheck == kCheckInterval) {
      sinceCheck = 0;
      if (walk.stopped()) return;
    }
    if (!walk.includeHidden && name[0] == '.') continue;
    ++visited;
    EntryStatus status;
    const bool known = readStatus(walk, fd, *folder, name, status);
    std::string path = joinPath(folder->path, name);
    if (known && status.kind == EntryStatus::Kind::folder) {
      if (const auto skip = skipReason(walk, status, path)) {
        (*skip == WalkBoundary::Skip::otherVolume ? walk.skippedVolumes : walk.skippedDataless)
            .fetch_add(1, std::memory_order_relaxed);
      } else {
        subfolders.push_back(makeSubfolder(walk, folder, name, std::move(path), status));
      }
    } else {
      const std::int64_t size = known ? status.allocatedBytes : 0;
      const bool isLink = known && status.kind == EntryStatus::Kind::symbolicLink;
      leaves.emplace_back(std::move(path), std::nullopt, size, false, isLink, 1);
      bytes += size;
    }
    if (visited == kProgressBatch) {
      reportProgress(walk, visited, bytes,
                     leaves.empty() ? subfolders.back()->path : leaves.back().url());
      visited = 0;
      bytes = 0;
    }
  }
  if (visited > 0) {
    reportProgress(walk, visited, bytes,
                   !leaves.empty()       ? leaves.back().url()
                   : !subfolders.empty() ? subfolders.back()->path
                                         : folder->path);
  }
  bool completeNow = false;
  {
    std::lock_guard lock(folder->mutex);
    folder->children.reserve(leaves.size() + subfolders.size());
    for (FileNode& leaf : leaves) folder->children.push_back(std::move(leaf));
    folder->incomplete = subfolders.size();
    folder->listed = true;
    completeNow = subfolders.empty();
  }
  leaves.clear();
  publish(walk, job, *folder, subfolders);
  if (completeNow) complete(walk, folder);
}

void listFolder(Walk& walk, WalkPool::Job& job, const std::shared_ptr<Folder>& folder) {
  if (folder->parent) {
    Folder& parent = *folder->parent;
    const int fd = walk.stopped() ? -1 : openSubfolder(walk, *folder);
    // The last subfolder to be opened releases its parent's descriptor.
    if (parent.unopened.fetch_sub(1, std::memory_order_acq_rel) == 1 && parent.parent) {
      parent.releaseDescriptor();
    }
    if (walk.stopped()) {
      if (fd >= 0) ::close(fd);
      return;
    }
    if (fd < 0) {
      if (walk.mode == Walk::Mode::measure) {
        std::lock_guard lock(walk.totalsMutex);
        ++walk.totals.unreadable;
      } else {
        // The tree keeps the folder, empty: its entry was listed, its contents cannot be.
        complete(walk, folder);
      }
      return;
    }
    folder->fd = fd;
  }
  if (walk.stopped()) return;
  if (walk.mode == Walk::Mode::measure) {
    measureListing(walk, job, folder);
  } else {
    treeListing(walk, job, folder);
  }
}

struct OpenedRoot {
  std::string path;
  EntryStatus status;
  bool statusKnown = false;
  int fd = -1;
};

// Reads the root's status and, when it is a folder that is not skipped, opens it.
OpenedRoot openRoot(std::string_view path, const WalkFaults& faults) {
  OpenedRoot root;
  root.path = withoutTrailingSlashes(path);
  if (faults.failStatus && faults.failStatus(root.path)) return root;
  root.statusKnown = FolderAccess::status(AT_FDCWD, root.path.c_str(), root.status);
  return root;
}

int openRootFolder(const OpenedRoot& root, const WalkFaults& faults) {
  if (faults.failOpen && faults.failOpen(root.path)) return -1;
  const int fd = FolderAccess::openFolder(AT_FDCWD, root.path.c_str());
  if (fd < 0) return -1;
  if (!sameObject(fd, root.status.device, root.status.inode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::optional<VolumeIdentifier> rootVolumeOf(const WalkBoundary& boundary,
                                             const OpenedRoot& root) {
  if (boundary.volumeSource) return boundary.volumeSource(root.path);
  return VolumeIdentifier{root.status.device, root.status.mountId};
}

void runWalk(Walk& walk, int rootFd, const std::string& rootPath) {
  walk.root = std::make_shared<Folder>();
  walk.root->path = rootPath;
  walk.root->fd = rootFd;
  WalkPool::shared().run(
      [&walk](WalkPool::Job& job) { listFolder(walk, job, walk.root); });
  walk.root.reset();
}

}  // namespace

std::string_view rawValue(MeasureError error) {
  switch (error) {
    case MeasureError::cancelled:
      return "cancelled";
    case MeasureError::unreadableRoot:
      return "unreadableRoot";
  }
  return "cancelled";
}

std::optional<MeasureError> MeasureResult::error() const {
  if (const auto* error = std::get_if<MeasureError>(&value_)) return *error;
  return std::nullopt;
}

std::optional<DirectoryMeasurement> MeasureResult::measurement() const {
  if (hasValue()) return value();
  if (error() == MeasureError::unreadableRoot) return DirectoryMeasurement::unreadable();
  return std::nullopt;
}

DiskScanner::DiskScanner(WalkBoundary::DatalessTest isDataless)
    : boundary_(std::move(isDataless)) {}

DiskScanner::DiskScanner(WalkBoundary boundary) : boundary_(std::move(boundary)) {}

std::optional<FileNode> DiskScanner::scan(std::string_view path, const ScanOptions& options,
                                          const ProgressCallback& progress,
                                          std::stop_token stop) const {
  return buildTree(path, options, boundary_, progress, std::move(stop));
}

MeasureResult DiskScanner::measure(std::string_view path, bool includeHidden,
                                   const WalkBoundary& boundary, std::stop_token stop,
                                   const WalkFaults& faults) {
  if (stop.stop_requested()) return MeasureError::cancelled;
  const OpenedRoot root = openRoot(path, faults);
  if (!root.statusKnown) return MeasureError::unreadableRoot;

  DirectoryMeasurement result;
  if (root.status.kind != EntryStatus::Kind::folder) {
    // A file, or a link that is never followed: the entry itself.
    result.size = root.status.allocatedBytes;
    result.fileCount = 1;
    result.newestModification = dateOf(root.status);
    return result;
  }
  if (boundary.isDataless && boundary.isDataless(root.path)) {
    result.skippedDataless = 1;
    result.newestModification = dateOf(root.status);
    return result;
  }

  Walk walk(Walk::Mode::measure, includeHidden, boundary, faults, std::move(stop));
  walk.rootVolume = rootVolumeOf(boundary, root);
  const int fd = openRootFolder(root, faults);
  if (fd < 0) return MeasureError::unreadableRoot;
  runWalk(walk, fd, root.path);
  if (walk.stopped()) return MeasureError::cancelled;

  const Totals& totals = walk.totals;
  result.size = totals.size;
  result.fileCount = totals.files;
  result.unreadableCount = totals.unreadable;
  result.deduplicatedLinks = totals.deduplicated;
  result.skippedVolumes = totals.skippedVolumes;
  result.skippedDataless = totals.skippedDataless;
  if (totals.hasNewest) {
    EntryStatus newest;
    newest.modifiedSeconds = totals.newestSeconds;
    newest.modifiedNanoseconds = totals.newestNanoseconds;
    result.newestModification = dateOf(newest);
  }
  return result;
}

std::optional<FileNode> DiskScanner::buildTree(std::string_view path, const ScanOptions& options,
                                               const WalkBoundary& boundary,
                                               const ProgressCallback& progress,
                                               std::stop_token stop, const WalkFaults& faults) {
  if (stop.stop_requested()) return std::nullopt;
  const OpenedRoot root = openRoot(path, faults);
  if (!root.statusKnown) return FileNode(root.path, std::nullopt, 0, false, false, 1);
  if (root.status.kind != EntryStatus::Kind::folder) {
    return FileNode(root.path, std::nullopt, root.status.allocatedBytes, false,
                    root.status.kind == EntryStatus::Kind::symbolicLink, 1);
  }
  if (boundary.isDataless && boundary.isDataless(root.path)) {
    // The report is how a caller learns that the folder's contents are not on the disk.
    if (progress) {
      ScanProgress report;
      report.currentPath = PathCanonical::canonical(root.path);
      report.skippedDataless = 1;
      progress(report);
    }
    return FileNode::directory(root.path, std::nullopt, {});
  }

  Walk walk(Walk::Mode::tree, options.includeHidden, boundary, faults, std::move(stop));
  walk.rootVolume = rootVolumeOf(boundary, root);
  walk.progress = &progress;
  walk.progressInterval = std::max<std::int64_t>(options.progressInterval, 1);
  const int fd = openRootFolder(root, faults);
  if (fd < 0) return FileNode::directory(root.path, std::nullopt, {});
  runWalk(walk, fd, root.path);
  if (walk.stopped() || !walk.result) return std::nullopt;

  if (progress) {
    ScanProgress report;
    report.itemsVisited = walk.visited.load();
    report.bytesScanned = walk.bytes.load();
    report.currentPath = PathCanonical::canonical(root.path);
    report.skippedVolumes = walk.skippedVolumes.load();
    report.skippedDataless = walk.skippedDataless.load();
    progress(report);
  }
  return std::move(walk.result);
}

}  // namespace hl
