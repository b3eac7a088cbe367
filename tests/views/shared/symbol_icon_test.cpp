#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QRegularExpression>
#include <set>
#include <string>

#include "models/activity_event.h"
#include "models/cache_group.h"
#include "views/sample_items.h"
#include "views/shared/status_grammar.h"
#include "views/shared/symbol_icon.h"

namespace hl {
namespace {

QImage render(const QIcon& icon, int side = 48) {
  return icon.pixmap(QSize(side, side)).toImage().convertToFormat(QImage::Format_ARGB32);
}

int inkedPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 40 ? 1 : 0;
  }
  return count;
}

// Every symbol name the program's texts use, whether or not a page showing it exists yet.
const std::set<std::string>& namesThePagesUse() {
  static const std::set<std::string> names = {
      // chips, the sheet, the table and the details
      "questionmark.circle", "lock.fill", "lock", "eye", "eye.slash", "exclamationmark.triangle",
      "exclamationmark.triangle.fill", "checkmark.shield", "arrow.up.circle", "pencil",
      "play.circle", "clock", "trash", "info.circle", "arrow.uturn.backward.circle", "chart.bar",
      // state views, sidebar, status bar, panel, popover
      "dot.radiowaves.left.and.right", "lock.shield", "checkmark", "internaldrive",
      "chevron.right", "checkmark.circle", "arrow.clockwise",
      // the folder scanner
      "folder", "magnifyingglass", "folder.badge.questionmark", "arrow.turn.up.right", "doc",
      // pages in the rail, plain and selected, and the settings sections
      "house", "house.fill", "bell", "bell.fill", "doc.text", "doc.text.fill", "gearshape",
      "gearshape.fill", "slider.horizontal.3", "folder.badge.plus",
      // activity kinds
      "terminal"};
  return names;
}

std::set<std::string> namesTheModelsProduce() {
  std::set<std::string> names;
  for (CacheGroup group : allCacheGroups) names.insert(std::string(systemImage(group)));
  for (auto kind : allActivityKinds) names.insert(std::string(systemImage(kind)));

  const auto add = [&](const std::vector<StatusTagModel>& tags) {
    for (const auto& tag : tags) {
      if (tag.symbol) names.insert(*tag.symbol);
    }
  };
  const Date now = Date{} + std::chrono::hours(24 * 400);
  for (RiskLevel risk : allRiskLevels) {
    for (const char* reason : {"", "cannot verify in-use state", "kept by Claude app",
                               "Claude app pool", "open by x"}) {
      CacheItem item = test::sampleItem("/h/x", CacheGroup::projects, risk, "/h");
      if (*reason) item.inUseReason = reason;
      item.worktree = WorktreeInfo{"/h/r", true, "/h/x", WorktreeStatus::dirty(true, 2)};
      item.runningOwner = "claude";
      item.newestModification = now;
      add(StatusGrammar::qualifiers(item, now));
      add({StatusGrammar::stateTag(item, "/h")});
    }
  }
  for (const char* refusal : {"cannot verify in-use state", "kept by claude", "claude app pool",
                              "in use", "review-only", "x", "unpushed", "uncommitted"}) {
    add(StatusGrammar::tags(std::string_view(refusal)));
  }
  add({StatusGrammar::removalTag(false), StatusGrammar::removalTag(true)});
  return names;
}

// The literal names the views hand to symbolIcon.
std::set<std::string> namesTheViewsDraw() {
  std::set<std::string> names;
  const QRegularExpression call(QStringLiteral(R"(symbolIcon\(\s*"([^"]+)\")"));
  QDirIterator files(QStringLiteral(HL_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                     QDirIterator::Subdirectories);
  while (files.hasNext()) {
    QFile file(files.next());
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QString text = QString::fromUtf8(file.readAll());
    auto matches = call.globalMatch(text);
    while (matches.hasNext()) names.insert(matches.next().captured(1).toStdString());
  }
  return names;
}

TEST(SymbolIcon, EveryNameUsedHasADrawingOfItsOwn) {
  std::set<std::string> used = namesThePagesUse();
  used.merge(namesTheModelsProduce());
  used.merge(namesTheViewsDraw());
  ASSERT_GT(used.size(), 40u);
  for (const std::string& name : used) EXPECT_TRUE(hasSymbol(name)) << name;
}

TEST(SymbolIcon, EveryDrawingIsVisibleAndDistinct) {
  std::map<QByteArray, std::string> seen;
  for (std::string_view name : symbolNames()) {
    const QImage image = render(symbolIcon(name, Qt::black));
    EXPECT_GT(inkedPixels(image), 40) << name;
    const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()),
                           static_cast<qsizetype>(image.sizeInBytes()));
    const auto [it, inserted] = seen.emplace(bytes, std::string(name));
    EXPECT_TRUE(inserted) << name << " draws the same as " << it->second;
  }
}

TEST(SymbolIcon, AnUnknownNameStillShowsSomething) {
  for (const char* name : {"no.such.symbol", ""}) {
    const QIcon icon = symbolIcon(name);
    EXPECT_FALSE(icon.isNull());
    EXPECT_FALSE(hasSymbol(name));
    EXPECT_GT(inkedPixels(render(icon)), 20) << name;
  }
}

TEST(SymbolIcon, ColourComesFromTheCallerOrThePalette) {
  const auto dominant = [](const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qAlpha(image.pixel(x, y)) == 255) return QColor(image.pixel(x, y));
      }
    }
    return QColor();
  };
  EXPECT_EQ(dominant(render(symbolIcon("lock.fill", QColor(200, 30, 40)))), QColor(200, 30, 40));

  const QPalette saved = QApplication::palette();
  QPalette dark = saved;
  dark.setColor(QPalette::Active, QPalette::WindowText, QColor(230, 230, 230));
  QApplication::setPalette(dark);
  EXPECT_EQ(dominant(render(symbolIcon("lock.fill"))), QColor(230, 230, 230));
  QApplication::setPalette(saved);
}

TEST(SymbolIcon, DrawsIntoItsOwnImageSoHolesNeverCutTheBackground) {
  QImage canvas(48, 48, QImage::Format_ARGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  symbolIcon("eye.slash", Qt::black).paint(&painter, QRect(0, 0, 48, 48));
  painter.end();
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) ASSERT_EQ(qAlpha(canvas.pixel(x, y)), 255);
  }
}

}  // namespace
}  // namespace hl
