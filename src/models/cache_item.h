#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "models/cache_group.h"
#include "models/guard_rule.h"
#include "models/item_kind.h"
#include "models/native_action.h"
#include "models/risk_level.h"
#include "models/worktree_info.h"
#include "utilities/time.h"

namespace hl {

// The arguments of a new item. Absent optionals take their path-derived defaults: id = the
// canonical path of `url`, name = its last component, subtitle = its path abbreviated against
// `home`, discoveryRoot = `url`.
struct CacheItemInit {
  std::string url;
  std::optional<std::string> id;
  std::optional<std::string> name;
  std::optional<std::string> subtitle;
  CacheGroup group = CacheGroup::custom;
  RiskLevel risk = RiskLevel::moderate;
  ItemKind kind = ItemKind::path;
  bool isReportOnly = false;
  std::optional<std::string> discoveryRoot;
  std::optional<Date> modified;
  std::optional<WorktreeInfo> worktree;
  std::vector<std::string> owners;
  std::optional<NativeAction> action;
  std::string home;
};

// One reclaimable item of a scan.
struct CacheItem {
  CacheItem() = default;
  explicit CacheItem(CacheItemInit init);

  // Fixed at creation.
  std::string id;  // canonical path, or "virtual:…" / "aggregate:…" for synthetic rows
  std::string url;
  std::string name;
  std::string subtitle;
  CacheGroup group = CacheGroup::custom;
  RiskLevel risk = RiskLevel::moderate;
  ItemKind kind = ItemKind::path;
  bool isReportOnly = false;
  std::string discoveryRoot;
  std::optional<Date> modified;
  // Updated as the scan reports on the item.
  std::optional<WorktreeInfo> worktree;
  std::vector<std::string> owners;
  std::optional<NativeAction> action;
  bool keepNewest = false;
  std::vector<std::string> members;
  std::optional<Date> projectModified;
  std::optional<std::string> inUseReason;
  std::optional<GuardRule> guardRule;
  std::optional<std::string> runningOwner;
  std::optional<std::int64_t> size;
  std::int64_t fileCount = 0;
  bool isUnreadable = false;
  std::optional<Date> newestModification;
  bool isApproximate = false;

  // May the user tick the item.
  bool isSelectable() const;
  // The folders that stand for the item: its members, else its own location.
  std::vector<std::string> targetURLs() const;
  // A worktree item whose git root is unknown or is not the item's own folder.
  bool hasNestedGitRoot() const;
  // Is the item ticked automatically ("Select all safe" passes false, Quick Clean its setting).
  bool isAutoTickable(bool includeModerate, Date now) const;
  bool isRecent(Date now) const;
  bool isStale(Date now) const;
  double staleDays(Date now) const;
  // The measured size, or 0 while unmeasured.
  std::int64_t knownSize() const { return size.value_or(0); }

  bool isVirtualRow() const;

  bool operator==(const CacheItem&) const = default;

 private:
  std::optional<Date> staleReference() const;
};

}  // namespace hl
