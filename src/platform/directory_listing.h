#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utilities/time.h"
#include "utilities/walk_boundary.h"

namespace hl {

// One entry of a folder listing with what discovery needs to know of it, read with one status
// call that never follows the entry if it is a symbolic link.
struct ListedEntry {
  std::string name;
  std::string path;  // the listed folder's path joined with the name
  // False when the entry's status could not be read; the fields below are then unset.
  bool hasValues = false;
  bool isDirectory = false;
  bool isSymbolicLink = false;
  bool isMountRoot = false;  // another file system is mounted here
  std::optional<Date> modified;  // content modification date
  std::optional<VolumeIdentifier> volume;
};

// The folder listings and file tests of discovery's breadth-first walks.
namespace DirectoryListing {

// Whether the status of every entry of a listing is wanted, given the listing with the status
// of its folders read.
using WantsEveryStatus = std::function<bool(const std::vector<ListedEntry>&)>;

// The direct entries of a folder, hidden ones included, in the order the file system returns
// them. The folder itself may be reached through symbolic links. None when the folder cannot be
// opened or reading it fails.
//
// Every entry's status is read, unless `wantsEveryStatus` is given: then only the folders' (and
// that of entries the listing does not tell the kind of), the others knowing their kind from the
// listing and no more (no date, no volume). It is asked once, with that listing; when it answers
// true, every other status is read as well. A walk that looks only for folders reads a status
// per folder, not per file.
std::optional<std::vector<ListedEntry>> entries(std::string_view folder,
                                                const WantsEveryStatus& wantsEveryStatus = {});

// The volume a walk from `root` stays on: the volume of the folder the root leads to, so that a
// linked root is walked on its target's volume. The boundary's volume source when it has one.
std::optional<VolumeIdentifier> rootVolume(const WalkBoundary& boundary, std::string_view root);

// Why a walk must not enter a listed folder: on another volume than `rootVolume` (by the
// boundary's volume source when it has one, else by the entry's own status, a mount root
// counting as another volume) or dataless. None when it may enter; with no root volume only the
// dataless test applies.
std::optional<WalkBoundary::Skip> skipReason(const WalkBoundary& boundary, const ListedEntry& entry,
                                             std::optional<VolumeIdentifier> rootVolume);

// The names directly in a folder (reached through links) that equal `name` when ASCII letters
// are compared without their case, in byte order; none when the folder cannot be listed. The
// search roots and protected home entries name folders as a file system that ignores case finds
// them; this stands in for that.
std::optional<std::vector<std::string>> namesIgnoringCase(std::string_view folder,
                                                          std::string_view name);

// Whether something exists at the path, following symbolic links.
bool exists(std::string_view path);

// Whether a folder exists at the path, following symbolic links.
bool isDirectory(std::string_view path);

// The content modification date of the object at the path, without following a final link.
std::optional<Date> modificationDate(std::string_view path);

}  // namespace DirectoryListing

}  // namespace hl
