// The one removal path of the cleaner: the gate, every item checked again, the trash service,
// the history, optional worktree pruning, the list and one result message. Also how the list
// follows a removal made elsewhere, and what a removal changed is measured again.

#include <algorithm>
#include <chrono>

#include "models/in_use_reasons.h"
#include "models/owner_names.h"
#include "utilities/byte_formatting.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

constexpr auto kWorktreeStatusTimeout = 5s;
constexpr auto kPruneTimeout = 10s;
constexpr std::size_t kLoggedFailures = 20;
constexpr std::size_t kShownFailures = 5;

std::set<std::string> canonicalTargets(const CacheItem& item) {
  std::set<std::string> paths;
  for (const std::string& url : item.targetURLs()) paths.insert(cleanPath(url));
  return paths;
}

TrashItem removalEntry(const CacheItem& item, const std::string& url, bool onlyURL,
                       const ShownItems& shown) {
  TrashItem entry;
  entry.url = url;
  // Members share the row's size, which overstates any one of them.
  entry.size = onlyURL ? item.knownSize() : 0;
  entry.allowedRoot = item.discoveryRoot;
  entry.allowRootItself = cleanPath(item.discoveryRoot) == cleanPath(url);
  entry.shellSnapshotRuleVerified = item.guardRule == GuardRule::claudeShellSnapshots;
  entry.shown = shown.at(url);
  return entry;
}

// One entry per folder of each item, members in order.
std::vector<TrashItem> removalEntries(const std::vector<CacheItem>& items,
                                      const ShownItems& shown) {
  std::vector<TrashItem> entries;
  for (const CacheItem& item : items) {
    const std::vector<std::string> urls = item.targetURLs();
    for (const std::string& url : urls) {
      entries.push_back(removalEntry(item, url, urls.size() == 1, shown));
    }
  }
  return entries;
}

}  // namespace

std::vector<CacheItem> CleanerViewModel::stillAsConfirmed(
    const std::vector<CacheItem>& items, std::vector<TrashResult::Failure>& failures,
    TrashTrigger trigger) const {
  // The confirmed copies may be stale: a rescan may have found the item gone, its members
  // changed, or made it unselectable (a fresh modification under a time rule, a dirty worktree).
  // Only the confirmed paths are ever removed, and only while the list still offers them.
  std::vector<CacheItem> kept;
  for (const CacheItem& item : items) {
    const CacheItem* current = itemPointer(item.id);
    std::optional<std::string> reason;
    if (!current) {
      reason = "no longer in the list";
    } else if (canonicalTargets(*current) != canonicalTargets(item)) {
      reason = "its folders changed";
    } else if (current->inUseReason) {
      reason = "now in use: " + *current->inUseReason;
    } else if (settings_.exclusions().isExcluded(current->id)) {
      // Excluded while the removal waited: the list no longer offers it.
      reason = "excluded in Settings";
    } else if (trigger == TrashTrigger::quickClean && current->runningOwner) {
      reason = ownerDisplayName(*current->runningOwner) + " running";
    } else if (!current->isSelectable()) {
      reason = "no longer selectable";
    }
    if (reason) {
      failures.push_back({item.url, StateChanged{*reason}});
    } else {
      kept.push_back(item);
    }
  }
  return kept;
}

