#include "app/launch_steps.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/relocation/app_relocator.h"
#include "app/relocation/linux_relocation_system.h"
#include "app/relocation/relocation_alerts.h"
#include "app/single_instance/single_instance.h"
#include "app/updater/feedless_updater.h"
#include "build_version.h"
#include "viewmodels/settings_store.h"
#include "viewmodels/updater_box.h"

namespace hl {

bool LaunchSteps::hostingTests() {
  return std::getenv("XCTestConfigurationFilePath") != nullptr;
}

void LaunchSteps::identifyApplication() {
  QApplication::setOrganizationName(QStringLiteral("Harborlume"));
  QApplication::setApplicationName(QStringLiteral("Harborlume"));
  QApplication::setApplicationDisplayName(QStringLiteral("Harbor Lume"));
  QApplication::setApplicationVersion(QString::fromLatin1(BuildVersion::shortVersion));
  QGuiApplication::setDesktopFileName(QStringLiteral("harborlume"));
}

std::optional<int> LaunchSteps::claimSingleInstance(SingleInstance& instance) {
  const SingleInstance::Claim claim = instance.claim();
  if (claim == SingleInstance::Claim::primary) return std::nullopt;
  const QString message = SingleInstance::message(claim);
  if (!message.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(message));
  return claim == SingleInstance::Claim::handedOver ? EXIT_SUCCESS : EXIT_FAILURE;
}

bool LaunchSteps::relocateIfNeeded() {
  if (hostingTests()) return false;
  LinuxRelocationSystem system;
  RelocationAlerts alerts;
  return AppRelocator(system, alerts).moveToApplicationsIfNeeded() ==
         RelocationOutcome::relaunching;
}

void LaunchSteps::installUpdater(std::function<void()> tellNoFeed) {
  if (hostingTests()) return;
  auto updater = std::make_shared<FeedlessUpdater>(std::move(tellNoFeed));
  updater->setAutomaticallyChecksForUpdates(
      SettingsStore::storedCheckForUpdatesAutomatically(SettingsStore::standardDefaults()));
  Updater::box().setCurrent(std::move(updater));
}

}  // namespace hl
