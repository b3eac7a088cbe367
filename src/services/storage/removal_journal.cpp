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
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>

#include "platform/aside_copy.h"
#include "platform/atomic_file.h"
#include "platform/directory_listing.h"
#include "platform/plain_file.h"
#include "platform/trash_record_notes.h"
#include "utilities/iso8601.h"
#include "utilities/path_canonical.h"

namespace hl {
namespace {

constexpr std::string_view kPrefix = "removal-";
constexpr std::string_view kSuffix = ".journal";
constexpr std::string_view kReservedSuffix = ".reserved";
// Far more than any removal writes (hundreds of thousands of items), and little enough to read
// whole at a start: a larger file is no journal of this program's, and is moved aside.
constexpr std::size_t kLargestJournal = 64 * 1024 * 1024;

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

QString numberText(std::int64_t number) { return qs(std::to_string(number)); }

std::optional<std::int64_t> numberFrom(const QJsonValue& value) {
  const std::string text = ss(value.toString());
  std::int64_t number = 0;
  if (text.empty() || std::sscanf(text.c_str(), "%" SCNd64, &number) != 1) return std::nullopt;
  return number;
}

constexpr std::pair<FreedesktopTrash::Reservation::Stage, const char*> kStages[] = {
    {FreedesktopTrash::Reservation::Stage::aboutToMake, "aboutToMake"},
    {FreedesktopTrash::Reservation::Stage::made, "made"},
    {FreedesktopTrash::Reservation::Stage::notMade, "notMade"},
};

QJsonObject originObject(const ObjectOrigin& origin) {
  QJsonObject object{{"type", static_cast<qint64>(origin.type)}};
  if (origin.birth) object.insert("birth", numberText(*origin.birth));
  if (origin.generation) object.insert("generation", static_cast<qint64>(*origin.generation));
  if (origin.change) object.insert("change", numberText(*origin.change));
  return object;
}

std::optional<ObjectOrigin> originFrom(const QJsonValue& value) {
  if (!value.isObject()) return std::nullopt;
  const QJsonObject object = value.toObject();
  ObjectOrigin origin;
  origin.type = static_cast<std::uint32_t>(object.value("type").toInteger());
  if (object.contains("birth")) origin.birth = numberFrom(object.value("birth"));
  if (object.contains("generation")) {
    origin.generation = static_cast<std::uint32_t>(object.value("generation").toInteger());
  }
  if (object.contains("change")) origin.change = numberFrom(object.value("change"));
  return origin;
}

// One line per note, appended as the removal runs.
std::string encodeReservation(const FreedesktopTrash::Reservation& reservation) {
  QJsonObject object{{"trash", pathValue(reservation.trash)},
                     {"folder", identityText(reservation.folder)},
                     {"name", pathValue(reservation.name)},
                     {"original", pathValue(reservation.original)},
                     {"noted", numberText(reservation.noted)}};
  for (const auto& [stage, text] : kStages) {
    if (stage == reservation.stage) object.insert("stage", text);
  }
  if (reservation.record) object.insert("record", identityText(*reservation.record));
  if (reservation.origin) object.insert("origin", originObject(*reservation.origin));
  const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())) + "\n";
}

// One note, or none for a line that is none (cut short when the disk filled or the power went).
// A note of an older build has no stage: it was taken once the record was made.
std::optional<FreedesktopTrash::Reservation> decodeReservation(std::string_view line) {
  using Stage = FreedesktopTrash::Reservation::Stage;
  const QJsonObject object =
      QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size())))
          .object();
  FreedesktopTrash::Reservation note;
  auto trash = pathFrom(object.value("trash"));
  auto folder = identityFrom(object.value("folder"));
  auto name = pathFrom(object.value("name"));
  auto original = pathFrom(object.value("original"));
  if (!trash || !folder || !name || !original) return std::nullopt;
  note.trash = std::move(*trash);
  note.folder = *folder;
  note.name = std::move(*name);
  note.original = std::move(*original);
  note.noted = numberFrom(object.value("noted")).value_or(0);
  note.stage = Stage::made;
  if (object.contains("stage")) {
    const std::string stage = ss(object.value("stage").toString());
    const auto* known = std::find_if(std::begin(kStages), std::end(kStages),
                                     [&](const auto& entry) { return stage == entry.second; });
    if (known == std::end(kStages)) return std::nullopt;
    note.stage = known->first;
  }
  if (object.contains("record")) {
    note.record = identityFrom(object.value("record"));
    if (!note.record) return std::nullopt;
  }
  note.origin = originFrom(object.value("origin"));
  if (note.stage == Stage::made && !note.record) return std::nullopt;
  return note;
}

