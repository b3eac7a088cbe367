#include "platform/permanent_remover.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mount_root.h"

namespace hl::PermanentRemover {
namespace {

struct Leftover {
  std::string path;  // relative to the item
  int errorNumber = 0;
  std::string reason;
};

using Leftovers = std::vector<Leftover>;

std::string joinRelative(const std::string& base, const std::string& name) {
  return base.empty() ? name : base + "/" + name;
}

void note(Leftovers& leftovers, const std::string& path, int errorNumber, std::string reason = {}) {
  leftovers.push_back(
      Leftover{path, errorNumber, reason.empty() ? std::strerror(errorNumber) : std::move(reason)});
}

// The names in a folder, read in full before anything in it is deleted, so that deleting does
// not disturb the listing.
bool listNames(int folderFd, std::vector<std::string>& names, int& errorNumber) {
  const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) {
    errorNumber = errno;
    return false;
  }
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    errorNumber = errno;
    ::close(listFd);
    return false;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  errorNumber = errno;
  ::closedir(dir);
  return errorNumber == 0;
}

// Deletes everything inside the open folder `folderFd` on device `device`. What could not be
// deleted is added to `leftovers`; something already gone counts as deleted.
void emptyFolder(int folderFd, dev_t device, const std::string& relative, Leftovers& leftovers) {
  std::vector<std::string> names;
  int listError = 0;
  if (!listNames(folderFd, names, listError)) {
    note(leftovers, relative.empty() ? "." : relative, listError);
  }
  for (const std::string& name : names) {
    const std::string path = joinRelative(relative, name);
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) note(leftovers, path, errno);
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      if (::unlinkat(folderFd, name.c_str(), 0) != 0 && errno != ENOENT) {
        note(leftovers, path, errno);
      }
      continue;
    }
    const auto mountRoot = MountRoot::isMountRootAt(folderFd, name.c_str());
    if (!mountRoot) {
      if (errno != ENOENT) note(leftovers, path, errno);
      continue;
    }
    if (st.st_dev != device || *mountRoot) {
      note(leftovers, path, EXDEV, "another volume is mounted there");
      continue;
    }
    const int childFd =
        ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (childFd < 0) {
      if (errno != ENOENT) note(leftovers, path, errno);
      continue;
    }
    UniqueFd child(childFd);
    struct stat opened {};
    if (::fstat(child.get(), &opened) != 0 || opened.st_dev != st.st_dev ||
        opened.st_ino != st.st_ino) {
      note(leftovers, path, ESTALE, "it changed while it was being deleted");
      continue;
    }
    const std::size_t before = leftovers.size();
    emptyFolder(child.get(), device, path, leftovers);
    child.reset();
    if (::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
      // A folder that kept something already reported is not a failure of its own.
      if (!(errno == ENOTEMPTY && leftovers.size() > before)) note(leftovers, path, errno);
    }
  }
}

RemovalError leftoverError(const std::string& displayPath, const Leftovers& leftovers) {
  const Leftover& first = leftovers.front();
  std::string message = "Could not delete all of " + displayPath + ": " +
                        (first.path == "." ? displayPath : displayPath + "/" + first.path) + ": " +
                        first.reason;
  if (leftovers.size() > 1) {
    message += " (and " + std::to_string(leftovers.size() - 1) + " more)";
  }
  message += ".";
  return FileSystemError{first.errorNumber, message};
}

}  // namespace

std::optional<RemovalError> remove(const RemovalTarget& target) {
  auto anchored = anchorTarget(target);
  if (auto* error = std::get_if<RemovalError>(&anchored)) return *error;
  AnchoredItem& item = std::get<AnchoredItem>(anchored);
  const char* name = item.name.c_str();

  if (!S_ISDIR(item.status.st_mode)) {
    // A link, file or special file: unlinking never touches what a link points to.
    if (!isTargetAt(item.folder.get(), item.name, target)) {
      return changedAfterCheck(target.displayPath);
    }
    if (::unlinkat(item.folder.get(), name, 0) != 0) {
      if (errno == ENOENT) return TrashError::missing(target.displayPath);
      const int error = errno;  // before building the message can touch it
      return fileSystemError(error, "Could not delete", target.displayPath);
    }
    return std::nullopt;
  }

  if (MountRoot::isMountRootAt(item.folder.get(), name).value_or(true)) {
    return TrashError::mountPoint(target.displayPath);
  }
  UniqueFd folder(
      ::openat(item.folder.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.valid()) {
    const int error = errno;
    if (error == ENOENT) return TrashError::missing(target.displayPath);
    if (error == ELOOP || error == ENOTDIR) return changedAfterCheck(target.displayPath);
    return fileSystemError(error, "Could not open", target.displayPath);
  }
  struct stat opened {};
  if (::fstat(folder.get(), &opened) != 0 ||
      FileIdentifier{static_cast<std::uint64_t>(opened.st_dev),
                     static_cast<std::uint64_t>(opened.st_ino)} != target.identifier) {
    return changedAfterCheck(target.displayPath);
  }

  Leftovers leftovers;
  emptyFolder(folder.get(), opened.st_dev, "", leftovers);
  folder.reset();
  if (!leftovers.empty()) return leftoverError(target.displayPath, leftovers);
  if (!isTargetAt(item.folder.get(), item.name, target, OwnChange::made)) {
    return changedAfterCheck(target.displayPath);
  }
  if (::unlinkat(item.folder.get(), name, AT_REMOVEDIR) != 0) {
    if (errno == ENOENT) return TrashError::missing(target.displayPath);
    const int error = errno;  // before building the message can touch it
    return fileSystemError(error, "Could not delete", target.displayPath);
  }
  return std::nullopt;
}

}  // namespace hl::PermanentRemover
