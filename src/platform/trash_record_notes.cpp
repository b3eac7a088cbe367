#include "platform/trash_record_notes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

#include "platform/mount_root.h"
#include "platform/removal_target.h"
#include "platform/unique_fd.h"
#include "utilities/path_canonical.h"

namespace hl::FreedesktopTrash {
namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kHundredth = 10'000'000;

using Kind = NoteOutcome::Kind;

NoteOutcome untrusted(std::string reason) { return {Kind::untrusted, std::move(reason)}; }

bool isPlainAbsolutePath(const std::string& path) {
  return !path.empty() && path.front() == '/' && path.find('\0') == std::string::npos &&
         PathCanonical::canonical(path) == path;
}

// Why `note` cannot name a record of this program, without looking at the disk.
std::optional<std::string> untrustedText(const Reservation& note) {
  const std::string& name = note.name;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos || name.size() + kInfoSuffix.size() > NAME_MAX) {
    return "its name is not one file name";
  }
  if (!isPlainAbsolutePath(note.trash)) return "its Trash folder is not a plain absolute path";
  if (!isPlainAbsolutePath(note.original)) return "its item is not a plain absolute path";
  return std::nullopt;
}

// The note's Trash folder, open: the home Trash (which may lie behind the user's own link, as
// when the record was made), or this user's Trash at the top of a mounted volume, and the very
// folder noted. A volume mounted again may come back under another device number: the folder is
// then known by its inode alone, and `sameDevice` says so. Else what the note comes to without
// it.
struct NotedTrash {
  UniqueFd folder;
  NoteOutcome outcome;
  bool sameDevice = true;
};

NotedTrash openNotedTrash(const Reservation& note, const std::string& homeTrash) {
  if (auto reason = untrustedText(note)) return {UniqueFd(), untrusted(*reason)};
  std::optional<std::string> top;
  const bool home = note.trash == PathCanonical::canonical(homeTrash);
  if (!home) {
    const std::string uid = std::to_string(::getuid());
    const std::string last = lastPathComponent(note.trash);
    const std::string parent = parentPath(note.trash);
    if (last == ".Trash-" + uid) {
      top = parent;
    } else if (last == uid && lastPathComponent(parent) == ".Trash") {
      top = parentPath(parent);
    } else {
      return {UniqueFd(), untrusted("its folder is no Trash folder of this user")};
    }
  }
  UniqueFd folder = home ? UniqueFd(::open(note.trash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC))
                         : openFolderWithoutLinks(note.trash);
  struct stat st {};
  if (!folder.valid() || ::fstat(folder.get(), &st) != 0) {
    // Not there now: a volume that is not mounted. Anything else is no Trash to act in.
    return {UniqueFd(), {errno == ENOENT ? Kind::unreachable : Kind::leftAlone}};
  }
  const bool sameDevice = static_cast<std::uint64_t>(st.st_dev) == note.folder.device;
  if (top && MountRoot::isMountRoot(*top) != true) {
    // Another file system's folder stands at its place: the noted volume is not mounted.
    if (!sameDevice) return {UniqueFd(), {Kind::unreachable}};
    return {UniqueFd(), untrusted("its Trash folder is not at the top of a mounted volume")};
  }
  // The folder was made anew since, or another volume is mounted there: nothing noted is in it.
  if (static_cast<std::uint64_t>(st.st_ino) != note.folder.inode) return {UniqueFd(), {}};
  return {std::move(folder), {}, sameDevice};
}

std::int64_t nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * kSecond + time.tv_nsec;
}

// Whether the record found is the file the note tells: the very file once it was made, or one
// dated no earlier than the note taken before it was made and no later than the removal ended.
// On a volume back under another device number, the very file is its inode and an origin that
// a reused number cannot fake (birth time or generation). File systems that keep coarser times
// than the clock get their step as slack: a hundredth of a second, or two seconds.
bool isNotedRecord(const Reservation& note, const SeenIdentity& found, const struct stat& st,
                   std::int64_t ended, bool sameDevice) {
  if (note.stage == Reservation::Stage::made) {
    if (!note.record || note.record->inode != found.object->inode) return false;
    if (sameDevice) {
      return note.record->device == found.object->device &&
             (!note.origin ||
              FileIdentity::isSameOriginApartFromChange(*note.origin, found.origin));
    }
    return note.origin && (note.origin->birth || note.origin->generation) &&
           FileIdentity::isSameOriginApartFromChange(*note.origin, found.origin);
  }
  if (note.noted == 0) return false;
  const std::int64_t dated = found.origin.birth ? *found.origin.birth : nanoseconds(st.st_ctim);
  const std::int64_t slack =
      dated % kSecond == 0 ? 2 * kSecond : (dated % kHundredth == 0 ? kHundredth : 0);
  return dated >= note.noted - slack && dated <= ended;
}

// Whether anything stands under `name` in the Trash folder's "files/"; none when it cannot be
// told.
std::optional<bool> inFiles(int trash, const std::string& name) {
  UniqueFd files(::openat(trash, "files", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!files.valid()) return errno == ENOENT ? std::optional(false) : std::nullopt;
  struct stat st {};
  if (::fstatat(files.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return true;
  return errno == ENOENT ? std::optional(false) : std::nullopt;
}

}  // namespace

std::int64_t fileClockFloor() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return nanoseconds(now);
}

std::int64_t fileClockCeiling() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return nanoseconds(now);
}

NoteOutcome withdrawUnmoved(const Reservation& note, const std::string& homeTrash,
                            std::int64_t ended) {
  if (note.stage == Reservation::Stage::notMade) return {};
  NotedTrash trash = openNotedTrash(note, homeTrash);
  if (!trash.folder.valid()) return trash.outcome;
  UniqueFd info(
      ::openat(trash.folder.get(), "info", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  const std::string record = note.name + std::string(kInfoSuffix);
  struct stat st {};
  if (!info.valid() || ::fstatat(info.get(), record.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return {};
  }
  // Root's Trash may hold records another user's program made there.
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return {};
  const SeenIdentity found = FileIdentity::seenAt(info.get(), record);
  if (!found.object || *found.object != FileIdentifier{static_cast<std::uint64_t>(st.st_dev),
                                                       static_cast<std::uint64_t>(st.st_ino)}) {
    return {};
  }
  if (!isNotedRecord(note, found, st, ended, trash.sameDevice)) return {};
  // The item reached the Trash when anything at all stands under its name in "files/".
  if (inFiles(trash.folder.get(), note.name) != false) return {};
  // A record written in full names an item that may have gone its own way since: it goes only
  // while the item still stands where it stood.
  struct stat original {};
  if (st.st_size != 0 && ::lstat(note.original.c_str(), &original) != 0) return {};
  if (::unlinkat(info.get(), record.c_str(), 0) != 0) return {};
  return {Kind::withdrawn};
}

std::optional<bool> reachedTheTrash(const Reservation& note, const std::string& homeTrash) {
  if (note.stage == Reservation::Stage::notMade) return false;
  NotedTrash trash = openNotedTrash(note, homeTrash);
  if (!trash.folder.valid()) return std::nullopt;
  return inFiles(trash.folder.get(), note.name);
}

}  // namespace hl::FreedesktopTrash
