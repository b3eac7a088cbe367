#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include "shell_harness.h"
#include "views/pages/history_page.h"
#include "views/pages/scanner/file_tree_view.h"
#include "views/pages/scanner/scanner_sidebar.h"
#include "views/pages/scanner/scanner_view.h"
#include "views/shared/destructive_button.h"
#include "views/home/home_main_view.h"
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
// control that chose the list's section. That holds also after the keyboard was once among the
// right panel's largest items, which the press changes.
TEST(Keyboard, IncludeAndRemoveLeaveTheKeyboardInTheListOnTheNextRow) {
  enum class List { homeExcluded, settingsExcluded, settingsCustom };
  // The control that chose the list's section: the Home page's "Excluded" tab, or the row of
  // the Settings page's sections.
  constexpr int section = -1;
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
      {"Custom paths, the only row", List::settingsCustom, 1, 0, section, Qt::Key_Space},
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
    ASSERT_NE(sectionControl, nullptr);
    std::vector<std::string> strays;
    const QMetaObject::Connection watching = QObject::connect(
        qApp, &QApplication::focusChanged, [&](QWidget*, QWidget* now) {
          const bool atSection = c.focusedAfter == section && now == sectionControl;
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
    EXPECT_EQ(focus, c.focusedAfter == section ? sectionControl : list->button(c.focusedAfter))
        << focus->metaObject()->className() << " " << focus->accessibleName().toStdString();
  }
}

}  // namespace
}  // namespace hl
