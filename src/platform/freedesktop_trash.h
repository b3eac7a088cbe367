#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "models/trash_error.h"
#include "platform/removal_target.h"
#include "utilities/file_identity.h"
#include "utilities/time.h"

namespace hl {

// Our mover for the freedesktop Trash, so that any freedesktop Trash client can restore what
// it moved. The record in "info/" is reserved first and the item then renamed into "files/"
// relative to its own folder; an item that cannot be moved is never deleted instead.
namespace FreedesktopTrash {

// A note of one record in a Trash's "info/" for an item about to be moved into its "files/":
// enough to find that very file again, and nothing else, should the move never have happened. The
// mover takes one note before it tries to make the record and one once it knows the outcome, so
// that a record made by a move cut short at any moment is noted before it exists.
struct Reservation {
  enum class Stage {
    // The record is about to be made under `name`: taken, and on disk, before the record is.
    aboutToMake,
    // The record was made: `record` and `origin` tell that very file.
    made,
    // The name was taken by another record, or the record could not be made.
    notMade,
  };
  Stage stage = Stage::made;
  // The Trash folder, holding "files/" and "info/", and its device and inode.
  std::string trash;
  FileIdentifier folder;
  // The item's name in "files/"; the record is "info/NAME.trashinfo".
  std::string name;
  // Where the item stood.
  std::string original;
  // When the note before the record was taken, in nanoseconds since the epoch on the clock file
  // times are taken from; 0 when unknown (notes of older builds).
  std::int64_t noted = 0;
  // Once made: the record file's device and inode, and its origin (birth time, or generation,
  // where the file system keeps one); no origin in notes of older builds.
  std::optional<FileIdentifier> record = std::nullopt;
  std::optional<ObjectOrigin> origin = std::nullopt;
  bool operator==(const Reservation&) const = default;
};

// Told of each record before it is made and again once it is made or not, before anything is
// written into it and before the item is moved. A note about to be made must be on disk when it
// returns.
using ReservationNote = std::function<void(const Reservation&)>;

// Moves a judged item into the Trash of its volume: `homeTrash` when the item is on that
// Trash's device, else the user's Trash at the top of the item's own volume. None on success.
std::optional<RemovalError> moveToTrash(const RemovalTarget& target, const std::string& homeTrash,
                                        Date deletionDate, const ReservationNote& reserved = {});

// Moves a judged item into the user's Trash at the top of the volume `top`: "top/.Trash/UID"
// when "top/.Trash" is a real folder with the sticky bit and that folder is usable, else
// "top/.Trash-UID". The original path is recorded relative to `top`.
std::optional<RemovalError> moveToVolumeTrash(const RemovalTarget& target, const std::string& top,
                                              Date deletionDate,
                                              const ReservationNote& reserved = {});

// The contents of a ".trashinfo" record for an item that stood at `originalPath`.
std::string trashInfo(std::string_view originalPath, Date deletionDate);

// Every byte except letters, digits, "-", "_", ".", "~" and "/" written as "%XX", so that any
// name, valid UTF-8 or not, survives the record.
std::string percentEncoded(std::string_view bytes);

// The deletion date in local time, "YYYY-MM-DDThh:mm:ss", as the records keep it.
std::string deletionDateText(Date date);

}  // namespace FreedesktopTrash

}  // namespace hl
