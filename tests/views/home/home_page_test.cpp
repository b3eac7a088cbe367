#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include "views/home/home_fixture.h"
#include "views/screenshot_support.h"
#include "views/home/group_details_view.h"
#include "views/home/home_header.h"
#include "views/home/items_table_model.h"
#include "views/home/home_modals.h"
#include "views/shared/full_disk_access_hint.h"
#include "views/shared/palette_colors.h"
#include "views/home/home_sidebar.h"
#include "views/home/items_table.h"
#include "views/home/selection_summary_card.h"
#include "views/home/state_views.h"
#include "views/shared/destructive_button.h"
#include "views/shared/elided_label.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/excluded_paths_view.h"
#include "views/shared/path_list_view.h"
#include "views/shared/segmented_control.h"
#include "views/shared/spinner.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using test::HomeHarness;
using Shown = HomeMainView::Shown;

class HomePageTest : public ::testing::Test {
 protected:
  HomePageTest() { test::showAt(*h.page, 1280, 800); }

  HomeHeader& header() { return *h.main().header(); }
  // The page's parts follow the view model once its step is over.
  static void step() { QApplication::processEvents(); }
  // The header's own width, set through the page's.
  void headerWidth(int width) {
    const int beside = h.page->width() - header().width();
    h.page->resize(width + beside, 800);
    QApplication::processEvents();
    ASSERT_EQ(header().width(), width);
  }

  test::PageHarness h;
};

CacheItem project(const std::string& path, std::int64_t size, Date modified) {
  CacheItem item = HomeHarness::item(path, size, CacheGroup::projects, RiskLevel::moderate);
  item.projectModified = modified;
  return item;
}

TEST_F(HomePageTest, EveryContentStateAndTabFillsThePaneAsItShould) {
  HomeMainView& main = h.main();
  struct Expect {
    Shown shown;
    bool pickerAndHeader;
    bool summary;
  };
  const auto check = [&](const Expect& e) {
    QApplication::processEvents();
    EXPECT_EQ(main.shown(), e.shown);
    EXPECT_EQ(main.tabPicker()->isVisible(), e.pickerAndHeader);
    EXPECT_EQ(main.header()->isVisible(), e.pickerAndHeader);
    EXPECT_EQ(main.notScannedState()->isVisible(), e.shown == Shown::notScanned);
    EXPECT_EQ(main.skeleton()->isVisible(), e.shown == Shown::skeleton);
    EXPECT_EQ(main.unavailableBanner()->isVisible(), e.shown == Shown::unavailable);
    EXPECT_EQ(main.table()->isVisible(), e.shown == Shown::table || e.shown == Shown::unavailable);
    EXPECT_EQ(main.nothingFoundState()->isVisible(), e.shown == Shown::nothingFound);
    EXPECT_FALSE(main.noStaleProjectsState()->isVisible());
    EXPECT_EQ(main.details()->isVisible(), e.shown == Shown::details);
    EXPECT_EQ(main.excluded()->isVisible(), e.shown == Shown::excluded);
    EXPECT_EQ(main.summaryCard()->isVisible(), e.summary);
  };

  // Before any scan: the whole pane asks for one; its button scans.
  check({Shown::notScanned, false, false});
  EXPECT_EQ(main.notScannedState()->button()->text(), "Scan now");
  // Other tabs show with their picker and header even then.
  h->setTab(HomeTab::excluded);
  check({Shown::excluded, true, false});
  h->setTab(HomeTab::items);
  QTest::mouseClick(main.notScannedState()->button(), Qt::LeftButton);
  EXPECT_TRUE(h->isScanning());
  check({Shown::skeleton, true, false});
  EXPECT_EQ(header().titleLabel()->text(), "Scanning caches\u2026");
  EXPECT_FALSE(header().actions()->isVisible());
  // The details tab while scanning with no rows: the group cards, under the scanning title.
  h->setTab(HomeTab::details);
  check({Shown::details, true, false});
  EXPECT_EQ(header().titleLabel()->text(), "Scanning caches\u2026");
  h->setTab(HomeTab::items);

  // Rows while the in-use state cannot be verified: the banner over the table, not placeholders.
  h.deliver(CacheScanEvent::Discovered{{HomeHarness::item("/c/a", 900)}, {}});
  InUseEvaluation unverifiable;
  unverifiable.verification = VerificationState::unavailable("no process list");
  unverifiable.reasons["/c/a"] = "cannot verify in-use state";
  h.deliver(CacheScanEvent::InUse{unverifiable});
  ASSERT_TRUE(h->isScanning());
  check({Shown::unavailable, true, true});
  const auto runs = h.engine->runs.size();
  QTest::mouseClick(main.unavailableBanner()->retryButton(), Qt::LeftButton);
  EXPECT_EQ(h.engine->runs.size(), runs + 1);

  h.scanWith({HomeHarness::item("/c/a", 900)}, InUseEvaluation{});
  check({Shown::table, true, true});
  EXPECT_EQ(header().titleLabel()->text(), "All reclaimable");
}

