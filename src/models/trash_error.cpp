#include "models/trash_error.h"

namespace hl {

std::string TrashError::description() const {
  switch (kind) {
    case Kind::readOnly: return "Nothing is moved to the Trash or deleted: " + text + ".";
    case Kind::protectedPath: return "Refusing to remove protected location " + text + ".";
    case Kind::outsideAllowedRoot:
      return "Refusing to remove " + text + ": it is not inside the folder it was found in.";
    case Kind::alreadyInTrash: return text + " is already in the Trash.";
    case Kind::missing: return text + " no longer exists.";
    case Kind::mountPoint:
      return "Refusing to remove " + text + ": another volume is mounted there.";
  }
  return text;
}

std::string describe(const RemovalError& error) {
  if (const auto* refusal = std::get_if<TrashError>(&error)) return refusal->description();
  if (const auto* skipped = std::get_if<StateChanged>(&error)) return skipped->description();
  return std::get<FileSystemError>(error).message;
}

}  // namespace hl
