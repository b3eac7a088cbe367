// Quick Clean: the safe candidates removed in two steps from the tray. Arming checks the in-use
// state and offers a confirmation that counts after one second and lapses after five; the
// confirmation checks once more and runs the common removal.

#include <algorithm>
#include <chrono>
#include <map>
#include <utility>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl {

const std::string* runningOwnerOf(const CacheItem& item, const std::set<std::string>& running) {
  const auto owner = std::find_if(item.owners.begin(), item.owners.end(),
                                  [&](const std::string& key) { return running.contains(key); });
  return owner == item.owners.end() ? nullptr : &*owner;
}

namespace {

using namespace std::chrono_literals;

constexpr auto kConfirmationDelay = 1s;
constexpr auto kConfirmationLapse = 5s;

// Neither in use nor owned by a process that runs now.
std::vector<CacheItem> freeOf(const std::vector<CacheItem>& items,
                              const std::map<std::string, std::string>& inUse,
                              const std::set<std::string>& running) {
  std::vector<CacheItem> kept;
  for (const CacheItem& item : items) {
    if (inUse.contains(item.id) || runningOwnerOf(item, running)) continue;
    kept.push_back(item);
  }
  return kept;
}

std::int64_t sizeOf(const std::vector<CacheItem>& items) {
  std::int64_t total = 0;
  for (const CacheItem& item : items) total += item.knownSize();
  return total;
}

std::string cannotVerify(const std::string& reason) {
  return "Nothing cleaned: cannot verify in-use state (" + reason + ").";
}

}  // namespace

std::vector<CacheItem> CleanerViewModel::quickCleanCandidates() const {
  assertOnGuiThread();
  const Date now = wallClock_();
  const bool moderate = settings_.quickCleanIncludesModerate();
  std::vector<CacheItem> candidates;
  for (const CacheItem& item : includedItems()) {
    if (item.isAutoTickable(moderate, now)) candidates.push_back(item);
  }
  return candidates;
}

std::int64_t CleanerViewModel::quickCleanSize() const {
  assertOnGuiThread();
  return sizeOf(quickCleanCandidates());
}

std::vector<CleanerViewModel::GroupSize> CleanerViewModel::quickCleanByGroup() const {
  assertOnGuiThread();
  std::map<CacheGroup, std::int64_t> sizes;
  for (const CacheItem& item : quickCleanCandidates()) sizes[item.group] += item.knownSize();
  std::vector<GroupSize> groups;
  for (const auto& [group, size] : sizes) groups.push_back({group, size});
  // Equal sizes keep the groups' declared order.
  std::stable_sort(groups.begin(), groups.end(),
                   [](const GroupSize& a, const GroupSize& b) { return a.size > b.size; });
  return groups;
}

int CleanerViewModel::inUseSkippedCount() const {
  assertOnGuiThread();
  const Date now = wallClock_();
  const bool moderate = settings_.quickCleanIncludesModerate();
  int count = 0;
  for (const CacheItem& item : includedItems()) {
    if (!item.inUseReason && !item.runningOwner) continue;
    CacheItem unused = item;
    unused.inUseReason.reset();
    unused.runningOwner.reset();
    if (unused.isAutoTickable(moderate, now)) ++count;
  }
  return count;
}

void CleanerViewModel::selectQuickCleanCandidates() {
  assertOnGuiThread();
  Batch batch(*this);
  assign(selectedGroup_, std::optional<CacheGroup>{}, Input::selectedGroup);
  assign(tab_, HomeTab::items, Input::tab);
  std::set<std::string> ids;
  for (const CacheItem& item : quickCleanCandidates()) ids.insert(item.id);
  assignChecked(std::move(ids));
}

void CleanerViewModel::armQuickClean() {
  assertOnGuiThread();
  Batch batch(*this);
  if (!quickClean_.done() && !quickClean_.isIdle()) return;
  if (removalBusy()) {
    refuseWhileBusy(TrashTrigger::quickClean);
    return;
  }
  assign(quickClean_, QuickCleanState::idle(), Input::quickClean);
  std::vector<CacheItem> candidates = quickCleanCandidates();
  if (candidates.empty()) return;
  if (!verification_.isVerified()) return;
  if (isReadOnly()) return;

  assign(quickClean_, QuickCleanState::preparing(), Input::quickClean);
  assign(quickCleanMode_, settings_.removalMode(), Input::quickCleanMode);
  const std::uint64_t token = ++quickCleanToken_;
  // Items already held back, counted before the check below marks the candidates it drops, so
  // that those are not counted twice.
  const int heldBefore = inUseSkippedCount();
  flows_.spawn(prepareQuickClean(std::move(candidates), token, heldBefore));
}