// Tabs without the selection card below them keep the page's margin above the pane's bottom
// edge, and the details' cards keep clear of its scroll bar.
TEST_F(HomePageTest, TabsWithoutTheSummaryCardKeepThePagesMargins) {
  h.scanWith({HomeHarness::item("/c/a", 2000)});
  h.settings.setExcludedPaths({"/c/x"});
  HomeMainView& main = h.main();
  for (const HomeTab tab : {HomeTab::excluded, HomeTab::details}) {
    h->setTab(tab);
    test::grabSettled(main);
    QWidget* shown = tab == HomeTab::excluded ? static_cast<QWidget*>(main.excluded())
                                              : static_cast<QWidget*>(main.details());
    const int bottom = shown->mapTo(&main, QPoint(0, shown->height())).y();
    EXPECT_LE(bottom, main.height() - 16) << static_cast<int>(tab);
  }
  GroupDetailsView* details = main.details();
  for (const GroupDetailCard* card : details->groupCards()) {
    const int right = card->mapTo(details->viewport(), QPoint(card->width(), 0)).x();
    EXPECT_LE(right, details->viewport()->width() - 12);
  }
}

TEST_F(HomePageTest, NothingFoundKeepsThePickerAndHeaderSoAFilterCanBeChanged) {
  h.scanWith({project("/p/fresh", 5000, h.wall.now() - 24h)});
  h->setSelectedGroup(CacheGroup::projects);
  QApplication::processEvents();
  HomeMainView& main = h.main();
  // No stale project: the empty state says so, under the picker and the header, and does not
  // claim that nothing matches.
  EXPECT_EQ(main.shown(), Shown::noStaleProjects);
  EXPECT_TRUE(main.noStaleProjectsState()->isVisible());
  EXPECT_FALSE(main.nothingFoundState()->isVisible());
  EXPECT_EQ(main.noStaleProjectsState()->titleLabel()->text(), "No stale projects");
  EXPECT_EQ(main.noStaleProjectsState()->messageLabel()->text(),
            "Every project here was touched in the last 60 days. Choose \u201cAll\u201d to list "
            "them.");
  EXPECT_TRUE(main.tabPicker()->isVisible());
  EXPECT_TRUE(main.header()->isVisible());
  EXPECT_FALSE(main.summaryCard()->isVisible());
  SegmentedControl* picker = header().projectsPicker();
  ASSERT_TRUE(picker->isVisible());
  EXPECT_EQ(picker->accessibleName(), "Projects");
  EXPECT_EQ(picker->currentIndex(), 0);
  QTest::mouseClick(picker->segment(1), Qt::LeftButton);
  EXPECT_TRUE(h->showAllProjects());
  QApplication::processEvents();
  EXPECT_EQ(main.shown(), Shown::table);
  EXPECT_TRUE(main.summaryCard()->isVisible());

  // A group that holds nothing at all: nothing matches, and the button rescans.
  h->setShowAllProjects(false);
  h->setSelectedGroup(CacheGroup::buildTools);
  QApplication::processEvents();
  EXPECT_EQ(main.shown(), Shown::nothingFound);
  EXPECT_FALSE(main.noStaleProjectsState()->isVisible());
  EXPECT_EQ(main.nothingFoundState()->titleLabel()->text(), "Nothing to clean here");
  EXPECT_EQ(main.nothingFoundState()->button()->text(), "Rescan");
  const auto runs = h.engine->runs.size();
  QTest::mouseClick(main.nothingFoundState()->button(), Qt::LeftButton);
  EXPECT_EQ(h.engine->runs.size(), runs + 1);
}

