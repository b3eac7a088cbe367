#include "platform/removal_target.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl {
namespace {

FileIdentifier identifierOf(const struct stat& st) {
  return FileIdentifier{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

// A link met on the way, or a folder replaced by something else, means the path no longer
// leads where it led when it was judged.
bool meansChanged(int errorNumber) { return errorNumber == ELOOP || errorNumber == ENOTDIR; }

}  // namespace

FileSystemError changedAfterCheck(const std::string& displayPath) {
  return FileSystemError{
      ESTALE, "Refusing to remove " + displayPath + ": it changed after it was checked."};
}

FileSystemError fileSystemError(int errorNumber, const std::string& what,
                                const std::string& displayPath) {
  return FileSystemError{errorNumber,
                         what + " " + displayPath + ": " + std::strerror(errorNumber) + "."};
}

bool isTargetAt(int folderFd, const std::string& name, const RemovalTarget& target,
                OwnChange ownChange) {
  if (target.shown) {
    const SeenIdentity now = FileIdentity::seenAt(folderFd, name);
    const ObjectOrigin& shown = target.shown->origin;
    return now.object == target.identifier &&
           (ownChange == OwnChange::made
                ? FileIdentity::isSameOriginApartFromChange(shown, now.origin)
                : now.origin == shown);
  }
  struct stat st {};
  if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return identifierOf(st) == target.identifier;
}

UniqueFd openFolderWithoutLinks(std::string_view path) {
  UniqueFd folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  for (std::string_view part : PathRelation::components(path)) {
    if (!folder.valid()) break;
    folder.reset(::openat(folder.get(), std::string(part).c_str(),
                          O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  return folder;
}

std::variant<AnchoredItem, RemovalError> anchorTarget(const RemovalTarget& target) {
  const auto parts = PathRelation::components(target.path);
  if (target.path.empty() || target.path.front() != '/' || parts.empty()) {
    return FileSystemError{EINVAL, "Refusing to remove " + target.displayPath +
                                       ": it is not a single item inside a folder."};
  }
  for (std::string_view part : parts) {
    if (part == "." || part == "..") return changedAfterCheck(target.displayPath);
  }

  UniqueFd folder = openFolderWithoutLinks(parentPath(target.path));
  if (!folder.valid()) {
    const int error = errno;  // before building the message can touch it
    if (error == ENOENT) return TrashError::missing(target.displayPath);
    if (meansChanged(error)) return changedAfterCheck(target.displayPath);
    return fileSystemError(error, "Could not open the folder of", target.displayPath);
  }

  AnchoredItem item;
  item.name = std::string(parts.back());
  if (::fstatat(folder.get(), item.name.c_str(), &item.status, AT_SYMLINK_NOFOLLOW) != 0) {
    const int error = errno;
    if (error == ENOENT) return TrashError::missing(target.displayPath);
    return fileSystemError(error, "Could not read", target.displayPath);
  }
  if (identifierOf(item.status) != target.identifier) return changedAfterCheck(target.displayPath);
  if (const auto& shown = target.shown) {
    const SeenIdentity now = FileIdentity::seenAt(folder.get(), item.name);
    if (!now.object) {
      const int error = errno;  // statx's, before building the message can touch it
      return fileSystemError(error, "Could not read", target.displayPath);
    }
    if (*now.object != target.identifier) return changedAfterCheck(target.displayPath);
    const bool otherMount = shown->mount != 0 && now.mount != 0 && now.mount != shown->mount;
    if (otherMount || now.origin != shown->origin) return StateChanged::changedSinceShown();
  }
  item.folder = std::move(folder);
  return item;
}

}  // namespace hl