Flow<CleanerViewModel::RemovalOutcome> CleanerViewModel::performTrash(
    std::vector<CacheItem> items, TrashTrigger trigger, RemovalMode mode, ShownItems shown) {
  const std::string triggerText(shownName(trigger));
  // This removal keeps the service it started with, and its gate.
  const std::shared_ptr<RemovalService> service = trashService_;
  const DestructiveGate gate = service->gate();

  TrashResult result;
  result.mode = mode;
  if (const auto& reason = gate.readOnlyReason) {
    activity_.log(ActivityEvent::Kind::error, triggerText + ": refused, " + *reason);
    assign(resultMessage_,
           std::optional<std::string>("Nothing was moved to the Trash or deleted: " + *reason +
                                      "."),
           Input::resultMessage);
    for (const CacheItem& item : items) result.failed.push_back({item.url, TrashError::readOnly(*reason)});
    co_return RemovalOutcome{std::move(result), std::nullopt};
  }

  assign(isTrashing_, true, Input::isTrashing);
  assign(activeRemovalMode_, mode, Input::activeRemovalMode);
  assign(trashProgress_, TrashProgress{}, Input::trashProgress);

  // Items that were not selectable are dropped without a word.
  std::vector<CacheItem> candidates;
  for (const CacheItem& item : items) {
    if (item.isSelectable()) candidates.push_back(item);
  }
  std::vector<TrashResult::Failure> skipped;
  std::vector<CacheItem> remaining = stillAsConfirmed(candidates, skipped, trigger);

  Flow<GuardRefresh> checking = refreshGuards(remaining);
  const GuardRefresh guard = co_await checking;
  if (const std::string* reason = guard.verification.unavailableReason()) {
    result.failed = std::move(skipped);
    for (const CacheItem& item : remaining) {
      result.failed.push_back({item.url, StateChanged{std::string(InUseReasons::cannotVerify)}});
    }
    assign(isTrashing_, false, Input::isTrashing);
    const std::string message = "Nothing was trashed: cannot verify in-use state (" + *reason +
                                "). Nothing is selectable until a rescan succeeds.";
    activity_.log(ActivityEvent::Kind::error, message);
    assign(resultMessage_, std::optional<std::string>(message), Input::resultMessage);
    co_return RemovalOutcome{std::move(result), *reason};
  }

  std::vector<CacheItem> free;
  for (const CacheItem& item : remaining) {
    // A folder renamed away and replaced, or a mount put over a folder on the way, is another
    // item, whatever uses it now.
    if (shown.changedIn(guard.seen, item.targetURLs())) {
      skipped.push_back({item.url, StateChanged::changedSinceShown()});
    } else if (const auto found = guard.inUse.find(item.id); found != guard.inUse.end()) {
      skipped.push_back({item.url, StateChanged{"now in use: " + found->second}});
    } else if (const std::string* owner = runningOwnerOf(item, guard.running);
               trigger == TrashTrigger::quickClean && owner) {
      // Quick Clean never takes what a running application owns, as when it was armed.
      skipped.push_back({item.url, StateChanged{ownerDisplayName(*owner) + " running"}});
    } else {
      free.push_back(item);
    }
  }

  // Git is asked about each worktree again, one after another.
  std::map<std::string, WorktreeStatus> statuses;
  for (const CacheItem& item : free) {
    if (!item.worktree) continue;
    BackgroundWait<WorktreeStatus> asking(
        *this, [status = dependencies_.worktreeStatus, root = item.worktree->gitRoot] {
          return status(root, kWorktreeStatusTimeout);
        });
    statuses[item.id] = co_await asking;
  }
  remaining.clear();
  for (const CacheItem& item : free) {
    const auto found = statuses.find(item.id);
    if (found == statuses.end() || found->second.isClean()) {
      remaining.push_back(item);
      continue;
    }
    if (CacheItem* listed = itemPointer(item.id); listed && listed->worktree) {
      listed->worktree->status = found->second;
      itemsEdited();
    }
    skipped.push_back({item.url, StateChanged{"worktree is no longer clean"}});
  }
  // One record per category of every item the user confirmed, skipped ones included. A row of
  // several folders is skipped under its own path, so that path belongs to its category too.
  HistoryViewModel::Categories categories;
  for (const CacheItem& item : candidates) {
    std::vector<std::string>& paths = categories[std::string(displayName(item.group))];
    const std::vector<std::string> urls = item.targetURLs();
    paths.insert(paths.end(), urls.begin(), urls.end());
    if (!item.members.empty()) paths.push_back(item.url);
  }
  // Written down before anything is acted on, so that a removal cut short is still recorded at
  // the next start; before the last check, which stays right before the removal.
  UUID operation;
  CallbackWait journaling(*this, [&](std::function<void()> done) {
    operation = history_.beginRemoval(categories, removalEntries(remaining, shown), skipped,
                                      trigger, mode, std::move(done));
  });
  co_await journaling;

  // The waits above let scans and the user in: judge by the list once more.
  remaining = stillAsConfirmed(remaining, skipped, trigger);

  const std::vector<TrashItem> entries = removalEntries(remaining, shown);
  assign(trashProgress_, TrashProgress{0, static_cast<int>(entries.size())},
         Input::trashProgress);
  BackgroundWait<TrashResult> removing(
      *this, [service, entries, mode, post = poster(),
              reserved = history_.reservationNote(operation)] {
        return service->trash(
            entries, mode,
            [post](int done, int total) {
              post([done, total](CleanerViewModel& model) {
                model.assign(model.trashProgress_, TrashProgress{done, total},
                             Input::trashProgress);
              });
            },
            reserved);
      });
  const TrashResult removed = co_await removing;

  result.succeeded = removed.succeeded;
  result.failed = std::move(skipped);
  result.failed.insert(result.failed.end(), removed.failed.begin(), removed.failed.end());
  result.bytesFreed = removed.bytesFreed;
  result.sizes = removed.sizes;

  std::set<std::string> succeeded;
  for (const std::string& url : result.succeeded) succeeded.insert(cleanPath(url));
  std::vector<CacheItem> removedItems;
  std::set<std::string> removedIDs;
  for (const CacheItem& item : remaining) {
    const std::set<std::string> targets = canonicalTargets(item);
    if (std::all_of(targets.begin(), targets.end(),
                    [&](const std::string& path) { return succeeded.contains(path); })) {
      removedItems.push_back(item);
      removedIDs.insert(item.id);
    }
  }

  // The record is written before the pruning, which may take seconds per repository: a quit in
  // between must not lose it.
  CallbackWait recording(
      *this, [this, &result, &categories, trigger, operation](std::function<void()> done) {
        history_.record(result, categories, trigger, std::move(done), operation);
      });
  co_await recording;

  if (settings_.pruneWorktreesAfterTrash()) {
    for (const std::string& repository : repositoriesToPrune(removedItems)) {
      BackgroundWait<bool> pruning(*this, [prune = dependencies_.pruneWorktrees, repository, gate] {
        return prune(repository, gate, kPruneTimeout);
      });
      const bool pruned = co_await pruning;
      activity_.log(pruned ? ActivityEvent::Kind::cleanup : ActivityEvent::Kind::error,
                    (pruned ? "Pruned worktrees in " : "git worktree prune failed in ") +
                        lastPathComponent(repository));
    }
  }

  const std::size_t count = result.succeeded.size();
  activity_.log(ActivityEvent::Kind::cleanup,
                triggerText + ": " + std::to_string(count) + (count == 1 ? " item, " : " items, ") +
                    ByteFormatting::string(std::max<std::int64_t>(result.bytesFreed, 0)) + " " +
                    std::string(pastParticiple(mode)));

  // Deleted items are gone whether or not each succeeded; trashed ones only when they left.
  std::vector<std::string> forgotten;
  if (isPermanent(mode)) {
    for (const CacheItem& item : remaining) forgotten.push_back(item.id);
  } else {
    forgotten.assign(removedIDs.begin(), removedIDs.end());
  }
  engine_->forget(forgotten);
  if (!isPermanent(mode) && !result.succeeded.empty()) measureAgain(trashRowIDs());

  dropItems(removedIDs);
  assign(isTrashing_, false, Input::isTrashing);

  const std::string summary = result.summary();
  activity_.log(ActivityEvent::Kind::cleanup, summary);
  for (std::size_t i = 0; i < result.failed.size() && i < kLoggedFailures; ++i) {
    const TrashResult::Failure& failure = result.failed[i];
    activity_.log(ActivityEvent::Kind::error,
                  abbreviatedPath(failure.url, home_) + ": " + describe(failure.error));
  }

  std::string message = summary;
  if (!result.succeeded.empty()) message += reclaimNote(mode);
  if (!result.failed.empty()) {
    message += "\n";
    for (std::size_t i = 0; i < result.failed.size() && i < kShownFailures; ++i) {
      const TrashResult::Failure& failure = result.failed[i];
      message += "\n\u2022 " + lastPathComponent(failure.url) + ": " + describe(failure.error);
    }
  }
  assign(resultMessage_, std::optional<std::string>(message), Input::resultMessage);
  if (onDiskChanged_) onDiskChanged_();
  co_return RemovalOutcome{std::move(result), std::nullopt};
}

