#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "models/volume_info.h"
#include "utilities/time.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_dependencies.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/page.h"
#include "viewmodels/scanner/scanner_services.h"
#include "viewmodels/scanner/scanner_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl {

class DesktopServices;

// Everything the application model and the view models it makes reach outside themselves. The
// services that reach the world (the volume reading, the history file, the cleaner's and the
// folder scanner's services) must be given: the composition root wires the real ones, tests
// their own, and the model refuses to be made without them. The rest has a default.
struct AppModelDependencies {
  // Background work and its way back to the GUI thread: the boot volume's reading and the
  // cleaner's flows (unless the cleaner brings its own). Default: a pool of worker threads.
  std::shared_ptr<FlowExecutor> executor;
  // Reads the boot volume's capacity; blocks, runs off the GUI thread.
  std::function<std::optional<VolumeInfo>()> readBootVolume;
  // The history file the history view model keeps.
  std::shared_ptr<HistoryStore> historyStore;
  // Dates the activity log's lines and the history's records, and the cleaner's dates when it
  // brings no clock of its own. Default: the system's.
  WallClock wallClock;
  // Reveal and the clipboard for both the cleaner and the folder scanner, unless they bring
  // their own. Kept alive by the model.
  std::shared_ptr<DesktopServices> desktop;
  CleanerDependencies cleaner;
  ScannerServices scanner;
};

// The one shared state of the application: the settings, the activity log, the history, the
// cleaner and the folder scanner, which page and settings section the window shows, the boot
// volume's capacity, and the start-up sequence.
//
// GUI thread only; every public member checks it. A stored value notifies only when it really
// changed. `isBusy` is announced when its value changes; `canSelectAllOnCurrentPage` is
// re-announced whenever one of its inputs changed.
class AppModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(hl::Page page READ page WRITE setPage NOTIFY pageChanged)
  Q_PROPERTY(hl::SettingsSection settingsSection READ settingsSection WRITE setSettingsSection
                 NOTIFY settingsSectionChanged)
  Q_PROPERTY(double topBarHeight READ topBarHeight WRITE setTopBarHeight NOTIFY
                 topBarHeightChanged)
  Q_PROPERTY(double railWidth READ railWidth WRITE setRailWidth NOTIFY railWidthChanged)
  Q_PROPERTY(std::optional<hl::VolumeInfo> bootVolume READ bootVolume NOTIFY bootVolumeChanged)
  Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
  Q_PROPERTY(bool canSelectAllOnCurrentPage READ canSelectAllOnCurrentPage NOTIFY
                 canSelectAllOnCurrentPageChanged)

 public:
  // The program's one model, made on first use by the composition root with the real services
  // and the settings file; it lives as long as the application object. Needs the application
  // object; GUI thread only.
  static AppModel& shared();

  // Makes the activity log, the history over the history file, the cleaner and the folder
  // scanner, and has both view models re-read the boot volume after they changed the disk.
  // Reads nothing from disk and starts no work.
  explicit AppModel(std::unique_ptr<SettingsStore> settings, AppModelDependencies dependencies = {},
                    QObject* parent = nullptr);
  // Waits for a volume reading under way; its answer is dropped.
  ~AppModel() override;

  // --- Stored state.
  Page page() const;
  SettingsSection settingsSection() const;
  // Layout figures of the window shell, in points.
  double topBarHeight() const;
  double railWidth() const;
  // None until the first reading arrived, and when the volume cannot be read.
  const std::optional<VolumeInfo>& bootVolume() const;

  void setPage(Page page);
  void setSettingsSection(SettingsSection section);
  void setTopBarHeight(double height);
  void setRailWidth(double width);

  // --- What the model owns, made once and never replaced.
  SettingsStore& settings() const;
  ActivityLog& activity() const;
  HistoryViewModel& history() const;
  CleanerViewModel& cleaner() const;
  ScannerViewModel& scanner() const;

  // The start-up sequence, done on the first call only: re-reads the boot volume, rescans the
  // cleaner with force when `autoScan` holds, then loads the history; `done` runs on the GUI
  // thread once the history is loaded. A later call, also one that overlaps the first, does
  // nothing and runs its `done` at once.
  void start(bool autoScan, std::function<void()> done = {});
  bool isStarted() const;

  // The main window was shown at `now`: after start-up, when the cleaner neither scans nor
  // removes and its last scan is missing or at least 600 seconds old, rescans with force and
  // re-reads the boot volume. A last scan dated after `now` counts as recent.
  void windowAppeared(Date now);

  // Reads the boot volume's capacity in the background. Readings are never cancelled; only the
  // answer of the latest one started is stored, so a slow earlier reading never puts an old
  // figure back.
  void refreshVolume();

  // The "Rescan" command on the page shown: on the folder scanner the chosen folder again (or
  // the folder chooser when none was chosen yet), on every other page the cleaner with force;
  // then re-reads the boot volume.
  void rescanCurrentPage();

  // The cleaner or the folder scanner is scanning or removing.
  bool isBusy() const;
  // Whether Select All would select something on the page shown.
  bool canSelectAllOnCurrentPage() const;
  // The Select All command on the page shown.
  void selectAllOnCurrentPage();

 signals:
  void pageChanged();
  void settingsSectionChanged();
  void topBarHeightChanged();
  void railWidthChanged();
  void bootVolumeChanged();
  void isBusyChanged();
  void canSelectAllOnCurrentPageChanged();

 private:
  void assertOnGuiThread() const;
  // Stores the value; notifies only when it differs.
  template <typename T>
  void assign(T& field, T value, void (AppModel::*changed)()) {
    if (field == value) return;
    field = std::move(value);
    emit(this->*changed)();
  }
  void volumeRead(std::uint64_t probe, std::optional<VolumeInfo> volume);
  void busyInputChanged();

  Page page_ = Page::home;
  SettingsSection settingsSection_ = SettingsSection::general;
  double topBarHeight_ = 52;
  double railWidth_ = 72;
  std::optional<VolumeInfo> bootVolume_;

  const std::unique_ptr<SettingsStore> settings_;
  const std::shared_ptr<FlowExecutor> executor_;
  const std::shared_ptr<DesktopServices> desktop_;
  const std::function<std::optional<VolumeInfo>()> readBootVolume_;
  const std::unique_ptr<ActivityLog> activity_;
  const std::unique_ptr<HistoryViewModel> history_;
  const std::unique_ptr<CleanerViewModel> cleaner_;
  const std::unique_ptr<ScannerViewModel> scanner_;
  bool started_ = false;

  // The number of the latest volume reading started; other readings' answers are dropped.
  std::uint64_t volumeProbe_ = 0;
  bool isBusy_ = false;
};

}  // namespace hl
