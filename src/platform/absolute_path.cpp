#include "platform/absolute_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "utilities/path_canonical.h"

namespace hl {

std::optional<std::string> absolutePath(std::string_view path) {
  if (path.empty()) return std::nullopt;
  if (path.front() == '/') return std::string(path);
  const std::unique_ptr<char, decltype(&std::free)> working(::getcwd(nullptr, 0), &std::free);
  if (!working || working.get()[0] != '/') return std::nullopt;
  return appendingPath(working.get(), path);
}

std::optional<std::string> folderProblem(const std::string& folder, std::string_view what) {
  const std::string named = std::string(what) + " " + folder;
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) {
    const int error = errno;
    if (error == ENOENT) return named + " does not exist.";
    return named + " cannot be read: " + std::strerror(error) + ".";
  }
  if (!S_ISDIR(status.st_mode)) return named + " is not a folder.";
  return std::nullopt;
}

}  // namespace hl
