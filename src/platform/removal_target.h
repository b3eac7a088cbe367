#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "models/trash_error.h"
#include "platform/unique_fd.h"
#include "utilities/file_identity.h"

namespace hl {

// An item the guard allowed to go: exactly the path it judged and the object it saw there.
struct RemovalTarget {
  // Absolute, with no symbolic link, "." or ".." before the last component.
  std::string path;
  // The device and inode the guard saw at `path`, the final link not followed.
  FileIdentifier identifier;
  // The path named in messages (the item's canonical path).
  std::string displayPath;
  // What stood at the path when the user was shown it; none when not recorded. Another mount
  // now (a bind mount over a folder on the way) is another item, and so is another object that
  // got the same inode number (a folder deleted and made again): its type, birth time,
  // generation or change time differs.
  std::optional<SeenIdentity> shown = std::nullopt;
};

// The folder at the absolute `path`, opened one component at a time from "/" without following
// any symbolic link; invalid, with errno telling why, when it cannot be.
UniqueFd openFolderWithoutLinks(std::string_view path);

// The target reached without following any symbolic link: its folder open, its name in that
// folder, and its status, checked to be the object the guard judged. Every change on disk is
// then made relative to `folder`, so a folder swapped for a link later is never followed.
struct AnchoredItem {
  UniqueFd folder;
  std::string name;
  struct stat status {};
};

// Opens the target's folder one component at a time, refusing every symbolic link, and checks
// the target's device and inode, and, when it was recorded, the mount and the origin it was shown
// with. Fails with `TrashError::missing` when the target or its folder is gone, with "it changed
// since it was shown" when it lies on another mount now or is another object under the same
// number, and with a file-system error when anything else changed or cannot be read.
std::variant<AnchoredItem, RemovalError> anchorTarget(const RemovalTarget& target);

// Whether the removal has changed the target itself since it anchored it: emptied the folder,
// or renamed it into the Trash. Either sets its change time anew.
enum class OwnChange { none, made };

// Whether the entry `name` in `folderFd` is still the target: the object the guard judged, and
// of the origin it was shown with when that was recorded (the change time aside after an own
// change).
bool isTargetAt(int folderFd, const std::string& name, const RemovalTarget& target,
                OwnChange ownChange = OwnChange::none);

// The error for an item that is no longer the object that was judged: it is left alone.
FileSystemError changedAfterCheck(const std::string& displayPath);

// A file-system error naming what failed, the path and the system's message.
FileSystemError fileSystemError(int errorNumber, const std::string& what,
                                const std::string& displayPath);

}  // namespace hl
