#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "application_harness.h"
#include "viewmodels/fake_updater.h"
#include "viewmodels/updater_box.h"
#include "views/menubar/menu_bar_extra.h"
#include "views/pages/scanner/file_tree_view.h"
#include "views/shell/right_panel.h"
#include "views/pages/scanner/scanner_view.h"
#include "views/shell/left_rail.h"
#include "views/shell/status_bar.h"

namespace hl {
namespace {

using test::ProgramHarness;

struct Entry {
  std::string menu;
  std::string title;
  std::string shortcut;
  bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
  return out << entry.menu << " > " << entry.title << " [" << entry.shortcut << "]";
}

TEST(AppCommands, MenusTitlesAndShortcuts) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  std::vector<Entry> entries;
  for (QAction* menuAction : h.window().menuBar()->actions()) {
    QMenu* menu = menuAction->menu();
    ASSERT_TRUE(menu);
    for (QAction* action : menu->actions()) {
      entries.push_back({menu->title().remove(QLatin1Char('&')).toStdString(),
                         action->isSeparator() ? "—" : action->text().toStdString(),
                         action->shortcut().toString().toStdString()});
    }
  }
  EXPECT_EQ(entries, (std::vector<Entry>{
                         {"Harbor Lume", "Check for Updates…", ""},
                         {"Harbor Lume", "Open Quick Clean", "Ctrl+Shift+C"},
                         {"Harbor Lume", "—", ""},
                         {"Harbor Lume", "Quit Harbor Lume", "Ctrl+Q"},
                         {"Edit", "Select All", "Ctrl+A"},
                         {"Edit", "Deselect All", "Ctrl+Alt+A"},
                         {"View", "Rescan", "Ctrl+R"},
                         {"View", "—", ""},
                         {"View", "Home", "Ctrl+1"},
                         {"View", "Folder Scanner", "Ctrl+2"},
                         {"View", "Activity", "Ctrl+3"},
                         {"View", "History", "Ctrl+4"},
                         {"View", "Settings", "Ctrl+5"},
                     }));
}

TEST(AppCommands, ShortcutsSwitchPagesAndRescanThePageShown) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  h.activate();
  const std::pair<Qt::Key, Page> pages[] = {{Qt::Key_2, Page::search}, {Qt::Key_3, Page::activity},
                                            {Qt::Key_4, Page::history}, {Qt::Key_5, Page::settings},
                                            {Qt::Key_1, Page::home}};
  for (const auto& [key, page] : pages) {
    h.press(Qt::CTRL | key);
    EXPECT_EQ(h->page(), page) << key;
  }
  // Ctrl+R on Home rescans the cleaner with force; a second press replaces the running scan.
  h.press(Qt::CTRL | Qt::Key_R);
  ASSERT_EQ(h.scans(), 1);
  EXPECT_TRUE(h.engine->at(0).request.clearSizeCacheFirst);
  h.press(Qt::CTRL | Qt::Key_R);
  EXPECT_EQ(h.scans(), 2);
  EXPECT_TRUE(h.engine->at(0).cancelled);
  h.engine->end();
  h.settle();
  // On the folder scanner with no folder chosen, it asks for one.
  h.press(Qt::CTRL | Qt::Key_2);
  h.press(Qt::CTRL | Qt::Key_R);
  EXPECT_EQ(h.chooserCalls, 1);
  EXPECT_EQ(h.scans(), 2);
}

TEST(AppCommands, CheckForUpdatesAsksTheUpdaterInTheBox) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  // None in a test host: the command does nothing.
  h.commands().checkForUpdatesAction()->trigger();
  auto fake = std::make_shared<FakeUpdater>();
  Updater::box().setCurrent(fake);
  EXPECT_TRUE(h.commands().checkForUpdatesAction()->isEnabled());
  h.commands().checkForUpdatesAction()->trigger();
  EXPECT_EQ(fake->checkForUpdatesCallCount(), 1);
  Updater::box().setCurrent(nullptr);
}

TEST(AppCommands, OpenQuickCleanBringsTheWindowBackOnHomeWithTheCandidatesTicked) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  // Two candidates, one review item that never is, and a ticked item in another group.
  h.scanCleaner({h.item("a", 100), h.item("b", 200),
                 h.item("r", 300, CacheGroup::largeBackups, RiskLevel::review)});
  h.cleaner().setChecked(cleanPath(h.folders / "r"), true);
  h.cleaner().setSelectedGroup(CacheGroup::largeBackups);
  h.cleaner().setTab(HomeTab::details);
  h->setPage(Page::history);
  h.window().close();
  ASSERT_FALSE(h.window().isVisible());

  h.commands().openQuickCleanAction()->trigger();
  EXPECT_TRUE(h.window().isVisible());
  EXPECT_EQ(h->page(), Page::home);
  EXPECT_EQ(h.cleaner().selectedGroup(), std::nullopt);
  EXPECT_EQ(h.cleaner().tab(), HomeTab::items);
  EXPECT_EQ(h.cleaner().checked(), (std::set<std::string>{cleanPath(h.folders / "a"),
                                                          cleanPath(h.folders / "b")}));
  // Quick Clean itself opens: without a tray icon, over the window's right panel.
  MenuBarExtra& extra = *h.program->menuBarExtra();
  ASSERT_TRUE(extra.isPopoverShown());
  const QRect panel(h.window().rootView()->rightPanel()->mapToGlobal(QPoint(0, 0)),
                    h.window().rootView()->rightPanel()->size());
  const QRect popover = extra.popover()->geometry();
  EXPECT_EQ(popover.top(), h.window().rootView()->mapToGlobal(QPoint(0, 8)).y());
  EXPECT_GE(popover.left(), panel.left() - 80);
  EXPECT_LE(popover.right(), panel.right() + 8);
  // It removes nothing.
  EXPECT_TRUE(h.removal->calls.empty());
  EXPECT_FALSE(h.cleaner().pendingPlan());
  EXPECT_EQ(h.cleaner().quickClean(), QuickCleanState::idle());

  // The shortcut does the same from the window.
  extra.hidePopover();
  h.cleaner().deselectAll();
  h.activate();
  h.press(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
  EXPECT_EQ(h.cleaner().checked().size(), 2u);
  EXPECT_TRUE(extra.isPopoverShown());
  extra.hidePopover();
}

