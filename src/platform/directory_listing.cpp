#include "platform/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/folder_reader.h"
#include "platform/unique_fd.h"
#include "utilities/ascii_case.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"

namespace hl::DirectoryListing {
namespace {

Date toDate(std::int64_t seconds, std::int64_t nanoseconds) {
  return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(seconds) +
                                                         std::chrono::nanoseconds(nanoseconds)));
}

void readStatus(int fd, ListedEntry& entry) {
  EntryStatus status;
  if (!FolderAccess::status(fd, entry.name.c_str(), status)) return;
  entry.hasValues = true;
  entry.isDirectory = status.kind == EntryStatus::Kind::folder;
  entry.isSymbolicLink = status.kind == EntryStatus::Kind::symbolicLink;
  entry.isMountRoot = status.isMountRoot;
  entry.modified = toDate(status.modifiedSeconds, status.modifiedNanoseconds);
  entry.volume = VolumeIdentifier{status.device, status.mountId};
}

}  // namespace

std::optional<std::vector<ListedEntry>> entries(std::string_view folder,
                                                const WantsEveryStatus& wantsEveryStatus) {
  const std::string path(folder);
  // The folder itself may be reached through links: a linked search root is walked.
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return std::nullopt;
  std::vector<ListedEntry> result;
  std::vector<std::size_t> unread;
  FolderListing listing(fd.get());
  while (const char* name = listing.next()) {
    ListedEntry entry;
    entry.name = name;
    entry.path = appendingPath(path, entry.name);
    const unsigned char type = listing.type();
    if (!wantsEveryStatus || type == DT_DIR || type == DT_UNKNOWN) {
      readStatus(fd.get(), entry);
    } else {
      // The kind as the listing gives it; the status only when it is wanted after all.
      entry.hasValues = true;
      entry.isSymbolicLink = type == DT_LNK;
      unread.push_back(result.size());
    }
    result.push_back(std::move(entry));
  }
  if (listing.failed()) return std::nullopt;
  if (wantsEveryStatus && wantsEveryStatus(result) && !unread.empty()) {
    for (const std::size_t index : unread) {
      ListedEntry& entry = result[index];
      entry.hasValues = false;
      entry.isSymbolicLink = false;
      readStatus(fd.get(), entry);
    }
  }
  return result;
}

std::optional<VolumeIdentifier> rootVolume(const WalkBoundary& boundary, std::string_view root) {
  const std::string target = FileIdentity::resolvingSymlinks(cleanPath(root));
  if (boundary.volumeSource) return boundary.volumeSource(target);
  return WalkBoundary::volumeIdentifier(target);
}

std::optional<WalkBoundary::Skip> skipReason(const WalkBoundary& boundary, const ListedEntry& entry,
                                             std::optional<VolumeIdentifier> rootVolume) {
  if (boundary.volumeSource) {
    return boundary.skipReason(entry.path, boundary.volumeSource(entry.path), rootVolume);
  }
  // A bind mount of a folder of the same volume keeps its device; the kernel's mark shows it.
  if (rootVolume && entry.isMountRoot) return WalkBoundary::Skip::otherVolume;
  return boundary.skipReason(entry.path, entry.volume, rootVolume);
}

std::optional<std::vector<std::string>> namesIgnoringCase(std::string_view folder,
                                                          std::string_view name) {
  const UniqueFd fd(
      ::open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return std::nullopt;
  std::vector<std::string> names;
  FolderListing listing(fd.get());
  while (const char* entry = listing.next()) {
    if (equalsIgnoringAsciiCase(entry, name)) names.emplace_back(entry);
  }
  if (listing.failed()) return std::nullopt;
  std::sort(names.begin(), names.end());
  return names;
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
  return toDate(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

}  // namespace hl::DirectoryListing
