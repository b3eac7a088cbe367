#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "views/home/home_fixture.h"
#include "views/home/home_modals.h"
#include "views/shared/elided_label.h"
#include "views/shared/result_alert.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using test::HomeHarness;

class HomeModalsTest : public ::testing::Test {
 protected:
  HomeModalsTest() {
    test::showAt(host, 800, 600);
    modals = std::make_unique<HomeModals>(*h, h.settings, &host, h.monotonic.clock(),
                                          h.wall.clock());
  }

  // Lets closed surfaces go.
  static void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  HomeHarness h;
  QWidget host;
  std::unique_ptr<HomeModals> modals;
};

TEST_F(HomeModalsTest, SheetIsOpenExactlyWhileAPlanWaits) {
  h.scan({HomeHarness::item("/c/a", 5000), HomeHarness::item("/c/b", std::nullopt)});
  EXPECT_EQ(modals->sheet(), nullptr);
  h->setChecked("/c/a", true);
  h->setChecked("/c/b", true);
  h->requestTrash();
  h.executor->settle();
  ASSERT_NE(modals->sheet(), nullptr);
  ConfirmTrashSheet* sheet = modals->sheet();
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
  // The sheet is never minimised or maximised apart from its window.
  EXPECT_TRUE(sheet->windowFlags().testFlag(Qt::CustomizeWindowHint));
  EXPECT_FALSE(sheet->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(sheet->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(sheet->contents().title, "Move 2 items to the Trash?");
  // The unmeasured row reads "—" and the total is marked approximate.
  EXPECT_EQ(sheet->summaryLabel()->text(), "2 items \u00b7 \u2248 5 KB");

  // Escape cancels: the plan goes, and so does the sheet.
  QTest::keyClick(sheet, Qt::Key_Escape);
  EXPECT_FALSE(h->pendingPlan());
  settle();
  EXPECT_EQ(modals->sheet(), nullptr);

  // A plan cleared by anyone else closes the sheet too.
  h->requestTrash();
  h.executor->settle();
  ASSERT_NE(modals->sheet(), nullptr);
  h->setPendingPlan(std::nullopt);
  settle();
  EXPECT_EQ(modals->sheet(), nullptr);
}

TEST_F(HomeModalsTest, ArmedConfirmationStartsTheRemovalAndClosesTheSheet) {
  h.scan({HomeHarness::item("/c/a", 5000)});
  h->setChecked("/c/a", true);
  h->requestTrash();
  h.executor->settle();
  ConfirmTrashSheet* sheet = modals->sheet();
  ASSERT_NE(sheet, nullptr);
  // Within the first second Return does nothing.
  QTest::keyClick(sheet, Qt::Key_Return);
  EXPECT_TRUE(h->pendingPlan());
  h.monotonic.advance(1s);
  h.wall.advance(1s);
  sheet->refreshArming();
  ASSERT_TRUE(sheet->confirmButton()->isEnabled());
  QTest::mouseClick(sheet->confirmButton(), Qt::LeftButton);
  EXPECT_FALSE(h->pendingPlan());
  EXPECT_TRUE(h->isTrashing());
  settle();
  EXPECT_EQ(modals->sheet(), nullptr);
  h.executor->settle();
  EXPECT_EQ(h.removal->handed(), std::vector<std::string>{"/c/a"});
}

TEST(HomeModalsSheet, ContentsFollowThePlan) {
  CacheItem dirty = test::worktreeItem("/w/dirty", "/r");
  dirty.worktree->status = WorktreeStatus::dirty(true, 0);
  CacheItem clean = test::worktreeItem("/w/clean", "/r");
  CacheItem cache = HomeHarness::item("/c/cache", std::nullopt);
  TrashPlan plan;
  plan.items = {dirty, clean, cache};
  plan.runningWarnings = {"Claude Code is running."};
  struct Case {
    RemovalMode mode;
    bool readOnly;
    bool prune;
    std::string title;
    std::string note;
  };
  const std::vector<Case> cases = {
      {RemovalMode::trash, false, true, "Move 3 items to the Trash?",
       "1 clean registered worktree(s) go to the Trash; `git worktree prune` then runs in each "
       "repository whose worktree was trashed."},
      {RemovalMode::deletePermanently, true, false, "Delete 3 items permanently?",
       "1 clean registered worktree(s): repository metadata is left as is (pruning is off in "
       "Settings)."},
  };
  for (const Case& c : cases) {
    plan.mode = c.mode;
    const auto contents = HomeModals::sheetContents(plan, c.readOnly, c.prune, test::referenceDate(),
                                                      "/home/u");
    EXPECT_EQ(contents.title, c.title);
    ASSERT_EQ(contents.rows.size(), 3u);
    EXPECT_EQ(contents.rows[0].id, "/w/dirty");
    EXPECT_EQ(contents.rows[0].detail, dirty.subtitle);
    EXPECT_EQ(contents.rows[0].size, std::optional<std::int64_t>(100));
    EXPECT_EQ(contents.rows[2].size, std::nullopt);
    EXPECT_LE(contents.rows[0].tags.size(), 2u);
    EXPECT_EQ(contents.rows[0].tags.front().title, "Moderate");
    EXPECT_EQ(contents.totalSize, 200);
    ASSERT_EQ(contents.warnings.size(), 2u);
    EXPECT_TRUE(contents.warnings[0].starts_with("1 worktree(s) are not clean"));
    EXPECT_EQ(contents.warnings[1], "Claude Code is running.");
    EXPECT_EQ(contents.notes, std::vector<std::string>{c.note});
    EXPECT_EQ(contents.isReadOnly, c.readOnly);
    EXPECT_EQ(contents.isPermanent, c.mode == RemovalMode::deletePermanently);
  }
}

TEST_F(HomeModalsTest, ToolDialogCancelsOnReturnAndEscapeAndRunsOnlyOnItsButton) {
  CacheItem pnpm = HomeHarness::item("/c/pnpm", 5000);
  pnpm.action = NativeAction{NativeAction::Tool::pnpm};
  h.scan({pnpm});
  const auto ask = [&] {
    h->requestAction(pnpm);
    h.executor->settle();
    EXPECT_TRUE(h->pendingAction());
    EXPECT_NE(modals->toolDialog(), nullptr);
  };
  ask();
  QMessageBox* dialog = modals->toolDialog();
  EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
  EXPECT_EQ(dialog->windowTitle(), "Harbor Lume");
  EXPECT_EQ(dialog->text(), "Prune with pnpm");
  EXPECT_EQ(modals->toolRunButton()->text(), "Run pnpm store prune");
  EXPECT_EQ(modals->toolCancelButton()->text(), "Cancel");
  EXPECT_EQ(dialog->defaultButton(), modals->toolCancelButton());
  EXPECT_TRUE(dialog->informativeText().contains(
      "The tool deletes files itself; they do not go to the Trash. Output appears on the "
      "Activity page."));

  // Return answers Cancel even with the run button focused.
  QApplication::setActiveWindow(dialog);
  modals->toolRunButton()->setFocus();
  QTest::keyClick(modals->toolRunButton(), Qt::Key_Return);
  EXPECT_FALSE(h->pendingAction());
  settle();
  EXPECT_EQ(modals->toolDialog(), nullptr);

  ask();
  QTest::keyClick(modals->toolDialog(), Qt::Key_Escape);
  EXPECT_FALSE(h->pendingAction());
  EXPECT_TRUE(h.toolsRun.empty());
  settle();

  ask();
  h->setPendingAction(std::nullopt);
  settle();
  EXPECT_EQ(modals->toolDialog(), nullptr);

  ask();
  QTest::mouseClick(modals->toolRunButton(), Qt::LeftButton);
  h.executor->settle();
  EXPECT_EQ(h.toolsRun, std::vector<std::string>{"pnpm"});
  EXPECT_FALSE(h->pendingAction());
  settle();
  EXPECT_EQ(modals->toolDialog(), nullptr);
}

TEST_F(HomeModalsTest, ResultAlertShowsTheMessageAsWrittenUntilDismissed) {
  h->setResultMessage("Cleaned 1 item (5 KB). <b>x</b>");
  ResultAlert* alert = modals->resultAlert();
  ASSERT_NE(alert, nullptr);
  // Titled by the program, as a desktop's alerts are; the heading says what happened.
  EXPECT_EQ(alert->windowTitle(), "Harbor Lume");
  EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(alert->windowFlags().testFlag(Qt::CustomizeWindowHint));
  EXPECT_FALSE(alert->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(alert->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(alert->text(), "Cleanup finished");
  EXPECT_EQ(alert->message(), "Cleaned 1 item (5 KB). <b>x</b>");
  EXPECT_EQ(alert->findChild<QLabel*>("qt_msgbox_informativelabel")->textFormat(), Qt::PlainText);
  // A new message replaces the text of the open alert.
  h->setResultMessage("Nothing to remove: every selected item is in use right now.");
  EXPECT_EQ(modals->resultAlert(), alert);
  EXPECT_EQ(alert->message(), "Nothing to remove: every selected item is in use right now.");
  QTest::keyClick(alert, Qt::Key_Return);
  EXPECT_FALSE(h->resultMessage());
  settle();
  EXPECT_EQ(modals->resultAlert(), nullptr);

  h->setResultMessage("again");
  ASSERT_NE(modals->resultAlert(), nullptr);
  h->setResultMessage(std::nullopt);
  settle();
  EXPECT_EQ(modals->resultAlert(), nullptr);
}

}  // namespace
}  // namespace hl
