#include "app/composition/composition_root.h"

#include <QApplication>
#include <QCoreApplication>
#include <memory>
#include <string>

#include "app/composition/real_services.h"
#include "platform/user_folders.h"
#include "viewmodels/settings_store.h"
#include "views/pages/scanner/scanner_folder_chooser.h"
#include "views/shared/qt_desktop_services.h"

namespace hl {

AppModelDependencies CompositionRoot::production() {
  const std::string home = homeDirectory();
  const DestructiveGate gate = DestructiveGate::current();
  AppModelDependencies dependencies;
  dependencies.desktop = std::make_shared<QtDesktopServices>();
  dependencies.readBootVolume = bootVolumeReader();
  dependencies.historyStore = historyStore();
  dependencies.cleaner = cleanerServices(home, gate);
  dependencies.scanner = scannerServices(home, gate);
  // Over whichever of the program's windows is active when the folder is asked for.
  dependencies.scanner.chooseFolder =
      ScannerFolderChooser::dialogChooser([] { return QApplication::activeWindow(); });
  return dependencies;
}

std::unique_ptr<AppModel> CompositionRoot::makeModel() {
  return std::make_unique<AppModel>(std::make_unique<SettingsStore>(SettingsStore::standardDefaults()),
                                    production());
}

namespace {

AppModel*& sharedModel() {
  static AppModel* model = nullptr;
  return model;
}

bool& sharedModelReleased() {
  static bool released = false;
  return released;
}

// Runs as the application object ends, while its event loop's machinery still exists: the
// model's threads are waited for and its queued answers dropped before Qt goes.
void releaseSharedModel() {
  delete sharedModel();
  sharedModel() = nullptr;
  sharedModelReleased() = true;
}

}  // namespace

AppModel& AppModel::shared() {
  if (!QCoreApplication::instance()) qFatal("AppModel::shared() needs the application object");
  AppModel*& model = sharedModel();
  if (!model) {
    // There is one model per process: none is made again while the application ends.
    if (sharedModelReleased()) qFatal("AppModel::shared() used after the application ended");
    model = CompositionRoot::makeModel().release();
    qAddPostRoutine(&releaseSharedModel);
  }
  return *model;
}

}  // namespace hl
