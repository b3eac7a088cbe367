// The two summaries of the whole state: what the Home page's main area shows, and the status
// bar's line.

#include "viewmodels/cleaner/cleaner_view_model.h"

namespace hl {

CleanerViewModel::ContentState CleanerViewModel::contentState() const {
  assertOnGuiThread();
  if (!verification_.isVerified()) return ContentState::unavailable;
  if (!visibleList().empty()) return ContentState::results;
  if (isScanning_) return ContentState::scanning;
  if (hasScanned_) return ContentState::nothingFound;
  return ContentState::notScanned;
}

std::string CleanerViewModel::statusText() const {
  assertOnGuiThread();
  if (const std::string* reason = verification_.unavailableReason()) {
    return "Cannot verify in-use state (" + *reason +
           ") \u2014 nothing is selectable until a rescan succeeds";
  }
  if (isTrashing_) {
    if (trashProgress_.total == 0) return "Checking that nothing is in use\u2026";
    return std::string(progressTitle(activeRemovalMode_)) + "\u2026 " +
           std::to_string(trashProgress_.done) + " of " + std::to_string(trashProgress_.total);
  }
  if (!runningActions_.empty()) {
    // A set of texts is already in ascending order.
    std::string names;
    for (const std::string& name : runningActions_) {
      if (!names.empty()) names += ", ";
      names += name;
    }
    return "Running " + names + "\u2026";
  }
  if (!isScanning_) return "Idle";
  if (!scanningGroup_) return "Discovering caches\u2026";
  return "Scanning " + std::string(displayName(*scanningGroup_)) + "\u2026 " +
         sizeText(scanningGroup_);
}

}  // namespace hl
