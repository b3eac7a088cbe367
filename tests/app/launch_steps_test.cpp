#include "app/launch_steps.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/single_instance/single_instance.h"
#include "platform/settings_file.h"
#include "support/test_environment.h"
#include "viewmodels/updater_box.h"

namespace hl {
namespace {

// Runs the body as a process that does not host tests, and restores the variable afterwards.
template <typename Body>
void asTheProgram(Body body) {
  ::unsetenv("XCTestConfigurationFilePath");
  body();
  ::setenv("XCTestConfigurationFilePath", "harborlume-tests", 1);
}

TEST(LaunchSteps, AProcessThatHostsTestsGetsNoUpdaterAndNoRelocation) {
  ASSERT_TRUE(LaunchSteps::hostingTests());
  int told = 0;
  LaunchSteps::installUpdater([&] { ++told; });
  EXPECT_EQ(Updater::current(), nullptr);
  EXPECT_FALSE(LaunchSteps::relocateIfNeeded());

  // The same steps in the program: the updater starts with the stored switch and is the one
  // every check reaches. Relocation is never offered on this system.
  ASSERT_TRUE(SettingsFile::writeBool("checkForUpdatesAutomatically", false));
  asTheProgram([&] {
    EXPECT_FALSE(LaunchSteps::hostingTests());
    EXPECT_FALSE(LaunchSteps::relocateIfNeeded());
    LaunchSteps::installUpdater([&] { ++told; });
  });
  ASSERT_NE(Updater::current(), nullptr);
  EXPECT_FALSE(Updater::current()->automaticallyChecksForUpdates());
  EXPECT_TRUE(Updater::canCheckForUpdates());
  Updater::checkForUpdates();
  EXPECT_EQ(told, 1);
  Updater::box().setCurrent(nullptr);
}

TEST(LaunchSteps, ALaunchThatHandsOverEndsWithItsStatusAndSaysWhyWhenItFails) {
  const std::string folder = test::makeScratchFolder("runtime");
  ::chmod(folder.c_str(), 0700);
  SingleInstance running({folder, false}, [] { return false; }, [] {});
  ASSERT_EQ(LaunchSteps::claimSingleInstance(running), std::nullopt);

  struct Row {
    bool readOnly;
    std::optional<int> status;
    std::string printed;
  };
  const std::vector<Row> rows = {
      {false, EXIT_SUCCESS, ""},
      {true, EXIT_FAILURE,
       "Harbor Lume is already running without read-only mode; quit it first to start "
       "read-only.\n"},
  };
  for (const Row& row : rows) {
    SingleInstance later({folder, false}, [&] { return row.readOnly; }, [] {});
    testing::internal::CaptureStderr();
    EXPECT_EQ(LaunchSteps::claimSingleInstance(later), row.status) << row.readOnly;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), row.printed) << row.readOnly;
  }
}

}  // namespace
}  // namespace hl
