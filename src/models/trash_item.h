#pragma once

#include <cstdint>
#include <string>

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

  bool operator==(const TrashItem&) const = default;
};

}  // namespace hl
