#include "services/storage/removal_journal.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>

#include "platform/aside_copy.h"
#include "platform/atomic_file.h"
#include "platform/directory_listing.h"
#include "platform/plain_file.h"
#include "utilities/iso8601.h"
#include "utilities/path_canonical.h"

namespace hl {
namespace {

constexpr std::string_view kPrefix = "removal-";
constexpr std::string_view kSuffix = ".journal";
constexpr std::string_view kReservedSuffix = ".reserved";

QString qs(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ss(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A path as JSON: a text when it is UTF-8, else its bytes in hexadecimal, so that the journal
// names exactly the folder the removal acts on.
QJsonValue pathValue(const std::string& path) {
  const QString text = qs(path);
  if (ss(text) == path) return text;
  const QByteArray hex =
      QByteArray(path.data(), static_cast<qsizetype>(path.size())).toHex();
  return QJsonObject{{"bytes", QString::fromLatin1(hex)}};
}

std::optional<std::string> pathFrom(const QJsonValue& value) {
  if (value.isString()) return ss(value.toString());
  const QJsonValue hex = value.toObject().value("bytes");
  if (!hex.isString()) return std::nullopt;
  const QByteArray bytes = QByteArray::fromHex(hex.toString().toLatin1());
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A device and inode as text: an inode number may not fit a JSON number exactly.
QString identityText(const FileIdentifier& identity) {
  return qs(std::to_string(identity.device) + ":" + std::to_string(identity.inode));
}

std::optional<FileIdentifier> identityFrom(const QJsonValue& value) {
  const std::string text = ss(value.toString());
  FileIdentifier identity;
  if (std::sscanf(text.c_str(), "%" SCNu64 ":%" SCNu64, &identity.device, &identity.inode) != 2) {
    return std::nullopt;
  }
  return identity;
}

// One line per reserved record, appended as the removal runs.
std::string encodeReservation(const FreedesktopTrash::Reservation& reservation) {
  const QJsonObject object{{"trash", pathValue(reservation.trash)},
                           {"folder", identityText(reservation.folder)},
                           {"name", pathValue(reservation.name)},
                           {"record", identityText(reservation.record)},
                           {"original", pathValue(reservation.original)}};
  const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())) + "\n";
}

// The notes that can be read; a line cut short (the disk filled, the power went) is skipped.
std::vector<FreedesktopTrash::Reservation> decodeReservations(std::string_view text) {
  std::vector<FreedesktopTrash::Reservation> reservations;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size())))
            .object();
    auto trash = pathFrom(object.value("trash"));
    auto folder = identityFrom(object.value("folder"));
    auto name = pathFrom(object.value("name"));
    auto record = identityFrom(object.value("record"));
    auto original = pathFrom(object.value("original"));
    if (!trash || !folder || !name || !record || !original) continue;
    reservations.push_back({std::move(*trash), *folder, std::move(*name), *record,
                            std::move(*original)});
  }
  return reservations;
}

bool isJournalName(std::string_view name) {
  return name.size() > kPrefix.size() + kSuffix.size() && name.substr(0, kPrefix.size()) == kPrefix &&
         name.substr(name.size() - kSuffix.size()) == kSuffix;
}

// Takes the lock of the journal at `path`, without waiting: an invalid descriptor when another
// holder has it (or the file is gone).
UniqueFd lockJournal(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (fd.valid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) fd.reset();
  return fd;
}

}  // namespace

