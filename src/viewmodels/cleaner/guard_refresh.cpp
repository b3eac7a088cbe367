// The question every removal asks just before it acts: which of these items are in use now?
// The answer is also written into the list, so the table shows it at once.

#include "services/in_use/in_use_detector.h"
#include "services/in_use/process_guard.h"
#include "viewmodels/cleaner/cleaner_view_model.h"

namespace hl {

Flow<CleanerViewModel::GuardRefresh> CleanerViewModel::refreshGuards(std::vector<CacheItem> items) {
  // The detector's reference date is taken when it is made, before the wait.
  const Date detectorDate = wallClock_();
  BackgroundWait<InUseEvaluation> evaluating(
      *this, [evaluate = dependencies_.evaluateInUse, items, detectorDate] {
        return evaluate(items, detectorDate);
      });
  InUseEvaluation evaluation = co_await evaluating;

  // Scan events and user actions may have run meanwhile; from here on nothing interleaves.
  const Date now = wallClock_();
  std::map<std::string, std::string> inUse = evaluation.reasons;
  for (const CacheItem& item : items) {
    if (inUse.contains(item.id)) continue;
    if (auto reason = InUseDetector::timeRuleReason(item, now)) inUse.emplace(item.id, *reason);
  }
  // A verified answer does not lift an earlier lock; only a scan's evaluation does.
  if (!evaluation.verification.isVerified()) {
    assign(verification_, evaluation.verification, Input::verification);
  }

  const std::set<std::string>& generic = ProcessGuard::genericRuntimes();
  bool edited = false;
  for (CacheItem& item : items_) {
    if (const auto found = inUse.find(item.id); found != inUse.end()) {
      item.inUseReason = found->second;
      edited = true;
    }
    for (const std::string& owner : item.owners) {
      if (evaluation.runningOwners.contains(owner) && !generic.contains(owner)) {
        item.runningOwner = owner;
        edited = true;
        break;
      }
    }
  }
  if (edited) itemsEdited();

  std::set<std::string> stillTicked = checked_;
  for (const auto& [id, reason] : inUse) stillTicked.erase(id);
  assignChecked(std::move(stillTicked));

  co_return GuardRefresh{std::move(inUse), std::move(evaluation.runningOwners),
                         std::move(evaluation.verification)};
}

}  // namespace hl
