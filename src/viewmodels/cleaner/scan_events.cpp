// What each scan event does to the items, the check marks and the log, and the operations that
// keep the list and its index consistent.

#include <algorithm>
#include <charconv>
#include <iterator>
#include <unordered_set>

#include "models/in_use_reasons.h"
#include "services/in_use/in_use_detector.h"
#include "services/in_use/process_guard.h"
#include "utilities/byte_formatting.h"
#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"

namespace hl {
namespace {

// Seconds with exactly one decimal and a point whatever the user's locale says.
std::string oneDecimal(double seconds) {
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 1);
  if (error != std::errc()) return "0.0";
  return std::string(buffer, end);
}

}  // namespace

void CleanerViewModel::apply(CacheScanEvent& event) {
  using Event = CacheScanEvent;
  std::visit(
      [this](auto& payload) {
        using T = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<T, Event::Discovered>) {
          applyDiscovered(payload);
        } else if constexpr (std::is_same_v<T, Event::Added>) {
          // An added item replaces one with its id and moves to the end.
          std::unordered_set<std::string> added;
          for (const CacheItem& item : payload.items) added.insert(item.id);
          std::vector<CacheItem> next;
          next.reserve(items_.size() + payload.items.size());
          for (const CacheItem& item : items_) {
            if (!added.contains(item.id)) next.push_back(item);
          }
          std::move(payload.items.begin(), payload.items.end(), std::back_inserter(next));
          replaceItems(std::move(next));
        } else if constexpr (std::is_same_v<T, Event::ItemSized>) {
          applyItemSized(payload);
        } else if constexpr (std::is_same_v<T, Event::GroupFinished>) {
          finishedGroups_.insert(payload.group);
          changed(Input::finishedGroups);
        } else if constexpr (std::is_same_v<T, Event::WorktreeStatus>) {
          applyWorktreeStatus(payload);
        } else if constexpr (std::is_same_v<T, Event::RunningOwners>) {
          applyRunningOwners(payload);
        } else if constexpr (std::is_same_v<T, Event::InUse>) {
          applyInUseEvaluation(payload.evaluation);
        } else if constexpr (std::is_same_v<T, Event::ToolsResolved>) {
          assign(tools_, payload.environment, Input::tools);
        } else if constexpr (std::is_same_v<T, Event::Finished>) {
          applyFinished(payload);
        }
      },
      event.value());
}

void CleanerViewModel::applyDiscovered(CacheScanEvent::Discovered& event) {
  // Counted before the items are taken over.
  int worktrees = 0;
  std::set<std::string> repositories;
  for (const CacheItem& item : event.items) {
    if (item.group != CacheGroup::aiWorktrees) continue;
    ++worktrees;
    const bool hasRepository = item.worktree && item.worktree->repositoryURL;
    repositories.insert(
        PathCanonical::canonical(cleanPath(hasRepository ? *item.worktree->repositoryURL
                                                         : item.discoveryRoot)));
  }
  replaceItems(std::move(event.items));
  assign(scanningGroup_,
         items_.empty() ? std::optional<CacheGroup>{} : std::optional<CacheGroup>(items_[0].group),
         Input::scanningGroup);
  for (const std::string& note : event.notes) activity_.log(ActivityEvent::Kind::scan, note);
  activity_.log(ActivityEvent::Kind::scan, std::to_string(worktrees) + " worktrees in " +
                                               std::to_string(repositories.size()) + " repos");
}

void CleanerViewModel::applyItemSized(const CacheScanEvent::ItemSized& event) {
  if (!applyMeasurement(event.id, event.measurement)) return;
  const CacheGroup group = itemPointer(event.id)->group;
  if (!finishedGroups_.contains(group)) {
    assign(scanningGroup_, std::optional<CacheGroup>(group), Input::scanningGroup);
  }
}

bool CleanerViewModel::applyMeasurement(const std::string& id,
                                        const DirectoryMeasurement& measurement) {
  CacheItem* item = itemPointer(id);
  if (!item) return false;
  item->size = measurement.size;
  item->fileCount = measurement.fileCount;
  item->isUnreadable = !measurement.isReadable;
  item->newestModification = measurement.newestModification;
  item->isApproximate = measurement.isApproximate();
  // Only a time rule's reasons are decided by the size; every other reason stands.
  if (!item->inUseReason || *item->inUseReason == InUseReasons::notMeasuredYet) {
    item->inUseReason = InUseDetector::timeRuleReason(*item, wallClock_());
    if (item->inUseReason && checked_.contains(id)) {
      checked_.erase(id);
      changed(Input::checked);
    }
  }
  itemsEdited();
  return true;
}

