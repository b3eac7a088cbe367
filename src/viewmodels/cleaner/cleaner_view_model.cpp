#include "viewmodels/cleaner/cleaner_view_model.h"

#include <QThread>
#include <array>
#include <bit>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/user_folders.h"
#include "services/in_use/in_use_detector.h"
#include "viewmodels/gui_thread.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl {

// How work started on foreign threads (the scan's runs, a tool's output) reaches the GUI
// thread: through the executor while the model lives, nowhere afterwards.
struct CleanerViewModel::Mailbox {
  std::mutex mutex;
  FlowExecutor* executor = nullptr;
  CleanerViewModel* model = nullptr;
};

namespace {

// A service that reaches the world is never filled in here: a caller that leaves one out gets
// an error naming it, never the real one by accident.
void require(bool present, const char* member) {
  if (!present) {
    throw std::invalid_argument(std::string("CleanerViewModel needs CleanerDependencies::") +
                                member + "; the composition root wires the real one");
  }
}

CleanerDependencies completed(CleanerDependencies dependencies) {
  CleanerDependencies& d = dependencies;
  require(d.engine != nullptr, "engine");
  require(d.trashService != nullptr, "trashService");
  require(static_cast<bool>(d.evaluateInUse), "evaluateInUse");
  require(static_cast<bool>(d.worktreeStatus), "worktreeStatus");
  require(static_cast<bool>(d.pruneWorktrees), "pruneWorktrees");
  require(static_cast<bool>(d.runningOwners), "runningOwners");
  if (!d.home) d.home = homeDirectory();
  if (!d.executor) d.executor = std::make_shared<QtFlowExecutor>();
  if (!d.wallClock) d.wallClock = systemWallClock();
  if (!d.monotonicClock) d.monotonicClock = continuousClock();
  // On this platform a stand-in that reads nothing and always answers "not applicable".
  if (!d.fullDiskAccess) d.fullDiskAccess = &FullDiskAccess::applicationStatus;
  if (!d.runTool) {
    // The tools run through the locator the scans resolve, so its environment is reused.
    d.runTool = [engine = d.engine](const NativeAction& action, const DestructiveGate& gate,
                                    const ProcessRunner::OutputHandler& onOutput) {
      return engine->tools().run(action, gate, onOutput);
    };
  }
  return dependencies;
}

}  // namespace

CleanerViewModel::CleanerViewModel(SettingsStore& settings, ActivityLog& activity,
                                   HistoryViewModel& history, CleanerDependencies dependencies,
                                   QObject* parent)
    : QObject(parent),
      settings_(settings),
      activity_(activity),
      history_(history),
      dependencies_(completed(std::move(dependencies))),
      home_(*dependencies_.home),
      wallClock_(dependencies_.wallClock),
      monotonicClock_(dependencies_.monotonicClock),
      executor_(dependencies_.executor),
      mailbox_(std::make_shared<Mailbox>()),
      engine_(std::move(dependencies_.engine)),
      trashService_(std::move(dependencies_.trashService)) {
  mailbox_->executor = executor_.get();
  mailbox_->model = this;

  // Settings feed the derived values; each change re-announces those that read it.
  const auto follow = [this](auto signal, Input input) {
    connect(&settings_, signal, this, [this, input] { changed(input); });
  };
  follow(&SettingsStore::excludedPathsChanged, Input::excludedPaths);
  follow(&SettingsStore::extraPathsChanged, Input::extraPaths);
  follow(&SettingsStore::quickCleanIncludesModerateChanged, Input::quickCleanIncludesModerate);
  follow(&SettingsStore::deleteImmediatelyChanged, Input::deleteImmediately);
  announcedSidebarGroups_ = sidebarGroups();
}

CleanerViewModel::~CleanerViewModel() {
  {
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->executor = nullptr;
    mailbox_->model = nullptr;
  }
  scanHandle_.reset();
  stopMeasuringAgain();
}

SettingsStore& CleanerViewModel::settings() const { return settings_; }
ActivityLog& CleanerViewModel::activity() const { return activity_; }
HistoryViewModel& CleanerViewModel::history() const { return history_; }

// --- Observation -----------------------------------------------------------------------------

void CleanerViewModel::assertOnGuiThread() const { assertGuiThread(*this); }

CleanerViewModel::Batch::Batch(CleanerViewModel& model) : model_(model) {
  ++model_.batchDepth_;
}

CleanerViewModel::Batch::~Batch() {
  if (--model_.batchDepth_ == 0) model_.announce();
}

