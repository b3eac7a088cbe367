#include "platform/plain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace hl::PlainFile {

namespace {

// Reads the file piece by piece until its end, or until `chunk` answers false.
bool readUntil(const std::string& path, const std::function<bool(std::string_view)>& chunk) {
  // Opened without waiting, so a pipe put where a file was expected cannot hold the reader.
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) return false;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    if (!chunk(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) return false;
  }
}

}  // namespace

bool readInChunks(const std::string& path, const std::function<void(std::string_view)>& chunk) {
  return readUntil(path, [&](std::string_view piece) {
    chunk(piece);
    return true;
  });
}

std::optional<std::string> read(const std::string& path, std::optional<std::size_t> maxBytes) {
  std::string content;
  const bool whole = readUntil(path, [&](std::string_view piece) {
    content.append(piece);
    return !maxBytes || content.size() <= *maxBytes;
  });
  if (!whole) return std::nullopt;
  return content;
}

OwnFile readOwn(const std::string& path, std::optional<std::size_t> maxBytes) {
  OwnFile file;
  auto fail = [&](const char* reason) { file.failure = path + ": " + reason; };
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) {
    if (errno != ENOENT && errno != ENOTDIR) fail(std::strerror(errno));
    return file;
  }
  file.exists = true;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    fail(std::strerror(errno));
    return file;
  }
  if (!S_ISREG(status.st_mode)) {
    fail("not a regular file");
    return file;
  }
  const auto tooLarge = [&] {
    fail(("larger than " + std::to_string(*maxBytes) + " bytes").c_str());
    file.bytes.clear();
  };
  if (maxBytes && static_cast<std::uint64_t>(status.st_size) > *maxBytes) {
    tooLarge();
    return file;
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(std::strerror(errno));
      return file;
    }
    if (got == 0) return file;
    file.bytes.append(buffer.data(), static_cast<std::size_t>(got));
    // It grew while it was read.
    if (maxBytes && file.bytes.size() > *maxBytes) {
      tooLarge();
      return file;
    }
  }
}

}  // namespace hl::PlainFile
