#pragma once

#include <string>
#include <string_view>

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

}  // namespace hl
