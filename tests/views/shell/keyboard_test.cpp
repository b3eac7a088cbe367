#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include "views/home/home_fixture.h"
#include "shell_harness.h"
#include "views/pages/history_page.h"
#include "views/pages/scanner/file_tree_view.h"
#include "views/pages/scanner/scanner_sidebar.h"
#include "views/pages/scanner/scanner_view.h"
#include "views/shared/destructive_button.h"
#include "views/home/group_details_view.h"
#include "views/home/home_main_view.h"
#include "views/home/home_header.h"
#include "views/home/home_modals.h"
#include "views/home/home_sidebar.h"
#include "views/home/items_table.h"
#include "views/home/items_table_model.h"
#include "views/home/selection_summary_card.h"
#include "views/shared/confirm_trash_sheet.h"
#include "views/shared/result_alert.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/excluded_paths_view.h"
#include "views/shared/path_list_view.h"
#include "views/shared/segmented_control.h"
#include "views/shared/sidebar_list.h"
#include "views/shell/left_rail.h"
#include "views/shell/right_panel.h"
#include "views/shell/status_bar.h"

namespace hl {
namespace {

using test::ShellHarness;

std::vector<HistoryEntry> twoCleanups() {
  const Date now = test::referenceDate();
  return {HistoryEntry::make(UUID::random(), now, "Package caches", {"/a", "/b"}, 1000, {}, "Home",
                             false),
          HistoryEntry::make(UUID::random(), now, "Projects", {"/c"}, 2000, {}, "Home", true)};
}

// The window on the folder scanner's page, the folder chooser set to answer with a folder of two
// files.
RootView& showScanner(ShellHarness& h) {
  h.folders.file("Downloads/big.bin", 4000);
  h.folders.file("Downloads/small.bin", 1000);
  h.chosen = h.folders / "Downloads";
  RootView& root = h.show();
  QApplication::setActiveWindow(&root);
  h->setPage(Page::search);
  QApplication::processEvents();
  return root;
}

// Tab and Shift+Tab (and Ctrl+Tab, which a control that kept Tab would leave by) take the
// keyboard out of every table and list of every page; the arrows move inside.
TEST(Keyboard, TabLeavesEveryTableAndList) {
  ShellHarness h;
  RootView& root = h.show();
  QApplication::setActiveWindow(&root);
  h.scanCleaner({h.item("a", 3000), h.item("b", 2000)});
  h->history().setEntries(twoCleanups());
  struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  const std::vector<Key> keys = {{Qt::Key_Tab, Qt::NoModifier},
                                 {Qt::Key_Backtab, Qt::ShiftModifier},
                                 {Qt::Key_Tab, Qt::ControlModifier},
                                 {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier}};
  int views = 0;
  for (Page page : allPages) {
    h->setPage(page);
    h->history().setSelectedEntryID(std::nullopt);
    QApplication::processEvents();
    // The main view's first: moving in a sidebar list may change what the main view shows.
    QList<QAbstractItemView*> shown = root.currentMainView()->findChildren<QAbstractItemView*>();
    shown += root.currentSidebar()->findChildren<QAbstractItemView*>();
    for (QAbstractItemView* view : shown) {
      if (!view->isVisible() || !(view->focusPolicy() & Qt::TabFocus) ||
          view->model()->rowCount() == 0) {
        continue;
      }
      ++views;
      SCOPED_TRACE(std::string(id(page)) + " " + view->metaObject()->className() + " " +
                   view->accessibleName().toStdString());
      for (const Key& key : keys) {
        view->setFocus(Qt::TabFocusReason);
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, key.key, key.modifiers);
        QWidget* now = QApplication::focusWidget();
        EXPECT_TRUE(now && now != view && !view->isAncestorOf(now)) << key.key;
      }
      // The arrows stay inside.
      view->setFocus(Qt::TabFocusReason);
      view->setCurrentIndex(view->model()->index(0, 0));
      QTest::keyClick(view, Qt::Key_Down);
      EXPECT_EQ(QApplication::focusWidget(), view);
      EXPECT_EQ(view->currentIndex().row(), 1);
    }
  }
  // The items table, the three sidebar lists, the activity list and the History table.
  EXPECT_GE(views, 6);
}

// Return presses the focused button as Space does; a check box is ticked by Space only.
TEST(Keyboard, ReturnPressesTheFocusedButton) {
  ShellHarness h;
  RootView& root = h.show();
  QApplication::setActiveWindow(&root);
  QToolButton* rescan = nullptr;
  for (auto* button : root.statusBar()->findChildren<QToolButton*>()) {
    if (button->text() == QStringLiteral("Rescan")) rescan = button;
  }
  ASSERT_NE(rescan, nullptr);
  rescan->setFocus(Qt::TabFocusReason);
  QTest::keyClick(rescan, Qt::Key_Return);
  EXPECT_EQ(h.scans(), 1);
  QTest::keyClick(rescan, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(h.scans(), 2);

  // A rail button, which Qt's own buttons would leave to Space.
  RailButton* history = root.rail()->button(Page::history);
  history->setFocus(Qt::TabFocusReason);
  QTest::keyClick(history, Qt::Key_Return);
  EXPECT_EQ(h->page(), Page::history);

  h->setPage(Page::search);
  auto* hidden = root.currentSidebar()->findChild<QCheckBox*>();
  ASSERT_NE(hidden, nullptr);
  const bool before = hidden->isChecked();
  hidden->setFocus(Qt::TabFocusReason);
  QTest::keyClick(hidden, Qt::Key_Return);
  EXPECT_EQ(hidden->isChecked(), before);
}

// A folder chosen from the keyboard: the focused button goes with the empty state, the keyboard
// stays in the page while it scans, and the tree has it once the scan is done; the arrows then
// move in the tree and Tab goes on from it.
TEST(Keyboard, FocusStaysInThePageWhileItScansAndTheTreeTakesItAfter) {
  ShellHarness h;
  RootView& root = showScanner(h);
  auto* view = static_cast<ScannerView*>(root.currentMainView());
  QAbstractButton* choose = view->emptyState()->findChild<QAbstractButton*>();
  ASSERT_NE(choose, nullptr);
  choose->setFocus(Qt::TabFocusReason);
  QTest::keyClick(choose, Qt::Key_Space);
  ASSERT_TRUE(h.scanner().isScanning());
  QWidget* scanning = QApplication::focusWidget();
  ASSERT_NE(scanning, nullptr);
  EXPECT_TRUE(view->isAncestorOf(scanning) || scanning == view)
      << scanning->metaObject()->className();

  h.settle();
  ASSERT_EQ(view->state(), ScannerView::State::tree);
  EXPECT_EQ(QApplication::focusWidget(), view->tree());
  QTest::keyClick(view->tree(), Qt::Key_Down);
  EXPECT_TRUE(view->tree()->currentIndex().isValid());
  QTest::keyClick(view->tree(), Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), view->tree());

  // Measured again from the header's button: the tree has the keyboard again, not the button
  // it was last on.
  view->selectAllButton()->setFocus(Qt::TabFocusReason);
  h->rescanCurrentPage();
  ASSERT_TRUE(h.scanner().isScanning());
  h.settle();
  EXPECT_EQ(QApplication::focusWidget(), view->tree());
}

// A control turned off while it has the keyboard hands it to the next control of its region, not
// to the first button of the window; a scan started from the sidebar gives the tree the keyboard
// once it is measured.
TEST(Keyboard, AControlTurnedOffHandsTheKeyboardToTheNextInItsRegion) {
  ShellHarness h;
  RootView& root = showScanner(h);
  auto* sidebar = static_cast<ScannerSidebar*>(root.currentSidebar());
  QPushButton* choose = nullptr;
  for (auto* button : sidebar->findChildren<QPushButton*>()) {
    if (button->text().startsWith(QStringLiteral("Choose Folder"))) choose = button;
  }
  ASSERT_NE(choose, nullptr);
  choose->setFocus(Qt::TabFocusReason);
  QTest::keyClick(choose, Qt::Key_Space);
  ASSERT_TRUE(h.scanner().isScanning());
  ASSERT_FALSE(choose->isEnabled());
  QWidget* now = QApplication::focusWidget();
  ASSERT_NE(now, nullptr);
  EXPECT_TRUE(sidebar->isAncestorOf(now)) << now->metaObject()->className();
  // Once measured, the tree has the keyboard, as after a scan started from the empty state.
  h.settle();
  auto* view = static_cast<ScannerView*>(root.currentMainView());
  ASSERT_EQ(view->state(), ScannerView::State::tree);
  EXPECT_EQ(QApplication::focusWidget(), view->tree());

  // Taken to the rail while the scan runs, the keyboard stays where the user took it.
  choose->setFocus(Qt::TabFocusReason);
  QTest::keyClick(choose, Qt::Key_Space);
  ASSERT_TRUE(h.scanner().isScanning());
  QWidget* rail = root.rail()->button(Page::search);
  rail->setFocus(Qt::BacktabFocusReason);
  h.settle();
  EXPECT_EQ(QApplication::focusWidget(), rail);
}

// "Choose Folder…" in the sidebar, by mouse or by keyboard, while its dialog holds the window as
// on a desktop: the window is not active when the button turns off, nor when the window manager
// hands it back. The button passes the keyboard on within the sidebar, and the tree takes it once
// it is measured; the first Down moves in the tree.
TEST(Keyboard, AFolderChosenFromTheSidebarGivesTheTreeTheKeyboard) {
  for (const bool byMouse : {true, false}) {
    SCOPED_TRACE(byMouse ? "by mouse" : "by keyboard");
    ShellHarness h;
    RootView& root = showScanner(h);
    QWidget dialog;
    h.whileChoosing = [&] {
      dialog.show();
      QApplication::processEvents();
      QApplication::setActiveWindow(&dialog);
    };
    auto* sidebar = static_cast<ScannerSidebar*>(root.currentSidebar());
    QPushButton* choose = sidebar->chooseFolderButton();
    if (byMouse) {
      QTest::mouseClick(choose, Qt::LeftButton);
    } else {
      choose->setFocus(Qt::TabFocusReason);
      QTest::keyClick(choose, Qt::Key_Space);
    }
    ASSERT_TRUE(h.scanner().isScanning());
    // The window manager activates the window again only after the scan has begun.
    dialog.hide();
    QApplication::processEvents();
    QApplication::setActiveWindow(&root);
    h.settle();
    auto* view = static_cast<ScannerView*>(root.currentMainView());
    ASSERT_EQ(view->state(), ScannerView::State::tree);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, view->tree()) << (focus ? focus->metaObject()->className() : "nowhere");
    QTest::keyClick(view->tree(), Qt::Key_Down);
    EXPECT_TRUE(view->tree()->currentIndex().isValid());
  }
}

