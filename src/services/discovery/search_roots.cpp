#include "services/discovery/search_roots.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/directory_listing.h"
#include "utilities/path_canonical.h"

namespace hl {

std::vector<std::string> searchRootFolders(std::string_view home,
                                           const std::vector<std::string>& names) {
  std::vector<std::string> folders;
  std::vector<std::pair<dev_t, ino_t>> seen;
  for (const std::string& name : names) {
    const std::optional<std::vector<std::string>> found =
        DirectoryListing::namesIgnoringCase(home, name);
    for (const std::string& spelling : found ? *found : std::vector<std::string>{name}) {
      const std::string folder = appendingPath(home, spelling);
      struct stat status {};
      // A linked root is walked where it leads; a file or a missing name is no root.
      if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) continue;
      const std::pair<dev_t, ino_t> identity{status.st_dev, status.st_ino};
      if (std::find(seen.begin(), seen.end(), identity) != seen.end()) continue;
      seen.push_back(identity);
      folders.push_back(folder);
    }
  }
  return folders;
}

}  // namespace hl
