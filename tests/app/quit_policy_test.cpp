#include <gtest/gtest.h>

#include <filesystem>

#include "app/quit_policy.h"
#include "services/storage/history_store.h"
#include "state/app_model_fixture.h"

namespace hl {
namespace {

using Facts = QuitPolicy::Facts;

TEST(QuitPolicy, DecidesByTrayWindowAndWorkUnderWay) {
  struct Case {
    const char* name;
    Facts facts;
    bool quits;
  };
  // quitRequested, windowClosed, windowShown, trayIconShown, busy, removing
  const std::vector<Case> cases = {
      {"window closed, no tray, idle", {false, true, false, false, false, false}, true},
      {"window closed, tray shown", {false, true, false, true, false, false}, false},
      {"window closed, no tray, scanning", {false, true, false, false, true, false}, false},
      {"window closed, no tray, removing", {false, true, false, false, true, true}, false},
      {"window shown again", {false, true, true, false, false, false}, false},
      {"never closed", {false, false, false, false, false, false}, false},
      {"asked while scanning", {true, false, true, true, true, false}, true},
      {"asked while removing", {true, false, true, true, true, true}, false},
      {"asked with no tray and no window", {true, true, false, false, false, false}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QuitPolicy::shouldQuit(c.facts), c.quits);
  }
}

TEST(QuitPolicy, AWindowlessProgramQuitsOnceItsWorkEnds) {
  bool window = true;
  bool tray = false;
  bool busy = true;
  bool removing = true;
  int quits = 0;
  QuitPolicy policy({[&] { return window; }, [&] { return tray; }, [&] { return busy; },
                     [&] { return removing; }, [&] { ++quits; }});

  window = false;
  policy.lastWindowClosed();
  EXPECT_EQ(quits, 0);
  removing = false;
  policy.reconsider();
  EXPECT_EQ(quits, 0);  // still scanning
  // The window came back before the work ended: closing it is what counts, not the first close.
  window = true;
  busy = false;
  policy.reconsider();
  EXPECT_EQ(quits, 0);
  window = false;
  policy.reconsider();
  EXPECT_EQ(quits, 0);
  policy.lastWindowClosed();
  EXPECT_EQ(quits, 1);
  policy.reconsider();
  policy.requestQuit();
  EXPECT_EQ(quits, 1);
}

TEST(QuitPolicy, WithTheTrayIconTheProgramStaysUntilTheIconGoes) {
  bool tray = true;
  int quits = 0;
  QuitPolicy policy({[] { return false; }, [&] { return tray; }, [] { return false; },
                     [] { return false; }, [&] { ++quits; }});
  policy.lastWindowClosed();
  EXPECT_EQ(quits, 0);
  tray = false;
  policy.reconsider();
  EXPECT_EQ(quits, 1);
}

TEST(QuitPolicy, AQuitTheUserAskedForWaitsForTheRemovalOnly) {
  bool removing = true;
  int quits = 0;
  QuitPolicy policy({[] { return true; }, [] { return true; }, [] { return true; },
                     [&] { return removing; }, [&] { ++quits; }});
  policy.requestQuit();
  EXPECT_EQ(quits, 0);
  removing = false;
  policy.reconsider();
  EXPECT_EQ(quits, 1);
}

// The model's own facts: a windowless program waits for the removal, and quits as it ends.
TEST(QuitPolicy, WatchesTheApplicationModel) {
  // The history file is this test process's; removals of earlier tests may be recorded in it.
  std::filesystem::remove(HistoryStore::defaultURL());
  test::AppHarness app;
  int quits = 0;
  QuitPolicy policy(QuitPolicy::inputs(*app, [] { return false; }, [] { return false; },
                                       [&] { ++quits; }));
  policy.watch(*app);
  app.removing();
  policy.requestQuit();
  policy.lastWindowClosed();
  EXPECT_EQ(quits, 0);
  app.settle();
  EXPECT_FALSE(app->isBusy());
  EXPECT_EQ(quits, 1);
  // The removal finished with its record.
  EXPECT_EQ(app->history().entries().size(), 1u);
}

}  // namespace
}  // namespace hl
