#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "models/cache_group.h"
#include "models/cache_item.h"
#include "models/home_tab.h"
#include "models/removal_mode.h"
#include "models/tool_environment.h"
#include "models/trash_error.h"
#include "models/trash_result.h"
#include "models/trash_trigger.h"
#include "services/in_use/in_use_evaluation.h"
#include "services/removal/shown_items.h"
#include "services/scan/cache_scan_event.h"
#include "services/system/full_disk_access.h"
#include "utilities/time.h"
#include "viewmodels/cleaner/cleaner_dependencies.h"
#include "viewmodels/cleaner/flow.h"
#include "viewmodels/cleaner/quick_clean_state.h"
#include "viewmodels/cleaner/trash_plan.h"

namespace hl {

class ActivityLog;
class HistoryViewModel;
class SettingsStore;

// The first of the item's owners among the running ones: Quick Clean never takes what a running
// application owns. Null when none runs.
const std::string* runningOwnerOf(const CacheItem& item, const std::set<std::string>& running);

// The state behind the Home page, the tray popover and the status bar: the items of the last
// scan, the user's check marks and highlighted rows, removals with their confirmation, Quick
// Clean, the tools' own cleanup commands, and the in-use verification.
//
// GUI thread only; every public member checks it. A stored value notifies only when it really
// changed (in-place edits of the item list always notify); `itemsRevision` moves on every
// assignment and in-place edit of the items. Derived values are plain methods; each is
// re-announced by its own signal whenever one of its inputs changed, settings included. All
// changes of one operation, one resumed step of a flow or one flush of scan events are
// announced once, together, when it ends.
class CleanerViewModel : public QObject, private FlowHost {
  Q_OBJECT
  Q_PROPERTY(std::vector<hl::CacheItem> items READ items NOTIFY itemsChanged)
  Q_PROPERTY(quint64 itemsRevision READ itemsRevision NOTIFY itemsRevisionChanged)
  Q_PROPERTY(hl::ToolEnvironment tools READ tools NOTIFY toolsChanged)
  Q_PROPERTY(std::optional<hl::CacheGroup> selectedGroup READ selectedGroup WRITE
                 setSelectedGroup NOTIFY selectedGroupChanged)
  Q_PROPERTY(hl::HomeTab tab READ tab WRITE setTab NOTIFY tabChanged)
  Q_PROPERTY(std::set<std::string> checked READ checked NOTIFY checkedChanged)
  Q_PROPERTY(std::set<std::string> tableSelection READ tableSelection WRITE setTableSelection
                 NOTIFY tableSelectionChanged)
  Q_PROPERTY(std::optional<std::string> detailItemID READ detailItemID WRITE setDetailItemID
                 NOTIFY detailItemIDChanged)
  Q_PROPERTY(bool showAllProjects READ showAllProjects WRITE setShowAllProjects NOTIFY
                 showAllProjectsChanged)
  Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
  Q_PROPERTY(bool hasScanned READ hasScanned NOTIFY hasScannedChanged)
  Q_PROPERTY(std::optional<hl::CacheGroup> scanningGroup READ scanningGroup NOTIFY
                 scanningGroupChanged)
  Q_PROPERTY(std::set<hl::CacheGroup> finishedGroups READ finishedGroups NOTIFY
                 finishedGroupsChanged)
  Q_PROPERTY(std::optional<hl::Date> lastScanDate READ lastScanDate NOTIFY lastScanDateChanged)
  Q_PROPERTY(std::optional<hl::TrashPlan> pendingPlan READ pendingPlan WRITE setPendingPlan
                 NOTIFY pendingPlanChanged)
  Q_PROPERTY(bool isPreparingTrash READ isPreparingTrash NOTIFY isPreparingTrashChanged)
  Q_PROPERTY(bool isTrashing READ isTrashing NOTIFY isTrashingChanged)
  Q_PROPERTY(bool isRemovalBusy READ isRemovalBusy NOTIFY isRemovalBusyChanged)
  Q_PROPERTY(hl::CleanerViewModel::TrashProgress trashProgress READ trashProgress NOTIFY
                 trashProgressChanged)
  Q_PROPERTY(hl::RemovalMode activeRemovalMode READ activeRemovalMode NOTIFY
                 activeRemovalModeChanged)
  Q_PROPERTY(std::optional<std::string> resultMessage READ resultMessage WRITE setResultMessage
                 NOTIFY resultMessageChanged)
  Q_PROPERTY(std::optional<hl::CacheItem> pendingAction READ pendingAction WRITE
                 setPendingAction NOTIFY pendingActionChanged)
  Q_PROPERTY(std::set<std::string> runningActions READ runningActions NOTIFY
                 runningActionsChanged)
  Q_PROPERTY(hl::QuickCleanState quickClean READ quickClean NOTIFY quickCleanChanged)
  Q_PROPERTY(hl::RemovalMode quickCleanMode READ quickCleanMode NOTIFY quickCleanModeChanged)
  Q_PROPERTY(hl::LiveSummary liveSummary READ liveSummary NOTIFY liveSummaryChanged)
  Q_PROPERTY(hl::VerificationState verification READ verification NOTIFY verificationChanged)
  Q_PROPERTY(hl::FullDiskAccess::Status fullDiskAccess READ fullDiskAccess NOTIFY
                 fullDiskAccessChanged)

