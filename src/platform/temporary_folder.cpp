#include "platform/temporary_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "utilities/path_canonical.h"

namespace hl {

std::optional<std::string> privateTemporaryFolder() {
  const char* value = std::getenv("TMPDIR");
  if (value == nullptr || value[0] != '/') return std::nullopt;
  const std::string folder = PathCanonical::canonical(value);
  if (folder == "/tmp") return std::nullopt;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  if (st.st_uid != ::getuid() || (st.st_mode & 077) != 0) return std::nullopt;
  return folder;
}

}  // namespace hl
