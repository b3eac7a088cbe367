#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>

#include "views/accessibility_support.h"
#include "views/home/home_fixture.h"
#include "views/home/items_table.h"
#include "views/home/items_table_header.h"
#include "views/home/items_table_model.h"
#include "views/home/item_row_texts.h"
#include "views/screenshot_support.h"
#include "views/shared/palette_colors.h"
#include "views/shared/spinner.h"
#include "views/shared/status_grammar.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using test::HomeHarness;
using Area = ItemRowGeometry::Area;
using Ids = std::set<std::string>;

class ItemsTableTest : public ::testing::Test {
 protected:
  void show(std::vector<CacheItem> items, int width = 900, int height = 500) {
    h.scan(std::move(items));
    table = std::make_unique<ItemsTable>(*h);
    // Every test's resets and row changes are checked against the item-model rules; a broken
    // rule ends the test process.
    tester = std::make_unique<QAbstractItemModelTester>(
        table->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    table->setClock(h.wall.clock());
    test::showAt(*table, width, height);
  }

  int row(const std::string& id) const { return table->model()->rowOf(id); }

  QPoint pointIn(const std::string& id, Area area) const {
    const ItemRowGeometry g = table->rowGeometry(row(id));
    switch (area) {
      case Area::checkbox:
      case Area::reviewButton:
      case Area::leading: return g.leading.center().toPoint();
      case Area::name: return g.name.center().toPoint();
      case Area::status: return (g.status.topLeft() + QPointF(10, g.status.height() / 2)).toPoint();
      case Area::size: return g.sizeText.center().toPoint();
      default: return g.row.center().toPoint();
    }
  }

  void click(const std::string& id, Area area, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(table->listView()->viewport(), Qt::LeftButton, modifiers, pointIn(id, area));
  }

  // The context menu of a row as a right click opens it.
  std::vector<test::ShownEntry> menuOf(const std::string& id) {
    std::vector<test::ShownEntry> entries;
    table->setMenuPresenter([&](QMenu& menu, QPoint) { entries = test::shownEntries(menu); });
    const QPoint at = pointIn(id, Area::name);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                            table->listView()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(table->listView()->viewport(), &event);
    return entries;
  }

  // Picks an entry of a row's context menu.
  void choose(const std::string& id, const QString& title) {
    bool found = false;
    table->setMenuPresenter([&](QMenu& menu, QPoint) {
      QAction* action = test::actionTitled(menu, title);
      ASSERT_NE(action, nullptr) << title.toStdString();
      found = true;
      action->trigger();
    });
    table->openContextMenu(row(id), QPoint());
    EXPECT_TRUE(found);
  }

  HomeHarness h;
  std::unique_ptr<ItemsTable> table;
  std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(ItemsTableTest, EverySizeTextFitsItsFrameAtEveryWidth) {
  // The longest figure of each unit the formatter writes, approximate, and "No access".
  std::vector<CacheItem> items;
  for (const std::int64_t size :
       {std::int64_t{999}, std::int64_t{999'400}, std::int64_t{188'700'000},
        std::int64_t{812'300'000}, std::int64_t{123'450'000'000},
        std::int64_t{888'880'000'000'000}, std::int64_t{988'880'000'000'000'000}}) {
    CacheItem item = HomeHarness::item("/c/" + std::to_string(size), size);
    item.isApproximate = true;
    items.push_back(item);
  }
  CacheItem unreadable = HomeHarness::item("/c/locked", 5);
  unreadable.isUnreadable = true;
  items.push_back(unreadable);
  show(items, 560, 700);
  const QFontMetricsF metrics(sizedFont(table->listView()->font(), 13));
  for (const int width : {560, 699, 700, 819, 820, 1200}) {
    table->resize(width, 700);
    QApplication::processEvents();
    for (const CacheItem& item : items) {
      const std::string text = ItemRowTexts::sizeCell(item, false).text;
      SCOPED_TRACE(std::to_string(width) + " " + text);
      const ItemRowGeometry g = table->rowGeometry(row(item.id));
      EXPECT_LE(metrics.horizontalAdvance(qtext(text)), g.sizeText.width());
      EXPECT_LE(g.sizeText.right(), table->listView()->viewport()->width());
    }
  }
}

// An unticked box stands out from its row, and the scroll bar's handle from its groove by a
// modest step, in a light and a dark palette alike.
TEST(ItemsTablePalette, UntickedBoxesAndTheScrollBarReadInLightAndDark) {
  const auto luma = [](const QColor& colour) { return qGray(colour.rgb()) / 255.0; };
  for (const bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    const test::AppPalette palette(dark ? test::darkPalette() : test::lightPalette());
    HomeHarness h;
    std::vector<CacheItem> items;
    for (int i = 0; i < 30; ++i) {
      items.push_back(HomeHarness::item("/c/" + std::to_string(i), 1000 + i));
    }
    h.scan(items);
    ItemsTable table(*h);
    test::showAt(table, 900, 400);
    const QImage rows = test::grabSettled(*table.listView()->viewport());
    const ItemRowGeometry g = table.rowGeometry(0);
    const double ground = luma(rows.pixelColor(QPoint(static_cast<int>(g.row.left()) + 3,
                                                       static_cast<int>(g.row.center().y()))));
    double strongest = 0;
    const QRect box = g.indicator.toAlignedRect();
    for (int x = box.left(); x <= box.right(); ++x) {
      for (int y = box.top(); y <= box.bottom(); ++y) {
        strongest = std::max(strongest, std::abs(luma(rows.pixelColor(x, y)) - ground));
      }
    }
    EXPECT_GE(strongest, 0.25);

    QScrollBar* bar = table.listView()->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    // As the window shows it: over the list's own ground.
    const QImage shown = test::grabSettled(table);
    const QPoint top = bar->mapTo(&table, QPoint(bar->width() / 2, 8));
    const QPoint bottom = bar->mapTo(&table, QPoint(bar->width() / 2, bar->height() - 4));
    const double handle = luma(shown.pixelColor(top));
    const double groove = luma(shown.pixelColor(bottom));
    if (dark) {
      EXPECT_GT(handle, groove + 0.08);
      EXPECT_LT(handle, groove + 0.45);
    } else {
      EXPECT_LT(handle, groove - 0.08);
    }
  }
}

TEST_F(ItemsTableTest, TheLeadingSymbolNamesAPathInTheHomeWithATilde) {
  CacheItem busy = HomeHarness::item(h->home() + "/code/site/node_modules", 5000);
  busy.inUseReason = "open by node (pid 4)";
  show({busy});
  const QString expected =
      QStringLiteral("In use: ~/code/site/node_modules is open by node (pid 4).");
  const QRectF rect(table->listView()->visualRect(table->model()->index(0, 0)));
  EXPECT_EQ(table->delegate()->helpAt(pointIn(busy.id, Area::leading), rect, 0, table->listView()),
            expected);
  const QString described =
      table->model()->data(table->model()->index(0, 0), Qt::AccessibleDescriptionRole).toString();
  EXPECT_TRUE(described.endsWith(expected)) << described.toStdString();
  EXPECT_FALSE(described.contains(QStringLiteral("In use: ") + qtext(h->home())))
      << described.toStdString();
}

TEST_F(ItemsTableTest, RowsFollowTheVisibleItemsWithTheirCellsAndHelp) {
  CacheItem big = HomeHarness::item("/c/big", 9'000'000);
  CacheItem unmeasured = HomeHarness::item("/c/unmeasured", std::nullopt);
  CacheItem simulators = HomeHarness::item("/c/virtual", std::nullopt, CacheGroup::xcode);
  simulators.kind = ItemKind::virtual_;
  simulators.id = "virtual:simulators";
  simulators.name = "Unavailable simulators";
  simulators.subtitle = "3 simulators";
  CacheItem review = HomeHarness::item("/c/backup", 5000, CacheGroup::largeBackups, RiskLevel::review);
  CacheItem report = HomeHarness::item("/c/report", 4000);
  report.isReportOnly = true;
  CacheItem odd = HomeHarness::item("/c/<b>x", 3000);
  show({unmeasured, simulators, review, report, big, odd});

  // Largest first, unmeasured last.
  EXPECT_EQ(table->model()->ids(),
            (std::vector<std::string>{"/c/big", "/c/backup", "/c/report", "/c/<b>x",
                                      "/c/unmeasured", "virtual:simulators"}));
  EXPECT_EQ(table->model()->largest(), 9'000'000);

  struct Case {
    std::string id;
    Area area;
    QString help;
  };
  const std::vector<Case> cases = {
      {"/c/big", Area::name, "/c/big"},
      {"virtual:simulators", Area::name, "3 simulators"},
      {"/c/backup", Area::leading, "Review in File Manager"},
      {"/c/<b>x", Area::name, "/c/<b>x"},
      {"/c/big", Area::size, ""},
  };
  ItemRowDelegate* delegate = table->delegate();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const QRectF rect(table->listView()->visualRect(table->model()->index(row(c.id), 0)));
    EXPECT_EQ(delegate->helpAt(pointIn(c.id, c.area), rect, row(c.id), table->listView()), c.help);
  }
  // The lock and chart symbols carry the state chip's help; the first chip its own.
  const QRectF reportRect(table->listView()->visualRect(table->model()->index(row("/c/report"), 0)));
  EXPECT_TRUE(delegate->helpAt(pointIn("/c/report", Area::leading), reportRect, row("/c/report"),
                               table->listView())
                  .startsWith("Safe"));
  EXPECT_FALSE(delegate->helpAt(pointIn("/c/big", Area::status),
                                QRectF(table->listView()->visualRect(table->model()->index(0, 0))),
                                0, table->listView())
                   .isEmpty());

  // Which rows offer a check box: the selectable ones only.
  const auto checkable = [&](const std::string& id) {
    return table->model()->flags(table->model()->index(row(id), 0)).testFlag(Qt::ItemIsUserCheckable);
  };
  EXPECT_TRUE(checkable("/c/big"));
  EXPECT_TRUE(checkable("/c/unmeasured"));
  EXPECT_FALSE(checkable("/c/backup"));
  EXPECT_FALSE(checkable("/c/report"));
  EXPECT_FALSE(checkable("virtual:simulators"));
  // An unmeasured folder turns a spinner, so the shared timer runs while it is on screen.
  table->listView()->viewport()->repaint();
  EXPECT_TRUE(table->delegate()->drewSpinner());
  EXPECT_TRUE(SpinnerTicker::shared().isRunning());
}

TEST_F(ItemsTableTest, CheckBoxesTickRowsAndShiftTicksARange) {
  show({HomeHarness::item("/c/a", 500), HomeHarness::item("/c/b", 400),
        HomeHarness::item("/c/review", 300, CacheGroup::largeBackups, RiskLevel::review),
        HomeHarness::item("/c/d", 200), HomeHarness::item("/c/e", 100)});
  click("/c/a", Area::checkbox);
  EXPECT_EQ(h->checked(), Ids{"/c/a"});
  // A click on a check box neither highlights nor opens details.
  EXPECT_TRUE(h->tableSelection().empty());
  EXPECT_EQ(h->tab(), HomeTab::items);

  click("/c/d", Area::checkbox, Qt::ShiftModifier);
  EXPECT_EQ(h->checked(), (Ids{"/c/a", "/c/b", "/c/d"}));
  click("/c/b", Area::checkbox);
  EXPECT_EQ(h->checked(), (Ids{"/c/a", "/c/d"}));
  // The eye of a review row reveals it and ticks nothing.
  click("/c/review", Area::leading);
  EXPECT_EQ(h->checked(), (Ids{"/c/a", "/c/d"}));
  ASSERT_EQ(h.desktop->revealed.size(), 1u);
  EXPECT_EQ(h.desktop->revealed[0], std::vector<std::string>{"/c/review"});
  EXPECT_EQ(table->model()->data(table->model()->index(row("/c/a"), 0), Qt::CheckStateRole),
            QVariant(Qt::Checked));
}

TEST_F(ItemsTableTest, HeaderBoxShowsTheBulkStateAndAClickGoesToAllOrNone) {
  show({HomeHarness::item("/c/a", 500), HomeHarness::item("/c/b", 400),
        HomeHarness::item("/c/review", 300, CacheGroup::largeBackups, RiskLevel::review)});
  QCheckBox* box = table->header()->checkBox();
  EXPECT_TRUE(box->isEnabled());
  EXPECT_EQ(box->accessibleName(), "Select all");
  EXPECT_TRUE(box->toolTip().contains("(Ctrl+A)"));
  struct Step {
    std::function<void()> act;
    Qt::CheckState shown;
    Ids checked;
  };
  const std::vector<Step> steps = {
      {[] {}, Qt::Unchecked, {}},
      {[&] { box->click(); }, Qt::Checked, {"/c/a", "/c/b"}},
      {[&] { h->setChecked("/c/b", false); }, Qt::PartiallyChecked, {"/c/a"}},
      // From mixed a click goes to all, never to Qt's next state.
      {[&] { box->click(); }, Qt::Checked, {"/c/a", "/c/b"}},
      {[&] { box->click(); }, Qt::Unchecked, {}},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    steps[i].act();
    // The box follows a change of the ticks once the step that made it is over.
    QApplication::processEvents();
    EXPECT_EQ(box->checkState(), steps[i].shown);
    EXPECT_EQ(h->checked(), steps[i].checked);
  }
}

TEST_F(ItemsTableTest, HeaderBoxIsDisabledWithoutSelectableRows) {
  show({HomeHarness::item("/c/review", 300, CacheGroup::largeBackups, RiskLevel::review),
        HomeHarness::item("/c/a", 200)});
  EXPECT_TRUE(table->header()->checkBox()->isEnabled());
  h->setChecked("/c/a", true);
  QApplication::processEvents();
  EXPECT_TRUE(table->header()->checkBox()->isEnabled());
  h->setSelectedGroup(CacheGroup::largeBackups);
  QApplication::processEvents();
  EXPECT_FALSE(table->header()->checkBox()->isEnabled());
}

TEST_F(ItemsTableTest, ClicksHighlightRowsAndAPlainClickOpensDetails) {
  std::vector<CacheItem> items;
  for (int i = 0; i < 8; ++i) items.push_back(HomeHarness::item("/c/" + std::to_string(i), 1000 - i));
  show(items);
  struct Step {
    std::string id;
    Qt::KeyboardModifiers modifiers;
    Ids highlight;
    bool details;
  };
  const std::vector<Step> steps = {
      // Shift with nothing highlighted acts as a plain click.
      {"/c/3", Qt::ShiftModifier, {"/c/3"}, true},
      {"/c/7", Qt::ControlModifier, {"/c/3", "/c/7"}, false},
      // The anchor is the first highlighted row, not the last clicked.
      {"/c/5", Qt::ShiftModifier, {"/c/3", "/c/4", "/c/5"}, false},
      {"/c/4", Qt::ControlModifier, {"/c/3", "/c/5"}, false},
      {"/c/1", Qt::NoModifier, {"/c/1"}, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.id);
    h->setTab(HomeTab::items);
    h->setDetailItemID(std::nullopt);
    click(step.id, Area::name, step.modifiers);
    EXPECT_EQ(h->tableSelection(), step.highlight);
    EXPECT_EQ(h->tab(), step.details ? HomeTab::details : HomeTab::items);
    EXPECT_EQ(h->detailItemID(),
              step.details ? std::optional<std::string>(step.id) : std::nullopt);
  }
  // Highlighting never ticks.
  EXPECT_TRUE(h->checked().empty());
}

TEST_F(ItemsTableTest, ContextMenuEntriesAndTheirStates) {
  CacheItem pnpm = HomeHarness::item("/c/pnpm", 900);
  pnpm.action = NativeAction{NativeAction::Tool::pnpm};
  CacheItem npm = HomeHarness::item("/c/npm", 800);
  npm.action = NativeAction{NativeAction::Tool::npm};
  CacheItem simulators = HomeHarness::item("/c/sims", 700, CacheGroup::xcode, RiskLevel::review);
  simulators.kind = ItemKind::virtual_;
  simulators.id = "virtual:simulators";
  simulators.action = NativeAction{NativeAction::Tool::simctl};
  show({pnpm, npm, simulators});

  using E = test::ShownEntry;
  const E divider{"\u2014", true};
  EXPECT_EQ(menuOf("/c/pnpm"),
            (std::vector<E>{{"Open Containing Folder", true}, {"Copy Path", true}, divider,
                            {"Check", true}, {"Uncheck", true}, divider,
                            {"Prune with pnpm\u2026", true}, divider, {"Exclude", true}, divider,
                            {"Move to Trash\u2026", true}}));
  EXPECT_EQ(menuOf("virtual:simulators"),
            (std::vector<E>{{"Open Containing Folder", false}, {"Copy Path", true}, divider,
                            {"Check", false}, {"Uncheck", true}, divider,
                            {"Prune with simctl\u2026", true}, divider, {"Exclude", true}, divider,
                            {"Move to Trash\u2026", false}}));

  // Two highlighted rows: the plural copy entry and no tool entry; a row outside the highlight
  // still gets its own menu.
  h->setTableSelection({"/c/pnpm", "/c/npm"});
  const auto both = menuOf("/c/npm");
  EXPECT_EQ(both[1], (E{"Copy Paths", true}));
  EXPECT_EQ(both.size(), 9u);
  EXPECT_EQ(menuOf("virtual:simulators")[1], (E{"Copy Path", true}));

  // Deleting immediately names the entry so.
  h.settings.setDeleteImmediately(true);
  EXPECT_EQ(menuOf("/c/pnpm").back(), (E{"Delete Immediately\u2026", true}));
}

TEST_F(ItemsTableTest, RemovalEntryIsOffWhileARemovalIsPreparedOrReadOnly) {
  show({HomeHarness::item("/c/a", 900), HomeHarness::item("/c/b", 800)});
  h->setChecked("/c/a", true);
  h->requestTrash();
  ASSERT_TRUE(h->isPreparingTrash());
  EXPECT_EQ(menuOf("/c/b").back(), (test::ShownEntry{"Move to Trash\u2026", false}));
  h.executor->settle();
  EXPECT_FALSE(h->isPreparingTrash());
  EXPECT_EQ(menuOf("/c/b").back(), (test::ShownEntry{"Move to Trash\u2026", true}));
}

TEST(ItemsTableReadOnly, RemovalAndToolEntriesAreOff) {
  HomeHarness h(DestructiveGate{"read-only mode (-HLMReadOnly)"});
  CacheItem pnpm = HomeHarness::item("/c/pnpm", 900);
  pnpm.action = NativeAction{NativeAction::Tool::pnpm};
  h.scan({pnpm});
  ItemsTable table(*h);
  std::vector<test::ShownEntry> entries;
  table.setMenuPresenter([&](QMenu& menu, QPoint) { entries = test::shownEntries(menu); });
  table.openContextMenu(0, QPoint());
  ASSERT_EQ(entries.size(), 11u);
  EXPECT_EQ(entries[6], (test::ShownEntry{"Prune with pnpm\u2026", false}));
  EXPECT_EQ(entries[10], (test::ShownEntry{"Move to Trash\u2026", false}));
}

TEST_F(ItemsTableTest, MenuActionsReachTheViewModelAndTheDesktop) {
  CacheItem pnpm = HomeHarness::item("/c/pnpm", 900);
  pnpm.action = NativeAction{NativeAction::Tool::pnpm};
  show({pnpm, HomeHarness::item("/c/b", 800), HomeHarness::item("/c/c", 700)});
  h->setTableSelection({"/c/b", "/c/c"});

  choose("/c/b", "Copy Paths");
  EXPECT_EQ(h.desktop->copied, std::vector<std::string>{"/c/b\n/c/c"});
  choose("/c/pnpm", "Open Containing Folder");
  EXPECT_EQ(h.desktop->revealed, std::vector<std::vector<std::string>>{{"/c/pnpm"}});
  choose("/c/c", "Check");
  EXPECT_EQ(h->checked(), (Ids{"/c/b", "/c/c"}));
  choose("/c/b", "Uncheck");
  EXPECT_TRUE(h->checked().empty());
  choose("/c/pnpm", "Prune with pnpm\u2026");
  h.executor->settle();
  ASSERT_TRUE(h->pendingAction());
  EXPECT_EQ(h->pendingAction()->id, "/c/pnpm");
  h->setPendingAction(std::nullopt);
  choose("/c/b", "Move to Trash\u2026");
  h.executor->settle();
  ASSERT_TRUE(h->pendingPlan());
  EXPECT_EQ(h->pendingPlan()->items.size(), 2u);
  h->setPendingPlan(std::nullopt);
  choose("/c/c", "Exclude");
  EXPECT_EQ(h.settings.excludedPaths(), (std::vector<std::string>{"/c/b", "/c/c"}));
  EXPECT_EQ(table->model()->ids(), std::vector<std::string>{"/c/pnpm"});
}

TEST_F(ItemsTableTest, ColumnsFollowTheWidthInsideTheList) {
  show({HomeHarness::item("/c/a", 900)}, 900);
  struct Case {
    int width;
    bool modified;
    bool bar;
  };
  for (const Case& c : std::vector<Case>{{900, true, true}, {760, false, true}, {600, false, false}}) {
    SCOPED_TRACE(c.width);
    table->resize(c.width, 400);
    QApplication::processEvents();
    const ColumnLayout& layout = table->columnLayout();
    EXPECT_EQ(layout.width, table->listView()->viewport()->width());
    EXPECT_EQ(layout.showModified, c.modified);
    EXPECT_EQ(layout.showSizeBar, c.bar);
    EXPECT_EQ(table->header()->columnLayout(), layout);
    EXPECT_EQ(table->header()->modifiedTitle()->isVisible(), c.modified);
    EXPECT_EQ(table->rowGeometry(0).sizeBar.isEmpty(), !c.bar);
    // The header's titles stand over their columns.
    EXPECT_EQ(table->header()->statusTitle()->x(), static_cast<int>(table->rowGeometry(0).status.x()));
  }
  EXPECT_EQ(table->header()->nameTitle()->text(), "NAME");
}

TEST_F(ItemsTableTest, KeyboardMovesTicksOpensAndSelectsAll) {
  show({HomeHarness::item("/c/a", 900), HomeHarness::item("/c/b", 800),
        HomeHarness::item("/c/review", 700, CacheGroup::largeBackups, RiskLevel::review)});
  QListView* list = table->listView();
  list->setFocus();
  list->setCurrentIndex(table->model()->index(0, 0));
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentIndex().row(), 1);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(h->checked(), Ids{"/c/b"});
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(h->checked(), (Ids{"/c/a", "/c/b"}));
  // Ctrl+A only ticks.
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(h->checked(), (Ids{"/c/a", "/c/b"}));
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(h->tableSelection(), Ids{"/c/b"});
  EXPECT_EQ(h->tab(), HomeTab::details);
}

// Rows that leave the list under the keyboard (excluded from their menu, or taken by another
// step) leave it on the row that took their place, the one above when the last went; a row that
// stays keeps the keyboard wherever the list puts it now.
TEST_F(ItemsTableTest, TheKeyboardMovesToTheNeighbouringRowWhenItsRowLeaves) {
  struct Case {
    const char* name;
    // None: nobody has put the keyboard on a row; the menu is opened by a right click.
    std::string current;
    Ids excluded;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"a middle row", "/c/b", {"/c/b"}, "/c/c"},
      {"the first row", "/c/a", {"/c/a"}, "/c/b"},
      {"the last row", "/c/d", {"/c/d"}, "/c/c"},
      {"the row and the one after it", "/c/b", {"/c/b", "/c/c"}, "/c/d"},
      {"another row", "/c/c", {"/c/a"}, "/c/c"},
      {"a middle row right-clicked in a table nobody clicked", "", {"/c/b"}, "/c/c"},
      {"the last row right-clicked in a table nobody clicked", "", {"/c/d"}, "/c/c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    h.settings.setExcludedPaths({});
    show({HomeHarness::item("/c/a", 900), HomeHarness::item("/c/b", 800),
          HomeHarness::item("/c/c", 700), HomeHarness::item("/c/d", 600)});
    QListView* list = table->listView();
    h->setTableSelection(c.excluded);
    if (c.current.empty()) {
      QTest::mousePress(list->viewport(), Qt::RightButton, {}, pointIn(*c.excluded.begin(),
                                                                       Area::name));
      QTest::mouseRelease(list->viewport(), Qt::RightButton, {},
                          pointIn(*c.excluded.begin(), Area::name));
    } else {
      list->setFocus();
      list->setCurrentIndex(table->model()->index(row(c.current), 0));
    }
    choose(*c.excluded.begin(), QStringLiteral("Exclude"));
    ASSERT_EQ(row(*c.excluded.begin()), -1);
    ASSERT_TRUE(list->currentIndex().isValid());
    EXPECT_EQ(table->model()->id(list->currentIndex().row()), c.after);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(h->checked(), Ids{c.after});
    h->deselectAll();
  }
}

// As a screen reader hears a row: a row that can be ticked by its check box's label and state,
// every row with its chips, its size and its place, and a row that cannot be ticked with why;
// Space ticks the row the keyboard is on and the row itself says it is now checked.
TEST_F(ItemsTableTest, RowsReadAsTheirCheckBoxWithChipsSizeAndWhyNot) {
  test::AccessibilityOn accessibility;
  CacheItem npm = HomeHarness::item(h->home() + "/.npm", 3000);
  CacheItem backup =
      HomeHarness::item(h->home() + "/backup", 2000, CacheGroup::largeBackups, RiskLevel::review);
  CacheItem busy = HomeHarness::item(h->home() + "/busy", 1000);
  busy.inUseReason = "open by node (pid 4)";
  show({npm, backup, busy});
  QListView* list = table->listView();
  QAccessibleInterface* rows = test::accessible(list);
  ASSERT_TRUE(rows && rows->tableInterface());
  const auto cell = [&](const CacheItem& item) {
    return rows->tableInterface()->cellAt(row(item.id), 0);
  };
  struct Case {
    const CacheItem* item;
    QString name;
    bool checkable;
    QStringList described;
  };
  const std::vector<Case> cases = {
      {&npm, QStringLiteral("Include .npm"), true,
       {QStringLiteral("Not ticked, Safe"), QStringLiteral("3 KB"), qtext(npm.subtitle)}},
      {&backup, QStringLiteral("backup"), false,
       {QStringLiteral("Review only"), QStringLiteral("2 KB"),
        qtext(StatusGrammar::stateTag(backup, h->home()).help)}},
      {&busy, QStringLiteral("busy"), false,
       {QStringLiteral("In use"), QStringLiteral("1 KB"),
        QStringLiteral("In use: ~/busy is open by node (pid 4).")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    QAccessibleInterface* shown = cell(*c.item);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(QAccessible::Name), c.name);
    EXPECT_EQ(shown->state().checkable, c.checkable);
    EXPECT_FALSE(shown->state().checked);
    const QString description = shown->text(QAccessible::Description);
    for (const QString& part : c.described) {
      EXPECT_TRUE(description.contains(part)) << description.toStdString();
    }
  }

  list->setFocus();
  list->setCurrentIndex(table->model()->index(row(npm.id), 0));
  accessibility.clear();
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_TRUE(cell(npm)->state().checked);
  const auto told = accessibility.stateChangesOf(QStringLiteral("Include .npm"));
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told.front().changed.checked);
  EXPECT_TRUE(told.front().state.checked);
  EXPECT_FALSE(cell(npm)->text(QAccessible::Description).contains(QStringLiteral("Not ticked")));
  // A tick of another row is not told as this row's.
  accessibility.clear();
  h->setChecked(npm.id, true);
  EXPECT_TRUE(accessibility.stateChangesOf(QStringLiteral("Include .npm")).empty());
}

TEST_F(ItemsTableTest, NewSizesRepaintRowsWithoutAResetAndANewOrderKeepsTheScroll) {
  std::vector<CacheItem> items;
  for (int i = 0; i < 200; ++i) items.push_back(HomeHarness::item("/c/" + std::to_string(i), 100000 - i));
  show(items, 900, 300);
  QSignalSpy resets(table->model(), &QAbstractItemModel::modelReset);
  QSignalSpy changes(table->model(), &QAbstractItemModel::dataChanged);
  table->listView()->verticalScrollBar()->setValue(2000);

  // The same order: the changed rows are announced, nothing is reset.
  h->rescan(false);
  h.deliver(CacheScanEvent::ItemSized{"/c/150", test::measured(100000 - 150, 5)});
  h.monotonic.advance(std::chrono::seconds(1));
  h.deliver(CacheScanEvent::ItemSized{"/c/151", test::measured(100000 - 151, 5)});
  EXPECT_EQ(resets.size(), 0);
  EXPECT_GE(changes.size(), 1);
  // A new order resets the rows and keeps the place in the list.
  h.deliver(CacheScanEvent::ItemSized{"/c/199", test::measured(500000)});
  h.monotonic.advance(std::chrono::seconds(1));
  h.deliver(CacheScanEvent::ItemSized{"/c/198", test::measured(100000 - 198, 5)});
  h.endRun();
  EXPECT_EQ(resets.size(), 1);
  EXPECT_EQ(table->model()->ids().front(), "/c/199");
  EXPECT_EQ(table->listView()->verticalScrollBar()->value(), 2000);
}

}  // namespace
}  // namespace hl