 public:
  // What the Home page's main area shows.
  enum class ContentState { scanning, nothingFound, notScanned, unavailable, results };
  // The check state of the visible selectable items, shown by the header's tri-state box.
  enum class BulkCheckState { none, mixed, all };

  struct TrashProgress {
    int done = 0;
    int total = 0;
    bool operator==(const TrashProgress&) const = default;
  };

  // The cleaner, its scan engine and its removal service. Starts no scan, no probe and no task.
  // The settings, log and history must outlive it.
  CleanerViewModel(SettingsStore& settings, ActivityLog& activity, HistoryViewModel& history,
                   CleanerDependencies dependencies = {}, QObject* parent = nullptr);
  // Gives up a running scan and drops every flow still waiting; waits for work on worker threads.
  ~CleanerViewModel() override;

  SettingsStore& settings() const;
  ActivityLog& activity() const;
  HistoryViewModel& history() const;
  // The home folder the scan looks in, which paths are shown against ("~").
  const std::string& home() const { return home_; }

  // --- Stored state ---------------------------------------------------------------------------
  const std::vector<CacheItem>& items() const;
  // Moves on every assignment and in-place edit of `items`, also when the list stayed equal.
  quint64 itemsRevision() const;
  const ToolEnvironment& tools() const;
  // None: all groups.
  std::optional<CacheGroup> selectedGroup() const;
  HomeTab tab() const;
  // The ticked ids; may hold ids of items hidden, gone or no longer selectable.
  const std::set<std::string>& checked() const;
  // The highlighted rows; never ticks anything by itself.
  const std::set<std::string>& tableSelection() const;
  const std::optional<std::string>& detailItemID() const;
  bool showAllProjects() const;
  bool isScanning() const;
  bool hasScanned() const;
  std::optional<CacheGroup> scanningGroup() const;
  const std::set<CacheGroup>& finishedGroups() const;
  std::optional<Date> lastScanDate() const;
  const std::optional<TrashPlan>& pendingPlan() const;
  bool isPreparingTrash() const;
  bool isTrashing() const;
  // A removal runs or is being planned, or a confirmed Quick Clean has not finished: a new
  // removal would be refused, so the controls that ask for one are off. `isRemovalBusyChanged`.
  bool isRemovalBusy() const;
  TrashProgress trashProgress() const;
  RemovalMode activeRemovalMode() const;
  const std::optional<std::string>& resultMessage() const;
  const std::optional<CacheItem>& pendingAction() const;
  // The tools whose own cleanup command runs now.
  const std::set<std::string>& runningActions() const;
  const QuickCleanState& quickClean() const;
  RemovalMode quickCleanMode() const;
  const LiveSummary& liveSummary() const;
  const VerificationState& verification() const;
  FullDiskAccess::Status fullDiskAccess() const;

