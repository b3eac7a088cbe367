#pragma once

#include <functional>

#include "viewmodels/updater_managing.h"

namespace hl {

// The updater of this build. No update feed is configured, so there is nothing to look at and
// nothing to download: a check can always start, and all it does is tell the user so. Automatic
// checks are a switch that is kept and reported but schedules nothing.
class FeedlessUpdater final : public UpdaterManaging {
  Q_OBJECT

 public:
  // `tellNoFeed` shows the user that this build has no update feed.
  explicit FeedlessUpdater(std::function<void()> tellNoFeed, QObject* parent = nullptr);

  bool automaticallyChecksForUpdates() const override { return automaticallyChecks_; }
  void setAutomaticallyChecksForUpdates(bool enabled) override;
  bool canCheckForUpdates() const override { return true; }
  void checkForUpdates() override;

 private:
  std::function<void()> tellNoFeed_;
  bool automaticallyChecks_ = true;
};

}  // namespace hl
