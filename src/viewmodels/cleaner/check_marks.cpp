// Check marks: only items that may be removed can be ticked; every bulk operation changes the
// set in one step. Also the context menu's exclude, reveal and copy.

#include <algorithm>

#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/desktop_services.h"
#include "viewmodels/settings_store.h"

namespace hl {

bool CleanerViewModel::isSafe(const CacheItem& item, Date now) const {
  // Moderate items are never safe here, whatever Quick Clean's setting says.
  return item.isAutoTickable(false, now);
}

bool CleanerViewModel::isChecked(const std::string& id) const {
  assertOnGuiThread();
  if (!checked_.contains(id)) return false;
  const CacheItem* found = itemPointer(id);
  return found && found->isSelectable();
}

void CleanerViewModel::setChecked(const std::string& id, bool isChecked) {
  assertOnGuiThread();
  const CacheItem* found = itemPointer(id);
  if (!found || !found->isSelectable()) return;
  Batch batch(*this);
  std::set<std::string> next = checked_;
  if (isChecked) {
    next.insert(id);
  } else {
    next.erase(id);
  }
  assignChecked(std::move(next));
}

void CleanerViewModel::setChecked(const std::string& id, bool isChecked, bool extendingRange) {
  assertOnGuiThread();
  const CacheItem* found = itemPointer(id);
  if (!found || !found->isSelectable()) return;
  Batch batch(*this);
  const std::vector<const CacheItem*> visible = visibleList();
  const auto position = [&](const std::string& wanted) {
    return std::find_if(visible.begin(), visible.end(),
                        [&](const CacheItem* item) { return item->id == wanted; });
  };
  const auto anchor = checkAnchor_ ? position(*checkAnchor_) : visible.end();
  const auto clicked = position(id);
  if (!extendingRange || anchor == visible.end() || clicked == visible.end()) {
    setChecked(id, isChecked);
    checkAnchor_ = id;
    return;
  }
  // The clicked row's new state applies to the whole range; rows that cannot be ticked are
  // skipped.
  const auto [first, last] = std::minmax(anchor, clicked);
  std::set<std::string> next = checked_;
  for (auto it = first; it <= last; ++it) {
    if (!(*it)->isSelectable()) continue;
    if (isChecked) {
      next.insert((*it)->id);
    } else {
      next.erase((*it)->id);
    }
  }
  assignChecked(std::move(next));
  checkAnchor_ = id;
}

std::vector<std::string> CleanerViewModel::selectableVisibleIDs() const {
  assertOnGuiThread();
  std::vector<std::string> ids;
  for (const CacheItem* item : visibleList()) {
    if (item->isSelectable()) ids.push_back(item->id);
  }
  return ids;
}

CleanerViewModel::BulkCheckState CleanerViewModel::visibleCheckState() const {
  assertOnGuiThread();
  std::size_t selectable = 0;
  std::size_t ticked = 0;
  for (const CacheItem* item : visibleList()) {
    if (!item->isSelectable()) continue;
    ++selectable;
    if (checked_.contains(item->id)) ++ticked;
  }
  if (ticked == 0) return BulkCheckState::none;
  return ticked == selectable ? BulkCheckState::all : BulkCheckState::mixed;
}

bool CleanerViewModel::canSelectAllVisible() const {
  assertOnGuiThread();
  const std::vector<const CacheItem*> visible = visibleList();
  return std::any_of(visible.begin(), visible.end(), [&](const CacheItem* item) {
    return item->isSelectable() && !checked_.contains(item->id);
  });
}

void CleanerViewModel::selectAllVisible() {
  assertOnGuiThread();
  Batch batch(*this);
  std::set<std::string> next = checked_;
  for (const std::string& id : selectableVisibleIDs()) next.insert(id);
  assignChecked(std::move(next));
  checkAnchor_.reset();
}

void CleanerViewModel::deselectAll() {
  assertOnGuiThread();
  Batch batch(*this);
  std::set<std::string> next = checked_;
  for (const CacheItem* item : visibleList()) next.erase(item->id);
  assignChecked(std::move(next));
  checkAnchor_.reset();
}

void CleanerViewModel::toggleAllVisible() {
  assertOnGuiThread();
  if (visibleCheckState() == BulkCheckState::all) {
    deselectAll();
  } else {
    selectAllVisible();
  }
}

bool CleanerViewModel::canSelectSafe() const {
  assertOnGuiThread();
  const std::vector<const CacheItem*> visible = visibleList();
  const Date now = wallClock_();
  return std::any_of(visible.begin(), visible.end(), [&](const CacheItem* item) {
    return isSafe(*item, now) && !checked_.contains(item->id);
  });
}

void CleanerViewModel::selectAllSafe() {
  assertOnGuiThread();
  Batch batch(*this);
  std::set<std::string> next = checked_;
  const Date now = wallClock_();
  for (const CacheItem* item : visibleList()) {
    if (isSafe(*item, now)) next.insert(item->id);
  }
  assignChecked(std::move(next));
}

bool CleanerViewModel::canDeselect() const {
  assertOnGuiThread();
  const std::vector<const CacheItem*> visible = visibleList();
  return std::any_of(visible.begin(), visible.end(),
                     [&](const CacheItem* item) { return checked_.contains(item->id); });
}

void CleanerViewModel::selectAllReclaimable() {
  assertOnGuiThread();
  Batch batch(*this);
  assign(selectedGroup_, std::optional<CacheGroup>{}, Input::selectedGroup);
  std::set<std::string> safe;
  const Date now = wallClock_();
  for (const CacheItem& item : includedItems()) {
    if (isSafe(item, now)) safe.insert(item.id);
  }
  assignChecked(std::move(safe));
}

void CleanerViewModel::exclude(const std::set<std::string>& ids) {
  assertOnGuiThread();
  Batch batch(*this);
  // Rows that stand for something other than a folder never reach the exclusion list.
  std::set<std::string> paths;
  for (const std::string& id : ids) {
    if (!id.starts_with("virtual:")) paths.insert(id);
  }
  settings_.exclude(paths);
  withdraw(ids);
  activity_.log(ActivityEvent::Kind::scan, "Excluded " + std::to_string(ids.size()) + " path(s)");
}

void CleanerViewModel::revealInFinder(const std::vector<std::string>& ids) {
  assertOnGuiThread();
  std::vector<std::string> urls;
  for (const std::string& id : ids) {
    const CacheItem* found = itemPointer(id);
    // The item's own location, not its members; virtual rows have none.
    if (found && found->kind == ItemKind::path) urls.push_back(found->url);
  }
  if (urls.empty() || !dependencies_.desktop) return;
  revealReportingFailures(*dependencies_.desktop, urls, activity_);
}

void CleanerViewModel::revealInFinder(const std::set<std::string>& ids) {
  revealInFinder(std::vector<std::string>(ids.begin(), ids.end()));
}

void CleanerViewModel::copyPaths(const std::set<std::string>& ids) {
  assertOnGuiThread();
  std::vector<std::string> paths;
  for (const std::string& id : ids) {
    const CacheItem* found = itemPointer(id);
    if (!found || found->kind != ItemKind::path) continue;
    for (const std::string& url : found->targetURLs()) paths.push_back(cleanPath(url));
  }
  std::sort(paths.begin(), paths.end());
  std::string text;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (i > 0) text += '\n';
    text += paths[i];
  }
  // Also an empty text: the clipboard then holds nothing stale.
  if (dependencies_.desktop) dependencies_.desktop->copyText(text);
}

void CleanerViewModel::openFullDiskAccessSettings() {
  if (dependencies_.desktop) dependencies_.desktop->openURL(std::string(FullDiskAccess::settingsURL));
}

}  // namespace hl
