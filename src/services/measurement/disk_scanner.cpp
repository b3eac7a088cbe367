#include "services/measurement/disk_scanner.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/folder_reader.h"
#include "services/measurement/walk_pool.h"
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

// A folder with more entries than the lister handles itself has the rest handled by other
// threads, in chunks of this many names: one very large folder is walked in parallel too.
constexpr std::size_t kEntriesListerHandles = 64;
constexpr std::size_t kChunkEntries = 64;

std::string withoutTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
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

struct Folder;

// A counted reference to a folder of a walk. Every folder holds one on its parent, so letting go
// of the last reference to a deep chain releases it level by level, never by nested calls.
class FolderRef {
 public:
  FolderRef() = default;
  // A new folder, referenced once.
  static FolderRef make();
  // Another reference to a folder that is already referenced.
  static FolderRef share(Folder* folder);

  FolderRef(const FolderRef& other)
      : FolderRef(other.folder_ ? share(other.folder_) : FolderRef()) {}
  FolderRef(FolderRef&& other) noexcept : folder_(std::exchange(other.folder_, nullptr)) {}
  FolderRef& operator=(FolderRef other) noexcept {
    std::swap(folder_, other.folder_);
    return *this;
  }
  ~FolderRef() { release(folder_); }

  Folder* get() const { return folder_; }
  Folder* operator->() const { return folder_; }
  Folder& operator*() const { return *folder_; }
  explicit operator bool() const { return folder_ != nullptr; }

 private:
  explicit FolderRef(Folder* adopted) : folder_(adopted) {}
  static void release(Folder* folder);

  Folder* folder_ = nullptr;
};

// One folder of a walk, from the moment its parent lists it until its contents are known.
struct Folder {
  std::atomic<std::size_t> references{1};
  Folder* parent = nullptr;  // one counted reference; none for the root
  // The root's whole path; a subfolder's name. Whole paths of subfolders are put together only
  // when something asks for one: kept with every folder, they would cost the square of the depth.
  std::string path;
  // The object the parent's listing saw; what is opened later must still be it.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  int fd = -1;
  // Decided when the listing starts, before anything else can see the folder: whether `fd`
  // stays open for the shares of the listing handed to other threads and for the subfolders
  // until the last of them lets go (always, for the root). Otherwise it is closed when the
  // listing ends, and subfolders are reached again from the root.
  bool keep = false;
  bool counted = false;  // holds a place among the retained descriptors
  std::atomic<std::size_t> holds{0};

  // The tree walk: the nodes found so far, and the shares and subfolders still outstanding.
  std::mutex mutex;
  std::vector<FileNode> children;
  // The leaves of the shares handed to other threads, each kept whole until the folder is
  // complete: appended one by one under the lock, thousands of shares would wait for each other
  // and for the list to grow.
  std::vector<std::vector<FileNode>> handedBack;
  std::size_t incomplete = 0;
  bool listed = false;

  const char* name() const { return path.c_str(); }

  void closeDescriptor() {
    if (fd < 0) return;
    ::close(fd);
    fd = -1;
    if (counted) {
      retainedDescriptors.fetch_sub(1, std::memory_order_relaxed);
      counted = false;
    }
  }

  // One user of the kept descriptor is done with it; the last one closes it.
  void release() {
    if (holds.fetch_sub(1, std::memory_order_acq_rel) == 1 && parent) closeDescriptor();
  }

  ~Folder() { closeDescriptor(); }
};

FolderRef FolderRef::make() { return FolderRef(new Folder); }

FolderRef FolderRef::share(Folder* folder) {
  folder->references.fetch_add(1, std::memory_order_relaxed);
  return FolderRef(folder);
}

