#include "platform/aside_copy.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

#include "platform/atomic_file.h"

namespace hl::AsideCopy {
namespace {

// What one attempt to take a name did.
enum class Attempt { done, nameTaken, failed };

// Tries the dated name, then "-2", "-3"… until `take` succeeds or fails for another reason.
Outcome underFreeName(const std::string& path, Date date,
                      const std::function<Attempt(const std::string&, std::string&)>& take) {
  const std::string base = path + ".corrupt-" + localStamp(date);
  for (int attempt = 1; attempt <= 1000; ++attempt) {
    const std::string candidate = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    std::string reason;
    switch (take(candidate, reason)) {
      case Attempt::done: return candidate;
      case Attempt::nameTaken: continue;
      case Attempt::failed: return Failure{reason};
    }
  }
  return Failure{path + ": cannot keep it aside: no free name"};
}

}  // namespace

std::string localStamp(Date date) {
  ::tzset();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return std::string(text, length);
}

Outcome moveAside(const std::string& path, Date date) {
  return underFreeName(path, date, [&](const std::string& candidate, std::string& reason) {
    auto refused = [&](int error) {
      reason = path + ": cannot move it aside: " + std::strerror(error);
      return Attempt::failed;
    };
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) ==
        0) {
      return Attempt::done;
    }
    if (errno == EEXIST) return Attempt::nameTaken;
    if (errno != EINVAL && errno != ENOSYS) return refused(errno);
    // A file system without no-replace renames: a hard link also refuses an existing name.
    if (::link(path.c_str(), candidate.c_str()) != 0) {
      return errno == EEXIST ? Attempt::nameTaken : refused(errno);
    }
    if (::unlink(path.c_str()) != 0) {
      const int error = errno;
      ::unlink(candidate.c_str());
      return refused(error);
    }
    return Attempt::done;
  });
}

Outcome copyAside(const std::string& path, std::string_view bytes, Date date) {
  return underFreeName(path, date, [&](const std::string& candidate, std::string& reason) {
    AtomicFile::Failure failure;
    switch (AtomicFile::create(candidate, bytes, &failure)) {
      case AtomicFile::Created::created: return Attempt::done;
      case AtomicFile::Created::nameTaken: return Attempt::nameTaken;
      case AtomicFile::Created::failed: break;
    }
    reason = "cannot keep a copy: " + failure;
    return Attempt::failed;
  });
}

}  // namespace hl::AsideCopy
