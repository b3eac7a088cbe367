#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/cleaner/cleaner_harness.h"

namespace hl {

// Announces one input of the view model at a time, as a change inside it would.
struct CleanerInputProbe {
  using Input = CleanerViewModel::Input;
  static void change(CleanerViewModel& model, Input input) { model.changed(input); }
};

namespace {

using Input = CleanerInputProbe::Input;

// Each input and the one stored-value signal that must answer it; settings answer with none of
// them (they have signals of their own and only feed the derived values).
struct Pair {
  Input input;
  void (CleanerViewModel::*signal)();
  const char* name;
};
const std::vector<Pair> kPairs = {
    {Input::items, &CleanerViewModel::itemsChanged, "itemsChanged"},
    {Input::itemsRevision, &CleanerViewModel::itemsRevisionChanged, "itemsRevisionChanged"},
    {Input::tools, &CleanerViewModel::toolsChanged, "toolsChanged"},
    {Input::selectedGroup, &CleanerViewModel::selectedGroupChanged, "selectedGroupChanged"},
    {Input::tab, &CleanerViewModel::tabChanged, "tabChanged"},
    {Input::checked, &CleanerViewModel::checkedChanged, "checkedChanged"},
    {Input::tableSelection, &CleanerViewModel::tableSelectionChanged, "tableSelectionChanged"},
    {Input::detailItemID, &CleanerViewModel::detailItemIDChanged, "detailItemIDChanged"},
    {Input::showAllProjects, &CleanerViewModel::showAllProjectsChanged, "showAllProjectsChanged"},
    {Input::isScanning, &CleanerViewModel::isScanningChanged, "isScanningChanged"},
    {Input::hasScanned, &CleanerViewModel::hasScannedChanged, "hasScannedChanged"},
    {Input::scanningGroup, &CleanerViewModel::scanningGroupChanged, "scanningGroupChanged"},
    {Input::finishedGroups, &CleanerViewModel::finishedGroupsChanged, "finishedGroupsChanged"},
    {Input::lastScanDate, &CleanerViewModel::lastScanDateChanged, "lastScanDateChanged"},
    {Input::pendingPlan, &CleanerViewModel::pendingPlanChanged, "pendingPlanChanged"},
    {Input::isPreparingTrash, &CleanerViewModel::isPreparingTrashChanged,
     "isPreparingTrashChanged"},
    {Input::isTrashing, &CleanerViewModel::isTrashingChanged, "isTrashingChanged"},
    {Input::trashProgress, &CleanerViewModel::trashProgressChanged, "trashProgressChanged"},
    {Input::activeRemovalMode, &CleanerViewModel::activeRemovalModeChanged,
     "activeRemovalModeChanged"},
    {Input::resultMessage, &CleanerViewModel::resultMessageChanged, "resultMessageChanged"},
    {Input::pendingAction, &CleanerViewModel::pendingActionChanged, "pendingActionChanged"},
    {Input::runningActions, &CleanerViewModel::runningActionsChanged, "runningActionsChanged"},
    {Input::quickClean, &CleanerViewModel::quickCleanChanged, "quickCleanChanged"},
    {Input::quickCleanMode, &CleanerViewModel::quickCleanModeChanged, "quickCleanModeChanged"},
    {Input::liveSummary, &CleanerViewModel::liveSummaryChanged, "liveSummaryChanged"},
    {Input::verification, &CleanerViewModel::verificationChanged, "verificationChanged"},
    {Input::fullDiskAccess, &CleanerViewModel::fullDiskAccessChanged, "fullDiskAccessChanged"},
    {Input::gate, &CleanerViewModel::readOnlyChanged, "readOnlyChanged"},
    {Input::excludedPaths, nullptr, "a setting"},
    {Input::extraPaths, nullptr, "a setting"},
    {Input::quickCleanIncludesModerate, nullptr, "a setting"},
    {Input::deleteImmediately, nullptr, "a setting"},
    {Input::quickCleanConfirmed, nullptr, "a confirmed Quick Clean"},
};

TEST(CleanerAnnouncements, EachInputFiresExactlyItsOwnSignal) {
  test::CleanerHarness h;
  test::SignalCounter counter;
  std::vector<int*> counts;
  for (const Pair& pair : kPairs) {
    counts.push_back(pair.signal ? &counter.watch(*h, pair.signal) : nullptr);
  }
  for (const Pair& changed : kPairs) {
    SCOPED_TRACE(changed.name);
    for (int* count : counts) {
      if (count) *count = 0;
    }
    CleanerInputProbe::change(*h, changed.input);
    for (std::size_t i = 0; i < kPairs.size(); ++i) {
      if (!counts[i]) continue;
      EXPECT_EQ(*counts[i], kPairs[i].input == changed.input ? 1 : 0) << kPairs[i].name;
    }
  }
}

}  // namespace
}  // namespace hl
