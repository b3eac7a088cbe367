#include <gtest/gtest.h>

#include <QAction>

#include "application_harness.h"
#include "views/menubar/menu_bar_extra.h"

namespace hl {
namespace {

using test::ProgramHarness;

TEST(ApplicationQuit, ClosingTheWindowQuitsOnlyWithoutATrayIconAndOnceNothingRuns) {
  struct Row {
    const char* name;
    bool tray;
    bool removing;
    int quitsAtClose;
    int quitsAfterwards;
  };
  const Row rows[] = {
      {"no tray, idle", false, false, 1, 1},
      {"no tray, removing", false, true, 0, 1},
      {"tray shown", true, false, 0, 0},
      {"tray shown, removing", true, true, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramHarness h;
    h.trayAvailable = row.tray;
    ASSERT_TRUE(h.launch());
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    if (row.removing) h.removing();
    h.window().close();
    QApplication::processEvents();
    EXPECT_EQ(h.quits, row.quitsAtClose);
    // The removal, its history record and its pruning end.
    h.settle();
    EXPECT_FALSE(h->isBusy());
    EXPECT_EQ(h.quits, row.quitsAfterwards);
  }
}

TEST(ApplicationQuit, TheTrayFollowsTheSettingAndAWindowlessProgramWithoutItQuits) {
  ProgramHarness h;
  h.trayAvailable = true;
  ASSERT_TRUE(h.launch());
  MenuBarExtra& extra = *h.program->menuBarExtra();
  EXPECT_TRUE(extra.trayIcon().isVisible());
  h.window().close();
  QApplication::processEvents();
  EXPECT_EQ(h.quits, 0);

  // Switched off in Settings: the icon goes at once, and a program with no window quits.
  h->settings().setShowInMenuBar(false);
  EXPECT_FALSE(extra.trayIcon().isVisible());
  EXPECT_EQ(h.quits, 1);

  // Switched on again: the icon comes back without a restart.
  h->settings().setShowInMenuBar(true);
  EXPECT_TRUE(extra.trayIcon().isVisible());
}

TEST(ApplicationQuit, AWindowShownAgainEndsTheWaitAndQuitWaitsForARemovalOnly) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  // Closed while a scan runs, shown again before it ends: the program stays.
  h.cleaner().rescan(true);
  h.window().close();
  QApplication::processEvents();
  EXPECT_EQ(h.quits, 0);
  h.program->showMainWindow();
  h.engine->end();
  h.settle();
  EXPECT_EQ(h.quits, 0);

  // Quit during a scan ends the program at once; the scan is simply given up.
  h.cleaner().rescan(true);
  h.commands().quitAction()->trigger();
  EXPECT_EQ(h.quits, 1);

  // Quit during a removal waits for it.
  ProgramHarness removing;
  ASSERT_TRUE(removing.launch());
  removing.removing();
  removing.commands().quitAction()->trigger();
  EXPECT_EQ(removing.quits, 0);
  removing.settle();
  EXPECT_EQ(removing.quits, 1);
}

}  // namespace
}  // namespace hl