void CleanerViewModel::dropItems(const std::set<std::string>& ids) {
  std::erase_if(items_, [&](const CacheItem& item) { return ids.contains(item.id); });
  reindex();
  itemsEdited();
  withdraw(ids);
}

void CleanerViewModel::removedElsewhere(const TrashResult& result) {
  assertOnGuiThread();
  Batch batch(*this);
  std::vector<std::string> removed;
  for (const std::string& url : result.succeeded) removed.push_back(cleanPath(url));
  // A deletion that failed may have removed part of the folder before it stopped; a move to the
  // Trash that failed is one rename that did not happen.
  std::vector<std::string> failed;
  if (isPermanent(result.mode)) {
    for (const TrashResult::Failure& failure : result.failed) {
      failed.push_back(cleanPath(failure.url));
    }
  }
  const auto went = [&](const std::string& path) {
    return std::any_of(removed.begin(), removed.end(), [&](const std::string& folder) {
      return PathRelation::isSameOrDescendant(path, folder);
    });
  };
  const auto changedThere = [&](const std::string& path) {
    const auto holds = [&](const std::string& folder) {
      return PathRelation::isSameOrDescendant(folder, path);
    };
    const auto overlaps = [&](const std::string& folder) {
      return holds(folder) || PathRelation::isSameOrDescendant(path, folder);
    };
    return std::any_of(removed.begin(), removed.end(), holds) ||
           std::any_of(failed.begin(), failed.end(), overlaps);
  };
  std::set<std::string> gone;
  std::set<std::string> changed;
  for (const CacheItem& item : items_) {
    // A row that stands for something other than a folder is not judged by its path.
    if (item.kind != ItemKind::path) continue;
    const std::set<std::string> targets = canonicalTargets(item);
    const auto goneTargets = std::count_if(targets.begin(), targets.end(), went);
    if (goneTargets == static_cast<std::ptrdiff_t>(targets.size())) {
      gone.insert(item.id);
    } else if (goneTargets > 0 || std::any_of(targets.begin(), targets.end(), changedThere)) {
      // Measured, a folder of it that went counts nothing: the figure is what is left.
      changed.insert(item.id);
    }
  }
  if (!gone.empty()) {
    engine_->forget(std::vector<std::string>(gone.begin(), gone.end()));
    dropItems(gone);
  }
  if (!isPermanent(result.mode) && !result.succeeded.empty()) changed.merge(trashRowIDs());
  measureAgain(changed);
}

