#include "support/write_failures.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace hl::test {
namespace {

constexpr const char* kFiller = ".filler";

}  // namespace

FullVolume::FullVolume(const std::string& where) : mount_(ScratchMount::tmpfs(where)) {}

void FullVolume::fill() {
  const std::string filler = path() + "/" + kFiller;
  const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot create " + filler);
  const std::vector<char> block(64 * 1024, 'x');
  std::size_t size = block.size();
  // Smaller and smaller pieces, down to one byte, so that not a single byte is left over.
  while (size > 0) {
    const ssize_t n = ::write(fd, block.data(), size);
    if (n < 0 && errno == ENOSPC) {
      size /= 2;
    } else if (n < 0 && errno != EINTR) {
      const int error = errno;
      ::close(fd);
      throw std::runtime_error(std::string("filling the volume: ") + std::strerror(error));
    }
  }
  ::close(fd);
}

void FullVolume::makeRoom() { ::unlink((path() + "/" + kFiller).c_str()); }

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
  // The kernel also sends SIGXFSZ, which would end the test process.
  previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  previous_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = previous_;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previousHandler_);
}

std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  ::closedir(dir);
  return names;
}

}  // namespace hl::test
