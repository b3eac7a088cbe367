#include <gtest/gtest.h>

#include <QMenu>
#include <QPushButton>

#include "views/home/home_fixture.h"
#include "views/home/home_modals.h"
#include "views/home/items_table.h"
#include "views/home/selection_summary_card.h"
#include "views/menubar/quick_clean_confirm_button.h"
#include "views/menubar/quick_clean_control.h"
#include "views/shared/destructive_button.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

// The Home page and the tray's Quick Clean over one cleaner, as in the program.
struct Controls : test::PageHarness {
  std::unique_ptr<QuickCleanControl> quickClean;

  Controls() {
    test::showAt(*page, 1200, 800);
    quickClean = std::make_unique<QuickCleanControl>(**this, monotonic.clock(), wall.clock());
    quickClean->resize(292, 160);
    quickClean->show();
    scan({item("/c/a", 1000), item("/c/b", 2000)});
    (*this)->setChecked("/c/a", true);
  }

  // The sheet open for a plan and Quick Clean waiting for its confirmation, both armed.
  void planAndArmQuickClean() {
    (*this)->requestTrash();
    executor->settle();
    (*this)->armQuickClean();
    executor->step();
    wait();
    settleViews();
    ASSERT_TRUE(sheetConfirm() && quickCleanConfirm());
  }

  void wait() {
    monotonic.advance(1s);
    wall.advance(1s);
    if (ConfirmTrashSheet* sheet = main().modals()->sheet()) sheet->refreshArming();
    if (QuickCleanConfirmButton* button = quickClean->confirmButton()) button->refreshArming();
  }
  // Let the coalesced refreshes run.
  static void settleViews() { QApplication::processEvents(); }

  bool moveToTrash() const { return page->mainView()->summaryCard()->removalButton()->isEnabled(); }
  bool menuRemoval() const {
    const std::unique_ptr<QMenu> menu = page->mainView()->table()->buildMenu({"/c/a"});
    for (QAction* action : menu->actions()) {
      if (action->text() == QStringLiteral("Move to Trash\u2026")) return action->isEnabled();
    }
    ADD_FAILURE() << "no removal entry";
    return false;
  }
  bool sheetConfirm() const { return main().modals()->sheet()->confirmButton()->isEnabled(); }
  bool quickCleanButton() const { return quickClean->quickCleanButton()->isEnabled(); }
  bool quickCleanConfirm() const { return quickClean->confirmButton()->isEnabled(); }
  HomeMainView& main() const { return *page->mainView(); }
};

// Every control that would ask for a removal is off while the cleaner would refuse one, and on
// again once it would not.
TEST(RemovalBusyControls, ControlsThatAskForARemovalAreOffWhileOneWouldBeRefused) {
  {
    SCOPED_TRACE("a request being checked");
    Controls c;
    Controls::settleViews();
    ASSERT_TRUE(c.moveToTrash() && c.menuRemoval() && c.quickCleanButton());
    c->requestTrash();
    Controls::settleViews();
    EXPECT_FALSE(c.moveToTrash());
    EXPECT_FALSE(c.menuRemoval());
    EXPECT_FALSE(c.quickCleanButton());
    c.executor->settle();
    Controls::settleViews();
    EXPECT_TRUE(c.moveToTrash());
    EXPECT_TRUE(c.menuRemoval());
    EXPECT_TRUE(c.quickCleanButton());
  }
  {
    SCOPED_TRACE("the sheet's removal running, with Quick Clean waiting for its confirmation");
    Controls c;
    c.planAndArmQuickClean();
    c.main().modals()->sheet()->confirmButton()->click();
    ASSERT_TRUE(c->isTrashing());
    Controls::settleViews();
    EXPECT_FALSE(c.quickCleanConfirm());
    EXPECT_FALSE(c.moveToTrash());
    EXPECT_FALSE(c.menuRemoval());
  }
  {
    SCOPED_TRACE("a confirmed Quick Clean that has not finished, with the sheet open");
    Controls c;
    c.planAndArmQuickClean();
    c.quickClean->confirmButton()->click();
    ASSERT_TRUE(c->quickClean().isRunning());
    Controls::settleViews();
    EXPECT_FALSE(c.sheetConfirm());
    EXPECT_FALSE(c.moveToTrash());
    EXPECT_FALSE(c.menuRemoval());
    c.executor->settle();
    Controls::settleViews();
    EXPECT_TRUE(c.sheetConfirm());
  }
}

}  // namespace
}  // namespace hl
