// A removal request: nothing is removed at once. The items are checked again, those in use now
// are left out, and the rest becomes a plan the user confirms, no sooner than one second later.

#include <algorithm>

#include "models/owner_names.h"
#include "services/in_use/process_guard.h"
#include "utilities/uuid.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl {

bool CleanerViewModel::removalBusy() const {
  return isTrashing_ || isPreparingTrash_ || quickCleanConfirmed_;
}

void CleanerViewModel::refuseWhileBusy(TrashTrigger trigger) {
  activity_.log(ActivityEvent::Kind::error, refusedWhileRemoving(trigger));
}

void CleanerViewModel::requestTrash(std::optional<std::set<std::string>> ids) {
  assertOnGuiThread();
  Batch batch(*this);
  std::vector<CacheItem> items;
  if (ids) {
    for (const CacheItem& item : includedItems()) {
      if (ids->contains(item.id) && item.isSelectable()) items.push_back(item);
    }
  } else {
    items = checkedItems();
  }
  if (items.empty()) return;
  // One removal at a time: two would both act on the list and the progress.
  if (removalBusy()) {
    refuseWhileBusy(TrashTrigger::confirmationSheet);
    return;
  }
  assign(isPreparingTrash_, true, Input::isPreparingTrash);
  flows_.spawn(planRemoval(std::move(items)));
}

Flow<> CleanerViewModel::planRemoval(std::vector<CacheItem> items) {
  Flow<GuardRefresh> checking = refreshGuards(items);
  const GuardRefresh guard = co_await checking;
  std::vector<CacheItem> kept;
  for (const CacheItem& item : items) {
    if (!guard.inUse.contains(item.id)) kept.push_back(item);
  }
  std::vector<std::string> warnings = runningWarnings(kept, guard.running);
  if (!guard.inUse.empty()) {
    warnings.insert(warnings.begin(), std::to_string(guard.inUse.size()) +
                                          " item(s) skipped because they are in use right now.");
  }
  assign(isPreparingTrash_, false, Input::isPreparingTrash);

  if (const std::string* reason = guard.verification.unavailableReason()) {
    assign(resultMessage_,
           std::optional<std::string>("Nothing was trashed: cannot verify in-use state (" +
                                      *reason +
                                      "). Nothing is selectable until a rescan succeeds."),
           Input::resultMessage);
    co_return;
  }
  if (kept.empty()) {
    assign(resultMessage_,
           std::optional<std::string>("Nothing to remove: every selected item is in use right now."),
           Input::resultMessage);
    co_return;
  }
  std::stable_sort(kept.begin(), kept.end(), [](const CacheItem& a, const CacheItem& b) {
    return a.knownSize() > b.knownSize();
  });
  assign(pendingPlan_,
         std::optional<TrashPlan>(TrashPlan{UUID::random(), std::move(kept), wallClock_(),
                                            std::move(warnings), settings_.removalMode(),
                                            guard.seen}),
         Input::pendingPlan);
}

std::vector<std::string> CleanerViewModel::runningWarnings(const std::vector<CacheItem>& items,
                                                           const std::set<std::string>& running) {
  std::vector<std::string> lines;
  std::set<std::string> named;
  // A set of owner keys is already in ascending order.
  for (const std::string& owner : running) {
    std::vector<const CacheItem*> matched;
    for (const CacheItem& item : items) {
      if (std::find(item.owners.begin(), item.owners.end(), owner) != item.owners.end()) {
        matched.push_back(&item);
      }
    }
    if (matched.empty()) continue;
    const std::string name = ownerDisplayName(owner);
    if (!named.insert(name).second) continue;
    std::string line = name + " is running \u2014 " + matched[0]->name;
    if (matched.size() > 1) line += ", " + matched[1]->name;
    if (matched.size() > 2) line += " \u2026";
    lines.push_back(line + " may be recreated or locked");
  }
  return lines;
}

void CleanerViewModel::confirmTrash(TrashPlan plan, Date now) {
  assertOnGuiThread();
  Batch batch(*this);
  // The sheet arms its button after a second; an earlier confirmation is no confirmation.
  if (secondsBetween(plan.createdAt, now) < 1.0) return;
  if (removalBusy()) {
    refuseWhileBusy(TrashTrigger::confirmationSheet);
    return;
  }
  // Taken before the plan is cleared: the caller may hand in the pending plan itself.
  std::vector<CacheItem> items = plan.items;
  // Permanent only when both the plan and the setting as it is now say so.
  const RemovalMode mode = effectiveRemovalMode(plan.mode, settings_.removalMode());
  assign(pendingPlan_, std::optional<TrashPlan>{}, Input::pendingPlan);
  flows_.spawn(
      performTrash(std::move(items), TrashTrigger::confirmationSheet, mode, std::move(plan.shown)));
}

}  // namespace hl
