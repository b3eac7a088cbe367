#include "services/storage/history_store.h"

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/aside_copy.h"
#include "platform/atomic_file.h"
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

  const AsideCopy::Outcome moved = AsideCopy::moveAside(path, clock_());
  if (const auto* failure = std::get_if<AsideCopy::Failure>(&moved)) {
    return Error{failure->description};
  }
  const std::string& movedTo = std::get<std::string>(moved);
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

  if (auto failed = AtomicFile::replace(path, encodeHistory(*stored))) return Error{*failed};
  return loaded;
}

}  // namespace hl
