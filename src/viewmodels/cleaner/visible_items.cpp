// The lists and totals everything reads: the items without the excluded paths (the one cached
// value), the selected group in display order, and the sums shown beside them. An unmeasured
// size counts 0 in every total.

#include <algorithm>

#include "services/discovery/cache_catalog.h"
#include "utilities/byte_formatting.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl {
namespace {

std::int64_t sumOfSizes(const std::vector<CacheItem>& items) {
  std::int64_t total = 0;
  for (const CacheItem& item : items) total += item.knownSize();
  return total;
}

}  // namespace

const std::vector<CacheItem>& CleanerViewModel::includedItems() const {
  assertOnGuiThread();
  const std::vector<std::string>& exclusions = settings_.excludedPaths();
  // Nothing excluded: the list itself, without a copy.
  if (exclusions.empty()) return items_;
  if (includedCache_ && includedCache_->revision == itemsRevision_ &&
      includedCache_->exclusions == exclusions) {
    return includedCache_->value;
  }
  includedCache_ = IncludedCache{itemsRevision_, exclusions, settings_.exclusions().filter(items_)};
  return includedCache_->value;
}

std::vector<const CacheItem*> CleanerViewModel::visibleList() const {
  const Date now = wallClock_();
  std::vector<const CacheItem*> visible;
  const std::vector<CacheItem>& included = includedItems();
  visible.reserve(selectedGroup_ ? included.size() / 4 : included.size());
  for (const CacheItem& item : included) {
    if (selectedGroup_ && item.group != *selectedGroup_) continue;
    if (selectedGroup_ == CacheGroup::projects && hiddenByStaleFilter(item, now)) continue;
    visible.push_back(&item);
  }
  if (selectedGroup_ == CacheGroup::projects) {
    // Old and large first: age in days times size.
    std::vector<std::pair<double, const CacheItem*>> scored;
    scored.reserve(visible.size());
    for (const CacheItem* item : visible) {
      scored.emplace_back(item->staleDays(now) * static_cast<double>(item->knownSize()), item);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 0; i < scored.size(); ++i) visible[i] = scored[i].second;
    return visible;
  }
  // Unmeasured items follow every measured one, 0-byte items included.
  std::stable_sort(visible.begin(), visible.end(), [](const CacheItem* a, const CacheItem* b) {
    return a->size.value_or(-1) > b->size.value_or(-1);
  });
  return visible;
}

bool CleanerViewModel::hiddenByStaleFilter(const CacheItem& item, Date now) const {
  return item.group == CacheGroup::projects && !showAllProjects_ && !item.isStale(now);
}

bool CleanerViewModel::staleFilterHides(const CacheItem& item) const {
  assertOnGuiThread();
  return hiddenByStaleFilter(item, wallClock_());
}

bool CleanerViewModel::staleFilterHidesEveryProject() const {
  assertOnGuiThread();
  if (selectedGroup_ != CacheGroup::projects || showAllProjects_ || !visibleList().empty()) {
    return false;
  }
  const std::vector<CacheItem>& included = includedItems();
  return std::any_of(included.begin(), included.end(),
                     [](const CacheItem& item) { return item.group == CacheGroup::projects; });
}

std::vector<CacheItem> CleanerViewModel::visibleItems() const {
  assertOnGuiThread();
  std::vector<CacheItem> visible;
  const std::vector<const CacheItem*> list = visibleList();
  visible.reserve(list.size());
  for (const CacheItem* item : list) visible.push_back(*item);
  return visible;
}

std::vector<std::string> CleanerViewModel::visibleIDs() const {
  assertOnGuiThread();
  std::vector<std::string> ids;
  const std::vector<const CacheItem*> list = visibleList();
  ids.reserve(list.size());
  for (const CacheItem* item : list) ids.push_back(item->id);
  return ids;
}

std::int64_t CleanerViewModel::largestVisibleSize() const {
  assertOnGuiThread();
  const std::vector<const CacheItem*> visible = visibleList();
  return visible.empty() ? 0 : visible.front()->knownSize();
}

