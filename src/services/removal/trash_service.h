#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "models/removal_mode.h"
#include "models/trash_item.h"
#include "models/trash_result.h"
#include "platform/freedesktop_trash.h"
#include "services/removal/destructive_gate.h"
#include "services/removal/trash_guard.h"
#include "utilities/time.h"

namespace hl {

// The one place where items are moved to the Trash or deleted. Each item is checked by the
// guard immediately before it is acted on, one after another in the order given, and nothing
// at all happens while the read-only gate is closed. An item whose caller recorded what the
// user was shown is removed only while that is what stands there. Bytes are counted as freed
// only for items removed themselves, never for a link removed in an item's place.
class TrashService {
 public:
  // Called after each item, removed or not: (items done, items in total).
  using Progress = std::function<void(int done, int total)>;

  // `homeTrash`: the home Trash folder to move items into; absent, the user's own, read from
  // the environment at every call. `clock` gives the deletion dates written to the Trash.
  TrashService(std::string home, DestructiveGate gate,
               std::optional<std::string> homeTrash = std::nullopt,
               WallClock clock = systemWallClock());

  const TrashGuard& guardrail() const { return guardrail_; }
  const DestructiveGate& gate() const { return gate_; }

  // Blocks until every item has been handled; two calls on one service never interleave.
  // Never throws: every failure is in the result. `reserved` learns of each Trash record the
  // moment it is reserved, before its item is moved.
  TrashResult trash(const std::vector<TrashItem>& items, RemovalMode mode,
                    const Progress& progress = {},
                    const FreedesktopTrash::ReservationNote& reserved = {});

 private:
  const TrashGuard guardrail_;
  const DestructiveGate gate_;
  const std::optional<std::string> homeTrash_;
  const WallClock clock_;
  // Held for a whole call: one page's removals run one at a time.
  std::mutex running_;
};

}  // namespace hl
