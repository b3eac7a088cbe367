#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QTableWidget>
#include <QTest>

#include "services/storage/history_store.h"
#include "views/pages/history_page.h"
#include "views/pages/page_dates.h"
#include "views/pages/page_fixtures.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/palette_colors.h"
#include "views/shared/sidebar_list.h"
#include "views/shared/status_tag.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

struct HistoryPage {
  test::PageState state;
  std::unique_ptr<HistorySidebar> sidebar = std::make_unique<HistorySidebar>(state.history);
  std::unique_ptr<HistoryView> view = std::make_unique<HistoryView>(state.history);

  HistoryPage() { show(); }

  void show() {
    sidebar->resize(240, 500);
    view->resize(760, 500);
    sidebar->show();
    view->show();
  }

  void reopen() {
    sidebar = std::make_unique<HistorySidebar>(state.history);
    view = std::make_unique<HistoryView>(state.history);
    show();
  }

  QString cell(int row, int column) const { return view->table()->item(row, column)->text(); }

  std::vector<QString> sidebarTitles() const {
    std::vector<QString> titles;
    for (const auto& row : sidebar->list()->rows()) titles.push_back(row.title);
    return titles;
  }

  std::vector<std::pair<HistoryView::RowKind, QString>> detailRows() const {
    std::vector<std::pair<HistoryView::RowKind, QString>> rows;
    QListWidget* list = view->detailList();
    for (int i = 0; i < list->count(); ++i) {
      rows.emplace_back(
          static_cast<HistoryView::RowKind>(list->item(i)->data(HistoryView::rowKindRole).toInt()),
          list->item(i)->text());
    }
    return rows;
  }
};

// Three records whose file order differs from their date order.
std::vector<HistoryEntry> threeEntries(const std::string& home) {
  const Date now = test::referenceDate();
  return {
      test::historyEntry("Package caches", now - 2h, {home + "/.npm/_cacache", home + "/.cache/pip"},
                         3'480'000'000, false),
      test::historyEntry("AI worktrees", now - 30h, {home + "/.claude/worktrees/a"}, 0, true),
      test::historyEntry("Projects", now - 1h, {home + "/code/site/node_modules"}, -5, false,
                         {{home + "/code/api/target", "in use by cargo (pid 4312)"},
                          {"/srv/<b>x", "Permission denied"}}),
  };
}

TEST(HistoryPage, AnEmptyHistoryShowsItsEmptyStatesAndWhereTheFileLives) {
  HistoryPage page;
  EXPECT_TRUE(page.sidebar->isEmptyTextShown());
  EXPECT_EQ(page.sidebar->emptyTextLabel()->text(), QStringLiteral("No cleanups yet"));
  EXPECT_EQ(page.sidebar->sectionLabel()->text(), QStringLiteral("Cleanups"));
  EXPECT_FALSE(page.view->showsDetails());
  EXPECT_TRUE(test::visibleTexts(page.view.get()).contains(QStringLiteral("History")));
  // The file the page's history keeps, not the program's default location.
  EXPECT_EQ(page.view->locationLabel()->text(),
            QStringLiteral("Every cleanup is appended to ") +
                QString::fromStdString(page.state.history.fileURL()) + QStringLiteral("."));
  EXPECT_EQ(page.view->locationLabel()->textFormat(), Qt::PlainText);
  EXPECT_TRUE(page.view->locationLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
  EXPECT_EQ(page.view->table()->rowCount(), 0);
  EXPECT_TRUE(page.view->isPlaceholderShown());
  auto* placeholder = dynamic_cast<EmptyStateView*>(page.view->placeholder());
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->titleLabel()->text(), QStringLiteral("No cleanups yet"));
  EXPECT_EQ(placeholder->symbol(), "doc.text");
  EXPECT_EQ(placeholder->messageLabel(), nullptr);

  QStringList headers;
  for (int column = 0; column < page.view->table()->columnCount(); ++column) {
    headers << page.view->table()->horizontalHeaderItem(column)->text();
  }
  EXPECT_EQ(headers, (QStringList{"Date", "Category", "Removal", "Items", "Freed", "Failures"}));
}

TEST(HistoryPage, RowsAreNewestFirstByFileOrderInTheSidebarAndTheTable) {
  HistoryPage page;
  const auto entries = threeEntries(page.state.home());
  page.state.history.setEntries(entries);
  EXPECT_FALSE(page.sidebar->isEmptyTextShown());
  EXPECT_FALSE(page.view->isPlaceholderShown());
  EXPECT_EQ(page.sidebarTitles(),
            (std::vector<QString>{"Projects", "AI worktrees", "Package caches"}));

  struct Row {
    QString category;
    QString removal;
    QString items;
    QString freed;
    QString failures;
  };
  // Zero bytes is a number, and a negative count shows as zero.
  const std::vector<Row> rows = {
      {"Projects", "Trashed", "1", "0 bytes", "2"},
      {"AI worktrees", "Deleted", "1", "0 bytes", "0"},
      {"Package caches", "Trashed", "2", "3.48 GB", "0"},
  };
  ASSERT_EQ(page.view->table()->rowCount(), 3);
  for (int i = 0; i < 3; ++i) {
    const Row& row = rows[static_cast<std::size_t>(i)];
    const HistoryEntry& entry = entries[static_cast<std::size_t>(2 - i)];
    EXPECT_EQ(page.cell(i, 0), PageDates::abbreviated(entry.date));
    EXPECT_EQ(page.cell(i, 1), row.category);
    EXPECT_EQ(page.cell(i, 2), row.removal);
    EXPECT_EQ(page.cell(i, 3), row.items);
    EXPECT_EQ(page.cell(i, 4), row.freed);
    EXPECT_EQ(page.cell(i, 5), row.failures);
    EXPECT_EQ(page.sidebar->list()->rows()[static_cast<std::size_t>(i)].caption,
              PageDates::abbreviated(entry.date) + QStringLiteral(" \u00b7 ") + row.freed);
  }
  // Clicking a table row selects nothing.
  QTableWidget* table = page.view->table();
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                    table->visualItemRect(table->item(1, 1)).center());
  EXPECT_EQ(page.state.history.selectedEntryID(), std::nullopt);
  EXPECT_TRUE(table->selectedItems().isEmpty());
  EXPECT_FALSE(page.view->showsDetails());

  // A new record shows at the top at once.
  auto more = entries;
  more.push_back(test::historyEntry("Build tools", test::referenceDate() - 90h, {"/a"}, 1, false));
  page.state.history.setEntries(more);
  EXPECT_EQ(page.sidebarTitles().front(), QStringLiteral("Build tools"));
  EXPECT_EQ(page.cell(0, 1), QStringLiteral("Build tools"));
}

