#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "models/removal_mode.h"
#include "services/removal/shown_items.h"
#include "utilities/time.h"
#include "utilities/uuid.h"

namespace hl {

// A removal waiting for the user's confirmation.
struct TrashPlan {
  UUID id;
  // Largest first.
  std::vector<CacheItem> items;
  // Wall clock; the confirmation measures the plan's age from it.
  Date createdAt;
  // Warning lines of the confirmation: items skipped as in use, applications that own items.
  std::vector<std::string> runningWarnings;
  RemovalMode mode = RemovalMode::trash;
  // What stood at the items' paths (each member of a row of several folders) when the plan was
  // made: the removal takes only what still stands there.
  ShownItems shown = {};

  // The items' sizes, an unmeasured size counting 0.
  std::int64_t totalSize() const;
  // Worktree items whose git state is anything but clean, in plan order.
  std::vector<CacheItem> unsafeWorktrees() const;
  // Clean worktree items their repository registers, whose removal lets git prune the record.
  std::vector<CacheItem> prunableWorktrees() const;

  bool operator==(const TrashPlan&) const = default;
};

}  // namespace hl