// The notes that still tell something, in order: every record made, and every record about to
// be made whose outcome was never noted (the removal stopped while it was being made).
std::vector<FreedesktopTrash::Reservation> settled(
    const std::vector<FreedesktopTrash::Reservation>& notes) {
  using Stage = FreedesktopTrash::Reservation::Stage;
  std::vector<FreedesktopTrash::Reservation> kept;
  std::map<std::pair<std::string, std::string>, FreedesktopTrash::Reservation> pending;
  for (const FreedesktopTrash::Reservation& note : notes) {
    const auto key = std::pair(note.trash, note.name);
    if (note.stage == Stage::aboutToMake) {
      pending[key] = note;
      continue;
    }
    pending.erase(key);
    if (note.stage == Stage::made) kept.push_back(note);
  }
  for (auto& [key, note] : pending) kept.push_back(std::move(note));
  return kept;
}

// The most notes a removal of `items` items can write: two Trash folders tried for each item,
// a hundred names in each, two notes for each name, none longer than `kLongestNote` (two paths
// of PATH_MAX bytes and a name of NAME_MAX bytes, each in hexadecimal, and the rest).
constexpr std::size_t kLongestNote = 20 * 1024;
constexpr std::uint64_t kMostNotesBytesPerItem = 2 * 100 * 2 * kLongestNote;

struct NotesRead {
  std::vector<FreedesktopTrash::Reservation> notes;
  std::optional<std::string> failure;
};

// The notes beside a journal, read as input that may have been changed by anyone: no more than
// its items allow, never whole into memory, only from a regular file reached without a link,
// and never waiting on a pipe. A line longer than any note is skipped.
NotesRead readNotes(const std::string& path, std::size_t items) {
  NotesRead read;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
    if (errno != ENOENT) read.failure = path + ": " + std::strerror(errno);
    return read;
  }
  if (!S_ISREG(st.st_mode)) {
    read.failure = path + ": not a regular file";
    return read;
  }
  const std::uint64_t most = std::max<std::size_t>(items, 1) * kMostNotesBytesPerItem;
  const auto tooLarge = [&] {
    read.failure = path + ": larger than the notes of " + std::to_string(items) +
                   (items == 1 ? " item" : " items") + " can be";
    return read;
  };
  if (static_cast<std::uint64_t>(st.st_size) > most) return tooLarge();
  std::vector<FreedesktopTrash::Reservation> notes;
  std::string line;
  bool overlong = false;
  auto endLine = [&] {
    if (!overlong) {
      if (auto note = decodeReservation(line)) notes.push_back(std::move(*note));
    }
    line.clear();
    overlong = false;
  };
  std::uint64_t total = 0;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      read.failure = path + ": " + std::strerror(errno);
      return read;
    }
    if (n == 0) break;
    // It grew while it was read.
    if ((total += static_cast<std::uint64_t>(n)) > most) return tooLarge();
    std::string_view chunk(buffer, static_cast<std::size_t>(n));
    while (!chunk.empty()) {
      const std::size_t end = chunk.find('\n');
      const std::string_view part = chunk.substr(0, end);
      if (!overlong && line.size() + part.size() <= kLongestNote) {
        line.append(part);
      } else {
        overlong = true;
        line.clear();
      }
      if (end == std::string_view::npos) break;
      endLine();
      chunk.remove_prefix(end + 1);
    }
  }
  if (!line.empty()) endLine();
  read.notes = settled(notes);
  return read;
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

std::vector<PendingRemoval::Fate> PendingRemoval::fates(const std::string& homeTrash) const {
  std::vector<Fate> fates;
  for (const Item& item : items) {
    struct stat st {};
    // Still there, or it cannot be looked at: it counts as still there.
    if (::lstat(item.path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR)) {
      fates.push_back(Fate::notRemoved);
      continue;
    }
    // Moved: it stands in the Trash a note of its own names.
    const std::string path = PathCanonical::canonical(item.path);
    const auto movedThere = [&](const FreedesktopTrash::Reservation& note) {
      return PathCanonical::canonical(note.original) == path &&
             FreedesktopTrash::reachedTheTrash(note, homeTrash) == true;
    };
    const bool inTrash = !permanent && std::any_of(reserved.begin(), reserved.end(), movedThere);
    // Gone from a folder that is still there, on the device it was on: it went. A volume that is
    // not mounted leaves no folder there, or another device's.
    struct stat folder {};
    const bool wentFromItsFolder =
        ::stat(parentPath(item.path).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) &&
        (!item.folderDevice || *item.folderDevice == static_cast<std::uint64_t>(folder.st_dev));
    fates.push_back(inTrash || wentFromItsFolder ? Fate::removed : Fate::unknown);
  }
  return fates;
}