void CleanerViewModel::applyWorktreeStatus(const CacheScanEvent::WorktreeStatus& event) {
  CacheItem* item = itemPointer(event.id);
  if (!item) return;
  if (item->worktree) {
    item->worktree->status = event.status;
    itemsEdited();
  }
  if (!event.status.isClean() && checked_.contains(event.id)) {
    checked_.erase(event.id);
    changed(Input::checked);
  }
}

void CleanerViewModel::applyRunningOwners(const CacheScanEvent::RunningOwners& event) {
  const std::set<std::string>& generic = ProcessGuard::genericRuntimes();
  for (CacheItem& item : items_) {
    item.runningOwner.reset();
    for (const std::string& owner : item.owners) {
      if (event.owners.contains(owner) && !generic.contains(owner)) {
        item.runningOwner = owner;
        break;
      }
    }
  }
  itemsEdited();
}

void CleanerViewModel::applyInUseEvaluation(const InUseEvaluation& evaluation) {
  assign(verification_, evaluation.verification, Input::verification);
  applyInUse(evaluation.reasons);
  assign(liveSummary_, evaluation.summary, Input::liveSummary);
  if (const std::string* reason = evaluation.verification.unavailableReason()) {
    activity_.log(ActivityEvent::Kind::error,
                  "Cannot verify in-use state (" + *reason + "); every item is locked");
  }
}

void CleanerViewModel::applyFinished(const CacheScanEvent::Finished& event) {
  assign(lastScanDate_, std::optional<Date>(wallClock_()), Input::lastScanDate);
  finishedThisRun_ = true;

  int worktrees = 0;
  int clean = 0;
  int dirty = 0;
  for (const CacheItem& item : items_) {
    if (!item.worktree) continue;
    ++worktrees;
    if (item.worktree->status.isClean()) {
      ++clean;
    } else if (item.worktree->status.dirty()) {
      ++dirty;
    }
  }
  if (worktrees > 0) {
    activity_.log(ActivityEvent::Kind::scan, "Worktrees: " + std::to_string(clean) + " clean, " +
                                                 std::to_string(dirty) + " dirty, " +
                                                 std::to_string(worktrees - clean - dirty) +
                                                 " unknown");
  }

  activity_.log(ActivityEvent::Kind::scan,
                "Scan finished in " + oneDecimal(event.duration.count()) + " s: " +
                    std::to_string(items_.size()) + " items, " +
                    ByteFormatting::string(totalSelectable()) + " reclaimable");

  std::vector<const CacheItem*> unreadable;
  for (const CacheItem& item : items_) {
    if (item.isUnreadable) unreadable.push_back(&item);
  }
  if (!unreadable.empty()) {
    std::string named;
    for (std::size_t i = 0; i < unreadable.size() && i < 3; ++i) {
      if (i > 0) named += ", ";
      named += unreadable[i]->subtitle;
    }
    activity_.log(ActivityEvent::Kind::error,
                  std::to_string(unreadable.size()) +
                      " location(s) could not be read (Full Disk Access may be needed): " + named);
  }
}

void CleanerViewModel::replaceItems(std::vector<CacheItem> newItems) {
  // An item found again keeps its measurement until its new size arrives, nothing else.
  for (CacheItem& item : newItems) {
    if (item.size) continue;
    const CacheItem* old = itemPointer(item.id);
    if (!old) continue;
    item.size = old->size;
    item.fileCount = old->fileCount;
    item.newestModification = old->newestModification;
    item.isApproximate = old->isApproximate;
  }
  setItems(std::move(newItems));
  pruneChecked();
}

void CleanerViewModel::reindex() {
  indexByID_.clear();
  indexByID_.reserve(items_.size());
  // The first occurrence of an id wins.
  for (std::size_t index = 0; index < items_.size(); ++index) {
    indexByID_.emplace(items_[index].id, index);
  }
}

void CleanerViewModel::applyInUse(const std::map<std::string, std::string>& reasons) {
  const Date now = wallClock_();
  for (CacheItem& item : items_) {
    const auto found = reasons.find(item.id);
    // A reason of an earlier evaluation never survives: only a time rule may still hold.
    item.inUseReason =
        found != reasons.end() ? found->second : InUseDetector::timeRuleReason(item, now);
  }
  itemsEdited();
  pruneChecked();
}

void CleanerViewModel::pruneChecked() {
  std::set<std::string> kept;
  for (const std::string& id : checked_) {
    const CacheItem* item = itemPointer(id);
    if (item && item->isSelectable()) kept.insert(id);
  }
  assignChecked(std::move(kept));
}

}  // namespace hl
