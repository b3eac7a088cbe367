#include "services/storage/history_store.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "utilities/path_canonical.h"

namespace hl {
namespace {

HistoryStore::Error failure(const std::string& path, const std::string& reason) {
  return HistoryStore::Error{path + ": " + reason};
}

HistoryStore::Error systemFailure(const std::string& path, int error) {
  return failure(path, std::strerror(error));
}

// The whole file, or none when there is no file (a missing folder counts as no file). Only
// those two errors mean "no history yet": anything else (a folder in the way, an I/O error)
// is an error, so that an existing history is never mistaken for none and overwritten.
struct ReadOutcome {
  bool exists = false;
  std::string bytes;
  std::optional<HistoryStore::Error> error;
};

ReadOutcome readWhole(const std::string& path) {
  ReadOutcome outcome;
  // Non-blocking, so that a pipe in the file's place cannot stall the caller.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) outcome.error = systemFailure(path, errno);
    return outcome;
  }
  outcome.exists = true;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    outcome.error = systemFailure(path, errno);
  } else if (!S_ISREG(info.st_mode)) {
    outcome.error = failure(path, "not a regular file");
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        outcome.bytes.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        outcome.error = systemFailure(path, errno);
        break;
      }
    }
  }
  ::close(fd);
  return outcome;
}

// "20260301-140000" in the local time zone.
std::string localStamp(Date date) {
  ::tzset();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return std::string(text, length);
}

// Moves `from` to `base`, or to "base-2", "base-3"… when that name is taken. An existing file
// is never replaced: it may be the damaged history of an earlier recovery.
std::optional<HistoryStore::Error> moveAside(const std::string& from, const std::string& base,
                                             std::string& movedTo) {
  for (int attempt = 1; attempt <= 1000; ++attempt) {
    const std::string candidate = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) ==
        0) {
      movedTo = candidate;
      return std::nullopt;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) {
      return failure(from, std::string("cannot move it aside: ") + std::strerror(errno));
    }
    // A file system without no-replace renames: a hard link also refuses an existing name.
    if (::link(from.c_str(), candidate.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return failure(from, std::string("cannot move it aside: ") + std::strerror(errno));
    }
    if (::unlink(from.c_str()) != 0) {
      const int error = errno;
      ::unlink(candidate.c_str());
      return failure(from, std::string("cannot move it aside: ") + std::strerror(error));
    }
    movedTo = candidate;
    return std::nullopt;
  }
  return failure(from, "cannot move it aside: no free name");
}

}  // namespace

std::string HistoryStore::defaultURL() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  const QByteArray bytes = QFile::encodeName(folder);
  return appendingPath(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                       "Harborlume/history.json");
}

HistoryStore::HistoryStore(std::string fileURL, WallClock clock)
    : fileURL_(std::move(fileURL)), clock_(std::move(clock)) {}

std::optional<std::string> HistoryStore::recoveredCorruptFile() const {
  std::lock_guard lock(mutex_);
  return recoveredCorruptFile_;
}

HistoryStore::Result HistoryStore::load(std::optional<std::string>* movedAside) {
  std::lock_guard lock(mutex_);
  return loadLocked(movedAside);
}

HistoryStore::Result HistoryStore::loadLocked(std::optional<std::string>* movedAside) {
  if (movedAside) movedAside->reset();
  const std::string path = PathCanonical::canonical(fileURL_);
  ReadOutcome read = readWhole(path);
  if (read.error) return *read.error;
  if (!read.exists || read.bytes.empty()) return std::vector<HistoryEntry>{};

  if (auto entries = decodeHistory(read.bytes)) return std::move(*entries);

  std::string movedTo;
  if (auto error = moveAside(path, path + ".corrupt-" + localStamp(clock_()), movedTo)) {
    return *error;
  }
  recoveredCorruptFile_ = movedTo;
  if (movedAside) *movedAside = movedTo;
  return std::vector<HistoryEntry>{};
}

HistoryStore::Result HistoryStore::append(const std::vector<HistoryEntry>& entries,
                                          std::optional<std::string>* movedAside) {
  std::lock_guard lock(mutex_);
  Result loaded = loadLocked(movedAside);
  auto* stored = std::get_if<std::vector<HistoryEntry>>(&loaded);
  if (!stored) return loaded;
  stored->insert(stored->end(), entries.begin(), entries.end());

  const std::string path = PathCanonical::canonical(fileURL_);
  const std::string folder = parentPath(path);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return failure(folder, ec.message());

  const std::string text = encodeHistory(*stored);
  QSaveFile file(QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size()))));
  // Never fall back to writing the file in place: a reader must never see half a file.
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly)) {
    return failure(path, file.errorString().toStdString());
  }
  if (file.write(text.data(), static_cast<qint64>(text.size())) !=
      static_cast<qint64>(text.size())) {
    const std::string reason = file.errorString().toStdString();
    file.cancelWriting();
    return failure(path, reason);
  }
  if (!file.commit()) return failure(path, file.errorString().toStdString());
  return loaded;
}

}  // namespace hl
