#include "platform/trash_folders.h"

#include <cstdlib>

#include "platform/user_folders.h"
#include "utilities/path_canonical.h"

namespace hl::TrashFolders {

std::string homeTrash() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules ask.
  if (dataHome != nullptr && dataHome[0] == '/') {
    return appendingPath(PathCanonical::canonical(dataHome), "Trash");
  }
  return appendingPath(PathCanonical::canonical(homeDirectory()), ".local/share/Trash");
}

std::string homeTrash(std::string_view home) {
  const std::string canonicalHome = PathCanonical::canonical(home);
  if (canonicalHome == PathCanonical::canonical(homeDirectory())) return homeTrash();
  return appendingPath(canonicalHome, ".local/share/Trash");
}

std::string sharedVolumeTrash(std::string_view top, unsigned uid) {
  return appendingPath(appendingPath(top, ".Trash"), std::to_string(uid));
}

std::string privateVolumeTrash(std::string_view top, unsigned uid) {
  return appendingPath(top, ".Trash-" + std::to_string(uid));
}

}  // namespace hl::TrashFolders