std::vector<CacheGroup> CleanerViewModel::sidebarGroups() const {
  assertOnGuiThread();
  const std::vector<CacheItem>& included = includedItems();
  const auto holdsItem = [&](CacheGroup group) {
    return std::any_of(included.begin(), included.end(),
                       [group](const CacheItem& item) { return item.group == group; });
  };
  std::vector<CacheGroup> groups;
  for (CacheGroup group : allCacheGroups) {
    if (group == CacheGroup::custom && settings_.extraPaths().empty()) continue;
    // A group that only macOS fills: its row would stay empty here unless this home has such a
    // folder. A chosen row does not vanish under the user when its last item goes.
    if (CacheCatalog::coversOnlyMacLocations(group) && selectedGroup_ != group &&
        !holdsItem(group)) {
      continue;
    }
    groups.push_back(group);
  }
  return groups;
}

std::vector<std::string> CleanerViewModel::coveredPaths(CacheGroup group) const {
  return CacheCatalog::coveredPaths(group, settings_.extraPaths(), home_, includedItems());
}

std::int64_t CleanerViewModel::totalSize(std::optional<CacheGroup> group) const {
  assertOnGuiThread();
  std::int64_t total = 0;
  for (const CacheItem& item : includedItems()) {
    if (!group || item.group == *group) total += item.knownSize();
  }
  return total;
}

bool CleanerViewModel::isApproximate(std::optional<CacheGroup> group) const {
  assertOnGuiThread();
  const std::vector<CacheItem>& included = includedItems();
  return std::any_of(included.begin(), included.end(), [&](const CacheItem& item) {
    return (!group || item.group == *group) && item.isApproximate;
  });
}

std::string CleanerViewModel::sizeText(std::optional<CacheGroup> group) const {
  assertOnGuiThread();
  if (!group) return approximate(totalSize(std::nullopt));
  bool any = false;
  bool allUnreadable = true;
  for (const CacheItem& item : includedItems()) {
    if (item.group != *group) continue;
    any = true;
    allUnreadable = allUnreadable && item.isUnreadable;
  }
  if (any && allUnreadable) return "No access";
  if (any && *group == CacheGroup::trash && fullDiskAccess_ == FullDiskAccess::Status::denied) {
    return "No access";
  }
  return approximate(totalSize(group));
}

std::int64_t CleanerViewModel::totalSelectable() const {
  assertOnGuiThread();
  std::int64_t total = 0;
  for (const CacheItem& item : includedItems()) {
    if (item.isSelectable()) total += item.knownSize();
  }
  return total;
}

std::int64_t CleanerViewModel::totalFound() const {
  assertOnGuiThread();
  return totalSize(std::nullopt);
}

std::string CleanerViewModel::headlineText(std::optional<CacheGroup> group) const {
  assertOnGuiThread();
  // No caller names a group; for one, the reclaimable part of that group.
  if (!group) return approximate(totalSelectable());
  std::int64_t total = 0;
  for (const CacheItem& item : includedItems()) {
    if (item.group == *group && item.isSelectable()) total += item.knownSize();
  }
  return approximate(total);
}

std::vector<CacheItem> CleanerViewModel::checkedItems() const {
  assertOnGuiThread();
  std::vector<CacheItem> ticked;
  if (checked_.empty()) return ticked;
  for (const CacheItem& item : includedItems()) {
    if (checked_.contains(item.id) && item.isSelectable()) ticked.push_back(item);
  }
  return ticked;
}

std::int64_t CleanerViewModel::checkedSize() const {
  assertOnGuiThread();
  return sumOfSizes(checkedItems());
}

std::vector<CacheItem> CleanerViewModel::largestItems() const {
  assertOnGuiThread();
  std::vector<CacheItem> selectable;
  for (const CacheItem& item : includedItems()) {
    if (item.isSelectable()) selectable.push_back(item);
  }
  std::stable_sort(selectable.begin(), selectable.end(), [](const CacheItem& a, const CacheItem& b) {
    return a.knownSize() > b.knownSize();
  });
  if (selectable.size() > 5) selectable.resize(5);
  return selectable;
}

std::string CleanerViewModel::approximate(std::int64_t bytes) {
  return ByteFormatting::string(bytes < 0 ? 0 : bytes, true);
}

std::optional<CacheItem> CleanerViewModel::item(const std::string& id) const {
  assertOnGuiThread();
  const CacheItem* found = itemPointer(id);
  if (!found) return std::nullopt;
  return *found;
}

}  // namespace hl
