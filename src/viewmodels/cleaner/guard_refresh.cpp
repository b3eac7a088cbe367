// The question every removal asks just before it acts: which of these items are in use now?
// The answer is also written into the list, so the table shows it at once.

#include "services/in_use/in_use_detector.h"
#include "services/in_use/process_guard.h"
#include "viewmodels/cleaner/cleaner_view_model.h"

namespace hl {

Flow<CleanerViewModel::GuardRefresh> CleanerViewModel::refreshGuards(std::vector<CacheItem> items) {
  // The detector's reference date is taken when it is made, before the wait.
  const Date detectorDate = wallClock_();
  // What stands at the items' paths is read first: a removal compares it with what the user
  // was shown before it looks at what is in use.
  std::vector<std::string> urls;
  for (const CacheItem& item : items) {
    for (const std::string& url : item.targetURLs()) urls.push_back(url);
  }
  struct Looked {
    ShownItems seen;
    InUseEvaluation evaluation;
  };
  BackgroundWait<Looked> evaluating(
      *this, [evaluate = dependencies_.evaluateInUse, items, urls, detectorDate] {
        ShownItems seen = ShownItems::record(urls);
        return Looked{std::move(seen), evaluate(items, detectorDate)};
      });
  Looked looked = co_await evaluating;
  InUseEvaluation& evaluation = looked.evaluation;

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
                         std::move(evaluation.verification), std::move(looked.seen)};
}

}  // namespace hl