void FolderRef::release(Folder* folder) {
  while (folder && folder->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    Folder* up = folder->parent;
    delete folder;
    folder = up;
  }
}

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
      : mode(mode),
        includeHidden(includeHidden),
        boundary(boundary),
        faults(faults),
        stop(std::move(stop)) {
    const auto* test = boundary.isDataless.target<bool (*)(std::string_view)>();
    // The platform's own test is false for every folder here; asking it would only cost a
    // path per folder.
    asksDataless = boundary.isDataless && !(test && *test == &FileFlags::isDataless);
  }

  const Mode mode;
  const bool includeHidden;
  const WalkBoundary& boundary;
  const WalkFaults& faults;
  const std::stop_token stop;
  bool asksDataless = false;
  std::optional<VolumeIdentifier> rootVolume;
  FolderRef root;

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

// The whole path of a folder of the walk, put together from the names above it.
std::string pathOf(const Folder& folder) {
  std::size_t length = 0;
  const Folder* up = &folder;
  for (; up->parent; up = up->parent) length += up->path.size() + 1;
  std::string path = up->path;
  if (length == 0) return path;
  if (!path.empty() && path.back() == '/') path.pop_back();
  const std::size_t start = path.size();
  path.resize(start + length);
  std::size_t end = path.size();
  for (const Folder* at = &folder; at->parent; at = at->parent) {
    end -= at->path.size();
    path.replace(end, at->path.size(), at->path);
    path[--end] = '/';
  }
  return path;
}

std::string entryPath(const Folder& folder, std::string_view name) {
  return appendingPath(pathOf(folder), name);
}

bool readStatus(const Walk& walk, int fd, const Folder& folder, const char* name,
                EntryStatus& status) {
  if (walk.faults.failStatus && walk.faults.failStatus(entryPath(folder, name))) {
    errno = EACCES;
    return false;
  }
  return FolderAccess::status(fd, name, status);
}

// Why the subfolder `name` of `folder` must not be entered.
std::optional<WalkBoundary::Skip> skipReason(const Walk& walk, const EntryStatus& status,
                                             const Folder& folder, const char* name) {
  if (walk.boundary.volumeSource) {
    const std::string path = entryPath(folder, name);
    return walk.boundary.skipReason(path, walk.boundary.volumeSource(path), walk.rootVolume);
  }
  // A bind mount keeps the device of its source, so the mount root tells it apart.
  if (status.isMountRoot || WalkBoundary::crossesVolume(
                                VolumeIdentifier{status.device, status.mountId}, walk.rootVolume)) {
    return WalkBoundary::Skip::otherVolume;
  }
  if (walk.asksDataless && walk.boundary.isDataless(entryPath(folder, name))) {
    return WalkBoundary::Skip::dataless;
  }
  return std::nullopt;
}

FolderRef makeSubfolder(const FolderRef& parent, const char* name, const EntryStatus& status) {
  FolderRef folder = FolderRef::make();
  parent->references.fetch_add(1, std::memory_order_relaxed);
  folder->parent = parent.get();
  folder->path = name;
  folder->device = status.device;
  folder->inode = status.inode;
  return folder;
}

