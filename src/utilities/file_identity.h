#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hl {

// The identity of one file-system object: device and inode, compared only for equality.
struct FileIdentifier {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentifier&) const = default;
};

// What an inode number reused for a new object cannot fake: the object's type and when it was
// made. A folder deleted and made again at once gets the freed number back on ext4.
struct ObjectOrigin {
  // The file type bits of the mode (S_IFDIR, S_IFREG, S_IFLNK…).
  std::uint32_t type = 0;
  // Birth time in nanoseconds since the epoch; none where the file system keeps none.
  std::optional<std::int64_t> birth = std::nullopt;
  // Where there is no birth time: the inode's generation, which the file system changes when it
  // gives the number to a new object; none where it offers none (or for what is neither a file
  // nor a folder).
  std::optional<std::uint32_t> generation = std::nullopt;
  // Where there is neither: the inode's change time in nanoseconds, which an object made anew
  // gets afresh. It moves as well when the object's status changes, or a folder's entries, so
  // such an object is then taken for another one: the safe side. Whole seconds on some file
  // systems, where an object made again within the second it last changed goes unnoticed.
  std::optional<std::int64_t> change = std::nullopt;
  bool operator==(const ObjectOrigin&) const = default;
};

// What one look at a path found there: the object, if any, its origin, and the mount it was
// reached through. A bind mount shows the same object through another mount, so both must agree
// for two looks to have found the same item the same way.
struct SeenIdentity {
  // Device and inode of the object at the path, a final link not followed; none when nothing
  // was there or it could not be read.
  std::optional<FileIdentifier> object = std::nullopt;
  // The kernel's id of the mount the object was reached through; 0 where it cannot tell.
  std::uint64_t mount = 0;
  ObjectOrigin origin = {};
  bool operator==(const SeenIdentity&) const = default;
};

// The paths and identifiers by which safety code decides that two locations are one object.
namespace FileIdentity {

// The canonical form of a path with a leading "/System/Volumes/Data" folded onto "/"; the
// prefix tests look at the text exactly as received.
std::string normalizedPath(std::string_view path);

// The path by which two locations that reach the same object compare equal: "." and ".."
// removed, symbolic links resolved (a final link only through its parent, so the link itself
// is named), canonical, data volume folded. A tail that does not exist stays as written.
std::string identityPath(std::string_view path);

// The identity path of each of `paths`, in their order. The folders the paths have in common
// are resolved once, each with one look at the disk, where resolving every path on its own
// reads every component of it again: thousands of paths below a few folders cost a few
// thousand looks instead of ten for each path.
std::vector<std::string> identityPaths(const std::vector<std::string>& paths);

// Resolves every symbolic link in an absolute path. Where the path does not exist in full, the
// longest existing prefix is resolved and the rest appended as written.
std::string resolvingSymlinks(std::string_view path);

// Whether the object at the path is itself a symbolic link (read fresh; false on failure).
bool isSymbolicLink(std::string_view path);

// The object's identifier read fresh, without following a final link; none on failure.
std::optional<FileIdentifier> identifier(std::string_view path);

// Whether something exists at the path without following a final link (a dangling link
// exists).
bool existsWithoutFollowing(std::string_view path);

// What is at the path now, read fresh without following a final link.
SeenIdentity seen(std::string_view path);
// What is at `name` in the folder open as `folderFd` now, the same way.
SeenIdentity seenAt(int folderFd, const std::string& name);

// Whether what `now` found is something else than what `before` found: another object, another
// mount, or something where there was nothing. Nothing found now is no change: the item is
// gone, which the removal reports as such.
bool isAnotherItem(const SeenIdentity& before, const SeenIdentity& now);

// Whether `now` is of the origin `before`, the change time aside: for a look after the removal
// itself changed the object (renamed it, emptied it), which sets that time anew.
bool isSameOriginApartFromChange(const ObjectOrigin& before, const ObjectOrigin& now);

}  // namespace FileIdentity

}  // namespace hl