  void setSelectedGroup(std::optional<CacheGroup> group);
  void setTab(HomeTab tab);
  void setTableSelection(std::set<std::string> ids);
  void setDetailItemID(std::optional<std::string> id);
  void setShowAllProjects(bool value);
  // The confirmation sheet clears it when it closes.
  void setPendingPlan(std::optional<TrashPlan> plan);
  // The result alert clears it.
  void setResultMessage(std::optional<std::string> message);
  // The tool confirmation clears it when it closes.
  void setPendingAction(std::optional<CacheItem> item);

  // Called after a removal that reached the trash service and after a tool's cleanup command.
  void setOnDiskChanged(std::function<void()> callback);

  // The removal service and its gate, fixed at construction unless replaced.
  RemovalService& trashService() const;
  const DestructiveGate& gate() const;
  void setTrashService(std::shared_ptr<RemovalService> service);

  // --- Derived from the settings and the gate ---------------------------------------------------
  // Follows `fullDiskAccessChanged`.
  bool needsFullDiskAccess() const;
  // Follows `readOnlyChanged`.
  bool isReadOnly() const;
  // The settings file that switched read-only mode on, and why (the gate's `settingsCause`).
  std::optional<std::string> readOnlySettingsCause() const;
  // Follow `removalModeChanged`.
  RemovalMode removalMode() const;
  bool deletesImmediately() const;

  // --- Scan --------------------------------------------------------------------------------------
  // Starts a new scan, giving up the one running. `force`: measure every item afresh, and
  // resolve the tools again when a scan has run before.
  void rescan(bool force);
  // Probes Full Disk Access on a worker thread and stores the answer.
  void refreshFullDiskAccess();

  // --- Visible items and totals (follow the signals named) ------------------------------------
  // `items` without the excluded paths, list order. `includedItemsChanged`.
  const std::vector<CacheItem>& includedItems() const;
  // The included items of the selected group in display order. `visibleItemsChanged`.
  std::vector<CacheItem> visibleItems() const;
  // Their ids alone, for a view that reads each item when it draws it. `visibleItemsChanged`.
  std::vector<std::string> visibleIDs() const;
  // The size of the first visible item. `visibleItemsChanged`.
  std::int64_t largestVisibleSize() const;
  // Whether the Projects group's "Stale" filter keeps this item out of the group's list: a
  // project touched in the last 60 days while "All" is off.
  bool staleFilterHides(const CacheItem& item) const;
  // Whether the Projects group is chosen and lists nothing only because the "Stale" filter hides
  // every one of its projects. `visibleItemsChanged`.
  bool staleFilterHidesEveryProject() const;
  // The groups the sidebar and the details list: every group but one that only macOS fills
  // while it holds no included item and is not the chosen group, and Custom paths only while
  // there are extra paths. `sidebarGroupsChanged`, told only when the list really changed.
  std::vector<CacheGroup> sidebarGroups() const;
  // The locations a group's details list: its catalog rows (a location only macOS fills only
  // where an included item was found), and for Custom paths the settings' extra paths. Follows
  // `includedItemsChanged` and `sidebarGroupsChanged`.
  std::vector<std::string> coveredPaths(CacheGroup group) const;
  // The rest follow `totalsChanged`. None: every group.
  std::int64_t totalSize(std::optional<CacheGroup> group) const;
  bool isApproximate(std::optional<CacheGroup> group) const;
  std::string sizeText(std::optional<CacheGroup> group) const;
  std::int64_t totalSelectable() const;
  std::int64_t totalFound() const;
  std::string headlineText(std::optional<CacheGroup> group = std::nullopt) const;
  std::vector<CacheItem> largestItems() const;
  // Included, ticked and selectable, list order. `checkStateChanged`.
  std::vector<CacheItem> checkedItems() const;
  std::int64_t checkedSize() const;
  // "≈ " and the formatted byte count (negative as 0).
  static std::string approximate(std::int64_t bytes);
  // The item with that id. `itemsRevisionChanged`.
  std::optional<CacheItem> item(const std::string& id) const;

