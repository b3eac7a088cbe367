#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include <QApplication>
#include <QClipboard>
#include <QListView>
#include <QTest>

#include "views/pages/activity_page.h"
#include "views/pages/page_dates.h"
#include "views/pages/page_fixtures.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/palette_colors.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using Kind = ActivityEvent::Kind;

struct ActivityPage {
  test::PageState state;
  std::unique_ptr<ActivitySidebar> sidebar = std::make_unique<ActivitySidebar>(state.activity);
  std::unique_ptr<ActivityView> view = std::make_unique<ActivityView>(state.activity);
  // The lines' model checked against the item-model rules through everything the test does.
  std::unique_ptr<QAbstractItemModelTester> tester = checked(*view);

  static std::unique_ptr<QAbstractItemModelTester> checked(ActivityView& shown) {
    return std::make_unique<QAbstractItemModelTester>(
        shown.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  }

  ActivityPage() {
    sidebar->resize(240, 400);
    view->resize(700, 500);
    sidebar->show();
    view->show();
  }

  // Leaves the page and comes back: new views over the same log.
  void reopen() {
    tester.reset();
    sidebar = std::make_unique<ActivitySidebar>(state.activity);
    view = std::make_unique<ActivityView>(state.activity);
    tester = checked(*view);
    sidebar->show();
    view->show();
  }

  std::vector<std::string> shownMessages() const {
    std::vector<std::string> texts;
    auto* model = view->list()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      texts.push_back(model->index(row, 0).data().toString().toStdString());
    }
    return texts;
  }

  std::vector<int> badges() const {
    std::vector<int> counts;
    for (const auto& row : sidebar->list()->rows()) counts.push_back(row.badge);
    return counts;
  }
};

TEST(ActivityPage, AnEmptyLogShowsThePlaceholderAndNoBadges) {
  ActivityPage page;
  EXPECT_TRUE(page.view->isPlaceholderShown());
  auto* placeholder = dynamic_cast<EmptyStateView*>(page.view->placeholder());
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->titleLabel()->text(), QStringLiteral("No activity yet"));
  EXPECT_EQ(placeholder->symbol(), "bell");
  EXPECT_EQ(placeholder->messageLabel(), nullptr);
  EXPECT_EQ(page.badges(), (std::vector<int>{0, 0, 0, 0, 0}));
  EXPECT_TRUE(test::visibleTexts(page.view.get()).contains(QStringLiteral("Activity")));
  EXPECT_TRUE(test::visibleTexts(page.view.get())
                  .contains(QStringLiteral("This session only. Cleanups are also kept in History.")));

  // The sidebar: "All" then the four kinds, with their symbols; "All" selected.
  const auto& rows = page.sidebar->list()->rows();
  ASSERT_EQ(rows.size(), 5u);
  const std::vector<std::pair<QString, std::string>> expected = {
      {"All", "bell"}, {"Scans", "magnifyingglass"}, {"Cleanups", "trash"},
      {"Tools", "terminal"}, {"Errors", "exclamationmark.triangle"}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].title, expected[i].first);
    EXPECT_EQ(rows[i].symbol, expected[i].second);
  }
  EXPECT_EQ(page.sidebar->sectionLabel()->text(), QStringLiteral("Filter"));
  EXPECT_EQ(page.sidebar->list()->currentRow(), 0);
  EXPECT_EQ(page.sidebar->list()->selectedKey(), QString());
}

TEST(ActivityPage, NewestFirstByLoggingOrderWithBadgesThatSumUp) {
  ActivityPage page;
  ActivityLog& log = page.state.activity;
  log.log(Kind::scan, "Scan started");
  page.state.clock.advance(2s);
  log.log(Kind::tool, "Running npm cache clean --force");
  // Two lines within the same second: the later one is listed first.
  log.log(Kind::error, "first error");
  log.log(Kind::error, "second error");
  EXPECT_EQ(page.shownMessages(), (std::vector<std::string>{"second error", "first error",
                                                            "Running npm cache clean --force",
                                                            "Scan started"}));
  EXPECT_FALSE(page.view->isPlaceholderShown());
  EXPECT_EQ(page.badges(), (std::vector<int>{4, 1, 0, 1, 2}));
  const auto badges = page.badges();
  EXPECT_EQ(badges[0], badges[1] + badges[2] + badges[3] + badges[4]);

  // A line logged now comes in at the top.
  log.log(Kind::cleanup, "Moved 2 items to the Trash (1 GB).");
  EXPECT_EQ(page.shownMessages().front(), "Moved 2 items to the Trash (1 GB).");
  EXPECT_EQ(page.badges(), (std::vector<int>{5, 1, 1, 1, 2}));

  // Each row carries its time of day and kind.
  const QModelIndex top = page.view->list()->model()->index(0, 0);
  EXPECT_EQ(top.data(ActivityEventsModel::timeRole).toString(),
            PageDates::timeOfDay(page.state.clock.now()));
  EXPECT_EQ(top.data(ActivityEventsModel::kindRole).toInt(), static_cast<int>(Kind::cleanup));
}

