#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include "views/pages/scanner/file_tree_row.h"
#include "views/shared/status_grammar.h"
#include "views/shared/status_tag.h"

namespace hl {
namespace {

FileNode node(const std::string& path, bool directory, bool link, std::int64_t size = 4096,
              std::int64_t files = 0, double share = 0.5) {
  std::optional<std::vector<FileNode>> children;
  if (directory) children = std::vector<FileNode>{};
  return FileNode(path, std::nullopt, size, directory, link, files, share, std::move(children));
}

TEST(FileTreeRow, IconAndFileCountFollowWhatTheNodeIs) {
  struct Case {
    bool directory;
    bool link;
    std::int64_t files;
    std::string symbol;
    std::optional<QString> count;
  };
  for (const Case& c : {
           Case{true, false, 0, "folder", QStringLiteral("0 files")},
           Case{true, false, 1204, "folder", QLocale().toString(1204) + QStringLiteral(" files")},
           Case{false, false, 1, "doc", std::nullopt},
           // A link to a folder is a link first, and a link that is no folder has no count.
           Case{true, true, 3, "arrow.turn.up.right", QStringLiteral("3 files")},
           Case{false, true, 1, "arrow.turn.up.right", std::nullopt},
       }) {
    const FileNode n = node("/t/x", c.directory, c.link, 4096, c.files);
    EXPECT_EQ(FileTreeRow::symbol(n), c.symbol);
    EXPECT_EQ(FileTreeRow::fileCountText(n), c.count) << c.symbol;
  }
}

TEST(FileTreeRow, ChipsComeOnlyFromTheRefusalThroughTheGrammar) {
  const FileNode n = node("/t/wt", true, false);
  EXPECT_TRUE(FileTreeRow(n, std::nullopt).tags().empty());
  const std::string dirty = "in use: worktree has uncommitted changes";
  EXPECT_EQ(FileTreeRow(n, dirty).tags(), StatusGrammar::tags(std::string_view(dirty)));
  ASSERT_EQ(FileTreeRow(n, dirty).tags().size(), 2u);
  // A text the grammar has no phrase for still gets its fallback chip.
  const auto odd = FileTreeRow(n, std::string("zebra")).tags();
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_EQ(odd[0].title, "Protected");
  EXPECT_EQ(odd[0].help, "zebra");
}

TEST(FileTreeRow, ColumnsKeepTheirWidthsAndChipsFallBackToTheCompactForm) {
  const QFont font = QApplication::font();
  const FileNode n = node("/t/" + std::string(60, 'n'), true, false, 0, 7, 0.0);
  const FileTreeRow plain(n, std::nullopt);
  const FileTreeRow refused(n, std::string("in use: worktree has uncommitted changes"));
  for (int width : {900, 500, 260}) {
    const QRect rect(0, 0, width, FileTreeRow::height);
    for (const FileTreeRow* row : {&plain, &refused}) {
      const auto g = row->layout(rect, font);
      EXPECT_EQ(g.size.width(), FileTreeRow::sizeWidth);
      EXPECT_EQ(g.bar.width(), FileTreeRow::barWidth);
      EXPECT_EQ(g.bar.height(), FileTreeRow::barHeight);
      EXPECT_LE(g.size.right(), rect.right());
      ASSERT_TRUE(g.fileCount);
      EXPECT_LE(g.name.right() + FileTreeRow::spacing, g.fileCount->left());
      if (!g.chips.empty()) {
        EXPECT_LE(g.chipArea.right(), g.fileCount->left() - FileTreeRow::spacing);
        EXPECT_GE(g.chipRects.front().left(), g.chipArea.left());
      }
    }
    EXPECT_TRUE(plain.layout(rect, font).chips.empty());
  }
  // Wide: the name whole and both chips; narrow: the first chip only and the name shortened in
  // the middle.
  const auto wide = refused.layout(QRect(0, 0, 1400, FileTreeRow::height), font);
  EXPECT_TRUE(wide.fullChips);
  EXPECT_EQ(wide.chips.size(), 2u);
  EXPECT_EQ(wide.shownName, QString::fromStdString(std::string(60, 'n')));
  const auto narrow = refused.layout(QRect(0, 0, 420, FileTreeRow::height), font);
  EXPECT_FALSE(narrow.fullChips);
  ASSERT_EQ(narrow.chips.size(), 1u);
  EXPECT_EQ(narrow.chips[0].title, "In use");
  EXPECT_TRUE(narrow.shownName.contains(QChar(0x2026)));
}

TEST(FileTreeRow, HelpIsTheChipsOwnOverAChipAndThePathElsewhere) {
  const QFont font = QApplication::font();
  const FileNode n = node("/t/<b>wt", true, false);
  const FileTreeRow row(n, std::string("in use: open by node (pid 4)"));
  const QRect rect(0, 0, 900, FileTreeRow::height);
  const auto g = row.layout(rect, font);
  ASSERT_EQ(g.chipRects.size(), 1u);
  EXPECT_EQ(row.helpAt(g.chipRects[0].center(), rect, font),
            QStringLiteral("in use: open by node (pid 4)"));
  EXPECT_EQ(row.helpAt(g.size.center(), rect, font), QStringLiteral("/t/<b>wt"));
  EXPECT_EQ(row.helpAt(g.name.center(), rect, font), QStringLiteral("/t/<b>wt"));
  EXPECT_TRUE(row.accessibleText().startsWith(QStringLiteral("<b>wt, 4 KB")));
}

// The bar fills with the node's share; the size of an empty node is written as zero.
TEST(FileTreeRow, BarShowsTheShareOfTheParent) {
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
  palette.setColor(QPalette::Base, Qt::white);
  const QFont font = QApplication::font();
  const QRect rect(0, 0, 600, FileTreeRow::height);
  auto blueInBar = [&](const FileNode& n) {
    QImage image(rect.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const FileTreeRow row(n, std::nullopt);
    row.paint(painter, rect, palette, font, false);
    painter.end();
    const QRect bar = row.layout(rect, font).bar;
    int blue = 0;
    for (int x = bar.left(); x <= bar.right(); ++x) {
      const QColor c = image.pixelColor(x, bar.center().y());
      if (c.blue() > 150 && c.red() < 120) ++blue;
    }
    return blue;
  };
  EXPECT_GE(blueInBar(node("/t/all", false, false, 100, 1, 1.0)), FileTreeRow::barWidth - 4);
  EXPECT_EQ(blueInBar(node("/t/none", false, false, 0, 1, 0.0)), 0);
  EXPECT_EQ(FileTreeRow(node("/t/none", false, false, 0, 1, 0.0), std::nullopt).sizeText(),
            QStringLiteral("0 bytes"));
}

}  // namespace
}  // namespace hl
