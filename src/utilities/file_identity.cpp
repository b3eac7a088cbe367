#include "utilities/file_identity.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl::FileIdentity {
namespace {

constexpr std::string_view kDataVolume = "/System/Volumes/Data";

// The inode generation of the file or folder `name` in `folderFd`, if it is still `object` and
// its file system tells. Opened without following a link, without blocking and without becoming
// a terminal; never a device or a pipe (the caller asks only for files and folders).
std::optional<std::uint32_t> generationAt(int folderFd, const std::string& name,
                                          const FileIdentifier& object) {
  const int fd = ::openat(folderFd, name.c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::uint32_t> generation;
  int value = 0;
  struct stat st {};
  if (::ioctl(fd, FS_IOC_GETVERSION, &value) == 0 && ::fstat(fd, &st) == 0 &&
      FileIdentifier{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)} ==
          object) {
    generation = static_cast<std::uint32_t>(value);
  }
  ::close(fd);
  return generation;
}

std::int64_t nanoseconds(const struct statx_timestamp& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 +
         static_cast<std::int64_t>(time.tv_nsec);
}

// "." and ".." removed lexically, as a standardized file URL has them removed.
std::string standardized(std::string_view path) {
  std::vector<std::string_view> stack;
  for (std::string_view part : PathRelation::components(path)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    stack.push_back(part);
  }
  std::string out;
  for (std::string_view part : stack) {
    out.push_back('/');
    out.append(part);
  }
  return out.empty() ? "/" : out;
}

std::optional<std::string> realPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::string out(resolved);
  std::free(resolved);
  return out;
}

}  // namespace

std::string normalizedPath(std::string_view path) {
  if (path == kDataVolume) return "/";
  if (path.size() > kDataVolume.size() && path.substr(0, kDataVolume.size()) == kDataVolume &&
      path[kDataVolume.size()] == '/') {
    return PathCanonical::canonical(path.substr(kDataVolume.size()));
  }
  return PathCanonical::canonical(path);
}

std::string resolvingSymlinks(std::string_view path) {
  std::string current = standardized(path);
  std::vector<std::string> tail;
  for (;;) {
    if (auto resolved = realPath(current)) {
      std::string out = std::move(*resolved);
      for (auto it = tail.rbegin(); it != tail.rend(); ++it) out = appendingPath(out, *it);
      return out;
    }
    if (current == "/") break;
    tail.push_back(lastPathComponent(current));
    current = parentPath(current);
  }
  return standardized(path);
}

namespace {

// Folders with their links resolved, as `resolvingSymlinks` resolves them, each looked at once:
// a folder that is no link is its resolved parent followed by its name, a folder that does not
// exist too (the existing part is resolved, the rest kept as written), and only a link is
// handed to the system to resolve in full.
class FolderResolver {
 public:
  const std::string& resolved(const std::string& folder) {
    if (const auto found = known_.find(folder); found != known_.end()) return found->second;
    std::string result;
    if (folder == "/") {
      result = resolvingSymlinks(folder);
    } else {
      const std::string base = resolved(parentPath(folder));
      struct stat st {};
      std::optional<std::string> linked;
      if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) linked = realPath(folder);
      result = linked ? std::move(*linked) : appendingPath(base, lastPathComponent(folder));
    }
    return known_.emplace(folder, std::move(result)).first->second;
  }

 private:
  std::unordered_map<std::string, std::string> known_;
};

}  // namespace

std::vector<std::string> identityPaths(const std::vector<std::string>& paths) {
  // A path's identity is its folder resolved, followed by its own name: a final link is named
  // where it sits, anything else resolves to the same place through its folder.
  FolderResolver folders;
  std::vector<std::string> identities;
  identities.reserve(paths.size());
  for (const std::string& path : paths) {
    const std::string standard = standardized(path);
    if (standard == "/") {
      identities.push_back(identityPath(standard));
      continue;
    }
    const std::string resolved =
        appendingPath(folders.resolved(parentPath(standard)), lastPathComponent(standard));
    identities.push_back(normalizedPath(PathCanonical::canonical(resolved)));
  }
  return identities;
}

std::string identityPath(std::string_view path) {
  const std::string standard = standardized(path);
  std::string resolved;
  if (standard != "/" && isSymbolicLink(standard)) {
    resolved = appendingPath(resolvingSymlinks(parentPath(standard)), lastPathComponent(standard));
  } else {
    resolved = resolvingSymlinks(standard);
  }
  return normalizedPath(PathCanonical::canonical(resolved));
}

bool isSymbolicLink(std::string_view path) {
  struct stat st {};
  if (::lstat(std::string(path).c_str(), &st) != 0) return false;
  return S_ISLNK(st.st_mode);
}

std::optional<FileIdentifier> identifier(std::string_view path) {
  struct stat st {};
  if (::lstat(std::string(path).c_str(), &st) != 0) return std::nullopt;
  return FileIdentifier{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

bool existsWithoutFollowing(std::string_view path) {
  struct stat st {};
  return ::lstat(std::string(path).c_str(), &st) == 0;
}

SeenIdentity seen(std::string_view path) {
  // A NUL byte would cut the path short and name another file.
  if (path.find('\0') != std::string_view::npos) return {};
  return seenAt(AT_FDCWD, std::string(path));
}

SeenIdentity seenAt(int folderFd, const std::string& name) {
  SeenIdentity found;
  struct statx sx {};
  if (::statx(folderFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_INO | STATX_MNT_ID | STATX_BTIME | STATX_CTIME, &sx) != 0) {
    return found;
  }
  const FileIdentifier object{
      static_cast<std::uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor)),
      static_cast<std::uint64_t>(sx.stx_ino)};
  found.object = object;
  if ((sx.stx_mask & STATX_MNT_ID) != 0) found.mount = sx.stx_mnt_id;
  found.origin.type = sx.stx_mode & S_IFMT;
  if ((sx.stx_mask & STATX_BTIME) != 0) {
    found.origin.birth = nanoseconds(sx.stx_btime);
  } else if (S_ISREG(sx.stx_mode) || S_ISDIR(sx.stx_mode)) {
    found.origin.generation = generationAt(folderFd, name, object);
  }
  if (!found.origin.birth && !found.origin.generation && (sx.stx_mask & STATX_CTIME) != 0) {
    found.origin.change = nanoseconds(sx.stx_ctime);
  }
  return found;
}

bool isAnotherItem(const SeenIdentity& before, const SeenIdentity& now) {
  return now.object && now != before;
}

bool isSameOriginApartFromChange(const ObjectOrigin& before, const ObjectOrigin& now) {
  ObjectOrigin unchanged = now;
  unchanged.change = before.change;
  return unchanged == before;
}

}  // namespace hl::FileIdentity