PendingRemoval::Withdrawals PendingRemoval::withdrawUnmovedRecords(const std::string& homeTrash,
                                                                   std::int64_t ended) const {
  using Kind = FreedesktopTrash::NoteOutcome::Kind;
  Withdrawals withdrawals;
  for (const FreedesktopTrash::Reservation& note : reserved) {
    const FreedesktopTrash::NoteOutcome outcome =
        FreedesktopTrash::withdrawUnmoved(note, homeTrash, ended);
    if (outcome.kind == Kind::withdrawn) ++withdrawals.withdrawn;
    if (outcome.kind == Kind::untrusted) {
      withdrawals.untrusted.push_back(outcome.reason + " (" + note.trash + ")");
    }
    if (outcome.kind == Kind::unreachable) withdrawals.unreachable.push_back(note);
  }
  return withdrawals;
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
    QJsonObject entry{{"path", pathValue(item.path)}, {"size", static_cast<qint64>(item.size)}};
    if (item.folderDevice) entry.insert("folderDevice", qs(std::to_string(*item.folderDevice)));
    items.append(entry);
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
    std::optional<std::uint64_t> device;
    if (value.toObject().contains("folderDevice")) {
      const std::string text = ss(value.toObject().value("folderDevice").toString());
      if (std::sscanf(text.c_str(), "%" SCNu64, &device.emplace()) != 1) return std::nullopt;
    }
    removal.items.push_back(
        {std::move(*path), value.toObject().value("size").toInteger(), device});
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
  // Where each item lies, so that the next start can tell an item that went from one whose
  // volume is not mounted.
  PendingRemoval written = removal;
  for (PendingRemoval::Item& item : written.items) {
    struct stat folder {};
    if (!item.folderDevice && ::stat(parentPath(item.path).c_str(), &folder) == 0) {
      item.folderDevice = static_cast<std::uint64_t>(folder.st_dev);
    }
  }
  AtomicFile::Failure failure;
  UniqueFd held = AtomicFile::replaceHolding(path, encodePendingRemoval(written), failure);
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
    // The notes file itself must be found after a power cut.
    UniqueFd folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
  }
  // One small write: a kill leaves the note whole, or a line cut short that reading skips.
  const std::string line = encodeReservation(reservation);
  while (::write(notes.get(), line.data(), line.size()) < 0 && errno == EINTR) {
  }
  // A record about to be made must never reach the disk before its note does.
  if (reservation.stage == FreedesktopTrash::Reservation::Stage::aboutToMake) {
    ::fdatasync(notes.get());
  }
}

void RemovalJournal::finish(const UUID& operationID) {
  std::lock_guard lock(mutex_);
  ::unlink(reservedPathOf(operationID).c_str());
  ::unlink(pathOf(operationID).c_str());
  held_.erase(operationID);
}

void RemovalJournal::keepNotes(const UUID& operationID,
                               const std::vector<FreedesktopTrash::Reservation>& kept) {
  std::string text;
  for (const FreedesktopTrash::Reservation& note : kept) text += encodeReservation(note);
  std::lock_guard lock(mutex_);
  // Failing that, every note stays as it was, which the next start reads the same way.
  AtomicFile::replace(reservedPathOf(operationID), text);
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
    const PlainFile::OwnFile file = PlainFile::readOwn(entry.path, kLargestJournal);
    std::optional<PendingRemoval> removal =
        file.failure ? std::nullopt : decodePendingRemoval(file.bytes);
    // Its completion removes the files named for its operation: they must be these.
    if (removal && pathOf(removal->operationID) != entry.path) removal.reset();
    if (removal) {
      NotesRead notes = readNotes(reservedPathOf(removal->operationID), removal->items.size());
      removal->reserved = std::move(notes.notes);
      removal->notesFailure = std::move(notes.failure);
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
