#include "platform/launch_arguments.h"

#include <fcntl.h>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace hl {
namespace {

std::mutex& argumentsMutex() {
  static std::mutex mutex;
  return mutex;
}

std::optional<std::vector<std::string>>& recorded() {
  static std::optional<std::vector<std::string>> arguments;
  return arguments;
}

std::vector<std::string> readProcCmdline() {
  std::vector<std::string> arguments;
  const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return arguments;
  std::string data;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  std::size_t start = 0;
  while (start < data.size()) {
    const std::size_t end = data.find('\0', start);
    const std::size_t stop = end == std::string::npos ? data.size() : end;
    arguments.emplace_back(data, start, stop - start);
    start = stop + 1;
  }
  return arguments;
}

}  // namespace

void recordLaunchArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
  std::lock_guard lock(argumentsMutex());
  recorded() = std::move(arguments);
}

std::vector<std::string> launchArguments() {
  {
    std::lock_guard lock(argumentsMutex());
    if (recorded()) return *recorded();
  }
  return readProcCmdline();
}

}  // namespace hl
