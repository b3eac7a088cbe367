#include <gtest/gtest.h>

#include <filesystem>

#include "application_harness.h"
#include "platform/settings_file.h"
#include "services/storage/history_store.h"
#include "viewmodels/fake_updater.h"
#include "viewmodels/updater_box.h"
#include "views/shell/window_sizing.h"

#include <QScreen>

namespace hl {
namespace {

using namespace std::chrono_literals;
using test::ProgramHarness;

TEST(ApplicationLaunch, StepsRunInOrderAndATestHostSkipsRelocationUpdaterAndScan) {
  struct Row {
    const char* name;
    bool hostingTests;
    bool relaunches;
    bool launched;
    std::vector<std::string> steps;
    int scans;
  };
  const Row rows[] = {
      {"test host", true, false, true, {"icon"}, 0},
      {"program", false, false, true, {"icon", "relocation", "updater"}, 1},
      {"installed copy starting", false, true, false, {"icon", "relocation"}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramHarness h;
    // A recorded cleanup, which start-up loads in any process.
    std::filesystem::remove(HistoryStore::defaultURL());
    HistoryStore(HistoryStore::defaultURL())
        .append({HistoryEntry::make(UUID::random(), test::referenceDate(), "Projects", {"/p"},
                                    1000, {}, "Home", false)});
    h.hostingTests = row.hostingTests;
    h.relocationRelaunches = row.relaunches;
    EXPECT_EQ(h.launch(), row.launched);
    EXPECT_EQ(h.steps, row.steps);
    EXPECT_EQ(h->isStarted(), row.launched);
    if (!row.launched) {
      EXPECT_EQ(h.program->window(), nullptr);
      EXPECT_EQ(h.scans(), 0);
      continue;
    }
    // Three callers race for the start-up (the launch, the window, the popover); only the first
    // decides, and a test host never scans.
    h.program->delegate().popoverFirstShown();
    EXPECT_EQ(h.scans(), row.scans);
    EXPECT_TRUE(h.window().isVisible());
    EXPECT_EQ(h.window().windowTitle(), QStringLiteral("Harbor Lume"));
    test::waitUntil([&] {
      h.settle();
      return h->history().entries().size() == 1;
    });
    EXPECT_TRUE(h->bootVolume());
  }
}

TEST(ApplicationLaunch, TheWindowShownAgainRescansOnlyWhenTheLastScanIsOld) {
  ProgramHarness h;
  h.hostingTests = false;
  ASSERT_TRUE(h.launch());
  ASSERT_EQ(h.scans(), 1);
  h.engine->send(CacheScanEvent::Finished{Seconds(1)});
  h.engine->end();
  h.settle();
  ASSERT_TRUE(h.cleaner().lastScanDate());

  // Closing the window only hides it; bringing it back within ten minutes scans nothing.
  h.window().close();
  EXPECT_FALSE(h.window().isVisible());
  h.wall.advance(599s);
  h.program->showMainWindow();
  EXPECT_TRUE(h.window().isVisible());
  EXPECT_EQ(h.scans(), 1);
  // Ten minutes after the last scan it scans again.
  h.window().close();
  h.wall.advance(1s);
  h.program->showMainWindow();
  EXPECT_EQ(h.scans(), 2);
  EXPECT_TRUE(h.cleaner().isScanning());
}

TEST(ApplicationLaunch, TheUpdaterTheLaunchInstalledGoesWithTheProgram) {
  // The program's own updater step: the stored switch is applied, and the notice it shows
  // belongs to the window, so the updater leaves the box with the program.
  ProgramHarness h;
  h.hostingTests = false;
  ASSERT_TRUE(SettingsFile::writeBool("checkForUpdatesAutomatically", false));
  Application::Parts parts = h.parts();
  parts.steps.installUpdater = {};
  // The real step checks the test-host variable itself.
  ::unsetenv("XCTestConfigurationFilePath");
  auto program = std::make_unique<Application>(*h, std::move(parts));
  const bool launched = program->launch();
  ::setenv("XCTestConfigurationFilePath", "harborlume-tests", 1);
  ASSERT_TRUE(launched);
  ASSERT_TRUE(Updater::current());
  EXPECT_FALSE(Updater::current()->automaticallyChecksForUpdates());
  Updater::checkForUpdates();
  ASSERT_TRUE(program->noFeedNotice().openNotice());
  EXPECT_EQ(program->noFeedNotice().openNotice()->parentWidget(), program->window());
  program->noFeedNotice().openNotice()->close();
  program.reset();
  EXPECT_FALSE(Updater::current());

  // An updater someone else put in stays.
  ProgramHarness other;
  auto fake = std::make_shared<FakeUpdater>();
  Updater::box().setCurrent(fake);
  ASSERT_TRUE(other.launch());
  other.program.reset();
  EXPECT_EQ(Updater::current(), fake);
  Updater::box().setCurrent(nullptr);
}

TEST(MainWindow, KeepsItsFrameUnderMainAndOpensFirstAtTheDefaultFrame) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  MainWindow& first = h.window();
  EXPECT_EQ(first.minimumSize(), QSize(1040, 680));
  // No saved frame: the default frame of the screen, centred.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(first.size(),
            WindowSizing::defaultFrame(QRectF(screen)).toRect().size().expandedTo({1040, 680}));

  first.setGeometry(QRect(137, 91, 1222, 777));
  QApplication::processEvents();
  first.close();
  EXPECT_EQ(SettingsFile::bytesValue(SettingsFile::read(h->settings().path()).document, "Main"),
            std::optional<std::string>(h->settings().windowFrame().toStdString()));

  // A new window over the same settings opens where the last one was closed.
  MainWindow second(*h, h.parts().services);
  EXPECT_EQ(second.geometry().size(), QSize(1222, 777));
  EXPECT_EQ(second.geometry().topLeft(), QPoint(137, 91));
  // A frame that cannot be read is no frame: the default one again.
  h->settings().setWindowFrame(QByteArray("not a frame"));
  MainWindow third(*h, h.parts().services);
  EXPECT_EQ(third.size(),
            WindowSizing::defaultFrame(QRectF(screen)).toRect().size().expandedTo({1040, 680}));
}

}  // namespace
}  // namespace hl