void CleanerViewModel::changed(Input input) {
  pendingChanges_ |= bit(input);
  if (batchDepth_ == 0) announce();
}

CleanerViewModel::Signal CleanerViewModel::signalOf(Input input) {
  // A switch without a default: the compiler names every input that has no answer here.
  switch (input) {
    case Input::items: return &CleanerViewModel::itemsChanged;
    case Input::itemsRevision: return &CleanerViewModel::itemsRevisionChanged;
    case Input::tools: return &CleanerViewModel::toolsChanged;
    case Input::selectedGroup: return &CleanerViewModel::selectedGroupChanged;
    case Input::tab: return &CleanerViewModel::tabChanged;
    case Input::checked: return &CleanerViewModel::checkedChanged;
    case Input::tableSelection: return &CleanerViewModel::tableSelectionChanged;
    case Input::detailItemID: return &CleanerViewModel::detailItemIDChanged;
    case Input::showAllProjects: return &CleanerViewModel::showAllProjectsChanged;
    case Input::isScanning: return &CleanerViewModel::isScanningChanged;
    case Input::hasScanned: return &CleanerViewModel::hasScannedChanged;
    case Input::scanningGroup: return &CleanerViewModel::scanningGroupChanged;
    case Input::finishedGroups: return &CleanerViewModel::finishedGroupsChanged;
    case Input::lastScanDate: return &CleanerViewModel::lastScanDateChanged;
    case Input::pendingPlan: return &CleanerViewModel::pendingPlanChanged;
    case Input::isPreparingTrash: return &CleanerViewModel::isPreparingTrashChanged;
    case Input::isTrashing: return &CleanerViewModel::isTrashingChanged;
    case Input::trashProgress: return &CleanerViewModel::trashProgressChanged;
    case Input::activeRemovalMode: return &CleanerViewModel::activeRemovalModeChanged;
    case Input::resultMessage: return &CleanerViewModel::resultMessageChanged;
    case Input::pendingAction: return &CleanerViewModel::pendingActionChanged;
    case Input::runningActions: return &CleanerViewModel::runningActionsChanged;
    case Input::quickClean: return &CleanerViewModel::quickCleanChanged;
    case Input::quickCleanMode: return &CleanerViewModel::quickCleanModeChanged;
    case Input::liveSummary: return &CleanerViewModel::liveSummaryChanged;
    case Input::verification: return &CleanerViewModel::verificationChanged;
    case Input::fullDiskAccess: return &CleanerViewModel::fullDiskAccessChanged;
    case Input::gate: return &CleanerViewModel::readOnlyChanged;
    // The settings have signals of their own, and a confirmed Quick Clean is told only through
    // the busy state it feeds: these inputs only feed derived values.
    case Input::excludedPaths:
    case Input::extraPaths:
    case Input::quickCleanIncludesModerate:
    case Input::deleteImmediately:
    case Input::quickCleanConfirmed: return nullptr;
  }
  return nullptr;
}

void CleanerViewModel::announce() {
  constexpr Inputs included = bit(Input::itemsRevision) | bit(Input::excludedPaths);
  constexpr Inputs visible = included | bit(Input::selectedGroup) | bit(Input::showAllProjects);
  struct Derived {
    Inputs inputs;
    Signal signal;
  };
  static constexpr std::array<Derived, 9> derived = {{
      {included, &CleanerViewModel::includedItemsChanged},
      {visible, &CleanerViewModel::visibleItemsChanged},
      {included | bit(Input::fullDiskAccess), &CleanerViewModel::totalsChanged},
      {visible | bit(Input::checked), &CleanerViewModel::checkStateChanged},
      {included | bit(Input::quickCleanIncludesModerate),
       &CleanerViewModel::quickCleanCandidatesChanged},
      {bit(Input::deleteImmediately), &CleanerViewModel::removalModeChanged},
      {visible | bit(Input::verification) | bit(Input::isScanning) | bit(Input::hasScanned),
       &CleanerViewModel::contentStateChanged},
      {included | bit(Input::fullDiskAccess) | bit(Input::verification) | bit(Input::isTrashing) |
           bit(Input::trashProgress) | bit(Input::activeRemovalMode) |
           bit(Input::runningActions) | bit(Input::isScanning) | bit(Input::scanningGroup),
       &CleanerViewModel::statusTextChanged},
      {bit(Input::isTrashing) | bit(Input::isPreparingTrash) | bit(Input::quickCleanConfirmed),
       &CleanerViewModel::isRemovalBusyChanged},
  }};

  // Changes made by receivers while announcing are collected and announced right after.
  ++batchDepth_;
  while (pendingChanges_ != 0) {
    const Inputs changes = std::exchange(pendingChanges_, 0);
    for (Inputs rest = changes; rest != 0; rest &= rest - 1) {
      if (const Signal signal = signalOf(static_cast<Input>(std::countr_zero(rest)))) {
        (this->*signal)();
      }
    }
    for (const Derived& value : derived) {
      if ((changes & value.inputs) != 0) (this->*value.signal)();
    }
    // Items come and go all through a scan; the list of groups seldom changes with them.
    if ((changes & (included | bit(Input::extraPaths) | bit(Input::selectedGroup))) != 0) {
      std::vector<CacheGroup> groups = sidebarGroups();
      if (groups != announcedSidebarGroups_) {
        announcedSidebarGroups_ = std::move(groups);
        emit sidebarGroupsChanged();
      }
    }
  }
  --batchDepth_;
}