// "Include" and "Remove" pressed from the keyboard, on the Home page's Excluded tab and in
// Settings alike: the keyboard stays in the list, on the row that took the pressed one's place
// (the one above when the last went), and never stops on the way on a control outside it or on a
// row not yet shown, which a screen reader would announce; with no row left it goes to the
// control that chose the list's section, or for the custom paths to "Add Folder…" beside them. That holds also after the keyboard was once among the
// right panel's largest items, which the press changes.
TEST(Keyboard, IncludeAndRemoveLeaveTheKeyboardInTheListOnTheNextRow) {
  enum class List { homeExcluded, settingsExcluded, settingsCustom };
  // The control that chose the list's section: the Home page's "Excluded" tab, or the row of
  // the Settings page's sections.
  constexpr int section = -1;
  // Custom paths: "Add Folder…", beside the list.
  constexpr int addFolder = -2;
  struct Case {
    const char* name;
    List list;
    int rows;
    int pressed;
    int focusedAfter;
    Qt::Key key;
    bool largestItemsFirst = false;
  };
  const std::vector<Case> cases = {
      {"Home, a middle row", List::homeExcluded, 3, 1, 1, Qt::Key_Space},
      {"Home, the first row, by Return", List::homeExcluded, 3, 0, 0, Qt::Key_Return},
      {"Home, the last row", List::homeExcluded, 3, 2, 1, Qt::Key_Space},
      {"Home, a middle row, by Return", List::homeExcluded, 3, 1, 1, Qt::Key_Return},
      {"Settings, a middle row", List::settingsExcluded, 3, 1, 1, Qt::Key_Space},
      {"Settings, the last row, by Return", List::settingsExcluded, 3, 2, 1, Qt::Key_Return},
      {"Settings, the first of two, after the largest items", List::settingsExcluded, 2, 0, 0,
       Qt::Key_Space, true},
      {"Home, the last of two, after the largest items", List::homeExcluded, 2, 1, 0,
       Qt::Key_Space, true},
      {"Custom paths, the first of two", List::settingsCustom, 2, 0, 0, Qt::Key_Space},
      {"Custom paths, the last of three, after the largest items", List::settingsCustom, 3, 2,
       1, Qt::Key_Space, true},
      {"Home, the only row", List::homeExcluded, 1, 0, section, Qt::Key_Space},
      {"Settings, the only row", List::settingsExcluded, 1, 0, section, Qt::Key_Return},
      {"Custom paths, the only row", List::settingsCustom, 1, 0, addFolder, Qt::Key_Space},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShellHarness h;
    std::vector<std::string> paths;
    for (const char* name : {"a", "b", "c"}) {
      if (static_cast<int>(paths.size()) < c.rows) paths.push_back(h.folders / name);
    }
    // Items of the list: each one included comes back to the table, and with it to the right
    // panel's largest items.
    if (c.list == List::settingsCustom) {
      h->settings().setExtraPaths(paths);
    } else {
      h->settings().setExcludedPaths(paths);
    }
    RootView& root = h.show();
    QApplication::setActiveWindow(&root);
    h.scanCleaner({h.item("a", 3000), h.item("b", 2000), h.item("c", 1000), h.item("d", 500)});
    if (c.largestItemsFirst) {
      const auto& largest = root.rightPanel()->largestRows();
      ASSERT_FALSE(largest.empty());
      largest.front()->setFocus(Qt::TabFocusReason);
    }
    h->setPage(c.list == List::homeExcluded ? Page::home : Page::settings);
    if (c.list == List::homeExcluded) h.cleaner().setTab(HomeTab::excluded);
    if (c.list == List::settingsExcluded) h->setSettingsSection(SettingsSection::excluded);
    if (c.list == List::settingsCustom) h->setSettingsSection(SettingsSection::customPaths);
    QApplication::processEvents();
    PathListView* list = nullptr;
    for (auto* candidate : root.currentMainView()->findChildren<PathListView*>()) {
      if (candidate->isVisible()) list = candidate;
    }
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->rowCount(), c.rows);
    list->button(c.pressed)->setFocus(Qt::TabFocusReason);
    // Every stop the keyboard makes on the way, as a screen reader announces it.
    QWidget* sectionControl =
        c.list == List::homeExcluded
            ? static_cast<QWidget*>(static_cast<HomeMainView*>(root.currentMainView())
                                        ->tabPicker()
                                        ->segment(static_cast<int>(
                                            std::find(allHomeTabs.begin(), allHomeTabs.end(),
                                                      HomeTab::excluded) -
                                            allHomeTabs.begin())))
            : root.currentSidebar()->findChild<SidebarList*>();
    if (c.focusedAfter == addFolder) {
      sectionControl = root.currentMainView()->findChild<QPushButton*>(QStringLiteral("addFolder"));
    }
    ASSERT_NE(sectionControl, nullptr);
    std::vector<std::string> strays;
    const QMetaObject::Connection watching = QObject::connect(
        qApp, &QApplication::focusChanged, [&](QWidget*, QWidget* now) {
          const bool atSection = c.focusedAfter < 0 && now == sectionControl;
          if (!atSection && (!now || !list->isAncestorOf(now) || !now->isVisible())) {
            strays.push_back(now ? now->metaObject()->className() + std::string(" ") +
                                       now->accessibleName().toStdString()
                                 : "nowhere");
          }
        });
    QTest::keyClick(list->button(c.pressed), c.key);
    h.settle();
    QObject::disconnect(watching);
    EXPECT_EQ(strays, std::vector<std::string>{});
    ASSERT_EQ(list->rowCount(), c.rows - 1);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus, c.focusedAfter < 0 ? sectionControl : list->button(c.focusedAfter))
        << focus->metaObject()->className() << " " << focus->accessibleName().toStdString();
  }
}

}  // namespace
}  // namespace hl