std::set<std::string> CleanerViewModel::trashRowIDs() const {
  std::set<std::string> ids;
  for (const CacheItem& item : items_) {
    if (item.group == CacheGroup::trash) ids.insert(item.id);
  }
  return ids;
}

void CleanerViewModel::measureAgain(const std::set<std::string>& ids) {
  struct Row {
    CacheItem item;
    std::stop_token stop;
  };
  std::vector<Row> rows;
  std::vector<std::string> forgotten;
  for (const std::string& id : ids) {
    const CacheItem* item = itemPointer(id);
    if (!item) continue;
    // A measurement of it still walking is overtaken: what it finds may be from before this
    // removal.
    std::stop_source& stop = measuringAgain_[id];
    stop.request_stop();
    stop = std::stop_source();
    rows.push_back({*item, stop.get_token()});
    forgotten.push_back(id);
  }
  if (rows.empty()) return;
  engine_->forget(forgotten);
  executor_->runInBackground([engine = engine_, rows = std::move(rows), post = poster()] {
    for (const Row& row : rows) {
      std::optional<DirectoryMeasurement> measured = engine->measure(row.item, row.stop);
      if (!measured) continue;
      post([id = row.item.id, measurement = std::move(*measured),
            stop = row.stop](CleanerViewModel& model) {
        // Overtaken meanwhile (a scan, a newer removal, the model's end): not shown.
        if (!stop.stop_requested()) model.applyMeasurement(id, measurement);
      });
    }
  });
}

void CleanerViewModel::stopMeasuringAgain() {
  for (auto& [id, stop] : measuringAgain_) stop.request_stop();
  measuringAgain_.clear();
}

std::set<std::string> CleanerViewModel::repositoriesToPrune(const std::vector<CacheItem>& removed) {
  std::set<std::string> repositories;
  for (const CacheItem& item : removed) {
    if (item.worktree && item.worktree->isRegistered && item.worktree->status.isClean() &&
        item.worktree->repositoryURL) {
      repositories.insert(*item.worktree->repositoryURL);
    }
  }
  return repositories;
}

}  // namespace hl
