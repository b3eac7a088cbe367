#include "platform/mount_root.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/unique_fd.h"
#include "utilities/path_canonical.h"

namespace hl::MountRoot {
namespace {

bool readStatx(int folderFd, const char* name, struct statx& sx) {
  return ::statx(folderFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                 STATX_TYPE | STATX_INO | STATX_MNT_ID, &sx) == 0;
}

}  // namespace

std::optional<bool> isMountRootAt(int folderFd, const char* name) {
  struct statx entry {};
  if (!readStatx(folderFd, name, entry)) return std::nullopt;
  if (S_ISLNK(entry.stx_mode)) return false;
  const bool markKnown = (entry.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0;
  if (markKnown && (entry.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0) return true;
  struct statx folder {};
  if (::statx(folderFd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_MNT_ID, &folder) != 0) {
    return markKnown ? std::optional<bool>(false) : std::nullopt;
  }
  const bool otherDevice = entry.stx_dev_major != folder.stx_dev_major ||
                           entry.stx_dev_minor != folder.stx_dev_minor;
  // A folder on another device than the folder holding it starts a file system of its own even
  // where nothing is mounted (a btrfs subvolume). Plain files are left out: overlay file systems
  // report their layer's device for them.
  if (otherDevice && S_ISDIR(entry.stx_mode)) return true;
  if (markKnown) return false;
  // An older kernel without the mark: any change of device or mount counts.
  if (otherDevice) return true;
  if ((entry.stx_mask & STATX_MNT_ID) != 0 && (folder.stx_mask & STATX_MNT_ID) != 0) {
    return entry.stx_mnt_id != folder.stx_mnt_id;
  }
  return false;
}

std::optional<bool> isMountRoot(std::string_view path) {
  if (PathCanonical::canonical(path) == "/") return true;
  // The path is taken as written: a "/private" fold would name another folder.
  const std::string parent = parentPath(path);
  const std::string name = lastPathComponent(path);
  UniqueFd folder(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return std::nullopt;
  return isMountRootAt(folder.get(), name.c_str());
}

std::string volumeTop(std::string_view path) {
  std::string current(path);
  while (current.size() > 1 && current.back() == '/') current.pop_back();
  if (current.empty() || current.front() != '/') return "/";
  while (current != "/") {
    if (isMountRoot(current).value_or(false)) return current;
    current = parentPath(current);
  }
  return current;
}

}  // namespace hl::MountRoot
