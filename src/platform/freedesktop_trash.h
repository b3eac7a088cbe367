#pragma once

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

// A record reserved in a Trash's "info/" for an item about to be moved into its "files/": enough
// to find that very file again, and nothing else, should the move never have happened.
struct Reservation {
  // The Trash folder, holding "files/" and "info/", and its device and inode.
  std::string trash;
  FileIdentifier folder;
  // The item's name in "files/"; the record is "info/NAME.trashinfo".
  std::string name;
  // The record file's device and inode.
  FileIdentifier record;
  // Where the item stood.
  std::string original;
  bool operator==(const Reservation&) const = default;
};

// Told of each record as soon as it is reserved, before anything is written into it and before
// the item is moved.
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

// Removes a reserved record whose item never reached the Trash, as a move cut short leaves it:
// the record is still the file reserved, in the Trash folder it was reserved in, nothing of its
// name is in "files/", and it is empty or the item still stands at its place. Acts relative to
// that folder without following a link; anything else is left alone. Whether it was removed.
bool withdrawUnmoved(const Reservation& reservation);

// The contents of a ".trashinfo" record for an item that stood at `originalPath`.
std::string trashInfo(std::string_view originalPath, Date deletionDate);

// Every byte except letters, digits, "-", "_", ".", "~" and "/" written as "%XX", so that any
// name, valid UTF-8 or not, survives the record.
std::string percentEncoded(std::string_view bytes);

// The deletion date in local time, "YYYY-MM-DDThh:mm:ss", as the records keep it.
std::string deletionDateText(Date date);

}  // namespace FreedesktopTrash

}  // namespace hl