TEST(HistoryPage, ASelectedCleanupShowsItsDetailsByRemovalMode) {
  HistoryPage page;
  const std::string home = page.state.home();
  const auto entries = threeEntries(home);
  page.state.history.setEntries(entries);
  using Kind = HistoryView::RowKind;
  struct Case {
    int sidebarRow;
    QString chip;
    QString ending;
    std::vector<std::pair<Kind, QString>> rows;
  };
  const std::vector<Case> cases = {
      {1, "Deleted", " \u00b7 0 bytes deleted permanently",
       {{Kind::section, "Deleted (1)"}, {Kind::path, qtext(home + "/.claude/worktrees/a")}}},
      {2, "Trashed", " \u00b7 3.48 GB moved to Trash",
       {{Kind::section, "Trashed (2)"},
        {Kind::path, qtext(home + "/.npm/_cacache")},
        {Kind::path, qtext(home + "/.cache/pip")}}},
      {0, "Trashed", " \u00b7 0 bytes moved to Trash",
       {{Kind::section, "Trashed (1)"},
        {Kind::path, qtext(home + "/code/site/node_modules")},
        {Kind::section, "Failed (2)"},
        {Kind::failure, qtext(home + "/code/api/target")},
        {Kind::failure, "/srv/<b>x"}}},
  };
  for (const Case& c : cases) {
    test::clickRow(page.sidebar->list(), c.sidebarRow);
    const HistoryEntry& entry = entries[static_cast<std::size_t>(2 - c.sidebarRow)];
    ASSERT_EQ(page.state.history.selectedEntryID(), entry.id);
    EXPECT_TRUE(page.view->showsDetails());
    EXPECT_EQ(page.view->categoryLabel()->text(), qtext(entry.category));
    EXPECT_EQ(qtext(page.view->removalTag()->model().title), c.chip);
    EXPECT_EQ(page.view->summaryLabel()->text(), PageDates::complete(entry.date) + c.ending);
    EXPECT_EQ(page.detailRows(), c.rows) << c.chip.toStdString();
  }
  // A failure's message sits under its path.
  QListWidget* list = page.view->detailList();
  EXPECT_EQ(list->item(3)->data(HistoryView::messageRole).toString(),
            QStringLiteral("in use by cargo (pid 4312)"));
  EXPECT_EQ(list->item(4)->data(HistoryView::messageRole).toString(),
            QStringLiteral("Permission denied"));
  // Section titles cannot be selected; paths and failures can be copied.
  EXPECT_FALSE(list->item(0)->flags() & Qt::ItemIsSelectable);
  list->setFocus();
  list->item(1)->setSelected(true);
  list->item(4)->setSelected(true);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            qtext(home + "/code/site/node_modules") +
                QStringLiteral("\n/srv/<b>x: Permission denied"));
}