TEST(ActivityPage, TheSidebarFiltersByKindAndAllBringsEverythingBack) {
  ActivityPage page;
  ActivityLog& log = page.state.activity;
  log.log(Kind::scan, "Scan started");
  log.log(Kind::tool, "Running brew cleanup");
  SidebarList* list = page.sidebar->list();
  struct Step {
    int row;
    std::optional<Kind> filter;
    std::vector<std::string> shown;
    bool placeholder;
  };
  const std::vector<Step> steps = {
      // No error yet: the placeholder shows although other lines exist.
      {4, Kind::error, {}, true},
      {3, Kind::tool, {"Running brew cleanup"}, false},
      {0, std::nullopt, {"Running brew cleanup", "Scan started"}, false},
      {1, Kind::scan, {"Scan started"}, false},
      // A second click on the selected row changes nothing.
      {1, Kind::scan, {"Scan started"}, false},
  };
  for (const Step& step : steps) {
    test::clickRow(list, step.row);
    EXPECT_EQ(log.filter(), step.filter) << step.row;
    EXPECT_EQ(page.shownMessages(), step.shown) << step.row;
    EXPECT_EQ(page.view->isPlaceholderShown(), step.placeholder) << step.row;
  }
  // Ctrl+click and a click beside the rows keep a row selected.
  test::clickRow(list, 1, Qt::ControlModifier);
  test::clickRow(list, -1);
  EXPECT_EQ(log.filter(), Kind::scan);
  EXPECT_EQ(list->selectedKey(), QStringLiteral("Scans"));

  // Filtered lines still come in at the top; others only raise the badges.
  log.log(Kind::tool, "Running go clean -cache");
  EXPECT_EQ(page.shownMessages(), (std::vector<std::string>{"Scan started"}));
  log.log(Kind::scan, "Refreshing items");
  EXPECT_EQ(page.shownMessages(), (std::vector<std::string>{"Refreshing items", "Scan started"}));
  EXPECT_EQ(page.badges(), (std::vector<int>{4, 2, 0, 2, 0}));
}

TEST(ActivityPage, TheFilterSurvivesLeavingThePage) {
  ActivityPage page;
  page.state.activity.log(Kind::tool, "Running pnpm store prune");
  page.state.activity.log(Kind::scan, "Scan started");
  test::clickRow(page.sidebar->list(), 3);
  ASSERT_EQ(page.state.activity.filter(), Kind::tool);
  page.reopen();
  EXPECT_EQ(page.sidebar->list()->selectedKey(), QStringLiteral("Tools"));
  EXPECT_EQ(page.shownMessages(), (std::vector<std::string>{"Running pnpm store prune"}));
  // Set from elsewhere, the sidebar follows.
  page.state.activity.setFilter(std::nullopt);
  EXPECT_EQ(page.sidebar->list()->selectedKey(), QString());
}

TEST(ActivityPage, AnErrorsSymbolIsRedAndEveryOtherKindsSecondary) {
  const QPalette palette = QApplication::palette();
  for (Kind kind : allActivityKinds) {
    EXPECT_EQ(ActivityView::symbolColor(kind, palette),
              kind == Kind::error ? PaletteColors::red(palette)
                                  : PaletteColors::secondaryText(palette))
        << rawValue(kind);
  }
}

TEST(ActivityPage, SelectedLinesCanBeCopiedAsWritten) {
  ActivityPage page;
  page.state.activity.log(Kind::scan, "Scan started");
  page.state.activity.log(Kind::error, "Could not move ~/<b>x to the Trash");
  page.state.activity.log(Kind::scan, "Refreshing items");
  QListView* list = page.view->list();
  list->setFocus();
  list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select);
  list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            QStringLiteral("Could not move ~/<b>x to the Trash\nScan started"));
}

}  // namespace
}  // namespace hl