Flow<> CleanerViewModel::prepareQuickClean(std::vector<CacheItem> candidates,
                                           std::uint64_t token, int heldBefore) {
  Flow<GuardRefresh> checking = refreshGuards(candidates);
  const GuardRefresh guard = co_await checking;
  const std::vector<CacheItem> kept = freeOf(candidates, guard.inUse, guard.running);
  // Overtaken by a cancel, a new arming or a confirmation.
  if (quickCleanToken_ != token || !quickClean_.isPreparing()) co_return;
  if (const std::string* reason = guard.verification.unavailableReason()) {
    assign(quickClean_, QuickCleanState::done(cannotVerify(*reason)), Input::quickClean);
    co_return;
  }
  std::vector<std::string> ids;
  for (const CacheItem& item : kept) ids.push_back(item.id);
  const int dropped = static_cast<int>(candidates.size() - kept.size());
  assign(quickClean_, QuickCleanState::confirming(std::move(ids), sizeOf(kept), dropped + heldBefore),
         Input::quickClean);
  quickCleanShown_ = guard.seen;
  quickCleanConfirmableAt_ = wallClock_() + kConfirmationDelay;

  SleepWait lapse(*this, kConfirmationLapse);
  co_await lapse;
  if (quickCleanToken_ == token && quickClean_.confirming()) {
    assign(quickClean_, QuickCleanState::idle(), Input::quickClean);
  }
}

void CleanerViewModel::confirmQuickClean(Date now) {
  assertOnGuiThread();
  Batch batch(*this);
  const QuickCleanState::Confirming* confirming = quickClean_.confirming();
  if (!confirming) return;
  if (now < quickCleanConfirmableAt_) return;
  if (removalBusy()) {
    refuseWhileBusy(TrashTrigger::quickClean);
    return;
  }
  quickCleanConfirmableAt_ = Date::max();
  ++quickCleanToken_;  // the five-second lapse no longer applies

  const std::set<std::string> ids(confirming->ids.begin(), confirming->ids.end());
  const int skipped = confirming->skippedForProcesses;
  const Date current = wallClock_();
  const bool moderate = settings_.quickCleanIncludesModerate();
  std::vector<CacheItem> items;
  for (const CacheItem& item : includedItems()) {
    if (ids.contains(item.id) && item.isAutoTickable(moderate, current)) items.push_back(item);
  }
  if (items.empty()) {
    assign(quickClean_, QuickCleanState::idle(), Input::quickClean);
    return;
  }
  assign(quickClean_, QuickCleanState::running(), Input::quickClean);
  setQuickCleanConfirmed(true);
  flows_.spawn(runQuickClean(std::move(items), quickCleanMode_, skipped,
                             std::exchange(quickCleanShown_, {})));
}

Flow<> CleanerViewModel::runQuickClean(std::vector<CacheItem> items, RemovalMode confirmedMode,
                                       int skipped, ShownItems shown) {
  // Every way out of this flow ends the confirmed Quick Clean.
  struct Ending {
    CleanerViewModel& model;
    ~Ending() { model.setQuickCleanConfirmed(false); }
  } ending{*this};
  Flow<GuardRefresh> checking = refreshGuards(items);
  const GuardRefresh guard = co_await checking;
  const std::vector<CacheItem> kept = freeOf(items, guard.inUse, guard.running);
  if (const std::string* reason = guard.verification.unavailableReason()) {
    assign(quickClean_, QuickCleanState::done(cannotVerify(*reason)), Input::quickClean);
    co_return;
  }
  if (kept.empty()) {
    assign(quickClean_,
           QuickCleanState::done("Nothing cleaned: every item became in use or its app started."),
           Input::quickClean);
    co_return;
  }
  const RemovalMode mode = effectiveRemovalMode(confirmedMode, settings_.removalMode());
  Flow<RemovalOutcome> removal = performTrash(kept, TrashTrigger::quickClean, mode, std::move(shown));
  const RemovalOutcome outcome = co_await removal;
  // The tray shows its own message; the Home page shows none for Quick Clean.
  assign(resultMessage_, std::optional<std::string>{}, Input::resultMessage);
  // What this removal found decides, not a lock another check set meanwhile.
  if (outcome.unverifiable) {
    assign(quickClean_, QuickCleanState::done(cannotVerify(*outcome.unverifiable)),
           Input::quickClean);
    co_return;
  }
  const int inUse = skipped + static_cast<int>(items.size() - kept.size());
  std::string message = outcome.result.summary();
  if (inUse > 0) message += " Skipped " + std::to_string(inUse) + " in use.";
  assign(quickClean_, QuickCleanState::done(std::move(message)), Input::quickClean);
}

void CleanerViewModel::cancelQuickClean() {
  assertOnGuiThread();
  Batch batch(*this);
  ++quickCleanToken_;
  assign(quickClean_, QuickCleanState::idle(), Input::quickClean);
}

}  // namespace hl
