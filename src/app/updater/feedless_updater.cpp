#include "app/updater/feedless_updater.h"

namespace hl {

FeedlessUpdater::FeedlessUpdater(std::function<void()> tellNoFeed, QObject* parent)
    : UpdaterManaging(parent), tellNoFeed_(std::move(tellNoFeed)) {}

void FeedlessUpdater::setAutomaticallyChecksForUpdates(bool enabled) {
  if (enabled == automaticallyChecks_) return;
  automaticallyChecks_ = enabled;
  emit automaticallyChecksForUpdatesChanged();
}

void FeedlessUpdater::checkForUpdates() {
  if (tellNoFeed_) tellNoFeed_();
}

}  // namespace hl