TEST_F(HomePageTest, TabPickerAndViewModelFollowEachOther) {
  h.scanWith({HomeHarness::item("/c/a", 900)});
  SegmentedControl* tabs = h.main().tabPicker();
  EXPECT_EQ(tabs->accessibleName(), "View");
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->segment(0)->text(), "Items");
  EXPECT_EQ(tabs->segment(1)->text(), "Details");
  EXPECT_EQ(tabs->segment(2)->text(), "Excluded");
  QTest::mouseClick(tabs->segment(2), Qt::LeftButton);
  EXPECT_EQ(h->tab(), HomeTab::excluded);
  h->setTab(HomeTab::details);
  EXPECT_EQ(tabs->currentIndex(), 1);
  // A click on a row opens its details.
  h->setTab(HomeTab::items);
  h.main().table()->clickRow(0, Qt::NoModifier);
  EXPECT_EQ(tabs->currentIndex(), 1);
  EXPECT_EQ(h.main().shown(), Shown::details);
}

TEST_F(HomePageTest, HeaderSwitchesItsLayoutAt820And760) {
  h.scanWith({HomeHarness::item("/c/a", 1'500'000)});
  struct Case {
    int width;
    bool actionsInTitle;
    bool sizeBesideTitle;
  };
  for (const Case& c : std::vector<Case>{{900, true, true}, {800, false, true}, {700, false, false},
                                         {820, true, true}, {759, false, false}}) {
    SCOPED_TRACE(c.width);
    headerWidth(c.width);
    EXPECT_EQ(header().actionsInTitleRow(), c.actionsInTitle);
    EXPECT_TRUE(header().actions()->isVisible());
    EXPECT_EQ(header().sizeLabel()->isVisible(), c.sizeBesideTitle);
    EXPECT_EQ(header().subtitleLabel()->text().startsWith("1.5 MB \u00b7 "), !c.sizeBesideTitle);
  }
  EXPECT_EQ(header().sizeLabel()->text(), "1.5 MB");
}

TEST_F(HomePageTest, HeaderControlsTickAndUntick) {
  CacheItem recent = HomeHarness::item("/c/recent", 800);
  recent.newestModification = h.wall.now() - 1h;
  h.scanWith({HomeHarness::item("/c/safe", 900), recent,
              HomeHarness::item("/c/moderate", 700, CacheGroup::buildTools, RiskLevel::moderate)});
  step();
  QPushButton* selectSafe = header().selectSafeButton();
  QPushButton* deselect = header().deselectButton();
  EXPECT_EQ(selectSafe->text(), "Select all safe");
  EXPECT_FALSE(selectSafe->toolTip().isEmpty());
  EXPECT_TRUE(selectSafe->isEnabled());
  EXPECT_FALSE(deselect->isEnabled());
  QTest::mouseClick(selectSafe, Qt::LeftButton);
  step();
  EXPECT_EQ(h->checked(), std::set<std::string>{"/c/safe"});
  EXPECT_FALSE(selectSafe->isEnabled());
  EXPECT_TRUE(deselect->isEnabled());
  QTest::mouseClick(deselect, Qt::LeftButton);
  step();
  EXPECT_TRUE(h->checked().empty());
  // The picker of projects shows only for projects.
  EXPECT_FALSE(header().projectsPicker()->isVisible());
}