  // --- Check marks (queries follow `checkStateChanged`) ----------------------------------------
  bool isChecked(const std::string& id) const;
  void setChecked(const std::string& id, bool isChecked);
  // The row's check box; with `extendingRange` (shift held) a range from the last ticked row.
  void setChecked(const std::string& id, bool isChecked, bool extendingRange);
  std::vector<std::string> selectableVisibleIDs() const;
  BulkCheckState visibleCheckState() const;
  bool canSelectAllVisible() const;
  void selectAllVisible();
  void deselectAll();
  void toggleAllVisible();
  bool canSelectSafe() const;
  void selectAllSafe();
  bool canDeselect() const;
  void selectAllReclaimable();
  // Hides the items' paths from future lists and withdraws their marks.
  void exclude(const std::set<std::string>& ids);
  // Shows the items in the file manager, in the order given.
  void revealInFinder(const std::vector<std::string>& ids);
  void revealInFinder(const std::set<std::string>& ids);
  // Puts the items' paths on the clipboard, one a line, sorted.
  void copyPaths(const std::set<std::string>& ids);
  // Opens the platform's Full Disk Access settings, where there are any.
  void openFullDiskAccessSettings();

  // --- Removal request, plan and execution -----------------------------------------------------
  // Plans the removal of the given included selectable items (none given: the ticked ones): checks
  // again which are in use, then sets `pendingPlan` or a result message. Refused with a log line
  // while another removal runs or is being prepared.
  void requestTrash(std::optional<std::set<std::string>> ids = std::nullopt);
  // Warning lines for the applications among `running` that own some of the items.
  static std::vector<std::string> runningWarnings(const std::vector<CacheItem>& items,
                                                  const std::set<std::string>& running);
  // The sheet's confirmation, with the current date: ignored while the plan is younger than one
  // second; otherwise starts the removal. `isTrashing` holds when it returns. Takes its own copy:
  // the pending plan it clears may be the one passed.
  void confirmTrash(TrashPlan plan, Date now);
  // Another page removed folders (the succeeded paths of `result`): every item at or inside one
  // of them leaves the list with its check mark and highlight (a row of several folders once all
  // of them went). Measured again are the items that held one, a row some of whose folders went
  // (over what is left), the items at, inside or around a folder whose deletion failed (it may
  // have removed part), and the Trash row when anything was moved to the Trash. The totals
  // follow, without a rescan.
  void removedElsewhere(const TrashResult& result);
  // The repositories whose worktree records git may prune after these items were removed.
  static std::set<std::string> repositoriesToPrune(const std::vector<CacheItem>& removed);

  // --- Quick Clean (candidates follow `quickCleanCandidatesChanged`) --------------------------
  std::vector<CacheItem> quickCleanCandidates() const;
  std::int64_t quickCleanSize() const;
  struct GroupSize {
    CacheGroup group;
    std::int64_t size = 0;
    bool operator==(const GroupSize&) const = default;
  };
  // The candidates' summed sizes per group, largest first; at most one entry per group.
  std::vector<GroupSize> quickCleanByGroup() const;
  // Items left out only because something uses them.
  int inUseSkippedCount() const;
  // Ticks exactly the candidates on the Home page's list of all groups; removes nothing.
  void selectQuickCleanCandidates();
  void armQuickClean();
  // With the current date: ignored within one second of the confirmation being offered.
  void confirmQuickClean(Date now);
  void cancelQuickClean();

  // --- Native tool actions ----------------------------------------------------------------------
  // Asks to run the item's tool cleanup command: sets `pendingAction` once nothing blocks it,
  // else a result message.
  void requestAction(const CacheItem& item);
  // The confirmation: runs the command, logs its output, then refreshes the list.
  void runAction(const CacheItem& item);

