#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/freedesktop_trash.h"

namespace hl::FreedesktopTrash {

// What a start made of the note of one record a removal cut short may have left.
struct NoteOutcome {
  enum class Kind {
    // The record was made for a move that never happened, and is gone now.
    withdrawn,
    // Nothing was done, and nothing is left to do: no such record, a record of a real move, or
    // one that is not the file noted.
    leftAlone,
    // The note names no record this program could have made: nothing was done.
    untrusted,
    // Its Trash folder is not there now (its volume is not mounted): to be tried again later.
    unreachable,
  };
  Kind kind = Kind::leftAlone;
  // Why the note is untrusted.
  std::string reason = {};
  bool operator==(const NoteOutcome&) const = default;
};

// Removes the record a note names when it was made for a move that never happened. A note is
// input, not fact: it is acted on only when its name is one plain file name and its Trash folder
// is one this program moves to (`homeTrash`, or ".Trash/UID" or ".Trash-UID" at the top of a
// mounted volume, reached without a link), the very folder noted. The record must be the user's
// own regular file and the very file noted (device, inode and origin) or, noted only before it
// was made, one dated no earlier than that note and no later than `ended`, a moment by which the
// removal that took the note had ended (its journal was free; on `fileClockCeiling`). Nothing of
// its name may be in "files/", and it must be empty or its item still at its place. Acts
// relative to the folder, without following a link.
NoteOutcome withdrawUnmoved(const Reservation& note, const std::string& homeTrash,
                            std::int64_t ended);

// Now, in nanoseconds since the epoch, on the clock the kernel dates new files with: at its
// coarsest, so that a file made after this moment is never dated before it; and at its finest,
// so that a file made before this moment is never dated after it.
std::int64_t fileClockFloor();
std::int64_t fileClockCeiling();

// Whether the item of a note stands in its Trash folder's "files/" under the noted name; none
// when that folder is not there, cannot be trusted or cannot be read.
std::optional<bool> reachedTheTrash(const Reservation& note, const std::string& homeTrash);

}  // namespace hl::FreedesktopTrash
