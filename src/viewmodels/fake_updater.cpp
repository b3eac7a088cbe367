#include "viewmodels/fake_updater.h"

namespace hl {

void FakeUpdater::setAutomaticallyChecksForUpdates(bool enabled) {
  if (enabled == automaticallyChecks_) return;
  automaticallyChecks_ = enabled;
  emit automaticallyChecksForUpdatesChanged();
}

void FakeUpdater::setCanCheckForUpdates(bool canCheck) {
  if (canCheck == canCheck_) return;
  canCheck_ = canCheck;
  emit canCheckForUpdatesChanged();
}

void FakeUpdater::checkForUpdates() {
  ++callCount_;
  emit checkForUpdatesCallCountChanged();
}

}  // namespace hl
