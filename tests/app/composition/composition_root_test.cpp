#include "app/composition/composition_root.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <memory>
#include <string>
#include <vector>

#include "platform/settings_file.h"

namespace hl {
namespace {

// Each test makes its own model: the process's one shared model cannot be made again, and a
// test that started it would leave it started for the next.
TEST(CompositionRoot, TheModelIsMadeOverTheProgramsSettingsAndServices) {
  SettingsFile::write(SettingsFile::standardPath(),
                      {{"extraPaths", IniDocument::encodeList({"/srv/builds"})}},
                      std::chrono::system_clock::now());

  const std::unique_ptr<AppModel> model = CompositionRoot::makeModel();
  EXPECT_EQ(model->settings().extraPaths(), std::vector<std::string>{"/srv/builds"});
  EXPECT_EQ(model->history().store()->fileURL(), HistoryStore::defaultURL());
  // The wiring starts nothing: the program's start-up does.
  EXPECT_FALSE(model->isStarted());
  EXPECT_FALSE(model->cleaner().isScanning());
  // The gate of this launch is the test host's, closed for both view models.
  EXPECT_TRUE(model->cleaner().isReadOnly());
  EXPECT_TRUE(model->scanner().isReadOnly());
  // The folder scanner reaches the desktop's clipboard.
  model->scanner().copyPaths({"/b", "/a"});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/a\n/b"));
}

TEST(CompositionRoot, TheSharedModelIsMadeOnce) {
  AppModel& model = AppModel::shared();
  EXPECT_EQ(&model, &AppModel::shared());
}

TEST(CompositionRoot, StartUpInAProcessThatHostsTestsLoadsTheHistoryWithoutAScan) {
  const std::unique_ptr<AppModel> model = CompositionRoot::makeModel();
  bool loaded = false;
  model->start(false, [&] { loaded = true; });
  EXPECT_TRUE(model->isStarted());
  EXPECT_FALSE(model->cleaner().isScanning());
  QElapsedTimer elapsed;
  elapsed.start();
  while ((!loaded || !model->bootVolume()) && elapsed.elapsed() < 60000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  ASSERT_TRUE(loaded);
  ASSERT_TRUE(model->bootVolume());
  EXPECT_GT(model->bootVolume()->totalCapacity, 0);
}

}  // namespace
}  // namespace hl
