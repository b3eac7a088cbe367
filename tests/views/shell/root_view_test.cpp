#include <gtest/gtest.h>

#include <QPushButton>
#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QSignalSpy>
#include <algorithm>

#include "shell_harness.h"
#include "views/pages/activity_page.h"
#include "views/pages/history_page.h"
#include "views/pages/settings_page.h"
#include "views/shell/left_rail.h"
#include "views/shell/right_panel.h"
#include "views/shell/sidebar_resize_handle.h"
#include "views/shell/status_bar.h"
#include "views/shell/window_drag_area.h"
#include "views/shell/window_sizing.h"
#include "views/screenshot_support.h"
#include "views/shared/eliding_header.h"
#include "views/shared/palette_colors.h"

namespace hl {
namespace {

using test::ShellHarness;

void click(QWidget* widget, QPoint at = {}) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
}

TEST(LeftRail, EveryPageHasItsButtonAndExactlyOneIsHighlighted) {
  ShellHarness h;
  RootView& root = h.show();
  std::vector<QString> names;
  for (RailButton* button : root.rail()->buttons()) names.push_back(button->accessibleName());
  EXPECT_EQ(names, (std::vector<QString>{QStringLiteral("Home"), QStringLiteral("Folder Scanner"),
                                         QStringLiteral("Activity"), QStringLiteral("History"),
                                         QStringLiteral("Settings")}));
  EXPECT_EQ(root.rail()->mark()->accessibleName(), QStringLiteral("Harbor Lume"));

  QSignalSpy changes(&*h, &AppModel::pageChanged);
  for (Page page : {Page::history, Page::search, Page::settings, Page::activity, Page::home}) {
    SCOPED_TRACE(std::string(title(page)));
    click(root.rail()->button(page));
    EXPECT_EQ(h->page(), page);
    int highlighted = 0;
    for (RailButton* button : root.rail()->buttons()) {
      highlighted += button->isSelected();
      EXPECT_EQ(button->isSelected(), button->page() == page);
    }
    EXPECT_EQ(highlighted, 1);
    // The page's own sidebar and main view are the ones shown.
    EXPECT_EQ(root.currentSidebar(), root.sidebar(page));
    EXPECT_EQ(root.currentMainView(), root.mainView(page));
    EXPECT_TRUE(root.mainView(page)->isVisible());
  }
  EXPECT_EQ(changes.count(), 5);
  // The page already shown: nothing changes and nobody is told.
  click(root.rail()->button(Page::home));
  EXPECT_EQ(changes.count(), 5);
  EXPECT_TRUE(root.rail()->button(Page::home)->isSelected());

  // A page chosen elsewhere moves the highlight at once.
  h->setPage(Page::history);
  EXPECT_TRUE(root.rail()->button(Page::history)->isSelected());
  EXPECT_FALSE(root.rail()->button(Page::home)->isSelected());
  EXPECT_EQ(root.currentMainView(), root.mainView(Page::history));
  EXPECT_NE(dynamic_cast<HistoryView*>(root.mainView(Page::history)), nullptr);
  EXPECT_NE(dynamic_cast<ActivitySidebar*>(root.sidebar(Page::activity)), nullptr);
}

TEST(LeftRail, ButtonLooksSymbolsAndPlacement) {
  // Selected wins over hovered; the filled symbol where there is one.
  EXPECT_EQ(RailButton::fillFor(true, true), RailButton::Fill::selected);
  EXPECT_EQ(RailButton::fillFor(true, false), RailButton::Fill::selected);
  EXPECT_EQ(RailButton::fillFor(false, true), RailButton::Fill::hovered);
  EXPECT_EQ(RailButton::fillFor(false, false), RailButton::Fill::none);
  EXPECT_EQ(RailButton::symbolFor(Page::home, true), "house.fill");
  EXPECT_EQ(RailButton::symbolFor(Page::home, false), "house");
  EXPECT_EQ(RailButton::symbolFor(Page::search, true), "magnifyingglass");
  EXPECT_EQ(RailButton::symbolFor(Page::settings, true), "gearshape.fill");

  ShellHarness h;
  RootView& root = h.show();
  LeftRail& rail = *root.rail();
  RailButton* first = rail.button(Page::home);
  EXPECT_EQ(rail.width(), 72);
  EXPECT_EQ(first->size(), QSize(36, 36));
  // No band for a title bar: the window manager draws it above the menu bar.
  EXPECT_EQ(h->topBarHeight(), WindowSizing::topMargin);
  EXPECT_EQ(first->mapTo(&rail, QPoint(0, 0)).y(), 8 + 12);
  EXPECT_EQ(rail.dragStrip()->geometry(), QRect(0, 0, 72, 8));
  // Buttons keep their place in a wider rail, centred, and follow a taller top bar.
  h->setRailWidth(88.4);
  h->setTopBarHeight(60);
  QApplication::processEvents();
  EXPECT_EQ(rail.width(), 89);
  EXPECT_EQ(first->mapTo(&rail, QPoint(0, 0)).y(), 60 + 12);
  EXPECT_EQ(first->mapTo(&rail, QPoint(0, 0)).x(), (89 - 36) / 2);
  EXPECT_EQ(rail.dragStrip()->height(), 60);
  // The mark sits 16 above the rail's bottom edge.
  EXPECT_EQ(rail.mark()->geometry().bottom() + 1, rail.height() - 16);

  // Keyboard: Tab reaches a rail button and Space presses it.
  RailButton* history = rail.button(Page::history);
  history->setFocus(Qt::TabFocusReason);
  QTest::keyClick(history, Qt::Key_Space);
  EXPECT_EQ(h->page(), Page::history);
}

TEST(RootView, TheColumnsNarrowBelowTheThresholdAndTheHandleStoresTheWidth) {
  ShellHarness h;
  h->settings().setSidebarWidth(300);
  RootView& root = h.show({1179, 800});
  EXPECT_EQ(root.sidebarColumn()->width(), 220);
  EXPECT_EQ(root.rightPanel()->width(), 220);
  root.resize(1180, 800);
  QApplication::processEvents();
  EXPECT_EQ(root.sidebarColumn()->width(), 300);
  EXPECT_EQ(root.rightPanel()->width(), 260);
  // The status bar runs under every column, 28 high.
  EXPECT_EQ(root.statusBar()->geometry(), QRect(0, 800 - 28, 1180, 28));
  // The handle straddles the sidebar's edge, below the top bar.
  SidebarResizeHandle* handle = root.resizeHandle();
  const int edge = root.sidebarColumn()->geometry().right() + 1;
  EXPECT_EQ(handle->geometry().left(), edge - 4);
  EXPECT_EQ(handle->width(), 8);
  EXPECT_EQ(handle->geometry().top(), 8);

  struct Drag {
    int dx;
    double stored;
  };
  h->settings().setSidebarWidth(240);
  QApplication::processEvents();
  // Each drag starts from the width stored when it begins, and stays within 220...300.
  for (const Drag& drag : {Drag{100, 300}, Drag{-500, 220}, Drag{30, 250}, Drag{0, 250}}) {
    const QPoint start = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    QTest::mouseMove(handle, start + QPoint(drag.dx, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(drag.dx, 0));
    EXPECT_EQ(h->settings().sidebarWidth(), drag.stored) << drag.dx;
  }
  QApplication::processEvents();
  EXPECT_EQ(root.sidebarColumn()->width(), 250);
  EXPECT_EQ(SidebarResizeHandle::draggedWidth(240, 100), 300);
  EXPECT_EQ(SidebarResizeHandle::draggedWidth(240, -100), 220);

  // Narrow again, the handle still stores; the change shows once the window is wide.
  root.resize(1100, 800);
  QApplication::processEvents();
  const QPoint start = handle->rect().center();
  QTest::mousePress(handle, Qt::LeftButton, {}, start);
  QTest::mouseMove(handle, start + QPoint(20, 0));
  QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(20, 0));
  EXPECT_EQ(h->settings().sidebarWidth(), 270);
  EXPECT_EQ(root.sidebarColumn()->width(), 220);
}

TEST(RootView, TheSettingsPageFollowsTheModelsSectionAndRescansTheCleaner) {
  ShellHarness h;
  RootView& root = h.show();
  h->setPage(Page::settings);
  SettingsSidebar* sidebar = root.settingsSidebar();
  SettingsView* view = root.settingsView();
  EXPECT_EQ(view->section(), SettingsSection::general);

  // Chosen in the sidebar: the model keeps it; set elsewhere: both follow.
  emit sidebar->sectionChosen(SettingsSection::excluded);
  EXPECT_EQ(h->settingsSection(), SettingsSection::excluded);
  EXPECT_EQ(view->section(), SettingsSection::excluded);
  h->setSettingsSection(SettingsSection::customPaths);
  EXPECT_EQ(sidebar->section(), SettingsSection::customPaths);
  EXPECT_EQ(view->section(), SettingsSection::customPaths);
  // Leaving the page and coming back shows the section chosen last.
  h->setPage(Page::home);
  h->setPage(Page::settings);
  EXPECT_EQ(view->section(), SettingsSection::customPaths);

  // "Rescan Now" asks the cleaner for an unforced scan.
  h->setSettingsSection(SettingsSection::customPaths);
  QPushButton* rescanNow = nullptr;
  for (QPushButton* button : view->findChildren<QPushButton*>()) {
    if (button->text() == QStringLiteral("Rescan Now")) rescanNow = button;
  }
  ASSERT_TRUE(rescanNow);
  rescanNow->click();
  EXPECT_TRUE(h.cleaner().isScanning());
  ASSERT_EQ(h.scans(), 1);
  EXPECT_FALSE(h.engine->at(0).request.clearSizeCacheFirst);
}

}  // namespace
}  // namespace hl

