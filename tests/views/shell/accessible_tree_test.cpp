#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QToolButton>

#include "shell_harness.h"
#include "views/accessibility_support.h"
#include "views/home/home_sidebar.h"
#include "views/shared/segmented_control.h"
#include "views/shell/focus_order.h"
#include "views/shell/left_rail.h"
#include "views/shell/status_bar.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using test::ShellHarness;

// The window with something on every page: rows on Home, a measured folder, cleanups in the
// history, activity lines, the boot volume.
struct FilledWindow {
  ShellHarness h;
  RootView* root = nullptr;

  FilledWindow() {
    h.folders.file("Downloads/a.bin", 3000);
    h.folders.file("Downloads/inner/b.bin", 1000);
    root = &h.show();
    QApplication::setActiveWindow(root);
    h.scanCleaner({h.item("a", 3000), h.item("b", 2000, CacheGroup::packageCaches,
                                             RiskLevel::review)});
    h.scanFolder("Downloads");
    h.readBootVolumeAs(10000, 2000);
    const Date now = test::referenceDate();
    h->history().setEntries({HistoryEntry::make(UUID::random(), now, "Package caches",
                                                {"/a"}, 1000, {{"/b", "<b>denied</b>"}},
                                                "Home", false)});
    QApplication::processEvents();
  }
};

// Every stop of every page has a name a screen reader can say, and nothing it hears is markup:
// not a name, not a description (a tooltip is markup; descriptions are its plain words).
TEST(AccessibleTree, EveryStopIsNamedAndNothingReadsAsMarkup) {
  FilledWindow w;
  for (Page page : allPages) {
    w.h->setPage(page);
    QApplication::processEvents();
    SCOPED_TRACE(std::string(id(page)));
    int stops = 0;
    for (QWidget* widget : w.root->findChildren<QWidget*>()) {
      if (!FocusOrder::isStop(widget)) continue;
      ++stops;
      EXPECT_FALSE(test::accessible(widget)->text(QAccessible::Name).isEmpty())
          << widget->metaObject()->className();
    }
    // The rail's pages and each row of tabs are one stop each.
    EXPECT_GE(stops, 5);
    int elements = 0;
    test::forEachShown(test::accessible(w.root), [&](QAccessibleInterface* element) {
      ++elements;
      for (const auto text : {QAccessible::Name, QAccessible::Description}) {
        EXPECT_FALSE(test::hasMarkup(element->text(text)))
            << element->text(text).toStdString();
      }
    });
    EXPECT_GT(elements, 40);
  }
}

// The controls that choose what a pane shows read as page tabs with a selected state, never as
// check boxes; titles read as headings.
TEST(AccessibleTree, TabsAndHeadingsHaveTheirRoles) {
  FilledWindow w;
  test::AccessibilityOn accessibility;
  w.h->setPage(Page::home);
  QApplication::processEvents();
  std::vector<QWidget*> tabs;
  for (RailButton* button : w.root->rail()->buttons()) tabs.push_back(button);
  for (auto* row : w.root->currentSidebar()->findChildren<GroupRow*>()) tabs.push_back(row);
  auto* picker = w.root->currentMainView()->findChild<SegmentedControl*>();
  ASSERT_NE(picker, nullptr);
  for (int i = 0; i < picker->count(); ++i) tabs.push_back(picker->segment(i));
  int selected = 0;
  for (QWidget* tab : tabs) {
    QAccessibleInterface* read = test::accessible(tab);
    SCOPED_TRACE(read->text(QAccessible::Name).toStdString());
    EXPECT_EQ(read->role(), QAccessible::PageTab);
    EXPECT_FALSE(read->state().checkable);
    EXPECT_FALSE(read->text(QAccessible::Name).isEmpty());
    selected += read->state().selected;
  }
  // Home in the rail and Items among the segments; no group while all are shown.
  EXPECT_EQ(selected, 2);
  EXPECT_EQ(test::accessible(w.root->rail())->role(), QAccessible::PageTabList);

  // Choosing announces the change from the tab that is now selected.
  accessibility.clear();
  w.h.cleaner().setSelectedGroup(CacheGroup::packageCaches);
  picker->segment(1)->click();
  w.h->setPage(Page::history);
  QApplication::processEvents();
  for (const QString& name :
       {QStringLiteral("Package caches, "), QStringLiteral("Details"), QStringLiteral("History")}) {
    EXPECT_TRUE(std::any_of(accessibility.announcements().begin(),
                            accessibility.announcements().end(),
                            [&](const test::Announcement& a) {
                              return a.name.startsWith(name) && a.changed.selected &&
                                     a.state.selected;
                            }))
        << name.toStdString();
  }

  // Every page's sidebar title and main title are headings.
  for (Page page : allPages) {
    w.h->setPage(page);
    w.h->history().setSelectedEntryID(std::nullopt);
    QApplication::processEvents();
    QStringList headings;
    test::forEachShown(test::accessible(w.root), [&](QAccessibleInterface* element) {
      if (element->role() == QAccessible::Heading) headings << element->text(QAccessible::Name);
    });
    EXPECT_GE(headings.size(), 2) << id(page) << " " << headings.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(headings.contains(qtext(title(page))) ||
                headings.contains(QStringLiteral("Caches")))
        << id(page) << " " << headings.join(QStringLiteral(" | ")).toStdString();
  }
}

// A setting's check box is described by the line under it; the status bar's "Rescan" says what it
// rescans on the page shown.
TEST(AccessibleTree, SettingsAndRescanSayWhatTheyDo) {
  FilledWindow w;
  w.h->setPage(Page::settings);
  QApplication::processEvents();
  struct Case {
    const char* key;
    QString described;
  };
  const std::vector<Case> cases = {
      {"pruneWorktreesAfterTrash",
       QStringLiteral("Keeps the repository's .git/worktrees metadata consistent. Only runs for "
                      "registered worktrees, with a 10 second limit.")},
      {"quickCleanIncludesModerate",
       QStringLiteral("Quick Clean always skips review items, items modified in the last 7 days, "
                      "and items whose owning app is running.")},
      {"deleteImmediately", QStringLiteral("Items are only ever moved to the Trash.")},
  };
  for (const Case& c : cases) {
    auto* box = w.root->currentMainView()->findChild<QCheckBox*>(QLatin1String(c.key));
    ASSERT_NE(box, nullptr) << c.key;
    EXPECT_EQ(test::accessible(box)->text(QAccessible::Description), c.described) << c.key;
  }
  w.h->settings().setDeleteImmediately(true);
  EXPECT_EQ(test::accessible(w.root->currentMainView()->findChild<QCheckBox*>(
                                 QStringLiteral("deleteImmediately")))
                ->text(QAccessible::Description),
            QStringLiteral("Cleaned items are deleted permanently and cannot be recovered."));

  QToolButton* rescan = w.root->statusBar()->findChild<QToolButton*>();
  ASSERT_NE(rescan, nullptr);
  EXPECT_EQ(test::accessible(rescan)->text(QAccessible::Description),
            QStringLiteral("Rescans the caches (Ctrl+R)"));
  w.h->setPage(Page::search);
  EXPECT_EQ(test::accessible(rescan)->text(QAccessible::Description),
            QStringLiteral("Rescans the scanned folder (Ctrl+R)"));
}

}  // namespace
}  // namespace hl