void CleanerViewModel::setItems(std::vector<CacheItem> items) {
  Batch batch(*this);
  ++itemsRevision_;
  changed(Input::itemsRevision);
  assign(items_, std::move(items), Input::items);
  reindex();
}

void CleanerViewModel::itemsEdited() {
  ++itemsRevision_;
  changed(Input::itemsRevision);
  changed(Input::items);
}

void CleanerViewModel::setQuickCleanConfirmed(bool confirmed) {
  if (quickCleanConfirmed_ == confirmed) return;
  quickCleanConfirmed_ = confirmed;
  pendingChanges_ |= bit(Input::quickCleanConfirmed);
}

void CleanerViewModel::assignChecked(std::set<std::string> ids) {
  assign(checked_, std::move(ids), Input::checked);
}

// --- Flows -----------------------------------------------------------------------------------

FlowExecutor& CleanerViewModel::flowExecutor() { return *executor_; }

void CleanerViewModel::resumeFlow(std::coroutine_handle<> flow) {
  assertOnGuiThread();
  Batch batch(*this);
  flow.resume();
}

std::function<void(CleanerViewModel::ModelTask)> CleanerViewModel::poster() const {
  return [mailbox = mailbox_](ModelTask task) {
    std::lock_guard lock(mailbox->mutex);
    if (!mailbox->executor) return;
    mailbox->executor->post([mailbox, task = std::move(task)] {
      // On the GUI thread, where the model is also destroyed.
      CleanerViewModel* model = mailbox->model;
      if (!model) return;
      Batch batch(*model);
      task(*model);
    });
  };
}

// --- Stored state ----------------------------------------------------------------------------

const std::vector<CacheItem>& CleanerViewModel::items() const {
  assertOnGuiThread();
  return items_;
}
quint64 CleanerViewModel::itemsRevision() const {
  assertOnGuiThread();
  return itemsRevision_;
}
const ToolEnvironment& CleanerViewModel::tools() const {
  assertOnGuiThread();
  return tools_;
}
std::optional<CacheGroup> CleanerViewModel::selectedGroup() const {
  assertOnGuiThread();
  return selectedGroup_;
}
HomeTab CleanerViewModel::tab() const {
  assertOnGuiThread();
  return tab_;
}
const std::set<std::string>& CleanerViewModel::checked() const {
  assertOnGuiThread();
  return checked_;
}
const std::set<std::string>& CleanerViewModel::tableSelection() const {
  assertOnGuiThread();
  return tableSelection_;
}
const std::optional<std::string>& CleanerViewModel::detailItemID() const {
  assertOnGuiThread();
  return detailItemID_;
}
bool CleanerViewModel::showAllProjects() const {
  assertOnGuiThread();
  return showAllProjects_;
}
bool CleanerViewModel::isScanning() const {
  assertOnGuiThread();
  return isScanning_;
}
bool CleanerViewModel::hasScanned() const {
  assertOnGuiThread();
  return hasScanned_;
}
std::optional<CacheGroup> CleanerViewModel::scanningGroup() const {
  assertOnGuiThread();
  return scanningGroup_;
}
const std::set<CacheGroup>& CleanerViewModel::finishedGroups() const {
  assertOnGuiThread();
  return finishedGroups_;
}
std::optional<Date> CleanerViewModel::lastScanDate() const {
  assertOnGuiThread();
  return lastScanDate_;
}
const std::optional<TrashPlan>& CleanerViewModel::pendingPlan() const {
  assertOnGuiThread();
  return pendingPlan_;
}
bool CleanerViewModel::isPreparingTrash() const {
  assertOnGuiThread();
  return isPreparingTrash_;
}
bool CleanerViewModel::isTrashing() const {
  assertOnGuiThread();
  return isTrashing_;
}
bool CleanerViewModel::isRemovalBusy() const {
  assertOnGuiThread();
  return removalBusy();
}
CleanerViewModel::TrashProgress CleanerViewModel::trashProgress() const {
  assertOnGuiThread();
  return trashProgress_;
}
RemovalMode CleanerViewModel::activeRemovalMode() const {
  assertOnGuiThread();
  return activeRemovalMode_;
}
const std::optional<std::string>& CleanerViewModel::resultMessage() const {
  assertOnGuiThread();
  return resultMessage_;
}
const std::optional<CacheItem>& CleanerViewModel::pendingAction() const {
  assertOnGuiThread();
  return pendingAction_;
}
const std::set<std::string>& CleanerViewModel::runningActions() const {
  assertOnGuiThread();
  return runningActions_;
}
const QuickCleanState& CleanerViewModel::quickClean() const {
  assertOnGuiThread();
  return quickClean_;
}
RemovalMode CleanerViewModel::quickCleanMode() const {
  assertOnGuiThread();
  return quickCleanMode_;
}
const LiveSummary& CleanerViewModel::liveSummary() const {
  assertOnGuiThread();
  return liveSummary_;
}
const VerificationState& CleanerViewModel::verification() const {
  assertOnGuiThread();
  return verification_;
}
FullDiskAccess::Status CleanerViewModel::fullDiskAccess() const {
  assertOnGuiThread();
  return fullDiskAccess_;
}

