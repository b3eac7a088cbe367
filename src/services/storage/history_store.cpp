#include "services/storage/history_store.h"

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>

#include "platform/aside_copy.h"
#include "platform/atomic_file.h"
#include "platform/plain_file.h"
#include "platform/unique_fd.h"
#include "utilities/path_canonical.h"

namespace hl {

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
  PlainFile::OwnFile read = PlainFile::readOwn(path);
  if (read.failure) return Error{*read.failure};
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
  const std::string path = PathCanonical::canonical(fileURL_);
  const std::string folder = parentPath(path);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return Error{folder + ": " + ec.message()};
  // Another copy of the program may be appending too: between its read and its write, its
  // records and ours would overwrite each other. The folder is locked, not the file, which every
  // write replaces.
  const UniqueFd folderLock(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderLock.valid()) {
    while (::flock(folderLock.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
  }

  Result loaded = loadLocked(movedAside);
  auto* stored = std::get_if<std::vector<HistoryEntry>>(&loaded);
  if (!stored) return loaded;
  stored->insert(stored->end(), entries.begin(), entries.end());
  if (auto failed = AtomicFile::replace(path, encodeHistory(*stored))) return Error{*failed};
  return loaded;
}

}  // namespace hl
