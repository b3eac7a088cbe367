#include "support/fake_home.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "support/test_environment.h"

namespace hl::test {
namespace {

void fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::to_string(errno));
}

void makeParents(const std::string& path) {
  for (std::size_t pos = path.find('/', 1); pos != std::string::npos;
       pos = path.find('/', pos + 1)) {
    const std::string prefix = path.substr(0, pos);
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) fail("mkdir", prefix);
  }
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("write", path);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

timespec toTimespec(Date date) {
  const auto since = date.time_since_epoch();
  const auto secs = std::chrono::floor<std::chrono::seconds>(since);
  const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(since - secs);
  return timespec{static_cast<time_t>(secs.count()), static_cast<long>(nanos.count())};
}

}  // namespace

FakeHome::FakeHome(const std::string& prefix) : root_(makeScratchFolder(prefix)) {}

std::string FakeHome::operator/(std::string_view relative) const {
  if (relative.empty()) return root_;
  return root_ + "/" + std::string(relative);
}

std::string FakeHome::dir(std::string_view relative, std::optional<Date> modified) {
  const std::string path = *this / relative;
  makeParents(path + "/");
  if (modified) setModified(relative, *modified);
  return path;
}

std::string FakeHome::file(std::string_view relative, std::int64_t bytes,
                           std::optional<Date> modified) {
  const std::string path = *this / relative;
  makeParents(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail("open", path);
  std::vector<char> block(64 * 1024, 'x');
  std::int64_t left = bytes;
  while (left > 0) {
    const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(left, block.size()));
    writeAll(fd, block.data(), chunk, path);
    left -= static_cast<std::int64_t>(chunk);
  }
  ::fsync(fd);
  ::close(fd);
  if (modified) setModified(relative, *modified);
  return path;
}

std::string FakeHome::text(std::string_view relative, std::string_view content,
                           std::optional<Date> modified) {
  const std::string path = *this / relative;
  makeParents(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail("open", path);
  writeAll(fd, content.data(), content.size(), path);
  ::close(fd);
  if (modified) setModified(relative, *modified);
  return path;
}

std::string FakeHome::sparseFile(std::string_view relative, std::int64_t logicalSize,
                                 std::int64_t writtenBytes) {
  const std::string path = *this / relative;
  makeParents(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail("open", path);
  if (writtenBytes > 0) {
    std::vector<char> data(static_cast<std::size_t>(writtenBytes), 'y');
    writeAll(fd, data.data(), data.size(), path);
  }
  if (::ftruncate(fd, logicalSize) != 0) fail("ftruncate", path);
  ::fsync(fd);
  ::close(fd);
  return path;
}

std::string FakeHome::symlink(std::string_view relative, const std::string& target) {
  const std::string path = *this / relative;
  makeParents(path);
  if (::symlink(target.c_str(), path.c_str()) != 0) fail("symlink", path);
  return path;
}

std::string FakeHome::hardlink(std::string_view relative, std::string_view existingRelative) {
  const std::string path = *this / relative;
  makeParents(path);
  const std::string existing = *this / existingRelative;
  if (::link(existing.c_str(), path.c_str()) != 0) fail("link", path);
  return path;
}

void FakeHome::setModified(std::string_view relative, Date modified) {
  const std::string path = *this / relative;
  const timespec times[2] = {toTimespec(modified), toTimespec(modified)};
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    fail("utimensat", path);
  }
}

std::int64_t allocatedBytes(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_blocks) * 512;
}

bool existsNoFollow(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string readFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string out;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

bool remakeInPlace(const std::string& path, const std::function<void()>& makeAgain) {
  struct stat before {};
  if (::lstat(path.c_str(), &before) != 0) fail("lstat", path);
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (ec) fail("remove_all", path);
    makeAgain();
    struct stat now {};
    if (::lstat(path.c_str(), &now) != 0) fail("lstat", path);
    if (now.st_ino == before.st_ino) return true;
  }
  return false;
}

}  // namespace hl::test
