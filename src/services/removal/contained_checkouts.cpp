#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/directory_listing.h"
#include "platform/folder_reader.h"
#include "platform/unique_fd.h"
#include "services/discovery/worktree_discovery.h"
#include "services/removal/scan_trash_policy.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl {
namespace {

// Existence and the folder flag of what the path leads to, links followed, read through the
// canonical form of the path.
struct Found {
  bool exists = false;
  bool isFolder = false;
};

Found lookUp(std::string_view path) {
  struct stat st {};
  if (::stat(cleanPath(path).c_str(), &st) != 0) return {};
  return {true, S_ISDIR(st.st_mode)};
}

std::string withoutTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

// A folder the walk has still to list, and the object its parent's listing saw there.
struct Pending {
  std::string path;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

ScanTrashPolicy::VerifyFailure failure(std::string_view reason) { return {std::string(reason)}; }

}  // namespace

bool ScanTrashPolicy::isBareRepository(std::string_view folder) {
  const Found head = lookUp(appendingPath(folder, "HEAD"));
  const Found objects = lookUp(appendingPath(folder, "objects"));
  const Found refs = lookUp(appendingPath(folder, "refs"));
  return head.exists && !head.isFolder && objects.isFolder && refs.isFolder;
}

bool ScanTrashPolicy::inspect(const std::string& folder, std::vector<Checkout>& found) const {
  const Found dotGit = lookUp(appendingPath(folder, ".git"));
  if (!dotGit.exists) {
    if (!isBareRepository(folder)) return false;
    found.push_back({folder, Checkout::Kind::bareRepository, std::nullopt});
    return true;
  }
  if (!dotGit.isFolder) {
    const WorktreeInfo info = WorktreeDiscovery::inspect(folder, std::nullopt);
    found.push_back({folder, Checkout::Kind::linkedWorktree,
                     info.isRegistered ? info.repositoryURL : std::nullopt});
    return false;
  }
  found.push_back({folder, Checkout::Kind::repository, std::nullopt});
  // The repository's worktrees, wherever they are: removing it strands them. Records that
  // cannot be read name no worktree.
  const auto records = DirectoryListing::entries(appendingPath(folder, ".git/worktrees"));
  if (!records) return false;
  for (const ListedEntry& record : *records) {
    const auto target = WorktreeDiscovery::recordTarget(record.path);
    if (!target) continue;
    const std::string worktree = cleanPath(parentPath(*target));
    if (lookUp(worktree).exists) {
      found.push_back({worktree, Checkout::Kind::linkedWorktree, folder});
    }
  }
  return false;
}

ScanTrashPolicy::CheckoutList ScanTrashPolicy::containedCheckouts(const std::string& url) const {
  const std::string root = withoutTrailingSlashes(url);
  EntryStatus rootStatus;
  if (faults.failStatus && faults.failStatus(root)) return failure(notFullyInspected);
  if (!FolderAccess::status(AT_FDCWD, root.c_str(), rootStatus)) {
    // Nothing there holds no checkout; something there that cannot be looked at may.
    if (errno == ENOENT || errno == ENOTDIR) return std::vector<Checkout>{};
    return failure(notFullyInspected);
  }
  if (rootStatus.kind != EntryStatus::Kind::folder) return std::vector<Checkout>{};
  if (boundary.isDataless && boundary.isDataless(root)) return failure(notDownloaded);
  const std::optional<VolumeIdentifier> rootVolume =
      boundary.volumeSource ? boundary.volumeSource(root)
                            : VolumeIdentifier{rootStatus.device, rootStatus.mountId};

  std::vector<Checkout> found;
  if (inspect(root, found)) return found;

  std::int64_t entries = 0;
  bool incomplete = false;
  std::vector<Pending> pending = {{root, rootStatus.device, rootStatus.inode}};
  while (!pending.empty()) {
    const Pending folder = std::move(pending.back());
    pending.pop_back();
    UniqueFd fd((faults.failOpen && faults.failOpen(folder.path))
                    ? -1
                    : FolderAccess::openFolder(AT_FDCWD, folder.path.c_str()));
    EntryStatus opened;
    // Whatever took the folder's place since it was listed is not what was judged.
    if (!fd.valid() || !FolderAccess::status(fd.get(), opened) || opened.device != folder.device ||
        opened.inode != folder.inode) {
      incomplete = true;
      continue;
    }
    const bool refused = faults.failListing && faults.failListing(folder.path);
    FolderListing listing(fd.get());
    std::vector<Pending> below;
    for (const char* name = refused ? nullptr : listing.next(); name; name = listing.next()) {
      if (++entries > maxEntriesToVerify) return failure(tooLarge);
      std::string path = appendingPath(folder.path, name);
      EntryStatus status;
      if ((faults.failStatus && faults.failStatus(path)) ||
          !FolderAccess::status(fd.get(), name, status)) {
        // An entry that cannot be looked at could be a checkout.
        incomplete = true;
        continue;
      }
      if (status.kind != EntryStatus::Kind::folder) continue;
      ListedEntry entry;
      entry.name = name;
      entry.path = path;
      entry.hasValues = true;
      entry.isDirectory = true;
      entry.isMountRoot = status.isMountRoot;
      entry.volume = VolumeIdentifier{status.device, status.mountId};
      if (const auto skip = DirectoryListing::skipReason(boundary, entry, rootVolume)) {
        return failure((*skip == WalkBoundary::Skip::otherVolume
                            ? "contains a mounted volume ("
                            : "contains a folder not downloaded from iCloud (") +
                       entry.name + ")");
      }
      if (entry.name == ".git" || entry.name == "node_modules") continue;
      if (inspect(path, found)) continue;
      below.push_back({std::move(path), status.device, status.inode});
    }
    if (refused || listing.failed()) incomplete = true;
    // Depth first, each folder's subfolders in listing order.
    pending.insert(pending.end(), std::make_move_iterator(below.rbegin()),
                   std::make_move_iterator(below.rend()));
  }
  if (incomplete) return failure(notFullyInspected);
  return found;
}

CacheItem ScanTrashPolicy::checkoutItem(const Checkout& checkout) const {
  std::optional<std::string> expected = checkout.repository;
  if (!expected) {
    // An agent's worktree inside a project's ".claude" folder belongs to that project.
    const std::vector<std::string_view> parts = PathRelation::components(checkout.url);
    for (std::size_t i = parts.size(); i-- > 0;) {
      if (parts[i] != ".claude") continue;
      std::string project = "/";
      for (std::size_t k = 0; k < i; ++k) project = appendingPath(project, parts[k]);
      expected = std::move(project);
      break;
    }
  }
  CacheItemInit init;
  init.url = checkout.url;
  init.group = CacheGroup::aiWorktrees;
  init.risk = RiskLevel::moderate;
  init.kind = ItemKind::path;
  init.worktree = WorktreeDiscovery::inspect(checkout.url, expected);
  init.home = home;
  return CacheItem(std::move(init));
}

bool ScanTrashPolicy::checkoutOrder(const Checkout& a, const Checkout& b) {
  return cleanPath(a.url) < cleanPath(b.url);
}

bool ScanTrashPolicy::refusalOrder(const Checkout& a, const Checkout& b) {
  const bool aFirst = a.kind != Checkout::Kind::repository;
  const bool bFirst = b.kind != Checkout::Kind::repository;
  if (aFirst != bFirst) return aFirst;
  return checkoutOrder(a, b);
}

}  // namespace hl
