#pragma once

#include <optional>

#include "models/trash_error.h"
#include "platform/removal_target.h"

namespace hl {

// Deletes a judged item at once. A symbolic link is unlinked, never followed; a folder is
// emptied through descriptors opened without following links and never into another mount.
namespace PermanentRemover {

// None when the item is gone. Otherwise why not: the item changed after it was checked (left
// alone), or what inside it could not be deleted (the rest is deleted; nothing is retried).
std::optional<RemovalError> remove(const RemovalTarget& target);

}  // namespace PermanentRemover

}  // namespace hl
