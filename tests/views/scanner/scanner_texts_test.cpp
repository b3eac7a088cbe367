#include <gtest/gtest.h>

#include <QLocale>

#include "views/pages/scanner/scanner_texts.h"

namespace hl {
namespace {

using Entry = TableInteractions::MenuEntry;
using Action = Entry::Action;

const QString kDot = QStringLiteral(" \u00b7 ");

// A size as the texts write it: its sign, number and unit joined by no-break spaces, so a
// wrapping label never parts them.
QString size(const char* text) {
  return QString::fromUtf8(text).replace(QLatin1Char(' '), QChar::Nbsp);
}

TEST(ScannerTexts, FiguresCarryTheApproximatePrefixOnlyWhenAsked) {
  const QString files = QLocale().toString(12345LL);
  EXPECT_EQ(ScannerTexts::folderTotals(1'200'000, 12345, false),
            size("1.2 MB") + kDot + files + QStringLiteral(" files"));
  EXPECT_EQ(ScannerTexts::folderTotals(0, 0, true),
            size("\u2248 0 bytes") + kDot + QStringLiteral("0 files"));
  EXPECT_EQ(ScannerTexts::progressLine(12345, 2'000, true),
            files + QStringLiteral(" items") + kDot + size("\u2248 2 KB"));
  EXPECT_EQ(ScannerTexts::progressLine(3, 0, false),
            QStringLiteral("3 items") + kDot + size("0 bytes"));
  // The selection counts in plain digits, never grouped.
  EXPECT_EQ(ScannerTexts::selectionLine(12345, 5'000'000'000),
            QStringLiteral("12345 items") + kDot + size("5 GB"));
  EXPECT_EQ(ScannerTexts::headerSize(1'500, true), size("\u2248 2 KB"));
}

TEST(ScannerTexts, SelectionButtonAndEmptyStateWords) {
  EXPECT_EQ(ScannerTexts::selectionButtonTitle(true, true), QStringLiteral("Read-only mode"));
  EXPECT_EQ(ScannerTexts::selectionButtonTitle(false, true),
            QStringLiteral("Delete Selected Immediately\u2026"));
  EXPECT_EQ(ScannerTexts::selectionButtonTitle(false, false),
            QStringLiteral("Move Selected to Trash\u2026"));
  EXPECT_EQ(ScannerTexts::emptyDescription(std::nullopt),
            QStringLiteral(
                "See what takes up space, largest first. Symbolic links are not followed."));
  EXPECT_EQ(ScannerTexts::emptyDescription("Could not read this folder."),
            QStringLiteral("Could not read this folder."));
}

TEST(ScannerTexts, MenuNamesItsEntriesAndLocksRemovalWhileItCannotRun) {
  struct Case {
    std::size_t ids;
    bool readOnly;
    bool trashing;
    RemovalMode mode;
    std::string copyTitle;
    std::string removeTitle;
    bool removeEnabled;
  };
  for (const Case& c : {
           Case{1, false, false, RemovalMode::trash, "Copy Path", "Move to Trash\u2026", true},
           Case{2, false, false, RemovalMode::trash, "Copy Paths", "Move to Trash\u2026", true},
           Case{3, false, false, RemovalMode::deletePermanently, "Copy Paths",
                "Delete Immediately\u2026", true},
           Case{1, true, false, RemovalMode::trash, "Copy Path", "Move to Trash\u2026", false},
           Case{2, false, true, RemovalMode::trash, "Copy Paths", "Move to Trash\u2026", false},
       }) {
    const auto entries = ScannerTexts::menu(c.ids, c.readOnly, c.trashing, c.mode);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0], (Entry{Action::reveal, "Open Containing Folder", true, false}));
    EXPECT_EQ(entries[1], (Entry{Action::copyPaths, c.copyTitle, true, false}));
    EXPECT_EQ(entries[2].action, Action::divider);
    EXPECT_EQ(entries[3], (Entry{Action::remove, c.removeTitle, c.removeEnabled, true}))
        << c.ids << c.readOnly << c.trashing;
  }
  EXPECT_TRUE(ScannerTexts::menu(0, false, false, RemovalMode::trash).empty());
}

FileNode leaf(const std::string& path, std::int64_t size) {
  return FileNode(path, std::nullopt, size, false, false, 1);
}

TEST(ScannerTexts, SheetTitlesRowsTotalAndLockedWarning) {
  const std::vector<FileNode> one{leaf("/home/ada/code/big.iso", 3000)};
  const std::vector<FileNode> three{leaf("/home/ada/code/a", 1000), leaf("/home/ada/b", 2000),
                                    leaf("/srv/c", 500)};
  struct Case {
    const std::vector<FileNode>* plan;
    RemovalMode mode;
    int refused;
    std::string title;
    std::vector<std::string> warnings;
  };
  const std::string locked =
      " selected item(s) are locked (in use, protected, review-only or an unclean worktree) and "
      "are left out.";
  for (const Case& c : {
           Case{&one, RemovalMode::trash, 0, "Move 1 item to the Trash?", {}},
           Case{&one, RemovalMode::deletePermanently, 1, "Delete 1 item permanently?",
                {"1" + locked}},
           Case{&three, RemovalMode::trash, 2, "Move 3 items to the Trash?", {"2" + locked}},
           Case{&three, RemovalMode::deletePermanently, 0, "Delete 3 items permanently?", {}},
       }) {
    const auto contents =
        ScannerTexts::sheetContents(*c.plan, c.mode, c.refused, false, "/home/ada");
    EXPECT_EQ(contents.title, c.title);
    EXPECT_EQ(contents.warnings, c.warnings);
    EXPECT_TRUE(contents.notes.empty());
    EXPECT_EQ(contents.isPermanent, c.mode == RemovalMode::deletePermanently);
    ASSERT_EQ(contents.rows.size(), c.plan->size());
  }
  const auto contents = ScannerTexts::sheetContents(three, RemovalMode::trash, 0, true, "/home/ada");
  EXPECT_TRUE(contents.isReadOnly);
  EXPECT_EQ(contents.totalSize, 3500);
  EXPECT_EQ(contents.rows[0].id, "/home/ada/code/a");
  EXPECT_EQ(contents.rows[0].name, "a");
  EXPECT_EQ(contents.rows[0].detail, "~/code/a");
  EXPECT_EQ(contents.rows[1].detail, "~/b");
  EXPECT_EQ(contents.rows[2].detail, "/srv/c");
  EXPECT_EQ(contents.rows[2].size, 500);
  EXPECT_TRUE(contents.rows[0].tags.empty());
  EXPECT_EQ(ScannerTexts::planKey(three), "/home/ada/code/a|/home/ada/b|/srv/c");
}

TEST(ScannerTexts, APreviewTakesAtMostFiftyIdsInTheSelectionsOrder) {
  std::set<std::string> selection;
  for (int i = 0; i < 80; ++i) selection.insert("/t/" + std::to_string(1000 + i));
  const auto ids = ScannerTexts::previewIDs(selection);
  ASSERT_EQ(ids.size(), 50u);
  EXPECT_EQ(ids.front(), "/t/1000");
  EXPECT_EQ(ids.back(), "/t/1049");
  EXPECT_EQ(ScannerTexts::previewIDs({"/a", "/b"}), (std::vector<std::string>{"/a", "/b"}));
}

}  // namespace
}  // namespace hl
