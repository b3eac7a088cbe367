#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "models/cache_group.h"
#include "models/cache_item.h"
#include "models/directory_measurement.h"
#include "models/tool_environment.h"
#include "models/worktree_status.h"
#include "services/in_use/in_use_evaluation.h"
#include "utilities/time.h"

namespace hl {

// One report from a running cache scan. A scan reports, in this order: the tools, the
// discovered items, the running owners and the in-use evaluation, the worktrees' git states,
// sizes interleaved with finished groups, the rows only system commands know of, and the end.
class CacheScanEvent {
 public:
  // The kinds, in declaration order; the raw value is the kind's name.
  enum class Kind {
    discovered,
    added,
    itemSized,
    groupFinished,
    worktreeStatus,
    runningOwners,
    inUse,
    toolsResolved,
    finished,
  };

  // Every discovered item, in discovery order, with discovery's notes for the user.
  struct Discovered {
    std::vector<CacheItem> items;
    std::vector<std::string> notes;
    bool operator==(const Discovered&) const = default;
  };
  // The rows only system commands can tell (possibly none).
  struct Added {
    std::vector<CacheItem> items;
    bool operator==(const Added&) const = default;
  };
  struct ItemSized {
    std::string id;
    DirectoryMeasurement measurement;
    bool operator==(const ItemSized&) const = default;
  };
  // The last item of the group that has items in this scan got its size.
  struct GroupFinished {
    CacheGroup group = CacheGroup::custom;
    bool operator==(const GroupFinished&) const = default;
  };
  struct WorktreeStatus {
    std::string id;
    hl::WorktreeStatus status;
    bool operator==(const WorktreeStatus&) const = default;
  };
  // The owner keys found running.
  struct RunningOwners {
    std::set<std::string> owners;
    bool operator==(const RunningOwners&) const = default;
  };
  struct InUse {
    InUseEvaluation evaluation;
    bool operator==(const InUse&) const = default;
  };
  struct ToolsResolved {
    ToolEnvironment environment;
    bool operator==(const ToolsResolved&) const = default;
  };
  // The scan ran to its end; the time it took on a monotonic clock.
  struct Finished {
    Seconds duration{0};
    bool operator==(const Finished&) const = default;
  };

  // Alternatives in the order of `Kind`.
  using Value = std::variant<Discovered, Added, ItemSized, GroupFinished, WorktreeStatus,
                             RunningOwners, InUse, ToolsResolved, Finished>;

  CacheScanEvent(Value value) : value_(std::move(value)) {}  // NOLINT: implicit by design

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  const Value& value() const { return value_; }
  // For a consumer that takes the payload over.
  Value& value() { return value_; }
  // The payload when the event is of that kind.
  template <typename T>
  const T* get() const {
    return std::get_if<T>(&value_);
  }

  // The item the event is about (itemSized, worktreeStatus); none for the others.
  std::optional<std::string> itemId() const;

  bool operator==(const CacheScanEvent&) const = default;

 private:
  Value value_;
};

// The kind's name: "discovered", "itemSized", …
std::string_view rawValue(CacheScanEvent::Kind kind);

}  // namespace hl
