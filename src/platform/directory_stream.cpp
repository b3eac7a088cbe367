#include "platform/directory_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hl {

DirectoryStream::DirectoryStream(int fd) {
  if (fd < 0) return;
  stream_ = ::fdopendir(fd);
  if (stream_ == nullptr) ::close(fd);
}

DirectoryStream::~DirectoryStream() {
  if (stream_ != nullptr) ::closedir(stream_);
}

int DirectoryStream::fd() const { return ::dirfd(stream_); }

const char* DirectoryStream::next(bool& failed) {
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(stream_);
    if (entry == nullptr) {
      failed = errno != 0;
      return nullptr;
    }
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      return entry->d_name;
    }
  }
}

int openDirectoryAt(int parent, const char* name, bool followLink) {
  return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
}

}  // namespace hl
