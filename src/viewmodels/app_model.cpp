#include "viewmodels/app_model.h"

#include <QPointer>
#include <stdexcept>
#include <string>
#include <utility>

#include "services/storage/history_store.h"
#include "viewmodels/gui_thread.h"

namespace hl {
namespace {

// A scan younger than this is fresh enough when the window shows again.
constexpr double kStaleScanSeconds = 600;

std::shared_ptr<FlowExecutor> executorOrDefault(std::shared_ptr<FlowExecutor> executor) {
  return executor ? std::move(executor) : std::make_shared<QtFlowExecutor>();
}

// Never a real service by default: a caller that leaves one out learns which.
template <typename Service>
Service required(Service service, const char* member) {
  if (!service) {
    throw std::invalid_argument(std::string("AppModel needs AppModelDependencies::") + member +
                                "; the composition root wires the real one");
  }
  return service;
}

CleanerDependencies cleanerDependencies(CleanerDependencies cleaner,
                                        const std::shared_ptr<FlowExecutor>& executor,
                                        const WallClock& clock,
                                        const std::shared_ptr<DesktopServices>& desktop) {
  if (!cleaner.executor) cleaner.executor = executor;
  if (!cleaner.wallClock) cleaner.wallClock = clock;
  if (!cleaner.desktop) cleaner.desktop = desktop;
  return cleaner;
}

ScannerServices scannerServices(ScannerServices services, DesktopServices* desktop) {
  if (!services.desktop) services.desktop = desktop;
  return services;
}

}  // namespace

AppModel::AppModel(std::unique_ptr<SettingsStore> settings, AppModelDependencies dependencies,
                   QObject* parent)
    : QObject(parent),
      settings_(std::move(settings)),
      executor_(executorOrDefault(std::move(dependencies.executor))),
      desktop_(std::move(dependencies.desktop)),
      readBootVolume_(required(std::move(dependencies.readBootVolume), "readBootVolume")),
      activity_(std::make_unique<ActivityLog>(
          dependencies.wallClock ? dependencies.wallClock : systemWallClock())),
      history_(std::make_unique<HistoryViewModel>(
          required(std::move(dependencies.historyStore), "historyStore"), *activity_,
          dependencies.wallClock ? dependencies.wallClock : systemWallClock())),
      cleaner_(std::make_unique<CleanerViewModel>(
          *settings_, *activity_, *history_,
          cleanerDependencies(std::move(dependencies.cleaner), executor_,
                              dependencies.wallClock, desktop_))),
      scanner_(std::make_unique<ScannerViewModel>(
          *activity_, *history_, settings_.get(),
          scannerServices(std::move(dependencies.scanner), desktop_.get()))) {
  connect(settings_.get(), &SettingsStore::errorOccurred, this,
          [this](const std::string& message) { activity_->log(ActivityEvent::Kind::error, message); });

  // Weakly: the view models never keep the application model alive.
  const QPointer<AppModel> self(this);
  const auto diskChanged = [self] {
    if (self) self->refreshVolume();
  };
  cleaner_->setOnDiskChanged(diskChanged);
  scanner_->setOnDiskChanged([self](const TrashResult& result) {
    if (!self) return;
    // The cleaner's list follows what the folder scanner removed: the items that went leave it,
    // and the figures the removal changed are measured again.
    self->cleaner_->removedElsewhere(result);
    self->refreshVolume();
  });

  for (auto signal : {&CleanerViewModel::isScanningChanged, &CleanerViewModel::isTrashingChanged}) {
    connect(cleaner_.get(), signal, this, &AppModel::busyInputChanged);
  }
  for (auto signal : {&ScannerViewModel::isScanningChanged, &ScannerViewModel::isTrashingChanged}) {
    connect(scanner_.get(), signal, this, &AppModel::busyInputChanged);
  }

  // Select All follows the page, the cleaner's tab and marks, and the scanner's selection.
  const auto selectAllInputChanged = [this] { emit canSelectAllOnCurrentPageChanged(); };
  connect(this, &AppModel::pageChanged, this, selectAllInputChanged);
  for (auto signal : {&CleanerViewModel::tabChanged, &CleanerViewModel::checkStateChanged}) {
    connect(cleaner_.get(), signal, this, selectAllInputChanged);
  }
  for (auto signal : {&ScannerViewModel::isTrashingChanged, &ScannerViewModel::selectionChanged,
                      &ScannerViewModel::refusalsChanged, &ScannerViewModel::rootChanged}) {
    connect(scanner_.get(), signal, this, selectAllInputChanged);
  }
}

AppModel::~AppModel() = default;

void AppModel::assertOnGuiThread() const { assertGuiThread(*this); }

// --- Stored state ------------------------------------------------------------------------------

Page AppModel::page() const {
  assertOnGuiThread();
  return page_;
}

SettingsSection AppModel::settingsSection() const {
  assertOnGuiThread();
  return settingsSection_;
}

double AppModel::topBarHeight() const {
  assertOnGuiThread();
  return topBarHeight_;
}

double AppModel::railWidth() const {
  assertOnGuiThread();
  return railWidth_;
}

const std::optional<VolumeInfo>& AppModel::bootVolume() const {
  assertOnGuiThread();
  return bootVolume_;
}

void AppModel::setPage(Page page) {
  assertOnGuiThread();
  assign(page_, page, &AppModel::pageChanged);
}

void AppModel::setSettingsSection(SettingsSection section) {
  assertOnGuiThread();
  assign(settingsSection_, section, &AppModel::settingsSectionChanged);
}

void AppModel::setTopBarHeight(double height) {
  assertOnGuiThread();
  assign(topBarHeight_, height, &AppModel::topBarHeightChanged);
}

void AppModel::setRailWidth(double width) {
  assertOnGuiThread();
  assign(railWidth_, width, &AppModel::railWidthChanged);
}

SettingsStore& AppModel::settings() const { return *settings_; }
ActivityLog& AppModel::activity() const { return *activity_; }
HistoryViewModel& AppModel::history() const { return *history_; }
CleanerViewModel& AppModel::cleaner() const { return *cleaner_; }
ScannerViewModel& AppModel::scanner() const { return *scanner_; }

// --- Start-up and the window -------------------------------------------------------------------

void AppModel::start(bool autoScan, std::function<void()> done) {
  assertOnGuiThread();
  // Set before anything waits, so of overlapping calls exactly the first does the work.
  if (started_) {
    if (done) done();
    return;
  }
  started_ = true;
  refreshVolume();
  if (autoScan) cleaner_->rescan(true);
  history_->load(std::move(done));
}

bool AppModel::isStarted() const {
  assertOnGuiThread();
  return started_;
}

void AppModel::windowAppeared(Date now) {
  assertOnGuiThread();
  if (!started_) return;
  if (cleaner_->isScanning()) return;
  if (cleaner_->isTrashing()) return;
  if (const std::optional<Date> last = cleaner_->lastScanDate()) {
    // A date after `now` gives a negative age: recent.
    if (secondsBetween(*last, now) < kStaleScanSeconds) return;
  }
  cleaner_->rescan(true);
  refreshVolume();
}

// --- The boot volume ---------------------------------------------------------------------------

void AppModel::refreshVolume() {
  assertOnGuiThread();
  const std::uint64_t probe = ++volumeProbe_;
  // The executor outlives the jobs it runs; the model may not, hence the weak pointer.
  FlowExecutor* executor = executor_.get();
  executor_->runInBackground(
      [executor, read = readBootVolume_, self = QPointer<AppModel>(this), probe] {
        std::optional<VolumeInfo> volume = read();
        executor->post([self, probe, volume = std::move(volume)]() mutable {
          if (self) self->volumeRead(probe, std::move(volume));
        });
      });
}

void AppModel::volumeRead(std::uint64_t probe, std::optional<VolumeInfo> volume) {
  // A reading started before the latest one may describe the disk before a removal.
  if (probe != volumeProbe_) return;
  assign(bootVolume_, std::move(volume), &AppModel::bootVolumeChanged);
}

// --- Commands on the page shown ----------------------------------------------------------------

void AppModel::rescanCurrentPage() {
  assertOnGuiThread();
  if (page_ == Page::search) {
    if (const std::optional<std::string>& root = scanner_->rootURL()) {
      scanner_->scan(*root);
    } else {
      scanner_->chooseFolder();
    }
  } else {
    cleaner_->rescan(true);
  }
  refreshVolume();
}

bool AppModel::isBusy() const {
  assertOnGuiThread();
  return cleaner_->isScanning() || cleaner_->isTrashing() || scanner_->isScanning() ||
         scanner_->isTrashing();
}

void AppModel::busyInputChanged() {
  const bool busy = isBusy();
  if (busy == isBusy_) return;
  isBusy_ = busy;
  emit isBusyChanged();
}

bool AppModel::canSelectAllOnCurrentPage() const {
  assertOnGuiThread();
  switch (page_) {
    case Page::home:
      return cleaner_->tab() == HomeTab::items && cleaner_->canSelectAllVisible();
    case Page::search:
      return scanner_->canSelectAll();
    case Page::activity:
    case Page::history:
    case Page::settings:
      return false;
  }
  return false;
}

void AppModel::selectAllOnCurrentPage() {
  assertOnGuiThread();
  if (!canSelectAllOnCurrentPage()) return;
  if (page_ == Page::home) {
    cleaner_->selectAllVisible();
  } else if (page_ == Page::search) {
    scanner_->selectAll();
  }
}

}  // namespace hl
