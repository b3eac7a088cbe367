#pragma once

namespace hl {

// What the settings store needs of the program's updater: its switch for checking for updates
// on its own. Setting it takes effect at once.
class UpdaterManaging {
 public:
  virtual ~UpdaterManaging() = default;
  virtual bool automaticallyChecksForUpdates() const = 0;
  virtual void setAutomaticallyChecksForUpdates(bool enabled) = 0;
};

}  // namespace hl