namespace hl {
namespace {

// Where the keyboard is in the window: the window's own focus widget, which takes the keyboard
// when the window is active again after a dialog.
QWidget* keyboardIn(RootView& root) { return root.window()->focusWidget(); }

std::string named(const QWidget* widget) {
  if (!widget) return "nowhere";
  return widget->metaObject()->className() + std::string(" ") +
         widget->accessibleName().toStdString();
}

// The Home page with four package caches, a 3000 … 500; the keyboard on row `current` of the
// table (none: nobody put it there).
struct HomeWindow {
  ShellHarness h;
  RootView* root;
  HomeMainView* main;

  explicit HomeWindow(int rows = 4) {
    root = &h.show();
    QApplication::setActiveWindow(root);
    std::vector<CacheItem> items;
    const std::vector<std::pair<const char*, int>> all = {
        {"a", 3000}, {"b", 2000}, {"c", 1000}, {"d", 500}};
    for (int i = 0; i < rows; ++i) items.push_back(h.item(all[i].first, all[i].second));
    h.scanCleaner(items);
    main = static_cast<HomeMainView*>(root->mainView(Page::home));
  }
  std::string id(const char* name) { return cleanPath(h.folders / name); }
  QListView* list() { return main->table()->listView(); }
  std::string currentRow() {
    const QModelIndex current = list()->currentIndex();
    return current.isValid() ? main->table()->model()->id(current.row()) : "";
  }
  void keyboardOnRow(const char* name) {
    list()->setFocus(Qt::TabFocusReason);
    list()->setCurrentIndex(main->table()->model()->index(main->table()->model()->rowOf(id(name)), 0));
  }
  // Ticks a row and asks for its removal from the footer's button, by the keyboard.
  void removeFromTheFooter(const char* name) {
    keyboardOnRow(name);
    QTest::keyClick(list(), Qt::Key_Space);
    ASSERT_EQ(h.cleaner().checked(), std::set<std::string>{id(name)});
    QApplication::processEvents();
    QWidget* button = main->summaryCard()->removalButton();
    ASSERT_TRUE(button->isEnabled());
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
    h.settle();
    ASSERT_NE(main->modals()->sheet(), nullptr);
  }
  // Confirms the open sheet once it is armed and lets the removal run to its message.
  void confirm() {
    ConfirmTrashSheet* sheet = main->modals()->sheet();
    h.monotonic.advance(std::chrono::seconds(1));
    h.wall.advance(std::chrono::seconds(1));
    sheet->refreshArming();
    QTest::keyClick(sheet->rowList(), Qt::Key_Return);
    h.settle();
    ASSERT_NE(main->modals()->resultAlert(), nullptr);
  }
};

// After an action the keyboard stays on the control used; when that control goes away or turns
// off, it goes to the nearest sensible control of the same area: never to another panel, never
// to a list's first row, never nowhere. Each row is a sequence a user walks; it returns the
// control the keyboard must be on at its end (and may fail on the way).
TEST(Keyboard, TheKeyboardStaysWhereTheUserWorks) {
  struct Sequence {
    const char* name;
    std::function<QWidget*(HomeWindow&)> walk;
  };
  const std::vector<Sequence> sequences = {
      {"Home: Back to Items in a clicked row's details goes to the row",
       [](HomeWindow& w) -> QWidget* {
         QTest::mouseClick(w.list()->viewport(), Qt::LeftButton, {},
                           w.main->table()->rowGeometry(2).row.center().toPoint());
         EXPECT_EQ(w.h.cleaner().tab(), HomeTab::details);
         QApplication::processEvents();
         QPushButton* back = w.main->details()->itemCard()->backButton();
         back->setFocus(Qt::TabFocusReason);
         QTest::keyClick(back, Qt::Key_Space);
         QApplication::processEvents();
         EXPECT_EQ(w.currentRow(), w.id("c"));
         return w.list();
       }},
      {"Home: the footer's sheet closed by Escape, then by Cancel, goes back to the footer's "
       "button",
       [](HomeWindow& w) -> QWidget* {
         w.removeFromTheFooter("b");
         QTest::keyClick(w.main->modals()->sheet()->rowList(), Qt::Key_Escape);
         QApplication::processEvents();
         QWidget* button = w.main->summaryCard()->removalButton();
         EXPECT_EQ(keyboardIn(*w.root), button) << named(keyboardIn(*w.root));
         QTest::keyClick(button, Qt::Key_Space);
         w.h.settle();
         QTest::mouseClick(w.main->modals()->sheet()->cancelButton(), Qt::LeftButton);
         QApplication::processEvents();
         return button;
       }},
      {"Home: OK on Cleanup finished goes to the row that took the removed one's place",
       [](HomeWindow& w) -> QWidget* {
         w.removeFromTheFooter("b");
         w.confirm();
         QTest::mouseClick(w.main->modals()->resultAlert()->okButton(), Qt::LeftButton);
         QApplication::processEvents();
         EXPECT_EQ(w.currentRow(), w.id("c"));
         return w.list();
       }},
      {"Home: OK on an alert of failures goes back to the footer's button, still on",
       [](HomeWindow& w) -> QWidget* {
         w.h.removal->failing[w.id("b")] = FileSystemError{13, "Permission denied"};
         w.removeFromTheFooter("b");
         w.confirm();
         QTest::mouseClick(w.main->modals()->resultAlert()->okButton(), Qt::LeftButton);
         QApplication::processEvents();
         EXPECT_TRUE(w.main->summaryCard()->removalButton()->isEnabled());
         return w.main->summaryCard()->removalButton();
       }},
      {"Home: Exclude of the last row left goes to the empty state's Rescan",
       [](HomeWindow& w) -> QWidget* {
         w.h->settings().setExcludedPaths({w.id("b"), w.id("c"), w.id("d")});
         QApplication::processEvents();
         w.keyboardOnRow("a");
         w.main->table()->setMenuPresenter([](QMenu& menu, QPoint) {
           test::actionTitled(menu, QStringLiteral("Exclude"))->trigger();
         });
         QTest::keyClick(w.list(), Qt::Key_F10, Qt::ShiftModifier);
         QApplication::processEvents();
         EXPECT_EQ(w.main->shown(), HomeMainView::Shown::nothingFound);
         return w.main->nothingFoundState()->button();
       }},
      {"Home: Shift+F10 opens the current row's menu, as the Menu key does",
       [](HomeWindow& w) -> QWidget* {
         w.keyboardOnRow("c");
         std::vector<QString> titles;
         w.main->table()->setMenuPresenter([&](QMenu& menu, QPoint) {
           for (QAction* action : menu.actions()) titles.push_back(action->text());
           test::actionTitled(menu, QStringLiteral("Exclude"))->trigger();
         });
         QTest::keyClick(w.list(), Qt::Key_F10, Qt::ShiftModifier);
         QApplication::processEvents();
         EXPECT_FALSE(titles.empty());
         EXPECT_EQ(w.main->table()->model()->rowOf(w.id("c")), -1);
         EXPECT_EQ(w.currentRow(), w.id("d"));
         return w.list();
       }},
      {"Home sidebar: the groups are one stop; Tab from a clicked group leaves them",
       [](HomeWindow& w) -> QWidget* {
         auto* sidebar = static_cast<HomeSidebar*>(w.root->currentSidebar());
         GroupRow* caches = sidebar->row(CacheGroup::packageCaches);
         QTest::mouseClick(caches, Qt::LeftButton);
         caches->setFocus(Qt::MouseFocusReason);
         QApplication::processEvents();
         QTest::keyClick(caches, Qt::Key_Tab);
         QWidget* now = keyboardIn(*w.root);
         EXPECT_FALSE(sidebar->isAncestorOf(now)) << named(now);
         // Back again: the chosen group, not the last row.
         QTest::keyClick(now, Qt::Key_Backtab);
         EXPECT_EQ(keyboardIn(*w.root), caches);
         // The arrows move among the groups and choose.
         QTest::keyClick(caches, Qt::Key_Down);
         EXPECT_EQ(w.h.cleaner().selectedGroup(), sidebar->listedGroups()[3]);
         return sidebar->row(sidebar->listedGroups()[3]);
       }},
      {"The rail: its pages are one stop; the arrows choose the next page",
       [](HomeWindow& w) -> QWidget* {
         RailButton* home = w.root->rail()->button(Page::home);
         home->setFocus(Qt::TabFocusReason);
         QTest::keyClick(home, Qt::Key_Tab);
         EXPECT_FALSE(w.root->rail()->isAncestorOf(keyboardIn(*w.root)))
             << named(keyboardIn(*w.root));
         QTest::keyClick(home, Qt::Key_Down);
         EXPECT_EQ(w.h->page(), Page::search);
         return w.root->rail()->button(Page::search);
       }},
      {"Home header: the Stale/All picker keeps its one stop, the chosen one, when a click on "
       "the right panel's recent project chooses All",
       [](HomeWindow& w) -> QWidget* {
         w.h.scanCleaner({w.h.item("site/node_modules", 9000, CacheGroup::projects)});
         w.h.cleaner().setSelectedGroup(CacheGroup::projects);
         QApplication::processEvents();
         SegmentedControl* filter = w.main->header()->projectsPicker();
         QTest::mouseClick(filter->segment(0), Qt::LeftButton);
         filter->segment(0)->setFocus(Qt::MouseFocusReason);
         QTest::mouseClick(w.root->rightPanel()->largestRows().front(), Qt::LeftButton);
         w.h.settle();
         EXPECT_TRUE(w.h.cleaner().showAllProjects());
         QWidget* items = w.main->tabPicker()->segment(0);
         items->setFocus(Qt::TabFocusReason);
         QTest::keyClick(items, Qt::Key_Tab);
         EXPECT_EQ(keyboardIn(*w.root), filter->segment(1)) << named(keyboardIn(*w.root));
         QTest::keyClick(keyboardIn(*w.root), Qt::Key_Backtab);
         EXPECT_EQ(keyboardIn(*w.root), items) << named(keyboardIn(*w.root));
         QTest::keyClick(items, Qt::Key_Tab);
         return filter->segment(1);
       }},
  };
  for (const Sequence& s : sequences) {
    SCOPED_TRACE(s.name);
    HomeWindow w;
    QWidget* expected = s.walk(w);
    if (::testing::Test::HasFatalFailure()) continue;
    QWidget* now = keyboardIn(*w.root);
    EXPECT_EQ(now, expected) << named(now) << " instead of " << named(expected);
  }
}

// The folder scanner's page after a removal and between its two header buttons.
TEST(Keyboard, TheKeyboardStaysWhereTheUserWorksInTheFolderScanner) {
  struct Sequence {
    const char* name;
    // Prepares the trash before the tree is shown.
    std::function<void(ShellHarness&)> prepare;
    std::function<QWidget*(ShellHarness&, ScannerView&, ScannerSidebar&)> walk;
  };
  const auto removeFirstRowFromTheSidebar = [](ShellHarness& h, ScannerView& view,
                                               ScannerSidebar& sidebar) {
    view.tree()->setFocus(Qt::TabFocusReason);
    view.tree()->selectionModel()->setCurrentIndex(view.tree()->model()->index(0, 0),
                                                   QItemSelectionModel::NoUpdate);
    QTest::keyClick(view.tree(), Qt::Key_Space);
    h.settle();
    ASSERT_EQ(h.scanner().selection().size(), 1u);
    QWidget* remove = sidebar.removeButton();
    ASSERT_TRUE(remove->isVisible() && remove->isEnabled());
    remove->setFocus(Qt::TabFocusReason);
    QTest::keyClick(remove, Qt::Key_Space);
    h.settle();
    ConfirmTrashSheet* sheet = view.sheet();
    ASSERT_NE(sheet, nullptr) << h.scanner().resultMessage().value_or("no message");
    h.monotonic.advance(std::chrono::seconds(1));
    h.wall.advance(std::chrono::seconds(1));
    sheet->refreshArming();
    QTest::keyClick(sheet->rowList(), Qt::Key_Return);
    test::waitUntil([&] {
      h.settle();
      return !h.scanner().isTrashing();
    });
    ASSERT_NE(view.alert(), nullptr);
    QTest::mouseClick(view.alert()->okButton(), Qt::LeftButton);
    QApplication::processEvents();
  };
  const std::vector<Sequence> sequences = {
      {"OK after a removal goes to the removed row's neighbour in the tree", nullptr,
       [&](ShellHarness& h, ScannerView& view, ScannerSidebar& sidebar) -> QWidget* {
         removeFirstRowFromTheSidebar(h, view, sidebar);
         EXPECT_EQ(view.tree()->model()->rowCount(), 1);
         EXPECT_EQ(view.tree()->currentIndex(), view.tree()->model()->index(0, 0));
         return view.tree();
       }},
      {"OK on an alert of failures goes back to Move Selected to Trash…",
       [](ShellHarness& h) {
         h.scannerTrash.failures[h.folders / "Downloads/big.bin"] =
             FileSystemError{13, "Permission denied"};
       },
       [&](ShellHarness& h, ScannerView& view, ScannerSidebar& sidebar) -> QWidget* {
         removeFirstRowFromTheSidebar(h, view, sidebar);
         return sidebar.removeButton();
       }},
      {"Select All turning itself off hands the keyboard to Deselect All, and back", nullptr,
       [](ShellHarness&, ScannerView& view, ScannerSidebar&) -> QWidget* {
         view.selectAllButton()->setFocus(Qt::TabFocusReason);
         QTest::keyClick(view.selectAllButton(), Qt::Key_Space);
         EXPECT_EQ(view.window()->focusWidget(), view.deselectAllButton());
         QTest::keyClick(view.deselectAllButton(), Qt::Key_Space);
         return view.selectAllButton();
       }},
      {"Shift+F10 opens the tree's menu at its current row", nullptr,
       [](ShellHarness&, ScannerView& view, ScannerSidebar&) -> QWidget* {
         view.tree()->setFocus(Qt::TabFocusReason);
         view.tree()->setCurrentIndex(view.tree()->model()->index(1, 0));
         std::set<std::string> asked;
         QObject::connect(view.tree(), &FileTreeView::menuRequested,
                          [&](const std::set<std::string>& ids, const QPoint&) { asked = ids; });
         QTest::keyClick(view.tree(), Qt::Key_F10, Qt::ShiftModifier);
         EXPECT_EQ(asked.size(), 1u);
         return view.tree();
       }},
  };
  for (const Sequence& s : sequences) {
    SCOPED_TRACE(s.name);
    ShellHarness h;
    if (s.prepare) s.prepare(h);
    h.start(false);
    RootView& root = showScanner(h);
    h.scanner().scan(h.folders / "Downloads");
    h.settle();
    auto* view = static_cast<ScannerView*>(root.currentMainView());
    auto* sidebar = static_cast<ScannerSidebar*>(root.currentSidebar());
    ASSERT_EQ(view->state(), ScannerView::State::tree);
    QWidget* expected = s.walk(h, *view, *sidebar);
    if (::testing::Test::HasFatalFailure()) continue;
    QWidget* now = keyboardIn(root);
    EXPECT_EQ(now, expected) << named(now) << " instead of " << named(expected);
  }
}

}  // namespace
}  // namespace hl
