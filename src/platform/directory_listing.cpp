#include "platform/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "utilities/path_canonical.h"

namespace hl::DirectoryListing {
namespace {

Date toDate(const struct statx_timestamp& stamp) {
  return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(stamp.tv_sec) +
                                                         std::chrono::nanoseconds(stamp.tv_nsec)));
}

// Automounts are not triggered: a listing must not mount anything.
constexpr int kStatusFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr unsigned kStatusMask = STATX_TYPE | STATX_MTIME | STATX_MNT_ID;

}  // namespace

std::optional<std::vector<ListedEntry>> entries(std::string_view folder) {
  const std::string path(folder);
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return std::nullopt;
  }
  std::vector<ListedEntry> result;
  bool failed = false;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      failed = errno != 0;
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    ListedEntry listed;
    listed.name = std::string(name);
    listed.path = appendingPath(path, name);
    struct statx sx {};
    if (::statx(::dirfd(dir), entry->d_name, kStatusFlags, kStatusMask, &sx) == 0 &&
        (sx.stx_mask & STATX_TYPE) != 0) {
      listed.hasValues = true;
      listed.isDirectory = S_ISDIR(sx.stx_mode);
      listed.isSymbolicLink = S_ISLNK(sx.stx_mode);
      if (sx.stx_mask & STATX_MTIME) listed.modified = toDate(sx.stx_mtime);
      VolumeIdentifier volume;
      volume.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
      if (sx.stx_mask & STATX_MNT_ID) volume.mountId = sx.stx_mnt_id;
      listed.volume = volume;
    }
    result.push_back(std::move(listed));
  }
  ::closedir(dir);
  if (failed) return std::nullopt;
  return result;
}

bool exists(std::string_view path) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0;
}

bool isDirectory(std::string_view path) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<Date> modificationDate(std::string_view path) {
  struct stat st {};
  if (::lstat(std::string(path).c_str(), &st) != 0) return std::nullopt;
  return Date(std::chrono::duration_cast<Date::duration>(
      std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

}  // namespace hl::DirectoryListing