TEST(AppCommands, DeselectAllActsOnTheHomeAndFolderScannerPagesOnly) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  h.activate();
  h.scanTwoItems();
  h.folders.file("t/a.bin", 8000);
  h.folders.file("t/b.bin", 8000);
  h.scanFolder("t");
  const std::string node = cleanPath(h.folders / "t/a.bin");
  for (Page page : allPages) {
    SCOPED_TRACE(std::string(title(page)));
    h.cleaner().setChecked(cleanPath(h.folders / "a"), true);
    h.scanner().setSelection({node});
    h->setPage(page);
    h.press(Qt::CTRL | Qt::ALT | Qt::Key_A);
    EXPECT_EQ(h.cleaner().checked().empty(), page == Page::home);
    EXPECT_EQ(h.scanner().selection().empty(), page == Page::search);
  }
}

TEST(AppCommands, SelectAllGoesToAFocusedTextFieldElseToThePage) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  h.scanTwoItems();
  // A text field in the window, as a page may have one.
  auto* field = new QLineEdit(QStringLiteral("node_modules"), h.window().rootView()->statusBar());
  field->show();
  h.activate();
  QAction* selectAll = h.commands().selectAllAction();
  h.window().rootView()->rail()->button(Page::home)->setFocus();
  QApplication::processEvents();

  // Home's Items tab with unticked rows: offered, and Ctrl+A ticks every visible selectable row.
  EXPECT_TRUE(selectAll->isEnabled());
  h.press(Qt::CTRL | Qt::Key_A);
  EXPECT_EQ(h.cleaner().checked().size(), 2u);
  // Nothing more to tick: not offered.
  EXPECT_FALSE(selectAll->isEnabled());

  // A focused text field keeps Select All to itself, by the shortcut and by the menu.
  h.cleaner().deselectAll();
  field->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(selectAll->isEnabled());
  h.press(Qt::CTRL | Qt::Key_A);
  EXPECT_EQ(field->selectedText(), QStringLiteral("node_modules"));
  EXPECT_TRUE(h.cleaner().checked().empty());
  field->deselect();
  selectAll->trigger();
  EXPECT_EQ(field->selectedText(), QStringLiteral("node_modules"));
  EXPECT_TRUE(h.cleaner().checked().empty());

  // Pages with nothing to select: not offered, unless a text field has the focus.
  h->setPage(Page::activity);
  EXPECT_TRUE(selectAll->isEnabled());
  h.window().rootView()->rail()->button(Page::home)->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(selectAll->isEnabled());
  selectAll->trigger();
  EXPECT_TRUE(h.cleaner().checked().empty());

  // Only while the main window is the active one.
  h->setPage(Page::home);
  EXPECT_TRUE(selectAll->isEnabled());
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  QApplication::processEvents();
  EXPECT_FALSE(selectAll->isEnabled());
  h.commands().selectAll();
  EXPECT_TRUE(h.cleaner().checked().empty());
}

TEST(AppCommands, TheRulesOfSelectAll) {
  struct Row {
    bool active;
    bool textField;
    bool page;
    bool enabled;
  };
  const Row rows[] = {
      {true, false, true, true},  {true, true, false, true},   {true, false, false, false},
      {false, true, true, false}, {false, false, true, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(AppCommands::selectAllEnabled(row.active, row.textField, row.page), row.enabled)
        << row.active << row.textField << row.page;
  }
  QLineEdit line;
  QWidget plain;
  EXPECT_TRUE(AppCommands::isTextField(&line));
  EXPECT_FALSE(AppCommands::isTextField(&plain));
  EXPECT_FALSE(AppCommands::isTextField(nullptr));
}

}  // namespace
}  // namespace hl

namespace hl {
namespace {

TEST(AppCommands, SelectAllOnTheFolderScannerSelectsTheFocusedTreesRowsElseTheTopLevel) {
  ProgramHarness h;
  ASSERT_TRUE(h.launch());
  h.folders.file("t/a.bin", 8000);
  h.folders.file("t/sub/b.bin", 4000);
  h.scanFolder("t");
  h->setPage(Page::search);
  h.activate();
  FileTreeView& tree = *h.window().rootView()->scannerView()->tree();
  tree.expandAll();
  const std::string a = cleanPath(h.folders / "t/a.bin");
  const std::string sub = cleanPath(h.folders / "t/sub");
  const std::string b = cleanPath(h.folders / "t/sub/b.bin");

  // The tree has the focus: the menu's Select All selects every visible row.
  tree.setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(h.commands().selectAllAction()->isEnabled());
  h.commands().selectAllAction()->trigger();
  EXPECT_EQ(h.scanner().selection(), (std::set<std::string>{a, sub, b}));

  // Elsewhere: the page's rule, the selectable top-level rows.
  h.scanner().deselectAll();
  h.window().rootView()->rail()->button(Page::search)->setFocus();
  QApplication::processEvents();
  h.press(Qt::CTRL | Qt::Key_A);
  EXPECT_EQ(h.scanner().selection(), (std::set<std::string>{a, sub}));
}

}  // namespace
}  // namespace hl