TEST(HistoryPage, ClearingTheSelectionBringsTheTableBack) {
  HistoryPage page;
  page.state.history.setEntries(threeEntries(page.state.home()));
  SidebarList* list = page.sidebar->list();
  struct Way {
    const char* name;
    std::function<void()> clear;
  };
  const std::vector<Way> ways = {
      {"Ctrl+click on the selected row", [&] { test::clickRow(list, 1, Qt::ControlModifier); }},
      {"a click beside the rows", [&] { test::clickRow(list, -1); }},
      {"Escape", [&] {
         list->setFocus();
         QTest::keyClick(list, Qt::Key_Escape);
       }},
  };
  for (const Way& way : ways) {
    test::clickRow(list, 1);
    ASSERT_TRUE(page.view->showsDetails()) << way.name;
    // A second plain click keeps it.
    test::clickRow(list, 1);
    ASSERT_TRUE(page.view->showsDetails()) << way.name;
    way.clear();
    EXPECT_EQ(page.state.history.selectedEntryID(), std::nullopt) << way.name;
    EXPECT_FALSE(page.view->showsDetails()) << way.name;
    EXPECT_EQ(list->selectedKey(), std::nullopt) << way.name;
  }
}

// How many pixels of the list carry the keyboard's ring colour.
int ringPixels(SidebarList* list) {
  const QImage image = list->grab().toImage();
  const QColor ring = PaletteColors::focusRing(list->palette());
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (std::abs(pixel.red() - ring.red()) + std::abs(pixel.green() - ring.green()) +
              std::abs(pixel.blue() - ring.blue()) <= 12) {
        ++count;
      }
    }
  }
  return count;
}

// From the keyboard: the list shows a ring while it has the keyboard and nothing is chosen, and
// no row reads as the keyboard's then; the first Down chooses the newest cleanup, the next ones
// go down the list.
TEST(HistoryPage, TheSidebarListShowsTheKeyboardAndDownStartsAtTheTop) {
  HistoryPage page;
  page.state.history.setEntries(threeEntries(page.state.home()));
  SidebarList* list = page.sidebar->list();
  QApplication::setActiveWindow(page.sidebar.get());
  list->clearFocus();
  const int without = ringPixels(list);
  list->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(list->hasFocus());
  EXPECT_GT(ringPixels(list), without + 100);
  // On the list, not on a row that would read as chosen.
  EXPECT_FALSE(list->currentIndex().isValid());

  const std::vector<HistoryEntry>& entries = page.state.history.entries();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(page.state.history.selectedEntryID(), entries[2].id);
  EXPECT_TRUE(page.view->showsDetails());
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(page.state.history.selectedEntryID(), entries[1].id);
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(page.state.history.selectedEntryID(), entries[2].id);

  // Cleared with Escape, the ring is back and Down starts at the top again.
  QTest::keyClick(list, Qt::Key_Escape);
  ASSERT_EQ(page.state.history.selectedEntryID(), std::nullopt);
  EXPECT_GT(ringPixels(list), without + 100);
  EXPECT_FALSE(list->currentIndex().isValid());
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(page.state.history.selectedEntryID(), entries[2].id);
}

TEST(HistoryPage, TheSelectedCleanupSurvivesLeavingThePageUntilItVanishes) {
  HistoryPage page;
  const auto entries = threeEntries(page.state.home());
  page.state.history.setEntries(entries);
  test::clickRow(page.sidebar->list(), 2);
  page.reopen();
  EXPECT_TRUE(page.view->showsDetails());
  EXPECT_EQ(page.view->categoryLabel()->text(), QStringLiteral("Package caches"));
  EXPECT_EQ(page.sidebar->list()->currentRow(), 2);
  EXPECT_EQ(page.sidebar->list()->selectedKey(), qtext(entries[0].id.uuidString()));

  // Records added meanwhile keep the selection on the same cleanup.
  auto more = entries;
  more.push_back(test::historyEntry("Build tools", test::referenceDate(), {"/a"}, 1, false));
  page.state.history.setEntries(more);
  EXPECT_EQ(page.sidebar->list()->selectedKey(), qtext(entries[0].id.uuidString()));
  EXPECT_TRUE(page.view->showsDetails());

  // A selected record that is gone shows the table.
  page.state.history.setEntries({entries[1]});
  EXPECT_FALSE(page.view->showsDetails());
  EXPECT_EQ(page.sidebar->list()->selectedKey(), std::nullopt);
}

}  // namespace
}  // namespace hl
