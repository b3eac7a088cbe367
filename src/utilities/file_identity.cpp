#include "utilities/file_identity.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl::FileIdentity {
namespace {

constexpr std::string_view kDataVolume = "/System/Volumes/Data";

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
  SeenIdentity found;
  // A NUL byte would cut the path short and name another file.
  if (path.find('\0') != std::string_view::npos) return found;
  struct statx sx {};
  if (::statx(AT_FDCWD, std::string(path).c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_INO | STATX_MNT_ID, &sx) != 0) {
    return found;
  }
  found.object = FileIdentifier{static_cast<std::uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor)),
                                static_cast<std::uint64_t>(sx.stx_ino)};
  if ((sx.stx_mask & STATX_MNT_ID) != 0) found.mount = sx.stx_mnt_id;
  return found;
}

bool isAnotherItem(const SeenIdentity& before, const SeenIdentity& now) {
  return now.object && now != before;
}

}  // namespace hl::FileIdentity
