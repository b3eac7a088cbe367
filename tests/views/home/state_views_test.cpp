#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "services/system/full_disk_access.h"
#include "views/home/state_views.h"
#include "views/shared/destructive_button.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/full_disk_access_hint.h"

namespace hl {
namespace {

LiveSummary summary(int claude, int codex, int worktrees, int kept) {
  LiveSummary s;
  s.claudeProcesses = claude;
  s.codexProcesses = codex;
  s.worktreesInUse = worktrees;
  s.keptByClaudeApp = kept;
  return s;
}

std::vector<std::pair<QString, QString>> pairs(
    std::initializer_list<std::pair<const char*, const char*>> list) {
  std::vector<std::pair<QString, QString>> result;
  for (const auto& [a, b] : list) result.emplace_back(QString::fromUtf8(a), QString::fromUtf8(b));
  return result;
}

TEST(LiveNowStrip, AlwaysFourMetricsWithTheirPlurals) {
  struct Case {
    LiveSummary summary;
    std::vector<std::pair<QString, QString>> want;
  };
  const std::vector<Case> cases = {
      {summary(1, 0, 2, 0), pairs({{"1", "Claude Code process"},
                                   {"0", "Codex processes"},
                                   {"2", "worktrees in use"},
                                   {"0", "kept by the Claude app"}})},
      {summary(0, 0, 0, 0), pairs({{"0", "Claude Code processes"},
                                   {"0", "Codex processes"},
                                   {"0", "worktrees in use"},
                                   {"0", "kept by the Claude app"}})},
      {summary(12000, 1, 1, 1), pairs({{"12000", "Claude Code processes"},
                                       {"1", "Codex process"},
                                       {"1", "worktree in use"},
                                       {"1", "kept by the Claude app"}})},
  };
  LiveNowStrip strip;
  for (const auto& c : cases) {
    EXPECT_EQ(LiveNowStrip::metrics(c.summary), c.want);
    strip.setSummary(c.summary);
    EXPECT_EQ(strip.shownMetrics(), c.want);
  }
}

TEST(SkeletonRows, BarWidthsVaryFromRowToRow) {
  const std::vector<int> first = {140, 177, 214, 251, 168, 205, 242, 159};
  const std::vector<int> second = {220, 273, 326, 379, 272, 325, 378, 271};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(SkeletonRows::firstBarWidth(i), first[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(SkeletonRows::secondBarWidth(i), second[static_cast<std::size_t>(i)]) << i;
  }
  for (int i = 0; i < 480; ++i) {
    EXPECT_NE(SkeletonRows::firstBarWidth(i), SkeletonRows::firstBarWidth(i + 1)) << i;
    EXPECT_NE(SkeletonRows::secondBarWidth(i), SkeletonRows::secondBarWidth(i + 1)) << i;
    EXPECT_EQ(SkeletonRows::firstBarWidth(i), SkeletonRows::firstBarWidth(i + 120));
    EXPECT_EQ(SkeletonRows::secondBarWidth(i), SkeletonRows::secondBarWidth(i + 160));
  }
  SkeletonRows rows(8);
  EXPECT_EQ(rows.accessibleName(), QStringLiteral("Scanning"));
  EXPECT_EQ(rows.sizeHint().height(), 8 * 52 + 7 * 8);
  EXPECT_EQ(SkeletonRows(0).sizeHint().height(), 0);
}

TEST(EmptyStateView, EachHomeCaseHasItsTextsAndButton) {
  struct Case {
    EmptyStateView::Kind kind;
    std::string symbol;
    QString title;
    QString message;
    QString button;
    bool prominent;
  };
  const std::vector<Case> cases = {
      {EmptyStateView::Kind::nothingFound, "checkmark", "Nothing to clean here",
       "This computer has no matching caches, or they're excluded.", "Rescan", false},
      {EmptyStateView::Kind::notScanned, "internaldrive", "Not scanned yet",
       "Scan to find caches, build output and stale worktrees.", "Scan now", true},
  };
  for (const auto& c : cases) {
    int calls = 0;
    std::unique_ptr<EmptyStateView> view(EmptyStateView::make(c.kind, [&] { ++calls; }));
    EXPECT_EQ(view->symbol(), c.symbol);
    EXPECT_EQ(view->titleLabel()->text(), c.title);
    EXPECT_EQ(view->titleLabel()->textFormat(), Qt::PlainText);
    ASSERT_NE(view->messageLabel(), nullptr);
    EXPECT_EQ(view->messageLabel()->text(), c.message);
    ASSERT_NE(view->button(), nullptr);
    EXPECT_EQ(view->button()->text(), c.button);
    EXPECT_EQ(dynamic_cast<ProminentButton*>(view->button()) != nullptr, c.prominent);
    view->show();
    QTest::mouseClick(view->button(), Qt::LeftButton);
    EXPECT_EQ(calls, 1) << c.title.toStdString();
  }
}

TEST(EmptyStateView, APlaceholderWithoutTextOrButton) {
  EmptyStateView view("doc.text", QStringLiteral("No cleanups yet"));
  EXPECT_EQ(view.messageLabel(), nullptr);
  EXPECT_EQ(view.button(), nullptr);
  EXPECT_EQ(view.accessibleName(), QStringLiteral("No cleanups yet"));
}

TEST(UnavailableBanner, SaysNothingIsSelectableAndRetries) {
  int retries = 0;
  UnavailableBanner banner([&] { ++retries; });
  bool found = false;
  for (auto* label : banner.findChildren<QLabel*>()) {
    found |= label->text() == QStringLiteral("Can't verify what's in use \u2014 nothing is selectable.");
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(banner.retryButton()->text(), QStringLiteral("Retry"));
  banner.show();
  QTest::mouseClick(banner.retryButton(), Qt::LeftButton);
  EXPECT_EQ(retries, 1);
}

TEST(FullDiskAccessHint, BothFormsOpenTheSettingsAndShowOnlyWhenDenied) {
  struct Case {
    bool compact;
    QString button;
    bool explains;
  };
  const std::vector<Case> cases = {
      {true, "Open Full Disk Access Settings\u2026", false},
      {false, "Open Settings\u2026", true},
  };
  for (const auto& c : cases) {
    int opened = 0;
    FullDiskAccessHint hint(c.compact, [&] { ++opened; });
    EXPECT_EQ(hint.button()->text(), c.button);
    bool explains = false;
    for (auto* label : hint.findChildren<QLabel*>()) {
      explains |= label->text().startsWith(QStringLiteral("macOS blocks reading the Trash."));
    }
    EXPECT_EQ(explains, c.explains);
    if (c.compact) {
      EXPECT_TRUE(hint.button()->toolTip().contains(
          QStringLiteral("System Settings \u203a Privacy &amp; Security \u203a Full Disk Access")));
    }
    hint.show();
    QTest::mouseClick(hint.button(), Qt::LeftButton);
    EXPECT_EQ(opened, 1);
  }
  EXPECT_TRUE(FullDiskAccessHint::isShown(FullDiskAccess::Status::denied));
  EXPECT_FALSE(FullDiskAccessHint::isShown(FullDiskAccess::Status::granted));
  EXPECT_FALSE(FullDiskAccessHint::isShown(FullDiskAccess::Status::notApplicable));
  // This platform has no such permission: the hint never shows.
  EXPECT_FALSE(FullDiskAccessHint::isShown(FullDiskAccess::applicationStatus()));
}

}  // namespace
}  // namespace hl
