#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <memory>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "views/home/removal_sheet_texts.h"
#include "views/home/state_views.h"
#include "views/shared/confirm_trash_sheet.h"
#include "views/shared/confirm_trash_texts.h"
#include "views/sample_items.h"
#include "views/screenshot_support.h"
#include "views/shared/destructive_button.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/full_disk_access_hint.h"
#include "views/shared/panel_section.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/size_bar.h"
#include "views/shared/spinner.h"
#include "views/shared/status_grammar.h"
#include "views/shared/status_tag.h"
#include "views/shared/symbol_icon.h"

namespace hl {
namespace {

void save(const QImage& image, const char* name) {
  test::saveScreenshot(image, QLatin1String(name));
}

TEST(Screenshots, Symbols) {
  const auto& names = symbolNames();
  const int columns = 8;
  const int cell = 96;
  const int rows = static_cast<int>((names.size() + columns - 1) / columns);
  QImage sheet(columns * cell, rows * cell, QImage::Format_ARGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  QFont font = painter.font();
  font.setPixelSize(9);
  painter.setFont(font);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int x = static_cast<int>(i % columns) * cell;
    const int y = static_cast<int>(i / columns) * cell;
    symbolIcon(names[i], QColor(40, 40, 40)).paint(&painter, QRect(x + 24, y + 10, 48, 48));
    symbolIcon(names[i], QColor(40, 40, 40)).paint(&painter, QRect(x + 8, y + 62, 16, 16));
    painter.setPen(Qt::darkGray);
    painter.drawText(QRect(x, y + 80, cell, 14), Qt::AlignCenter,
                     QString::fromUtf8(names[i].data(), static_cast<qsizetype>(names[i].size())));
  }
  painter.end();
  save(sheet, "symbols");
}

using test::darkPalette;
using test::lightPalette;

std::vector<StatusTagModel> everyChip() {
  const Date now = Date{} + std::chrono::hours(24 * 400);
  std::vector<StatusTagModel> chips;
  const std::string home = "/home/ada";
  for (const char* reason : {"cannot verify in-use state", "kept by Claude app", "Claude app pool",
                             "open by node (pid 4)"}) {
    CacheItem item = test::sampleItem(home + "/x", CacheGroup::projects, RiskLevel::safe, home);
    item.inUseReason = reason;
    chips.push_back(StatusGrammar::stateTag(item, home));
  }
  for (RiskLevel risk : allRiskLevels) {
    chips.push_back(StatusGrammar::stateTag(
        test::sampleItem(home + "/x", CacheGroup::projects, risk, home), home));
  }
  CacheItem busy = test::sampleItem(home + "/w", CacheGroup::projects, RiskLevel::moderate, home);
  busy.worktree = WorktreeInfo{home + "/r", true, home + "/w/n", WorktreeStatus::dirty(true, 3)};
  busy.runningOwner = "claude";
  busy.newestModification = now;
  busy.projectModified = now - std::chrono::hours(24 * 90);
  busy.keepNewest = true;
  busy.isReportOnly = true;
  for (const auto& chip : StatusGrammar::qualifiers(busy, now)) chips.push_back(chip);
  CacheItem checking = busy;
  checking.worktree->status = WorktreeStatus::unknown();
  checking.worktree->isRegistered = false;
  for (const auto& chip : StatusGrammar::qualifiers(checking, now)) chips.push_back(chip);
  CacheItem failed = busy;
  failed.worktree->status = WorktreeStatus::error("x");
  chips.push_back(StatusGrammar::qualifiers(failed, now)[2]);
  CacheItem own = busy;
  own.worktree->status = WorktreeStatus::ownClone();
  chips.push_back(StatusGrammar::qualifiers(own, now)[1]);
  chips.push_back(StatusGrammar::tags(std::string_view("Refusing to remove protected location /")).front());
  chips.push_back(StatusGrammar::removalTag(false));
  chips.push_back(StatusGrammar::removalTag(true));
  return chips;
}

using test::AppPalette;

QWidget* gallery() {
  auto* page = new QWidget;
  page->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(20, 16, 20, 20);
  layout->setSpacing(14);
  layout->addWidget(new SidebarHeader(QStringLiteral("Home")));

  const auto chips = everyChip();
  for (std::size_t start = 0; start < chips.size(); start += 6) {
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    for (std::size_t i = start; i < std::min(chips.size(), start + 6); ++i) {
      row->addWidget(new StatusTag(chips[i]));
    }
    row->addStretch(1);
    layout->addLayout(row);
  }

  auto* buttons = new QHBoxLayout;
  auto* large = new DestructiveButton(QStringLiteral("Move 3 items to Trash"));
  large->setIcon(symbolIcon("trash"));
  large->setControlSize(FilledButton::ControlSize::large);
  buttons->addWidget(large);
  auto* small = new DestructiveButton(QStringLiteral("Delete Immediately"));
  small->setIcon(symbolIcon("trash"));
  buttons->addWidget(small);
  auto* off = new DestructiveButton(QStringLiteral("Read-only mode"));
  off->setIcon(symbolIcon("lock.fill"));
  off->setEnabled(false);
  buttons->addWidget(off);
  auto* prominent = new ProminentButton(QStringLiteral("Scan now"));
  prominent->setControlSize(FilledButton::ControlSize::large);
  buttons->addWidget(prominent);
  buttons->addWidget(new QPushButton(QStringLiteral("Rescan")));
  buttons->addWidget(new Spinner);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  auto* bars = new QHBoxLayout;
  for (double fraction : {0.0, 0.0001, 0.35, 0.92, 1.0}) {
    auto* bar = new SizeBar(fraction);
    bar->setFixedSize(64, 6);
    bars->addWidget(bar);
  }
  bars->addStretch(1);
  layout->addLayout(bars);

  LiveSummary live;
  live.claudeProcesses = 1;
  live.worktreesInUse = 2;
  layout->addWidget(new LiveNowStrip(live));
  layout->addWidget(new FullDiskAccessHint(false, [] {}));
  layout->addWidget(new FullDiskAccessHint(true, [] {}));
  layout->addWidget(new UnavailableBanner([] {}));

  auto* panel = new PanelSection(QStringLiteral("Reclaimable"), QStringLiteral("Sizes are allocated size."));
  panel->addContent(new QLabel(QStringLiteral("Total found   \u2248 12.4 GB")));
  layout->addWidget(panel);

  auto* empties = new QHBoxLayout;
  empties->addWidget(EmptyStateView::make(EmptyStateView::Kind::nothingFound, [] {}));
  empties->addWidget(EmptyStateView::make(EmptyStateView::Kind::notScanned, [] {}));
  layout->addLayout(empties);
  auto* skeleton = new SkeletonRows(3);
  skeleton->setMinimumHeight(3 * 52 + 16);
  layout->addWidget(skeleton);
  page->resize(900, 1000);
  return page;
}

TEST(Screenshots, SharedViewsLightAndDark) {
  for (const auto& [palette, name] : {std::pair{lightPalette(), "shared-views-light"},
                                      std::pair{darkPalette(), "shared-views-dark"}}) {
    const AppPalette applied(palette);
    std::unique_ptr<QWidget> page(gallery());
    page->show();
    page->resize(page->sizeHint().expandedTo(QSize(900, 0)));
    save(test::grabSettled(*page), name);
  }
}

ConfirmTrashSheet::Contents sheetContents(bool permanent, bool readOnly) {
  const Date now = Date{} + std::chrono::hours(24 * 400);
  const std::string home = "/home/ada";
  std::vector<ConfirmTrashSheet::Row> rows;
  CacheItem worktree = test::sampleItem(home + "/.claude/worktrees/feature-login",
                                        CacheGroup::aiWorktrees, RiskLevel::moderate, home);
  worktree.worktree = WorktreeInfo{home + "/code/app", true, worktree.url, WorktreeStatus::dirty(true, 2)};
  worktree.size = 734'000'000;
  CacheItem modules = test::sampleItem(home + "/code/site/node_modules", CacheGroup::projects,
                                       RiskLevel::moderate, home);
  modules.projectModified = now - std::chrono::hours(24 * 90);
  modules.size = 1'240'000'000;
  CacheItem npm = test::sampleItem(home + "/.npm/_cacache", CacheGroup::packageCaches,
                                   RiskLevel::safe, home);
  npm.size = 2'480'000'000;
  CacheItem pending = test::sampleItem(home + "/.cache/pip", CacheGroup::packageCaches,
                                       RiskLevel::safe, home);
  std::int64_t total = 0;
  for (const CacheItem* item : {&npm, &modules, &worktree, &pending}) {
    rows.push_back({item->id, item->name, item->subtitle, item->size,
                    StatusGrammar::tags(*item, 2, now, home)});
    total += item->knownSize();
  }
  ConfirmTrashSheet::Contents c;
  c.title = ConfirmTrashTexts::title(rows.size(), permanent);
  c.rows = rows;
  c.totalSize = total;
  c.warnings = RemovalSheetTexts::warnings(1, permanent, {"Claude Code is running and may recreate some of these items."});
  c.notes = RemovalSheetTexts::notes(1, permanent, true);
  c.isReadOnly = readOnly;
  c.isPermanent = permanent;
  return c;
}

TEST(Screenshots, ConfirmTrashSheet) {
  struct Shot {
    bool permanent;
    bool readOnly;
    bool armed;
    QPalette palette;
    const char* name;
  };
  for (const auto& shot : {Shot{false, false, true, lightPalette(), "sheet-trash"},
                           Shot{false, false, false, lightPalette(), "sheet-trash-unarmed"},
                           Shot{true, false, true, darkPalette(), "sheet-delete-dark"},
                           Shot{true, true, true, lightPalette(), "sheet-read-only"}}) {
    const AppPalette applied(shot.palette);
    Instant now{};
    ConfirmTrashSheet sheet(sheetContents(shot.permanent, shot.readOnly), [&] { return now; });
    sheet.show();
    if (shot.armed) {
      now += std::chrono::seconds(1);
      sheet.refreshArming();
    }
    QCoreApplication::processEvents();
    save(test::grabSettled(sheet), shot.name);
  }
}

}  // namespace
}  // namespace hl
