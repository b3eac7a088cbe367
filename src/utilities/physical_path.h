#pragma once

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace hl {

// The location a path names when the kernel looks it up without following a final link.
struct PhysicalPath {
  // Every symbolic link before the last component resolved, "." and ".." applied to the folder
  // actually reached (so "link/.." is the parent of the link's target, not the folder holding
  // the link), the last component kept as named. No "/private" or data-volume folding.
  std::string path;
  // False when the kernel could not reach the last component's folder: a component before it
  // is missing, unreadable, not a folder, or part of a link loop. The rest of `path` is then
  // appended as written.
  bool reachable = true;

  bool operator==(const PhysicalPath&) const = default;

  // A relative path is taken from the root, as canonical paths are, so the answer never
  // depends on the working folder.
  static PhysicalPath resolve(std::string_view path);
};

// The object an absolute path leads to, found by one walk from "/" that opens every folder on
// the way without following a link (a link before the last component is read and its target
// walked instead), so that the path and the status belong to the same object even when a
// folder on the way is swapped for a link during the walk.
struct PhysicalItem {
  // As `PhysicalPath::path`.
  std::string path;
  // The folder holding the object, as the walk opened it (O_PATH), and the object's name in it
  // ("." for "/" itself).
  UniqueFd folder;
  std::string name;
  // The object's status, a final link not followed.
  struct stat status {};

  // Called with the path of each folder the walk has just opened; lets a test change the disk
  // at an exact moment of the walk.
  using FolderHook = std::function<void(const std::string& folderPath)>;

  // None when the path is relative, cannot be reached, or names nothing.
  static std::optional<PhysicalItem> lookUp(std::string_view path,
                                            const FolderHook& onFolder = {});
};

}  // namespace hl
