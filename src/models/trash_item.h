#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "utilities/file_identity.h"

namespace hl {

// One item to remove, with the folder it was found in.
struct TrashItem {
  std::string url;
  std::int64_t size = 0;
  // The item must lie inside this folder.
  std::string allowedRoot;
  // Whether the item may be `allowedRoot` itself.
  bool allowRootItself = false;
  // The caller verified the shell-snapshot rule, so the agent's shell-snapshot folder is not
  // forbidden for this item.
  bool shellSnapshotRuleVerified = false;
  // What stood at `url` when the user was shown the item. Anything else found there now is
  // another item: it is left alone and fails as changed. None: the caller recorded nothing,
  // and only the guard's own checks apply.
  std::optional<SeenIdentity> shown = std::nullopt;

  bool operator==(const TrashItem&) const = default;
};

}  // namespace hl
