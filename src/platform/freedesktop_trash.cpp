#include "platform/freedesktop_trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

#include "platform/mount_root.h"
#include "platform/mount_table.h"
#include "platform/trash_folders.h"
#include "platform/trash_record_notes.h"
#include "platform/user_folders.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl::FreedesktopTrash {
namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";

// The two folders of one Trash, open, and how original paths are written into its records.
struct OpenBin {
  UniqueFd files;
  UniqueFd info;
  // Empty for the home Trash (absolute original paths); else the volume top they are relative to.
  std::string top;
  // The Trash folder itself, as its reservations name it.
  std::string path;
  FileIdentifier identity;
};

FileIdentifier identifierOf(const struct stat& st) {
  return FileIdentifier{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

struct BinFailure {
  int errorNumber = 0;
  std::string reason;
};

// Creates (0700) and opens the folder `name` inside `parentFd` without following a link. With
// `mustOwn`, a folder that belongs to someone else is refused: on a shared volume another user
// could have prepared it.
std::optional<UniqueFd> folderAt(int parentFd, const std::string& name, bool mustOwn,
                                 int& errorNumber) {
  if (::mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST) {
    errorNumber = errno;
    return std::nullopt;
  }
  UniqueFd fd(::openat(parentFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) {
    errorNumber = errno;
    return std::nullopt;
  }
  if (mustOwn) {
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
      errorNumber = errno;
      return std::nullopt;
    }
    if (st.st_uid != ::getuid()) {
      errorNumber = EPERM;
      return std::nullopt;
    }
  }
  return fd;
}

std::optional<OpenBin> openBinAt(int trashFd, bool mustOwn, std::string top, std::string path,
                                 int& errorNumber) {
  struct stat st {};
  if (::fstat(trashFd, &st) != 0) {
    errorNumber = errno;
    return std::nullopt;
  }
  auto files = folderAt(trashFd, "files", mustOwn, errorNumber);
  if (!files) return std::nullopt;
  auto info = folderAt(trashFd, "info", mustOwn, errorNumber);
  if (!info) return std::nullopt;
  return OpenBin{std::move(*files), std::move(*info), std::move(top), std::move(path),
                 identifierOf(st)};
}

// The home Trash, created as needed (0700) along with any missing folder above it; the user's
// own data folder may be reached through a link.
std::optional<OpenBin> openHomeBin(const std::string& homeTrash, int& errorNumber) {
  const std::string folder = PathCanonical::canonical(homeTrash);
  std::string prefix;
  for (std::string_view part : PathRelation::components(folder)) {
    prefix += "/";
    prefix += part;
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      errorNumber = errno;
      return std::nullopt;
    }
  }
  UniqueFd trash(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!trash.valid()) {
    errorNumber = errno;
    return std::nullopt;
  }
  return openBinAt(trash.get(), false, "", folder, errorNumber);
}

// The user's Trash at the top of a volume: ".Trash/UID" inside a real, sticky ".Trash", else
// ".Trash-UID". Nothing on the way may be a link, and every folder used must be the user's.
std::optional<OpenBin> openVolumeBin(const std::string& top, int& errorNumber) {
  UniqueFd topFd(::open(top.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!topFd.valid()) {
    errorNumber = errno;
    return std::nullopt;
  }
  const unsigned uid = ::getuid();
  UniqueFd shared(::openat(topFd.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (shared.valid() && ::fstat(shared.get(), &st) == 0 && S_ISDIR(st.st_mode) &&
      (st.st_mode & S_ISVTX) != 0) {
    int ignored = 0;
    if (auto own = folderAt(shared.get(), std::to_string(uid), true, ignored)) {
      if (auto bin = openBinAt(own->get(), true, top, TrashFolders::sharedVolumeTrash(top, uid),
                               ignored)) {
        return bin;
      }
    }
  }
  auto own = folderAt(topFd.get(), ".Trash-" + std::to_string(uid), true, errorNumber);
  if (!own) return std::nullopt;
  return openBinAt(own->get(), true, top, TrashFolders::privateVolumeTrash(top, uid),
                   errorNumber);
}

// `name` cut to at most `limit` bytes, never inside a UTF-8 sequence. A sequence has at most
// three continuation bytes, so the cut moves back no further: a longer run is not UTF-8, and a
// name made of such bytes must not shrink to nothing.
std::string fitted(const std::string& name, std::size_t limit) {
  if (name.size() <= limit) return name;
  std::size_t cut = limit;
  while (cut > 0 && limit - cut < 3 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return name.substr(0, cut);
}

// The name tried on attempt `attempt`: the item's own name first, then numbered, then random,
// so that a Trash holding many items of one name does not make every move slow.
std::string candidateName(const std::string& name, int attempt, std::mt19937_64& random) {
  std::string suffix;
  if (attempt >= 2 && attempt <= 9) {
    suffix = "." + std::to_string(attempt);
  } else if (attempt > 9) {
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, ".%08llx",
                  static_cast<unsigned long long>(random() & 0xffffffffULL));
    suffix = buffer;
  }
  const std::size_t limit = NAME_MAX - kInfoSuffix.size() - suffix.size();
  return fitted(name, limit) + suffix;
}

bool writeAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// Renames without replacing anything already there; a file system that cannot promise that
// gets an explicit look first (the Trash folders are the user's own).
int renameNoReplace(int fromFd, const char* from, int toFd, const char* to) {
  if (::renameat2(fromFd, from, toFd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL) return errno;
  struct stat st {};
  if (::fstatat(toFd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return ::renameat(fromFd, from, toFd, to) == 0 ? 0 : errno;
}

struct MoveOutcome {
  bool crossesDevice = false;
  std::optional<RemovalError> error;
};

MoveOutcome moveInto(const AnchoredItem& item, const OpenBin& bin, const RemovalTarget& target,
                     Date deletionDate, const ReservationNote& reserved) {
  std::string original = target.path;
  if (!bin.top.empty()) {
    original = bin.top == "/" ? target.path.substr(1) : target.path.substr(bin.top.size() + 1);
  }
  const std::string record = trashInfo(original, deletionDate);
  const std::string failure = "Could not move " + target.displayPath + " to the Trash";

  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::string name = candidateName(item.name, attempt, random);
    const std::string infoName = name + std::string(kInfoSuffix);
    // Noted before the record can exist: a kill while it is being made, or just after, leaves a
    // record the next start can tell as this move's.
    Reservation note{Reservation::Stage::aboutToMake, bin.path, bin.identity, name, target.path,
                     fileClockFloor()};
    if (reserved) reserved(note);
    UniqueFd info(::openat(bin.info.get(), infoName.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!info.valid()) {
      const int error = errno;
      if (reserved) {
        note.stage = Reservation::Stage::notMade;
        reserved(note);
      }
      if (error == EEXIST) continue;
      return {false, FileSystemError{error, failure + ": its record could not be created (" +
                                                std::strerror(error) + ")."}};
    }
    if (reserved) {
      struct stat st {};
      const SeenIdentity made = FileIdentity::seenAt(bin.info.get(), infoName);
      if (::fstat(info.get(), &st) == 0 && made.object == identifierOf(st)) {
        note.stage = Reservation::Stage::made;
        note.record = made.object;
        note.origin = made.origin;
        reserved(note);
      }
    }
    const bool written = writeAll(info.get(), record) && ::fsync(info.get()) == 0;
    const int writeError = errno;
    info.reset();
    auto dropRecord = [&] { ::unlinkat(bin.info.get(), infoName.c_str(), 0); };
    if (!written) {
      dropRecord();
      return {false, FileSystemError{writeError, failure + ": its record could not be written (" +
                                                     std::strerror(writeError) + ")."}};
    }

    if (!isTargetAt(item.folder.get(), item.name, target)) {
      dropRecord();
      return {false, changedAfterCheck(target.displayPath)};
    }
    const int renameError =
        renameNoReplace(item.folder.get(), item.name.c_str(), bin.files.get(), name.c_str());
    if (renameError == EEXIST) {
      dropRecord();
      continue;
    }
    if (renameError != 0) {
      dropRecord();
      if (renameError == EXDEV) return {true, std::nullopt};
      if (renameError == ENOENT) return {false, TrashError::missing(target.displayPath)};
      return {false,
              FileSystemError{renameError, failure + ": " + std::strerror(renameError) + "."}};
    }
    if (!isTargetAt(bin.files.get(), name, target, OwnChange::made)) {
      // Swapped in the instant before the move: put back what was moved, untouched.
      if (renameNoReplace(bin.files.get(), name.c_str(), item.folder.get(), item.name.c_str()) ==
          0) {
        dropRecord();
      }
      return {false, changedAfterCheck(target.displayPath)};
    }
    return {};
  }
  return {false, FileSystemError{EEXIST, failure + ": no free name was found in the Trash."}};
}

std::optional<RemovalError> intoVolumeTrash(const AnchoredItem& item, const RemovalTarget& target,
                                            const std::string& top, Date deletionDate,
                                            const ReservationNote& reserved) {
  int errorNumber = 0;
  auto bin = openVolumeBin(top, errorNumber);
  if (!bin) {
    return FileSystemError{errorNumber, "Could not move " + target.displayPath +
                                            " to the Trash: no Trash folder can be used on its "
                                            "volume (" +
                                            top + ")."};
  }
  MoveOutcome outcome = moveInto(item, *bin, target, deletionDate, reserved);
  if (outcome.crossesDevice) {
    return FileSystemError{EXDEV, "Could not move " + target.displayPath +
                                      " to the Trash: it is not on the same volume as " + top +
                                      "."};
  }
  return outcome.error;
}

// The device a folder is on, or would be created on: that of its nearest existing ancestor.
std::optional<dev_t> deviceOfFolder(const std::string& folder) {
  std::string current = PathCanonical::canonical(folder);
  for (;;) {
    struct stat st {};
    if (::stat(current.c_str(), &st) == 0) return st.st_dev;
    if (current == "/") return std::nullopt;
    current = parentPath(current);
  }
}

// A folder holding a mount goes to the Trash with the mount inside it, and emptying the Trash
// later deletes the mounted data, which never belonged to the item. The kernel's mount table
// tells without a walk; a table that cannot be read refuses as well.
std::optional<RemovalError> mountInside(const AnchoredItem& item, const RemovalTarget& target) {
  if (!S_ISDIR(item.status.st_mode)) return std::nullopt;
  const MountTable::Inside inside = MountTable::firstMountInside(target.path);
  const std::string refusal = "Could not move " + target.displayPath + " to the Trash: ";
  if (!inside.tableRead) {
    return FileSystemError{EIO, refusal + "the mount table could not be read to check for "
                                          "another volume mounted inside it."};
  }
  if (!inside.mountPoint) return std::nullopt;
  const std::string shown =
      appendingPath(target.displayPath, inside.mountPoint->substr(target.path.size() + 1));
  return FileSystemError{EXDEV, refusal + shown + ": another volume is mounted there."};
}

}  // namespace

std::string percentEncoded(std::string_view bytes) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
                       byte == '~' || byte == '/';
    if (plain) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(hex[byte >> 4]);
      out.push_back(hex[byte & 0x0F]);
    }
  }
  return out;
}

std::string deletionDateText(Date date) {
  const std::time_t seconds =
      std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(date));
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
  return buffer;
}

std::string trashInfo(std::string_view originalPath, Date deletionDate) {
  return "[Trash Info]\nPath=" + percentEncoded(originalPath) +
         "\nDeletionDate=" + deletionDateText(deletionDate) + "\n";
}

std::optional<RemovalError> moveToVolumeTrash(const RemovalTarget& target, const std::string& top,
                                              Date deletionDate, const ReservationNote& reserved) {
  auto anchored = anchorTarget(target);
  if (auto* error = std::get_if<RemovalError>(&anchored)) return *error;
  const AnchoredItem& item = std::get<AnchoredItem>(anchored);
  if (auto refusal = mountInside(item, target)) return refusal;
  if (!PathRelation::isSameOrDescendant(target.path, top) || target.path == top) {
    return FileSystemError{EXDEV, "Could not move " + target.displayPath +
                                      " to the Trash: it is not inside " + top + "."};
  }
  return intoVolumeTrash(item, target, top, deletionDate, reserved);
}

std::optional<RemovalError> moveToTrash(const RemovalTarget& target, const std::string& homeTrash,
                                        Date deletionDate, const ReservationNote& reserved) {
  auto anchored = anchorTarget(target);
  if (auto* error = std::get_if<RemovalError>(&anchored)) return *error;
  const AnchoredItem& item = std::get<AnchoredItem>(anchored);
  if (auto refusal = mountInside(item, target)) return refusal;

  const auto homeDevice = deviceOfFolder(homeTrash);
  if (homeDevice && *homeDevice == item.status.st_dev) {
    int errorNumber = 0;
    auto bin = openHomeBin(homeTrash, errorNumber);
    if (!bin) {
      return FileSystemError{
          errorNumber, "Could not move " + target.displayPath + " to the Trash: the Trash folder " +
                           homeTrash + " cannot be used (" + std::strerror(errorNumber) + ")."};
    }
    MoveOutcome outcome = moveInto(item, *bin, target, deletionDate, reserved);
    if (!outcome.crossesDevice) return outcome.error;
  }
  // Another volume, or another mount of the same device: that volume's own Trash.
  return intoVolumeTrash(item, target, MountRoot::volumeTop(parentPath(target.path)), deletionDate,
                         reserved);
}

}  // namespace hl::FreedesktopTrash