// Opens a subfolder again from the walk's root, one component at a time: its parent's
// descriptor was not kept. Each step must reach the object the walk saw there.
int reopenFromRoot(const Walk& walk, const Folder& folder) {
  std::vector<const Folder*> chain;
  for (const Folder* up = folder.parent; up->parent; up = up->parent) {
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
  if (walk.faults.failOpen && walk.faults.failOpen(pathOf(folder))) {
    errno = EACCES;
    return -1;
  }
  // A kept parent descriptor stays open until this folder lets go of it.
  const Folder& parent = *folder.parent;
  const int fd = parent.keep ? FolderAccess::openFolder(parent.fd, folder.name())
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

void listFolder(Walk& walk, WalkPool::Job& job, FolderRef folder);

// Hands subfolders to the pool; each holds its parent's kept descriptor until it is open. An
// only subfolder is carried on by this thread instead (`carry`), when it may: a chain of folders
// each holding one folder then costs no hand-off per level.
void publish(Walk& walk, WalkPool::Job& job, Folder& folder, std::vector<FolderRef>& subfolders,
             FolderRef* carry) {
  if (subfolders.empty()) return;
  if (folder.keep) folder.holds.fetch_add(subfolders.size(), std::memory_order_relaxed);
  if (carry && subfolders.size() == 1) {
    *carry = std::move(subfolders.front());
    subfolders.clear();
    return;
  }
  std::vector<WalkPool::Task> tasks;
  tasks.reserve(subfolders.size());
  // Pushed in reverse so that the pool, last in first out, takes them in listing order.
  for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
    tasks.emplace_back(
        [&walk, sub = std::move(*it)](WalkPool::Job& j) { listFolder(walk, j, sub); });
  }
  subfolders.clear();
  // This thread comes back for one of them as soon as its share is done.
  job.add(tasks, true);
}

// The tree walk: makes the node of a folder whose contents are all known, then of every
// ancestor that this completes.
void complete(Walk& walk, FolderRef folder) {
  while (folder) {
    std::vector<FileNode> children;
    std::vector<std::vector<FileNode>> handedBack;
    {
      std::lock_guard lock(folder->mutex);
      children = std::move(folder->children);
      handedBack = std::move(folder->handedBack);
    }
    if (!handedBack.empty()) {
      std::size_t total = children.size();
      for (const std::vector<FileNode>& leaves : handedBack) total += leaves.size();
      children.reserve(total);
      for (std::vector<FileNode>& leaves : handedBack) {
        for (FileNode& leaf : leaves) children.push_back(std::move(leaf));
      }
      handedBack.clear();
    }
    // Subfolders of a large folder that ended before its listing may have left spare room.
    if (children.capacity() - children.size() > children.size() / 8) children.shrink_to_fit();
    FileNode node = FileNode::directory(std::move(folder->path), std::nullopt, std::move(children));
    Folder* parent = folder->parent;
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
    folder = parentComplete ? FolderRef::share(parent) : FolderRef();
  }
}

// The leaves a thread finds in its share of a folder. Reused from share to share, so that most
// folders' lists of children are allocated once, at their exact size; emptied however the
// share ends, and given back when an unusually large folder made it grow. A walk started from a
// progress report on the same thread gets a list of its own.
class LeafScratch {
 public:
  LeafScratch() {
    if (!busy()) {
      busy() = true;
      owner_ = true;
      leaves_ = &storage();
    }
    leaves_->clear();
  }
  ~LeafScratch() {
    leaves_->clear();
    if (!owner_) return;
    if (leaves_->capacity() > 4096) std::vector<FileNode>().swap(*leaves_);
    busy() = false;
  }
  LeafScratch(const LeafScratch&) = delete;
  LeafScratch& operator=(const LeafScratch&) = delete;

  std::vector<FileNode>& leaves() { return *leaves_; }

 private:
  static bool& busy() {
    thread_local bool flag = false;
    return flag;
  }
  static std::vector<FileNode>& storage() {
    thread_local std::vector<FileNode> leaves;
    return leaves;
  }
  bool owner_ = false;
  std::vector<FileNode> own_;
  std::vector<FileNode>* leaves_ = &own_;
};

// What one thread finds in its share of a folder's entries: the lister's own, or a chunk of
// a large folder's names handed to another thread.
struct Share {
  Totals totals;
  std::vector<FolderRef> subfolders;
  LeafScratch scratch;
  std::int64_t visited = 0;  // handled, and not yet handed to the progress counters
  std::int64_t bytes = 0;
  bool stopped = false;

  std::vector<FileNode>& leaves() { return scratch.leaves(); }

  // Looks at the stop token once every so many entries.
  bool stopRequested(const Walk& walk) {
    if (++sinceCheck_ == kCheckInterval) {
      sinceCheck_ = 0;
      stopped = walk.stopped();
    }
    return stopped;
  }

 private:
  std::size_t sinceCheck_ = 0;
};

// Hands a share's visited entries and bytes to the walk's counters, and reports progress when
// they cross an interval. The recent entry is the share's last leaf or subfolder, or the folder
// itself when a batch found nothing but skipped folders; its path is put together only then.
void reportProgress(Walk& walk, Share& share, const Folder& folder) {
  walk.bytes.fetch_add(share.bytes, std::memory_order_relaxed);
  const std::int64_t before = walk.visited.fetch_add(share.visited, std::memory_order_relaxed);
  if (!walk.progress || !*walk.progress || share.visited == 0) return;
  const std::int64_t interval = walk.progressInterval;
  if (before / interval == (before + share.visited) / interval) return;
  const std::string recent = !share.leaves().empty()
                                 ? entryPath(folder, share.leaves().back().name())
                             : !share.subfolders.empty()
                                 ? entryPath(folder, share.subfolders.back()->name())
                                 : pathOf(folder);
  std::lock_guard lock(walk.progressMutex);
  ScanProgress progress;
  progress.itemsVisited = walk.visited.load(std::memory_order_relaxed);
  progress.bytesScanned = walk.bytes.load(std::memory_order_relaxed);
  progress.currentPath = PathCanonical::canonical(recent);
  progress.skippedVolumes = walk.skippedVolumes.load(std::memory_order_relaxed);
  progress.skippedDataless = walk.skippedDataless.load(std::memory_order_relaxed);
  (*walk.progress)(progress);
}

void handleForMeasure(Walk& walk, int fd, const FolderRef& folder, const char* name, Share& share) {
  EntryStatus status;
  if (!readStatus(walk, fd, *folder, name, status)) {
    ++share.totals.unreadable;
    return;
  }
  if (status.kind == EntryStatus::Kind::folder) {
    if (const auto skip = skipReason(walk, status, *folder, name)) {
      ++(*skip == WalkBoundary::Skip::otherVolume ? share.totals.skippedVolumes
                                                  : share.totals.skippedDataless);
    } else {
      share.subfolders.push_back(makeSubfolder(folder, name, status));
    }
    return;
  }
  if (status.kind != EntryStatus::Kind::symbolicLink && status.linkCount > 1 &&
      !walk.links.insert(status.device, status.inode)) {
    ++share.totals.deduplicated;
    return;
  }
  share.totals.count(status);
}

void handleForTree(Walk& walk, int fd, const FolderRef& folder, const char* name, Share& share) {
  ++share.visited;
  EntryStatus status;
  const bool known = readStatus(walk, fd, *folder, name, status);
  if (known && status.kind == EntryStatus::Kind::folder) {
    if (const auto skip = skipReason(walk, status, *folder, name)) {
      (*skip == WalkBoundary::Skip::otherVolume ? walk.skippedVolumes : walk.skippedDataless)
          .fetch_add(1, std::memory_order_relaxed);
    } else {
      share.subfolders.push_back(makeSubfolder(folder, name, status));
    }
  } else {
    // An entry that cannot be read is kept as an empty leaf. It is known by its name: the
    // folder it goes into gives it the rest of its path.
    const std::int64_t size = known ? status.allocatedBytes : 0;
    const bool isLink = known && status.kind == EntryStatus::Kind::symbolicLink;
    share.leaves().emplace_back(std::string(name), std::nullopt, size, false, isLink, 1);
    share.bytes += size;
  }
  if (share.visited == kProgressBatch) {
    reportProgress(walk, share, *folder);
    share.visited = 0;
    share.bytes = 0;
  }
}

void handle(Walk& walk, int fd, const FolderRef& folder, const char* name, Share& share) {
  if (walk.mode == Walk::Mode::measure) {
    handleForMeasure(walk, fd, folder, name, share);
  } else {
    handleForTree(walk, fd, folder, name, share);
  }
}

// Adds a share's findings to the folder and hands its subfolders on. The lister's share ends
// the listing; the folder's tree node is made once every share and subfolder is complete. The
// lister's share returns an only subfolder for its thread to carry on with; `listed` is the
// number of entries its listing found, which the folder's list of children is made room for.
FolderRef finishShare(Walk& walk, WalkPool::Job& job, const FolderRef& folder, Share& share,
                      bool lister, std::size_t listed = 0) {
  bool completeNow = false;
  if (walk.mode == Walk::Mode::measure) {
    std::lock_guard lock(walk.totalsMutex);
    walk.totals.add(share.totals);
  } else {
    if (share.visited > 0) reportProgress(walk, share, *folder);
    std::vector<FileNode>& leaves = share.leaves();
    std::unique_lock lock(folder->mutex);
    std::vector<FileNode>& children = folder->children;
    if (lister) {
      // Room for the whole folder at once, now that its listing is known.
      children.reserve(std::max(children.size() + leaves.size() + share.subfolders.size(), listed));
    }
    if (lister || children.size() + leaves.size() <= children.capacity()) {
      for (FileNode& leaf : leaves) children.push_back(std::move(leaf));
    } else if (!leaves.empty()) {
      // Before the listing has ended the folder's size is not known: kept apart, not appended.
      lock.unlock();
      std::vector<FileNode> handed;
      handed.reserve(leaves.size());
      for (FileNode& leaf : leaves) handed.push_back(std::move(leaf));
      lock.lock();
      folder->handedBack.push_back(std::move(handed));
    }
    folder->incomplete += share.subfolders.size();
    if (lister) {
      folder->listed = true;
    } else {
      --folder->incomplete;
    }
    completeNow = folder->listed && folder->incomplete == 0;
  }
  FolderRef carried;
  publish(walk, job, *folder, share.subfolders, lister ? &carried : nullptr);
  if (folder->keep) {
    folder->release();
  } else {
    // Nothing else uses a descriptor that was not kept.
    folder->closeDescriptor();
  }
  if (completeNow) complete(walk, folder);
  return carried;
}

void runChunk(Walk& walk, WalkPool::Job& job, const FolderRef& folder, const std::string& names) {
  if (walk.stopped()) return;
  Share share;
  for (std::size_t at = 0; at < names.size();) {
    if (share.stopRequested(walk)) return;
    const char* name = names.c_str() + at;
    at += std::strlen(name) + 1;
    handle(walk, folder->fd, folder, name, share);
  }
  finishShare(walk, job, folder, share, false);
}

// Hands a chunk of a large folder's names to another thread; the chunk holds the folder's
// descriptor, and the folder's tree node waits for it.
void postChunk(Walk& walk, WalkPool::Job& job, const FolderRef& folder, std::string& names) {
  folder->holds.fetch_add(1, std::memory_order_relaxed);
  if (walk.mode == Walk::Mode::tree) {
    std::lock_guard lock(folder->mutex);
    ++folder->incomplete;
  }
  job.add([&walk, folder, chunk = std::move(names)](WalkPool::Job& j) {
    runChunk(walk, j, folder, chunk);
  });
  names.clear();
}

FolderRef listEntries(Walk& walk, WalkPool::Job& job, const FolderRef& folder) {
  if (!folder->parent) {
    folder->keep = true;
  } else if (!walk.faults.scarceDescriptors &&
             retainedDescriptors.fetch_add(1, std::memory_order_relaxed) <
                 kRetainedDescriptorLimit) {
    folder->keep = true;
    folder->counted = true;
  } else if (!walk.faults.scarceDescriptors) {
    retainedDescriptors.fetch_sub(1, std::memory_order_relaxed);
  }
  folder->holds.store(1, std::memory_order_relaxed);

  const int fd = folder->fd;
  Share share;
  FolderListing listing(fd);
  const bool refused = walk.faults.failListing && walk.faults.failListing(pathOf(*folder));
  std::size_t handled = 0;
  std::size_t listed = 0;
  std::string chunk;
  std::size_t chunkCount = 0;
  for (const char* name = refused ? nullptr : listing.next(); name; name = listing.next()) {
    if (share.stopRequested(walk)) return {};
    if (!walk.includeHidden && name[0] == '.') continue;
    ++listed;
    // The first entries are handled here; beyond them, a large folder's names are handed out
    // in chunks while the listing goes on.
    if (!folder->keep || handled < kEntriesListerHandles) {
      handle(walk, fd, folder, name, share);
      ++handled;
      continue;
    }
    chunk.append(name);
    chunk.push_back('\0');
    if (++chunkCount == kChunkEntries) {
      postChunk(walk, job, folder, chunk);
      chunkCount = 0;
    }
  }
  for (std::size_t at = 0; at < chunk.size();) {
    if (share.stopRequested(walk)) return {};
    const char* name = chunk.c_str() + at;
    at += std::strlen(name) + 1;
    handle(walk, fd, folder, name, share);
  }
  if (refused || listing.failed()) ++share.totals.unreadable;
  return finishShare(walk, job, folder, share, true, listed);
}

void listFolder(Walk& walk, WalkPool::Job& job, FolderRef folder) {
  while (folder) {
    if (folder->parent) {
      Folder& parent = *folder->parent;
      const int fd = walk.stopped() ? -1 : openSubfolder(walk, *folder);
      if (parent.keep) parent.release();
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
    folder = listEntries(walk, job, folder);
  }
}

struct OpenedRoot {
  std::string path;
  EntryStatus status;
  bool statusKnown = false;
  // Nothing is there (or a folder above it is not one): known from the status's error.
  bool missing = false;
  int fd = -1;
};

// Reads the root's status and, when it is a folder that is not skipped, opens it.
OpenedRoot openRoot(std::string_view path, const WalkFaults& faults) {
  OpenedRoot root;
  root.path = withoutTrailingSlashes(path);
  if (faults.failStatus && faults.failStatus(root.path)) return root;
  root.statusKnown = FolderAccess::status(AT_FDCWD, root.path.c_str(), root.status);
  root.missing = !root.statusKnown && (errno == ENOENT || errno == ENOTDIR);
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

std::optional<VolumeIdentifier> rootVolumeOf(const WalkBoundary& boundary, const OpenedRoot& root) {
  if (boundary.volumeSource) return boundary.volumeSource(root.path);
  return VolumeIdentifier{root.status.device, root.status.mountId};
}

void runWalk(Walk& walk, int rootFd, const std::string& rootPath) {
  walk.root = FolderRef::make();
  walk.root->path = rootPath;
  walk.root->fd = rootFd;
  WalkPool::shared().run([&walk](WalkPool::Job& job) { listFolder(walk, job, walk.root); });
  walk.root = FolderRef();
}

}  // namespace

std::string_view rawValue(MeasureError error) {
  switch (error) {
    case MeasureError::cancelled:
      return "cancelled";
    case MeasureError::missing:
      return "missing";
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
  if (error() == MeasureError::missing || error() == MeasureError::unreadableRoot) {
    return DirectoryMeasurement::unreadable();
  }
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
  if (root.missing) return MeasureError::missing;
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

bool DiskScanner::isListableFolder(std::string_view path, const WalkFaults& faults) {
  const OpenedRoot root = openRoot(path, faults);
  if (!root.statusKnown || root.status.kind != EntryStatus::Kind::folder) return false;
  const int fd = openRootFolder(root, faults);
  if (fd < 0) return false;
  bool listed = !(faults.failListing && faults.failListing(root.path));
  if (listed) {
    FolderListing listing(fd);
    while (listing.next() != nullptr) {
    }
    listed = !listing.failed();
  }
  ::close(fd);
  return listed;
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