  // --- Content state and status text ---------------------------------------------------------
  // `contentStateChanged`.
  ContentState contentState() const;
  // `statusTextChanged`.
  std::string statusText() const;

 signals:
  void itemsChanged();
  void itemsRevisionChanged();
  void toolsChanged();
  void selectedGroupChanged();
  void tabChanged();
  void checkedChanged();
  void tableSelectionChanged();
  void detailItemIDChanged();
  void showAllProjectsChanged();
  void isScanningChanged();
  void hasScannedChanged();
  void scanningGroupChanged();
  void finishedGroupsChanged();
  void lastScanDateChanged();
  void pendingPlanChanged();
  void isPreparingTrashChanged();
  void isTrashingChanged();
  void isRemovalBusyChanged();
  void trashProgressChanged();
  void activeRemovalModeChanged();
  void resultMessageChanged();
  void pendingActionChanged();
  void runningActionsChanged();
  void quickCleanChanged();
  void quickCleanModeChanged();
  void liveSummaryChanged();
  void verificationChanged();
  void fullDiskAccessChanged();
  void readOnlyChanged();
  // Derived values.
  void includedItemsChanged();
  void visibleItemsChanged();
  void totalsChanged();
  void sidebarGroupsChanged();
  void checkStateChanged();
  void quickCleanCandidatesChanged();
  void removalModeChanged();
  void contentStateChanged();
  void statusTextChanged();

 private:
  // Tests announce each input on its own to see which signal answers.
  friend struct CleanerInputProbe;

  // Every input of an announcement: the stored values and the settings the derived values read.
  enum class Input : int {
    items,
    itemsRevision,
    tools,
    selectedGroup,
    tab,
    checked,
    tableSelection,
    detailItemID,
    showAllProjects,
    isScanning,
    hasScanned,
    scanningGroup,
    finishedGroups,
    lastScanDate,
    pendingPlan,
    isPreparingTrash,
    isTrashing,
    trashProgress,
    activeRemovalMode,
    resultMessage,
    pendingAction,
    runningActions,
    quickClean,
    quickCleanMode,
    liveSummary,
    verification,
    fullDiskAccess,
    gate,
    excludedPaths,
    extraPaths,
    quickCleanIncludesModerate,
    deleteImmediately,
    quickCleanConfirmed,
  };
  using Inputs = std::uint64_t;
  static constexpr Inputs bit(Input input) { return Inputs{1} << static_cast<int>(input); }

  // Collects the changes of one step and announces them once when the outermost step ends.
  class Batch {
   public:
    explicit Batch(CleanerViewModel& model);
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch();

   private:
    CleanerViewModel& model_;
  };

  struct IncludedCache {
    quint64 revision = 0;
    std::vector<std::string> exclusions;
    std::vector<CacheItem> value;
  };

  // FlowHost.
  FlowExecutor& flowExecutor() override;
  void resumeFlow(std::coroutine_handle<> flow) override;

  void assertOnGuiThread() const;
  void changed(Input input);
  using Signal = void (CleanerViewModel::*)();
  // The signal that announces a stored input; none for a setting, which only feeds derived values.
  static Signal signalOf(Input input);
  void announce();
  // Stores the value; notifies only when it differs.
  template <typename T>
  bool assign(T& field, T value, Input input) {
    if (field == value) {
      field = std::move(value);
      return false;
    }
    field = std::move(value);
    changed(input);
    return true;
  }
  // Assigns the list and rebuilds the index before anyone is told.
  void setItems(std::vector<CacheItem> items);
  // After an edit of elements in place: always notifies and moves the revision.
  void itemsEdited();
  void assignChecked(std::set<std::string> ids);
  // Takes the items out of the list, and their ids out of the check marks and highlighted rows.
  void dropItems(const std::set<std::string>& ids);
  // Takes the ids out of the check marks and the highlighted rows.
  template <typename Ids>
  void withdraw(const Ids& ids) {
    std::set<std::string> ticked = checked_;
    std::set<std::string> highlighted = tableSelection_;
    for (const std::string& id : ids) {
      ticked.erase(id);
      highlighted.erase(id);
    }
    assignChecked(std::move(ticked));
    assign(tableSelection_, std::move(highlighted), Input::tableSelection);
  }
  // Posts a task for this model to the GUI thread, from any thread; dropped once the model is
  // gone. The task's changes are announced once when it ends.
  using ModelTask = std::function<void(CleanerViewModel&)>;
  std::function<void(ModelTask)> poster() const;

