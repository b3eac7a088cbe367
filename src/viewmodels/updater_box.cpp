#include "viewmodels/updater_box.h"

namespace hl {

void UpdaterBox::setCurrent(std::shared_ptr<UpdaterManaging> updater) {
  if (updater == current_) return;
  QObject::disconnect(currentCanCheck_);
  current_ = std::move(updater);
  if (current_) {
    currentCanCheck_ = connect(current_.get(), &UpdaterManaging::canCheckForUpdatesChanged, this,
                               &UpdaterBox::refreshCanCheck);
  }
  emit currentChanged();
  refreshCanCheck();
}

bool UpdaterBox::canCheckForUpdates() const {
  return current_ && current_->canCheckForUpdates();
}

void UpdaterBox::refreshCanCheck() {
  const bool now = canCheckForUpdates();
  if (now == canCheck_) return;
  canCheck_ = now;
  emit canCheckForUpdatesChanged();
}

UpdaterBox& Updater::box() {
  static UpdaterBox shared;
  return shared;
}

std::shared_ptr<UpdaterManaging> Updater::current() {
  return box().current();
}

bool Updater::canCheckForUpdates() {
  return box().canCheckForUpdates();
}

void Updater::checkForUpdates() {
  // Held for the call, so an updater replaced from inside its own check outlives it.
  if (auto updater = box().current()) updater->checkForUpdates();
}

}  // namespace hl
