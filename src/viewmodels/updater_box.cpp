#include "viewmodels/updater_box.h"

namespace hl {

void UpdaterBox::setCurrent(std::shared_ptr<UpdaterManaging> updater) {
  const bool changed = updater != current_;
  current_ = std::move(updater);
  if (changed) emit currentChanged();
}

UpdaterBox& Updater::box() {
  static UpdaterBox shared;
  return shared;
}

}  // namespace hl
