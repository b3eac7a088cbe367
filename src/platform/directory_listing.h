#pragma once

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
  std::optional<Date> modified;  // content modification date
  std::optional<VolumeIdentifier> volume;
};

namespace DirectoryListing {

// The direct entries of a folder, hidden ones included, in the order the file system returns
// them. The folder itself may be reached through symbolic links. None when the folder cannot be
// opened or reading it fails.
std::optional<std::vector<ListedEntry>> entries(std::string_view folder);

// Whether something exists at the path, following symbolic links.
bool exists(std::string_view path);

// Whether a folder exists at the path, following symbolic links.
bool isDirectory(std::string_view path);

// The content modification date of the object at the path, without following a final link.
std::optional<Date> modificationDate(std::string_view path);

}  // namespace DirectoryListing

}  // namespace hl
