#pragma once

#include "viewmodels/updater_managing.h"

namespace hl {

// An updater that does no update work: two plain stored flags and a count of the checks asked
// for. The application never creates one; code that needs an updater without side effects puts
// one into the box. Starts with automatic checks off, a check possible, and no checks counted.
class FakeUpdater final : public UpdaterManaging {
  Q_OBJECT
  Q_PROPERTY(int checkForUpdatesCallCount READ checkForUpdatesCallCount NOTIFY
                 checkForUpdatesCallCountChanged)

 public:
  using UpdaterManaging::UpdaterManaging;

  bool automaticallyChecksForUpdates() const override { return automaticallyChecks_; }
  void setAutomaticallyChecksForUpdates(bool enabled) override;
  bool canCheckForUpdates() const override { return canCheck_; }
  void setCanCheckForUpdates(bool canCheck);
  // Counts the call and does nothing else.
  void checkForUpdates() override;
  int checkForUpdatesCallCount() const { return callCount_; }

 signals:
  void checkForUpdatesCallCountChanged();

 private:
  bool automaticallyChecks_ = false;
  bool canCheck_ = true;
  int callCount_ = 0;
};

}  // namespace hl