  // Scan run.
  CacheScanConfiguration scanConfiguration(bool force) const;
  void receive(std::uint64_t run, CacheScanEvent event);
  void runEnded(std::uint64_t run);
  void flush(Instant now);
  static bool isBatched(const CacheScanEvent& event);

  // Applying scan events.
  // Takes the event's lists over.
  void apply(CacheScanEvent& event);
  void applyDiscovered(CacheScanEvent::Discovered& event);
  void applyItemSized(const CacheScanEvent::ItemSized& event);
  // Puts a measurement into the listed item of that id; false when there is none.
  bool applyMeasurement(const std::string& id, const DirectoryMeasurement& measurement);
  void applyWorktreeStatus(const CacheScanEvent::WorktreeStatus& event);
  void applyRunningOwners(const CacheScanEvent::RunningOwners& event);
  void applyInUseEvaluation(const InUseEvaluation& evaluation);
  void applyFinished(const CacheScanEvent::Finished& event);
  void replaceItems(std::vector<CacheItem> newItems);
  void reindex();
  void applyInUse(const std::map<std::string, std::string>& reasons);
  // Withdraws the marks of items gone or no longer selectable.
  void pruneChecked();
  CacheItem* itemPointer(const std::string& id);
  const CacheItem* itemPointer(const std::string& id) const;

  // Guarded actions.
  struct GuardRefresh {
    std::map<std::string, std::string> inUse;
    std::set<std::string> running;
    VerificationState verification;
    // What stood at the items' paths, read just before the in-use check.
    ShownItems seen;
  };
  struct RemovalOutcome {
    TrashResult result;
    // The in-use state could not be verified, so nothing was removed: why.
    std::optional<std::string> unverifiable;
  };
  Flow<GuardRefresh> refreshGuards(std::vector<CacheItem> items);
  Flow<> planRemoval(std::vector<CacheItem> items);
  // `shown`: what stood at the items' paths when the user was shown them (the plan, Quick
  // Clean's confirmation); an item that is anything else now is skipped as changed.
  Flow<RemovalOutcome> performTrash(std::vector<CacheItem> items, TrashTrigger trigger,
                                    RemovalMode mode, ShownItems shown);
  // The passed items whose list item still stands as confirmed; the others fail into `failures`.
  // Quick Clean also leaves an item whose application runs.
  std::vector<CacheItem> stillAsConfirmed(const std::vector<CacheItem>& items,
                                          std::vector<TrashResult::Failure>& failures,
                                          TrashTrigger trigger) const;
  Flow<> prepareQuickClean(std::vector<CacheItem> candidates, std::uint64_t token,
                           int heldBefore);
  Flow<> runQuickClean(std::vector<CacheItem> items, RemovalMode confirmedMode, int skipped,
                       ShownItems shown);
  Flow<std::optional<std::string>> runningBlocker(NativeAction action);
  Flow<> checkAction(CacheItem item);
  Flow<> runTool(CacheItem item, DestructiveGate gate);
  // Measures these listed items again, alone and on a worker thread, and shows their new sizes
  // (the totals follow): what a removal changed. Their cached sizes are dropped at once, so a
  // scan that starts meanwhile measures them too, and that scan's figures stand: the older ones
  // are dropped when they arrive, as is an item's older measurement still walking.
  void measureAgain(const std::set<std::string>& ids);
  std::set<std::string> trashRowIDs() const;
  void stopMeasuringAgain();
  // A removal runs, is being planned, or Quick Clean was confirmed and has not finished.
  bool removalBusy() const;
  void refuseWhileBusy(TrashTrigger trigger);
  // Marked for the step's announcement, never announced on its own: a flow destroyed with the
  // model ends its Quick Clean without telling anyone.
  void setQuickCleanConfirmed(bool confirmed);