std::vector<PendingRemoval::Item> PendingRemoval::gone() const {
  std::vector<Item> gone;
  for (const Item& item : items) {
    struct stat info {};
    if (::lstat(item.path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
      gone.push_back(item);
    }
  }
  return gone;
}

void PendingRemoval::withdrawUnmovedRecords() const {
  for (const FreedesktopTrash::Reservation& reservation : reserved) {
    FreedesktopTrash::withdrawUnmoved(reservation);
  }
}

std::string encodePendingRemoval(const PendingRemoval& removal) {
  QJsonObject object;
  object.insert("operationID", qs(removal.operationID.uuidString()));
  object.insert("date", qs(formatISO8601(removal.date)));
  object.insert("trigger", qs(removal.trigger));
  object.insert("permanent", removal.permanent);
  QJsonArray categories;
  for (const auto& [title, paths] : removal.categories) {
    QJsonArray list;
    for (const std::string& path : paths) list.append(pathValue(path));
    categories.append(QJsonObject{{"title", qs(title)}, {"paths", list}});
  }
  object.insert("categories", categories);
  QJsonArray items;
  for (const PendingRemoval::Item& item : removal.items) {
    items.append(QJsonObject{{"path", pathValue(item.path)},
                             {"size", static_cast<qint64>(item.size)}});
  }
  object.insert("items", items);
  QJsonArray skipped;
  for (const HistoryEntry::Failure& failure : removal.skipped) {
    skipped.append(QJsonObject{{"path", pathValue(failure.path)}, {"message", qs(failure.message)}});
  }
  object.insert("skipped", skipped);
  const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<PendingRemoval> decodePendingRemoval(std::string_view text) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  const QJsonObject object = document.object();
  PendingRemoval removal;
  const auto operation = UUID::parse(ss(object.value("operationID").toString()));
  const auto date = parseISO8601(ss(object.value("date").toString()));
  if (!operation || !date || !object.value("trigger").isString() ||
      !object.value("permanent").isBool()) {
    return std::nullopt;
  }
  removal.operationID = *operation;
  removal.date = *date;
  removal.trigger = ss(object.value("trigger").toString());
  removal.permanent = object.value("permanent").toBool();
  for (const QJsonValue& category : object.value("categories").toArray()) {
    std::vector<std::string>& paths =
        removal.categories[ss(category.toObject().value("title").toString())];
    for (const QJsonValue& value : category.toObject().value("paths").toArray()) {
      auto path = pathFrom(value);
      if (!path) return std::nullopt;
      paths.push_back(std::move(*path));
    }
  }
  for (const QJsonValue& value : object.value("items").toArray()) {
    auto path = pathFrom(value.toObject().value("path"));
    if (!path) return std::nullopt;
    removal.items.push_back({std::move(*path), value.toObject().value("size").toInteger()});
  }
  for (const QJsonValue& value : object.value("skipped").toArray()) {
    auto path = pathFrom(value.toObject().value("path"));
    if (!path) return std::nullopt;
    removal.skipped.push_back({std::move(*path), ss(value.toObject().value("message").toString())});
  }
  return removal;
}

RemovalJournal::RemovalJournal(std::string historyFile)
    : folder_(parentPath(PathCanonical::canonical(historyFile))) {}

std::string RemovalJournal::pathOf(const UUID& operationID) const {
  return appendingPath(folder_, std::string(kPrefix) + operationID.uuidString() + std::string(kSuffix));
}

std::string RemovalJournal::reservedPathOf(const UUID& operationID) const {
  return appendingPath(folder_, std::string(kPrefix) + operationID.uuidString() +
                                    std::string(kReservedSuffix));
}

std::optional<std::string> RemovalJournal::begin(const PendingRemoval& removal) {
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  if (ec) return folder_ + ": " + ec.message();
  const std::string path = pathOf(removal.operationID);
  AtomicFile::Failure failure;
  UniqueFd held = AtomicFile::replaceHolding(path, encodePendingRemoval(removal), failure);
  if (!held.valid()) return failure;
  std::lock_guard lock(mutex_);
  held_[removal.operationID] = Held{std::move(held), UniqueFd()};
  return std::nullopt;
}

void RemovalJournal::noteReserved(const UUID& operationID,
                                  const FreedesktopTrash::Reservation& reservation) {
  std::lock_guard lock(mutex_);
  const auto held = held_.find(operationID);
  // Without its journal on disk the removal is not completed at the next start either.
  if (held == held_.end()) return;
  UniqueFd& notes = held->second.reserved;
  if (!notes.valid()) {
    notes.reset(::open(reservedPathOf(operationID).c_str(),
                       O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!notes.valid()) return;
  }
  // One small write: a kill leaves the note whole, or a line cut short that reading skips.
  const std::string line = encodeReservation(reservation);
  while (::write(notes.get(), line.data(), line.size()) < 0 && errno == EINTR) {
  }
}

void RemovalJournal::finish(const UUID& operationID) {
  std::lock_guard lock(mutex_);
  ::unlink(reservedPathOf(operationID).c_str());
  ::unlink(pathOf(operationID).c_str());
  held_.erase(operationID);
}

void RemovalJournal::release(const UUID& operationID) {
  std::lock_guard lock(mutex_);
  held_.erase(operationID);
}

RemovalJournal::Interrupted RemovalJournal::interrupted(Date now) {
  Interrupted found;
  const auto listed = DirectoryListing::entries(folder_);
  if (!listed) return found;
  for (const ListedEntry& entry : *listed) {
    if (!isJournalName(entry.name)) continue;
    {
      std::lock_guard lock(mutex_);
      const bool ours = std::any_of(held_.begin(), held_.end(), [&](const auto& held) {
        return pathOf(held.first) == entry.path;
      });
      if (ours) continue;
    }
    // A journal another running copy of the program holds belongs to a removal under way.
    UniqueFd locked = lockJournal(entry.path);
    if (!locked.valid()) continue;
    // Another copy recorded it and removed it between our look and our lock.
    struct stat status {};
    if (::fstat(locked.get(), &status) != 0 || status.st_nlink == 0) continue;
    const PlainFile::OwnFile file = PlainFile::readOwn(entry.path);
    std::optional<PendingRemoval> removal =
        file.failure ? std::nullopt : decodePendingRemoval(file.bytes);
    if (removal) {
      const PlainFile::OwnFile notes = PlainFile::readOwn(reservedPathOf(removal->operationID));
      if (notes.exists && !notes.failure) removal->reserved = decodeReservations(notes.bytes);
      // Held until it is recorded (or released), so that no other copy records it as well.
      std::lock_guard lock(mutex_);
      held_[removal->operationID] = Held{std::move(locked), UniqueFd()};
      found.removals.push_back(std::move(*removal));
      continue;
    }
    found.damaged.push_back(AsideCopy::moveAside(entry.path, now));
  }
  std::sort(found.removals.begin(), found.removals.end(),
            [](const PendingRemoval& a, const PendingRemoval& b) { return a.date < b.date; });
  return found;
}

}  // namespace hl
