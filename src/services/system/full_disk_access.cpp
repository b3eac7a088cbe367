#include "services/system/full_disk_access.h"

#include <cerrno>
#include <dirent.h>

namespace hl::FullDiskAccess {

Status status(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir != nullptr) {
    ::closedir(dir);
    return Status::granted;
  }
  return classify(errno);
}

Status classify(int errorNumber) {
  return errorNumber == EPERM ? Status::denied : Status::notApplicable;
}

Status applicationStatus() { return Status::notApplicable; }

bool openSettings() { return false; }

}  // namespace hl::FullDiskAccess