namespace hl {
namespace {

// In the window, Settings ▸ General lies on the content card's own colour, as the page alone
// does: no slab of the window's colour under it.
TEST(RootView, TheSettingsGeneralSectionLiesOnTheCard) {
  for (const bool dark : {false, true}) {
    const test::AppPalette palette(dark ? test::darkPalette() : test::lightPalette());
    ShellHarness h;
    h->setPage(Page::settings);
    RootView& root = h.show({1040, 900});
    QWidget* page = root.currentMainView();
    const QImage shown = test::grabSettled(root);
    // Below the last group, above the page's bottom margin.
    const QPoint below = page->mapTo(&root, QPoint(page->width() / 2, page->height() - 24));
    EXPECT_EQ(shown.pixelColor(below), PaletteColors::panel(root.palette())) << dark;
  }
}

// Tab goes through the window as it reads: the rail, the page's sidebar, its main pane, the
// right panel, the status bar, and round again; each stop is a control, never a container that
// shows nothing, and rows that arrive after the window was built keep their place.
TEST(RootView, TabFollowsReadingOrderThroughEveryRegion) {
  ShellHarness h;
  RootView& root = h.show({1040, 680});
  QApplication::setActiveWindow(&root);
  // Rows of the sidebar, the table and the right panel are made by the scan, after the window.
  h.scanCleaner({h.item("a", 3000), h.item("b", 2000), h.item("c", 1000)});
  h.cleaner().setChecked(cleanPath(h.folders / "a"), true);
  QApplication::processEvents();

  const std::vector<QWidget*> regions = {root.rail(), root.currentSidebar(),
                                         root.currentMainView(), root.rightPanel(),
                                         root.statusBar()};
  const auto regionOf = [&](const QWidget* widget) {
    for (std::size_t i = 0; i < regions.size(); ++i) {
      if (regions[i] == widget || regions[i]->isAncestorOf(widget)) return static_cast<int>(i);
    }
    return -1;
  };
  // The rail's pages are one stop, entered at the page shown.
  RailButton* first = root.rail()->button(Page::home);
  first->setFocus(Qt::TabFocusReason);
  // Each stop looks different while the keyboard is on it: a ring, a highlighted row.
  const auto looks = [](QWidget* widget) { return widget->grab().toImage(); };
  std::vector<QWidget*> visited = {first};
  // Its ring is looked for when Tab comes round to it.
  std::vector<QImage> focused = {QImage()};
  QImage firstUnfocused;
  for (int i = 0; i < 60; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    if (i == 0) firstUnfocused = looks(first);
    QWidget* now = QApplication::focusWidget();
    ASSERT_NE(now, nullptr);
    if (!visited.empty()) {
      EXPECT_NE(looks(visited.back()), focused.back())
          << "no ring on " << visited.back()->metaObject()->className() << " "
          << visited.back()->accessibleName().toStdString();
    }
    if (now == first) break;
    visited.push_back(now);
    focused.push_back(looks(now));
  }
  ASSERT_EQ(QApplication::focusWidget(), first) << "Tab never came round";
  EXPECT_NE(looks(first), firstUnfocused) << "no ring on the rail";
  std::vector<int> order;
  for (const QWidget* stop : visited) {
    SCOPED_TRACE(stop->metaObject()->className());
    EXPECT_EQ(qobject_cast<const QAbstractScrollArea*>(stop) &&
                  !qobject_cast<const QAbstractItemView*>(stop),
              false);
    EXPECT_TRUE(stop->isVisible());
    order.push_back(regionOf(stop));
  }
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  for (int region = 0; region < static_cast<int>(regions.size()); ++region) {
    EXPECT_NE(std::find(order.begin(), order.end(), region), order.end()) << region;
  }
  // In the main pane: the tab picker, the header's buttons, the table's box, the table, the card.
  std::vector<const char*> main;
  for (const QWidget* stop : visited) {
    if (regionOf(stop) == 2) main.push_back(stop->metaObject()->className());
  }
  ASSERT_GE(main.size(), 5u);
  EXPECT_STREQ(main[main.size() - 3], "hl::BulkCheckBox");
  EXPECT_STREQ(main[main.size() - 2], "hl::ItemsListView");
  EXPECT_STREQ(main.back(), "hl::DestructiveButton");
  EXPECT_EQ(std::count(order.begin(), order.end(), 0), 1);
  // Backtab goes the same way back.
  QTest::keyClick(first, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), visited.back());
}

// The tooltip a hover at `at` in `area` shows; empty for none. A hidden tooltip keeps its text
// for a moment: a text of the test's own stands until the hover replaces it.
QString tooltipAt(QWidget* area, QPoint at) {
  const QString untouched = QStringLiteral("(no tooltip)");
  QToolTip::showText(area->mapToGlobal(at), untouched, area);
  QHelpEvent event(QEvent::ToolTip, at, area->mapToGlobal(at));
  QApplication::sendEvent(area, &event);
  const QString text = QToolTip::text();
  if (text == untouched) return {};
  return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

// The History table in the smallest window and a roomy one: no column reaches past the table,
// and every header and cell shows whole or shortened with its full text as a tooltip.
TEST(RootView, TheHistoryTableFitsItsColumnsOrShortensThemWithTooltips) {
  for (const QSize size : {WindowSizing::minimumSize, QSize(1320, 820)}) {
    SCOPED_TRACE(size.width());
    ShellHarness h;
    const Date now = h.wall.clock()();
    h->history().setEntries(
        {HistoryEntry::make(UUID::random(), now - std::chrono::hours(30), "Build & dev tools",
                            std::vector<std::string>(1234, h.folders / "x"), 123'456'789'012,
                            std::vector<HistoryEntry::Failure>(
                                37, HistoryEntry::Failure{h.folders / "y", "Permission denied"}),
                            "Home", false),
         HistoryEntry::make(UUID::random(), now - std::chrono::hours(3), "Package caches",
                            {h.folders / "z"}, 2'140'000'000, {}, "Home", true)});
    RootView& root = h.show(size);
    h->setPage(Page::history);
    test::grabSettled(root);
    auto* view = static_cast<HistoryView*>(root.currentMainView());
    QTableWidget* table = view->table();
    QHeaderView* header = table->horizontalHeader();
    EXPECT_FALSE(table->horizontalScrollBar()->isVisible());
    EXPECT_LE(header->length(), table->viewport()->width());
    for (int column = 0; column < table->columnCount(); ++column) {
      const QString title = table->horizontalHeaderItem(column)->text();
      SCOPED_TRACE(title.toStdString());
      const int position = header->sectionViewportPosition(column);
      const QPoint middle(position + header->sectionSize(column) / 2, header->height() / 2);
      // Drawn whole, or shortened at its end with the whole title as its tooltip.
      const QString shown = static_cast<ElidingHeader*>(header)->shownTitle(column);
      if (shown != title) {
        EXPECT_TRUE(shown.endsWith(QChar(0x2026)) &&
                    title.startsWith(shown.chopped(1)))
            << shown.toStdString();
        EXPECT_EQ(tooltipAt(header->viewport(), middle), title);
      } else {
        EXPECT_EQ(tooltipAt(header->viewport(), middle), QString());
      }
      for (int row = 0; row < table->rowCount(); ++row) {
        const QModelIndex index = table->model()->index(row, column);
        if (table->sizeHintForIndex(index).width() <= table->columnWidth(column)) continue;
        EXPECT_TRUE(tooltipAt(table->viewport(), table->visualRect(index).center())
                        .contains(index.data().toString()))
            << index.data().toString().toStdString();
      }
    }
    QToolTip::hideText();
  }
}

}  // namespace
}  // namespace hl
