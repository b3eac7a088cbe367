#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewmodels/fake_updater.h"
#include "viewmodels/updater_box.h"

namespace hl {
namespace {

// Empties the shared box again whatever the test did.
struct BoxReset {
  ~BoxReset() { Updater::box().setCurrent(nullptr); }
};

TEST(UpdaterBox, ChecksReachTheCurrentUpdaterAndNothingWithoutOne) {
  BoxReset reset;
  ASSERT_EQ(Updater::current(), nullptr);
  EXPECT_FALSE(Updater::canCheckForUpdates());
  Updater::checkForUpdates();  // nothing there: nothing happens

  auto updater = std::make_shared<FakeUpdater>();
  int counted = 0;
  QObject::connect(updater.get(), &FakeUpdater::checkForUpdatesCallCountChanged,
                   [&] { ++counted; });
  Updater::box().setCurrent(updater);
  for (int i = 0; i < 3; ++i) Updater::checkForUpdates();
  EXPECT_EQ(updater->checkForUpdatesCallCount(), 3);
  EXPECT_EQ(counted, 3);

  // A check while the updater cannot start one is still handed on: the updater decides.
  updater->setCanCheckForUpdates(false);
  EXPECT_FALSE(Updater::canCheckForUpdates());
  Updater::checkForUpdates();
  EXPECT_EQ(updater->checkForUpdatesCallCount(), 4);
}

TEST(UpdaterBox, CheckButtonsFollowTheInstalledUpdaterAndItsChanges) {
  BoxReset reset;
  auto first = std::make_shared<FakeUpdater>();
  auto second = std::make_shared<FakeUpdater>();
  second->setCanCheckForUpdates(false);

  int canCheckSignals = 0;
  int currentSignals = 0;
  // The box lives as long as the process: the connections end with this test.
  QObject context;
  QObject::connect(&Updater::box(), &UpdaterBox::canCheckForUpdatesChanged, &context,
                   [&] { ++canCheckSignals; });
  QObject::connect(&Updater::box(), &UpdaterBox::currentChanged, &context,
                   [&] { ++currentSignals; });

  struct Step {
    std::string what;
    std::function<void()> act;
    bool canCheck;
    int canCheckSignals;  // after the step, counted from the start
    int currentSignals;
  };
  const std::vector<Step> steps = {
      {"install one that can check", [&] { Updater::box().setCurrent(first); }, true, 1, 1},
      {"the same one again", [&] { Updater::box().setCurrent(first); }, true, 1, 1},
      {"it can no longer check", [&] { first->setCanCheckForUpdates(false); }, false, 2, 1},
      {"the same value again", [&] { first->setCanCheckForUpdates(false); }, false, 2, 1},
      {"it can check again", [&] { first->setCanCheckForUpdates(true); }, true, 3, 1},
      {"replaced by one that cannot", [&] { Updater::box().setCurrent(second); }, false, 4, 2},
      {"the replaced one changes", [&] { first->setCanCheckForUpdates(false); }, false, 4, 2},
      {"the replaced one changes back", [&] { first->setCanCheckForUpdates(true); }, false, 4, 2},
      {"the new one can check", [&] { second->setCanCheckForUpdates(true); }, true, 5, 2},
      {"emptied", [&] { Updater::box().setCurrent(nullptr); }, false, 6, 3},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(Updater::canCheckForUpdates(), step.canCheck) << step.what;
    EXPECT_EQ(canCheckSignals, step.canCheckSignals) << step.what;
    EXPECT_EQ(currentSignals, step.currentSignals) << step.what;
  }
}

}  // namespace
}  // namespace hl
