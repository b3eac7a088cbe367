#include "platform/atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/unique_fd.h"
#include "utilities/path_canonical.h"

namespace hl::AtomicFile {
namespace {

Failure failed(const std::string& path, int error) { return path + ": " + std::strerror(error); }

// Where the bytes must go: the file itself, or where a symbolic link in its place leads.
std::string finalTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  // A link to a file that does not exist yet: the link's own folder decides nothing, its
  // target's does.
  char target[PATH_MAX];
  const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
  if (length <= 0) return path;
  const std::string text(target, static_cast<std::size_t>(length));
  return text.front() == '/' ? text : appendingPath(parentPath(path), text);
}

// A new, empty file beside `target`, created with `mode` (less the umask), never over anything.
UniqueFd createTemporary(const std::string& target, mode_t mode, std::string& temporary,
                         int& error) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const std::string folder = parentPath(target);
  const std::string name = lastPathComponent(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%016llx",
                  static_cast<unsigned long long>(random()));
    temporary = appendingPath(folder, "." + name + ".new-" + suffix);
    const int fd = ::open(temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0) return UniqueFd(fd);
    if (errno != EEXIST) break;
  }
  error = errno;
  return UniqueFd();
}

// Writes every byte and flushes the file to disk; the error number of the first failure, or 0.
int writeDurably(UniqueFd& file, std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(file.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(file.get()) != 0) return errno;
  // A close can report a write the kernel deferred (network file systems do).
  if (::close(file.release()) != 0) return errno;
  return 0;
}

// Makes a rename or link in `folder` survive a power cut; the file itself is already on disk.
void syncFolder(const std::string& folder) {
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

// The new file holding `bytes`, flushed; none (with `failure` set) when it could not be made.
std::optional<std::string> stage(const std::string& target, std::string_view bytes,
                                 std::optional<mode_t> keepMode, Failure& failure) {
  std::string temporary;
  int error = 0;
  UniqueFd file = createTemporary(target, keepMode.value_or(0666), temporary, error);
  if (!file.valid()) {
    failure = failed(target, error);
    return std::nullopt;
  }
  if (keepMode && ::fchmod(file.get(), *keepMode) != 0) error = errno;
  if (error == 0) error = writeDurably(file, bytes);
  if (error != 0) {
    file.reset();
    ::unlink(temporary.c_str());
    failure = failed(target, error);
    return std::nullopt;
  }
  return temporary;
}

}  // namespace

std::optional<Failure> replace(const std::string& path, std::string_view bytes) {
  const std::string target = finalTarget(path);
  std::optional<mode_t> keepMode;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) keepMode = info.st_mode & 07777;

  Failure failure;
  const std::optional<std::string> temporary = stage(target, bytes, keepMode, failure);
  if (!temporary) return failure;
  if (::rename(temporary->c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary->c_str());
    return failed(target, error);
  }
  syncFolder(parentPath(target));
  return std::nullopt;
}

UniqueFd replaceHolding(const std::string& path, std::string_view bytes, Failure& failure) {
  std::string temporary;
  int error = 0;
  UniqueFd file = createTemporary(path, S_IRUSR | S_IWUSR, temporary, error);
  if (!file.valid()) {
    failure = failed(path, error);
    return UniqueFd();
  }
  // The lock belongs to the open file, which the rename below does not change; the second
  // descriptor keeps it while the first is closed to learn of deferred write errors.
  UniqueFd held(::flock(file.get(), LOCK_EX | LOCK_NB) == 0 ? ::dup(file.get()) : -1);
  if (!held.valid()) error = errno;
  if (error == 0 && ::fchmod(file.get(), S_IRUSR | S_IWUSR) != 0) error = errno;
  if (error == 0) error = writeDurably(file, bytes);
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    file.reset();
    ::unlink(temporary.c_str());
    failure = failed(path, error);
    return UniqueFd();
  }
  syncFolder(parentPath(path));
  return held;
}

Created create(const std::string& path, std::string_view bytes, Failure* failure) {
  Failure reason;
  const std::optional<std::string> temporary = stage(path, bytes, S_IRUSR | S_IWUSR, reason);
  if (!temporary) {
    if (failure) *failure = reason;
    return Created::failed;
  }
  int placed = ::renameat2(AT_FDCWD, temporary->c_str(), AT_FDCWD, path.c_str(),
                           RENAME_NOREPLACE);
  int error = errno;
  if (placed != 0 && (error == EINVAL || error == ENOSYS)) {
    // A file system without no-replace renames: a hard link also refuses an existing name.
    placed = ::link(temporary->c_str(), path.c_str());
    error = errno;
  }
  ::unlink(temporary->c_str());
  if (placed == 0) {
    syncFolder(parentPath(path));
    return Created::created;
  }
  if (error == EEXIST) return Created::nameTaken;
  if (failure) *failure = failed(path, error);
  return Created::failed;
}

}  // namespace hl::AtomicFile