TEST_F(HomePageTest, AccessHintAndLiveStripFollowTheChosenGroup) {
  h.diskAccess = FullDiskAccess::Status::denied;
  h.scanWith({HomeHarness::item("/c/a", 900)});
  step();
  ASSERT_TRUE(h->needsFullDiskAccess());
  EXPECT_FALSE(header().showsAccessHint());
  h->setSelectedGroup(CacheGroup::trash);
  step();
  EXPECT_TRUE(header().showsAccessHint());
  h->setTab(HomeTab::excluded);
  step();
  EXPECT_TRUE(header().showsAccessHint());
  QTest::mouseClick(header().accessHint()->findChild<QPushButton*>(), Qt::LeftButton);
  step();
  EXPECT_EQ(h.desktop->opened,
            std::vector<std::string>{std::string(FullDiskAccess::settingsURL)});

  h->setSelectedGroup(CacheGroup::aiWorktrees);
  step();
  EXPECT_FALSE(header().showsAccessHint());
  EXPECT_FALSE(header().showsLiveStrip());
  h->setTab(HomeTab::items);
  step();
  EXPECT_TRUE(header().showsLiveStrip());
}

TEST_F(HomePageTest, SummaryCardCountsTheTicksAndAsksForTheRemoval) {
  h.scanWith({HomeHarness::item("/c/a", 1'000'000), HomeHarness::item("/c/b", 500'000)});
  step();
  SelectionSummaryCard& card = *h.main().summaryCard();
  EXPECT_EQ(card.countLabel()->text(), "0 items selected");
  EXPECT_EQ(card.sizeLabel()->text(), "0 bytes \u00b7 items go to the Trash");
  EXPECT_EQ(card.removalButton()->text(), "Move to Trash");
  EXPECT_FALSE(card.removalButton()->isEnabled());
  h->setChecked("/c/a", true);
  step();
  EXPECT_EQ(card.countLabel()->text(), "1 item selected");
  EXPECT_EQ(card.sizeLabel()->text(), "1 MB \u00b7 items go to the Trash");
  ASSERT_TRUE(card.removalButton()->isEnabled());

  h.settings.setDeleteImmediately(true);
  step();
  EXPECT_EQ(card.removalButton()->text(), "Delete Immediately");
  EXPECT_EQ(card.sizeLabel()->text(), "1 MB \u00b7 items are deleted permanently");
  // Red, as deep as it must be to read on the card.
  const QPalette& shownIn = card.sizeLabel()->parentWidget()->palette();
  EXPECT_EQ(card.sizeLabel()->palette().color(QPalette::WindowText),
            PaletteColors::textOn(PaletteColors::red(shownIn), shownIn));
  h.settings.setDeleteImmediately(false);
  step();

  // The click asks for a plan; the button waits while it is prepared; the sheet opens.
  QTest::mouseClick(card.removalButton(), Qt::LeftButton);
  step();
  EXPECT_TRUE(h->isPreparingTrash());
  EXPECT_FALSE(card.removalButton()->isEnabled());
  h.executor->settle();
  step();
  ASSERT_NE(h.main().modals()->sheet(), nullptr);
  EXPECT_EQ(h.main().modals()->sheet()->contents().title, "Move 1 item to the Trash?");

  // While the removal runs a spinner shows until its first report.
  h.monotonic.advance(1s);
  h.wall.advance(1s);
  const TrashPlan plan = *h->pendingPlan();
  h->confirmTrash(plan, h.wall.now());
  step();
  ASSERT_TRUE(h->isTrashing());
  EXPECT_FALSE(card.removalButton()->isEnabled());
  EXPECT_TRUE(card.spinner()->isVisible());
  EXPECT_FALSE(card.progressBar()->isVisible());
  h.executor->settle();
  step();
  EXPECT_FALSE(h->isTrashing());
  EXPECT_FALSE(card.spinner()->isVisible());
  EXPECT_EQ(h.removal->handed(), std::vector<std::string>{"/c/a"});
  EXPECT_EQ(card.countLabel()->text(), "0 items selected");
}

TEST(HomePageReadOnly, TheRemovalButtonSaysReadOnlyAndStaysOff) {
  test::PageHarness h(DestructiveGate{"read-only mode (-HLMReadOnly)"});
  test::showAt(*h.page, 1200, 800);
  h.scanWith({HomeHarness::item("/c/a", 1000)});
  h->setChecked("/c/a", true);
  SelectionSummaryCard& card = *h.main().summaryCard();
  EXPECT_EQ(card.removalButton()->text(), "Read-only mode");
  EXPECT_FALSE(card.removalButton()->isEnabled());
}

TEST_F(HomePageTest, SidebarListsGroupsWithSizesSpinnersAndChoosesScope) {
  HomeSidebar& sidebar = *h.page->sidebar();
  // Xcode holds nothing in this home and is not listed.
  EXPECT_EQ(sidebar.listedGroups().size(), 7u);
  EXPECT_EQ(sidebar.row(CacheGroup::xcode), nullptr);
  EXPECT_EQ(sidebar.row(CacheGroup::custom), nullptr);
  h.settings.addExtraPath("/data/extra");
  step();
  EXPECT_EQ(sidebar.listedGroups().back(), CacheGroup::custom);
  // Before any scan: sizes without spinners, and the zero total "found".
  EXPECT_FALSE(sidebar.row(CacheGroup::systemCaches)->isMeasuring());
  EXPECT_EQ(sidebar.card()->detailLabel()->text(),
            "\u2248 0 bytes found \u00b7 click to select safe items");

  h->rescan(true);
  step();
  h.deliver(CacheScanEvent::Discovered{{HomeHarness::item("/c/a", 2000),
                                        HomeHarness::item("/c/old", 3000)},
                                       {}});
  step();
  h.deliver(CacheScanEvent::GroupFinished{CacheGroup::packageCaches});
  step();
  h.deliver(CacheScanEvent::Finished{Seconds(1)});
  step();
  EXPECT_TRUE(sidebar.row(CacheGroup::systemCaches)->isMeasuring());
  EXPECT_FALSE(sidebar.row(CacheGroup::packageCaches)->isMeasuring());
  EXPECT_EQ(sidebar.card()->detailLabel()->text(), "Scanning\u2026 \u2248 5 KB so far");
  h.endRun();
  step();
  h.executor->settle();
  step();
  // The scan is over: no spinner, even for a group whose end was never reported.
  EXPECT_FALSE(sidebar.row(CacheGroup::systemCaches)->isMeasuring());
  EXPECT_EQ(sidebar.row(CacheGroup::packageCaches)->sizeLabel()->text(), "\u2248 5 KB");
  EXPECT_EQ(sidebar.row(CacheGroup::packageCaches)->accessibleName(), "Package caches, \u2248 5 KB");
  EXPECT_EQ(sidebar.card()->headlineLabel()->text(), "\u2248 5 KB");

  QTest::mouseClick(sidebar.row(CacheGroup::systemCaches), Qt::LeftButton);
  step();
  EXPECT_EQ(h->selectedGroup(), CacheGroup::systemCaches);
  EXPECT_TRUE(sidebar.row(CacheGroup::systemCaches)->isSelected());
  EXPECT_FALSE(sidebar.card()->isHighlighted());
  // Clicking the chosen row keeps it chosen.
  QTest::mouseClick(sidebar.row(CacheGroup::systemCaches), Qt::LeftButton);
  step();
  EXPECT_EQ(h->selectedGroup(), CacheGroup::systemCaches);

  // The card shows all groups again and ticks exactly the safe items.
  h->setChecked("/c/a", true);
  step();
  QTest::mouseClick(sidebar.card(), Qt::LeftButton);
  step();
  EXPECT_EQ(h->selectedGroup(), std::nullopt);
  EXPECT_TRUE(sidebar.card()->isHighlighted());
  EXPECT_FALSE(sidebar.row(CacheGroup::systemCaches)->isSelected());
  EXPECT_EQ(h->checked(), (std::set<std::string>{"/c/a", "/c/old"}));
}

TEST_F(HomePageTest, ExcludedTabIncludesPathsBackAndShowsItsEmptyState) {
  h.scanWith({HomeHarness::item("/c/a", 900), HomeHarness::item("/c/b", 800)});
  h.main().table()->setMenuPresenter([](QMenu& menu, QPoint) {
    test::actionTitled(menu, "Exclude")->trigger();
  });
  h.main().table()->openContextMenu(0, QPoint());
  EXPECT_EQ(h.main().table()->model()->ids(), std::vector<std::string>{"/c/b"});
  h->setTab(HomeTab::excluded);
  PathListView* list = h.main().excluded()->list();
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_FALSE(list->isPlaceholderShown());
  QTest::mouseClick(list->button(0), Qt::LeftButton);
  EXPECT_TRUE(h.settings.excludedPaths().empty());
  EXPECT_TRUE(list->isPlaceholderShown());
  h->setTab(HomeTab::items);
  EXPECT_EQ(h.main().table()->model()->ids(), (std::vector<std::string>{"/c/a", "/c/b"}));
}

// A click on a row opens the Details tab with that row's card in view, wherever the pane was
// scrolled to before, for another item or the same one.
TEST_F(HomePageTest, AClickedRowOpensTheDetailsWithItsCardInView) {
  h.scanWith({HomeHarness::item("/c/a", 900), HomeHarness::item("/c/b", 800)});
  GroupDetailsView* details = h.main().details();
  ItemsTable* table = h.main().table();
  for (const std::string id : {"/c/a", "/c/b", "/c/b"}) {
    SCOPED_TRACE(id);
    h->setTab(HomeTab::details);
    step();
    QScrollBar* bar = details->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    h->setTab(HomeTab::items);
    step();
    table->clickRow(table->model()->rowOf(id), Qt::NoModifier);
    step();
    ASSERT_EQ(h->tab(), HomeTab::details);
    const QWidget* card = details->findChild<ItemDetailCard*>();
    ASSERT_NE(card, nullptr);
    const QRect inView(card->mapTo(details->viewport(), QPoint(0, 0)), card->size());
    EXPECT_TRUE(details->viewport()->rect().contains(inView.topLeft()))
        << inView.y() << " in a pane " << details->viewport()->height() << " high";
  }
}

TEST_F(HomePageTest, SelectAllTicksOnlyOnTheItemsTab) {
  h.scanWith({HomeHarness::item("/c/a", 900),
              HomeHarness::item("/c/review", 800, CacheGroup::largeBackups, RiskLevel::review)});
  h->setTab(HomeTab::details);
  EXPECT_FALSE(h.page->canSelectAll());
  h.page->selectAll();
  EXPECT_TRUE(h->checked().empty());
  h->setTab(HomeTab::items);
  EXPECT_TRUE(h.page->canSelectAll());
  h.page->selectAll();
  EXPECT_EQ(h->checked(), std::set<std::string>{"/c/a"});
  EXPECT_FALSE(h.page->canSelectAll());
}

TEST_F(HomePageTest, ModalSurfacesOpenAndCloseWithTheViewModel) {
  CacheItem pnpm = HomeHarness::item("/c/pnpm", 900);
  pnpm.action = NativeAction{NativeAction::Tool::pnpm};
  h.scanWith({pnpm});
  HomeModals& modals = *h.main().modals();
  h->setChecked("/c/pnpm", true);
  h->requestTrash();
  h.executor->settle();
  EXPECT_NE(modals.sheet(), nullptr);
  h->requestAction(pnpm);
  h.executor->settle();
  EXPECT_NE(modals.toolDialog(), nullptr);
  h->setResultMessage("done");
  EXPECT_NE(modals.resultAlert(), nullptr);
  // Each closes with its own property and leaves the others.
  h->setPendingAction(std::nullopt);
  QApplication::processEvents();
  EXPECT_EQ(modals.toolDialog(), nullptr);
  EXPECT_NE(modals.sheet(), nullptr);
  EXPECT_NE(modals.resultAlert(), nullptr);
  h->setPendingPlan(std::nullopt);
  h->setResultMessage(std::nullopt);
  QApplication::processEvents();
  EXPECT_EQ(modals.sheet(), nullptr);
  EXPECT_EQ(modals.resultAlert(), nullptr);
}

}  // namespace
}  // namespace hl