void CleanerViewModel::setSelectedGroup(std::optional<CacheGroup> group) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(selectedGroup_, group, Input::selectedGroup);
}
void CleanerViewModel::setTab(HomeTab tab) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(tab_, tab, Input::tab);
}
void CleanerViewModel::setTableSelection(std::set<std::string> ids) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(tableSelection_, std::move(ids), Input::tableSelection);
}
void CleanerViewModel::setDetailItemID(std::optional<std::string> id) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(detailItemID_, std::move(id), Input::detailItemID);
}
void CleanerViewModel::setShowAllProjects(bool value) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(showAllProjects_, value, Input::showAllProjects);
}
void CleanerViewModel::setPendingPlan(std::optional<TrashPlan> plan) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(pendingPlan_, std::move(plan), Input::pendingPlan);
}
void CleanerViewModel::setResultMessage(std::optional<std::string> message) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(resultMessage_, std::move(message), Input::resultMessage);
}
void CleanerViewModel::setPendingAction(std::optional<CacheItem> item) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(pendingAction_, std::move(item), Input::pendingAction);
}

void CleanerViewModel::setOnDiskChanged(std::function<void()> callback) {
  assertOnGuiThread();
  onDiskChanged_ = std::move(callback);
}

RemovalService& CleanerViewModel::trashService() const {
  assertOnGuiThread();
  return *trashService_;
}

const DestructiveGate& CleanerViewModel::gate() const {
  assertOnGuiThread();
  return trashService_->gate();
}

void CleanerViewModel::setTrashService(std::shared_ptr<RemovalService> service) {
  assertOnGuiThread();
  if (!service) return;
  Batch batch(*this);
  const bool gateChanged = service->gate() != trashService_->gate();
  trashService_ = std::move(service);
  if (gateChanged) changed(Input::gate);
}

bool CleanerViewModel::needsFullDiskAccess() const {
  assertOnGuiThread();
  return fullDiskAccess_ == FullDiskAccess::Status::denied;
}

bool CleanerViewModel::isReadOnly() const {
  assertOnGuiThread();
  return trashService_->gate().isReadOnly();
}

std::optional<std::string> CleanerViewModel::readOnlySettingsCause() const {
  assertOnGuiThread();
  return trashService_->gate().settingsCause;
}

RemovalMode CleanerViewModel::removalMode() const {
  assertOnGuiThread();
  return settings_.removalMode();
}

bool CleanerViewModel::deletesImmediately() const {
  assertOnGuiThread();
  return settings_.deleteImmediately();
}

CacheItem* CleanerViewModel::itemPointer(const std::string& id) {
  const auto found = indexByID_.find(id);
  return found == indexByID_.end() ? nullptr : &items_[found->second];
}

const CacheItem* CleanerViewModel::itemPointer(const std::string& id) const {
  const auto found = indexByID_.find(id);
  return found == indexByID_.end() ? nullptr : &items_[found->second];
}

}  // namespace hl
