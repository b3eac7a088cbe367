#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hl {

// Where one mounted file system begins. A bind mount keeps its source's device number, so the
// kernel's mount-root mark and the mount id count as well as a change of device.
namespace MountRoot {

// Whether the entry `name` inside the open folder `folderFd` is the root of a mount. A
// symbolic link never is. None when the entry cannot be read.
std::optional<bool> isMountRootAt(int folderFd, const char* name);

// The same for a path with no symbolic link before its last component; "/" is a mount root.
std::optional<bool> isMountRoot(std::string_view path);

// The top of the volume holding `path` (a path with no symbolic link in it): the path itself
// or its nearest ancestor that is a mount root. An entry that cannot be read counts as not a
// mount root, so the walk goes on upwards and ends at "/" at the latest.
std::string volumeTop(std::string_view path);

}  // namespace MountRoot

}  // namespace hl