  // Helpers of the derived values.
  bool isSafe(const CacheItem& item, Date now) const;
  // The visible items in display order, as pointers into the list; valid until it changes.
  std::vector<const CacheItem*> visibleList() const;
  bool hiddenByStaleFilter(const CacheItem& item, Date now) const;

  SettingsStore& settings_;
  ActivityLog& activity_;
  HistoryViewModel& history_;
  // Every member filled in; the engine and the removal service are moved out below.
  CleanerDependencies dependencies_;
  const std::string home_;
  const WallClock wallClock_;
  const MonotonicClock monotonicClock_;
  const std::shared_ptr<FlowExecutor> executor_;
  // Posting from foreign threads: cleared when the model goes, under its own lock.
  struct Mailbox;
  std::shared_ptr<Mailbox> mailbox_;
  std::shared_ptr<CleanerScanEngine> engine_;
  std::shared_ptr<RemovalService> trashService_;

  std::vector<CacheItem> items_;
  quint64 itemsRevision_ = 0;
  mutable std::optional<IncludedCache> includedCache_;
  // The list `sidebarGroupsChanged` last told of.
  std::vector<CacheGroup> announcedSidebarGroups_;
  // Keys view the ids inside `items_`: rebuilt whenever the list is assigned.
  std::unordered_map<std::string_view, std::size_t> indexByID_;
  ToolEnvironment tools_ = ToolEnvironment::empty();
  std::optional<CacheGroup> selectedGroup_;
  HomeTab tab_ = HomeTab::items;
  std::set<std::string> checked_;
  std::set<std::string> tableSelection_;
  std::optional<std::string> detailItemID_;
  bool showAllProjects_ = false;
  bool isScanning_ = false;
  bool hasScanned_ = false;
  std::optional<CacheGroup> scanningGroup_;
  std::set<CacheGroup> finishedGroups_;
  std::optional<Date> lastScanDate_;
  bool finishedThisRun_ = false;
  std::optional<TrashPlan> pendingPlan_;
  bool isPreparingTrash_ = false;
  bool isTrashing_ = false;
  TrashProgress trashProgress_;
  RemovalMode activeRemovalMode_ = RemovalMode::trash;
  std::optional<std::string> resultMessage_;
  std::optional<CacheItem> pendingAction_;
  std::set<std::string> runningActions_;
  QuickCleanState quickClean_;
  RemovalMode quickCleanMode_ = RemovalMode::trash;
  LiveSummary liveSummary_;
  VerificationState verification_;
  Date quickCleanConfirmableAt_ = Date::max();
  // What stood at the paths of the items Quick Clean offers, read when it offered them.
  ShownItems quickCleanShown_;
  std::uint64_t quickCleanToken_ = 0;
  // From Quick Clean's confirmation until its flow ends. Not the tray's state: a cancel shows
  // idle at once while the confirmed removal still goes ahead.
  bool quickCleanConfirmed_ = false;
  std::function<void()> onDiskChanged_;
  FullDiskAccess::Status fullDiskAccess_ = FullDiskAccess::Status::notApplicable;
  std::optional<std::string> checkAnchor_;

  // The current scan run: its number tags its events, so a superseded run's are dropped.
  std::uint64_t scanRun_ = 0;
  std::unique_ptr<CleanerScanEngine::Run> scanHandle_;
  std::vector<CacheScanEvent> pendingEvents_;
  Instant lastFlush_{};
  // The measurements of items after a removal, by id: each stopped by a newer one of the same
  // item, a scan or the model's end.
  std::map<std::string, std::stop_source> measuringAgain_;

  Inputs pendingChanges_ = 0;
  int batchDepth_ = 0;

  // Last, so the flows still waiting go first when the model is destroyed.
  FlowScope flows_;
};

}  // namespace hl
