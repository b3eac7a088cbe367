#include "app/composition/composition_root.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <string>
#include <vector>

#include "platform/settings_file.h"

namespace hl {
namespace {

TEST(CompositionRoot, TheSharedModelIsMadeOnceOverTheProgramsSettingsAndStartsWithoutAScan) {
  SettingsFile::write(SettingsFile::standardPath(),
                      {{"extraPaths", IniDocument::encodeList({"/srv/builds"})}},
                      std::chrono::system_clock::now());

  AppModel& model = AppModel::shared();
  EXPECT_EQ(&model, &AppModel::shared());
  EXPECT_EQ(model.settings().extraPaths(), std::vector<std::string>{"/srv/builds"});
  EXPECT_EQ(model.history().store()->fileURL(), HistoryStore::defaultURL());
  // The wiring starts nothing: the program's start-up does.
  EXPECT_FALSE(model.isStarted());
  EXPECT_FALSE(model.cleaner().isScanning());
  // The gate of this launch is the test host's, closed for both view models.
  EXPECT_TRUE(model.cleaner().isReadOnly());
  EXPECT_TRUE(model.scanner().isReadOnly());
  // The folder scanner reaches the desktop's clipboard.
  model.scanner().copyPaths({"/b", "/a"});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/a\n/b"));

  // Start-up in a process that hosts tests loads the history without a scan. One test, since
  // the shared model is made once per process, whatever order tests run in.
  bool loaded = false;
  model.start(false, [&] { loaded = true; });
  EXPECT_TRUE(model.isStarted());
  EXPECT_FALSE(model.cleaner().isScanning());
  QElapsedTimer elapsed;
  elapsed.start();
  while ((!loaded || !model.bootVolume()) && elapsed.elapsed() < 60000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  ASSERT_TRUE(loaded);
  ASSERT_TRUE(model.bootVolume());
  EXPECT_GT(model.bootVolume()->totalCapacity, 0);
}

}  // namespace
}  // namespace hl
