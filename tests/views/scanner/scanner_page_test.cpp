#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>

#include "scanner_page_harness.h"
#include "views/accessibility_support.h"
#include "support/git_repository.h"
#include "utilities/path_canonical.h"
#include "views/pages/scanner/scanner_folder_chooser.h"
#include "views/pages/scanner/file_tree_row.h"
#include "views/pages/scanner/scanner_texts.h"
#include "views/shared/selectable_text.h"
#include "views/shared/confirm_trash_sheet.h"
#include "views/shared/destructive_button.h"
#include "views/shared/elided_label.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/panel_section.h"
#include "views/shared/result_alert.h"
#include "views/shared/status_grammar.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using test::ScannerPage;
using State = ScannerView::State;

// A folder "t" holding big (16 KB), mid/ (8 KB in mid/inner/deep.bin) and small (4 KB).
void plantTree(test::ScannerFixture& f) {
  f.home.file("t/big", 16000);
  f.home.file("t/mid/inner/deep.bin", 8000);
  f.home.file("t/small", 100);
}

QStringList menuTitles(QMenu& menu) {
  QStringList titles;
  for (QAction* action : menu.actions()) {
    titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  return titles;
}

QAction* menuAction(QMenu& menu, const QString& title) {
  for (QAction* action : menu.actions()) {
    if (action->text() == title) return action;
  }
  return nullptr;
}

TEST(ScannerPage, PaneAndSidebarFollowTheScanFromChoiceToTree) {
  ScannerPage p;
  plantTree(p.f);
  p.show();
  ScannerSidebar& side = *p.sidebar;
  EXPECT_EQ(p.view->state(), State::empty);
  EXPECT_EQ(p.view->emptyState()->titleLabel()->text(), QStringLiteral("Scan any folder"));
  EXPECT_EQ(p.view->emptyState()->messageLabel()->text(),
            ScannerTexts::emptyDescription(std::nullopt));
  EXPECT_FALSE(side.folderSection()->isVisible());
  EXPECT_FALSE(side.progressSection()->isVisible());
  EXPECT_FALSE(side.selectionSection()->isVisible());
  EXPECT_TRUE(side.includeHiddenToggle()->isChecked());

  // The empty state's button asks the chooser; a cancelled choice changes nothing.
  p.view->emptyState()->button()->click();
  EXPECT_EQ(p.view->state(), State::empty);
  p.f.chosen = p.f.home / "t";
  p.view->emptyState()->button()->click();
  EXPECT_EQ(p.view->state(), State::scanning);
  EXPECT_EQ(p.view->scanningState()->titleLabel()->text(), QStringLiteral("Scanning\u2026"));
  EXPECT_EQ(p.view->scanningState()->messageLabel()->text(),
            ScannerTexts::progressLine(0, 0, false));
  EXPECT_TRUE(side.progressSection()->isVisible());
  EXPECT_EQ(side.progressSection()->titleLabel()->text(), QStringLiteral("PROGRESS"));
  EXPECT_EQ(side.currentPath()->text(), QString::fromStdString(p.f.id("t")));
  EXPECT_FALSE(side.chooseFolderButton()->isEnabled());
  EXPECT_TRUE(side.folderSection()->isVisible());
  EXPECT_EQ(side.folderPath()->text(),
            QString::fromStdString(abbreviatedPath(p.f.home / "t", p.f.home.path())));
  EXPECT_FALSE(side.folderTotals()->isVisible());

  p.f.settle();
  EXPECT_EQ(p.view->state(), State::tree);
  EXPECT_TRUE(side.chooseFolderButton()->isEnabled());
  EXPECT_FALSE(side.progressSection()->isVisible());
  const FileNode& root = *p.scanner().root();
  EXPECT_EQ(p.view->titleLabel()->text(), QStringLiteral("t"));
  EXPECT_EQ(p.view->sizeLabel()->text(), ScannerTexts::headerSize(root.size(), false));
  EXPECT_EQ(p.view->pathLabel()->text(), side.folderPath()->text());
  EXPECT_EQ(side.folderTotals()->text(),
            ScannerTexts::folderTotals(root.size(), root.fileCount(), false));
  EXPECT_FALSE(side.skippedSummary()->isVisible());
  EXPECT_EQ(p.model().rowCount(), 3);

  // Unticking the toggle is read by the next scan.
  side.includeHiddenToggle()->click();
  EXPECT_FALSE(p.scanner().includeHidden());
}

TEST(ScannerPage, FailuresStopsAndSkippedFoldersAreShown) {
  {
    ScannerPage p;
    p.showScanned("missing");
    EXPECT_EQ(p.view->state(), State::empty);
    EXPECT_EQ(p.view->emptyState()->messageLabel()->text(),
              QStringLiteral("Could not read this folder."));
  }
  {
    ScannerPage p;
    plantTree(p.f);
    p.show();
    p.scanner().scan(p.f.home / "t");
    p.sidebar->stopButton()->click();
    EXPECT_FALSE(p.scanner().isScanning());
    EXPECT_EQ(p.view->state(), State::empty);
    EXPECT_FALSE(p.sidebar->progressSection()->isVisible());
    EXPECT_TRUE(p.sidebar->folderSection()->isVisible());
    p.f.settle();
  }
  {
    ScannerPage p;
    p.f.home.file("top/disk/x", 10);
    p.f.home.file("top/own", 10);
    const std::string disk = p.f.home / "top/disk";
    p.f.services.boundary = WalkBoundary(&FileFlags::isDataless, [disk](std::string_view path) {
      return std::optional(VolumeIdentifier{path == disk ? 2u : 1u, 0});
    });
    p.showScanned("top");
    const FileNode& root = *p.scanner().root();
    EXPECT_TRUE(p.view->sizeLabel()->text().startsWith(QStringLiteral("\u2248\u00a0")));
    EXPECT_EQ(p.sidebar->folderTotals()->text(),
              ScannerTexts::folderTotals(root.size(), root.fileCount(), true));
    EXPECT_TRUE(p.sidebar->skippedSummary()->isVisible());
    EXPECT_EQ(p.sidebar->skippedSummary()->text(), QStringLiteral("Not included: 1 mounted volume"));
  }
}

TEST(ScannerPage, AnEmptyFolderShowsItsHeaderOverAnEmptyList) {
  ScannerPage p;
  p.f.home.dir("empty");
  p.showScanned("empty");
  EXPECT_EQ(p.view->state(), State::tree);
  EXPECT_EQ(p.view->titleLabel()->text(), QStringLiteral("empty"));
  EXPECT_EQ(p.view->sizeLabel()->text(), QStringLiteral("0\u00a0bytes"));
  EXPECT_EQ(p.model().rowCount(), 0);
  EXPECT_FALSE(p.view->selectAllButton()->isEnabled());
  EXPECT_FALSE(p.view->deselectAllButton()->isEnabled());
}

// The model hands out rows only where the view asks, and stays consistent however deep.
TEST(ScannerPage, ADeepTreeOpensLazilyAndEveryRowFindsItsParent) {
  ScannerPage p;
  std::string deep = "deep";
  for (int level = 0; level < 40; ++level) deep += "/d" + std::to_string(level);
  p.f.home.file(deep + "/leaf.bin", 5000);
  p.f.home.file("deep/side.txt", 10);
  p.f.home.dir("deep/hollow");
  p.showScanned("deep");

  EXPECT_EQ(p.model().rowCount(), 3);
  EXPECT_TRUE(p.model().hasChildren(p.row("deep/d0")));
  // Files and empty folders are leaves without a disclosure control.
  EXPECT_FALSE(p.model().hasChildren(p.row("deep/side.txt")));
  EXPECT_FALSE(p.model().hasChildren(p.row("deep/hollow")));

  const QModelIndex leaf = p.row(deep + "/leaf.bin");
  ASSERT_TRUE(leaf.isValid());
  int depth = 0;
  for (QModelIndex up = leaf.parent(); up.isValid(); up = up.parent()) ++depth;
  EXPECT_EQ(depth, 40);
  EXPECT_EQ(leaf.data(FileTreeModel::IDRole).toString().toStdString(), p.f.id(deep + "/leaf.bin"));
  EXPECT_EQ(p.model().index(0, 0, leaf.parent()), leaf);

  // Opening the path down to the leaf and selecting it there keeps both sides in step.
  for (QModelIndex up = leaf.parent(); up.isValid(); up = up.parent()) p.tree().expand(up);
  p.tree().selectionModel()->select(leaf, QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
  EXPECT_EQ(p.scanner().selection(), (std::set<std::string>{p.f.id(deep + "/leaf.bin")}));
  EXPECT_FALSE(p.model().indexForID(p.f.id("deep")).isValid());  // the folder itself is no row
  EXPECT_FALSE(p.model().indexForID(p.f.id("nowhere")).isValid());
}

TEST(ScannerPage, ATreeReplacedIsLetGoOfOffTheGuiThreadAndItsRowsReset) {
  test::ScannerFixture f;
  plantTree(f);
  f.scanned("t");
  std::vector<std::shared_ptr<const FileNode>> disposed;
  auto model = std::make_unique<FileTreeModel>(
      f.scanner(), [&](std::shared_ptr<const FileNode> tree) { disposed.push_back(tree); });
  QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
  const FileNode* first = model->root();
  ASSERT_NE(first, nullptr);
  const QModelIndex inner = model->indexForID(f.id("t/mid/inner"));
  ASSERT_TRUE(inner.isValid());

  f.home.file("u/x", 10);
  f.scanned("u");
  // Cleared when the scan started, then the new tree.
  EXPECT_EQ(resets.count(), 2);
  ASSERT_EQ(disposed.size(), 1u);
  EXPECT_EQ(disposed[0].get(), first);
  EXPECT_EQ(disposed[0]->id(), f.id("t"));  // still whole until the disposer lets go
  EXPECT_EQ(model->root()->id(), f.id("u"));
  model.reset();
  EXPECT_EQ(disposed.size(), 2u);
}

TEST(ScannerPage, RefusalsRepaintOnlyTheRowsTheyChange) {
  ScannerPage p;
  plantTree(p.f);
  p.f.policy.refusals[p.f.id("t/big")] = "in use: open by node (pid 9)";
  p.showScanned("t");
  EXPECT_EQ(p.row("t/big").data(FileTreeModel::RefusalRole).toString(),
            QStringLiteral("in use: open by node (pid 9)"));
  EXPECT_TRUE(p.row("t/small").data(FileTreeModel::RefusalRole).isNull());
  // "Select All" leaves the locked row out.
  p.view->selectAllButton()->click();
  EXPECT_EQ(p.scanner().selection(), p.ids({"t/mid", "t/small"}));

  QSignalSpy changed(&p.model(), &QAbstractItemModel::dataChanged);
  p.f.policy.refusals.erase(p.f.id("t/big"));
  p.f.policy.refusals[p.f.id("t/small")] = "review-only location";
  p.scanner().previewPolicy({p.f.id("t/big"), p.f.id("t/small"), p.f.id("t/mid")});
  p.f.settle();
  ASSERT_EQ(changed.count(), 2);
  std::set<int> rows;
  for (const auto& args : changed) rows.insert(args[0].toModelIndex().row());
  EXPECT_EQ(rows, (std::set<int>{p.row("t/big").row(), p.row("t/small").row()}));
  EXPECT_TRUE(p.row("t/big").data(FileTreeModel::RefusalRole).isNull());
}

TEST(ScannerPage, SelectionStaysInStepWithTheViewModelBothWays) {
  ScannerPage p;
  plantTree(p.f);
  p.showScanned("t");
  ScannerSidebar& side = *p.sidebar;
  EXPECT_TRUE(p.view->selectAllButton()->isEnabled());
  EXPECT_FALSE(p.view->deselectAllButton()->isEnabled());
  const std::size_t checksBefore = p.f.policy.calls.size();

  p.click("t/big");
  EXPECT_EQ(p.scanner().selection(), p.ids({"t/big"}));
  p.click("t/small", Qt::ControlModifier);
  EXPECT_EQ(p.scanner().selection(), p.ids({"t/big", "t/small"}));
  EXPECT_TRUE(side.selectionSection()->isVisible());
  EXPECT_EQ(side.selectionSection()->titleLabel()->text(), QStringLiteral("SELECTION"));
  const std::int64_t size = p.scanner().selectedSize();
  EXPECT_EQ(side.selectionLine()->text(), ScannerTexts::selectionLine(2, size));
  EXPECT_EQ(side.removeButton()->text(), QStringLiteral("Move Selected to Trash\u2026"));
  EXPECT_TRUE(p.view->deselectAllButton()->isEnabled());
  // Each change is judged again, with the open files left out.
  p.f.settle();
  ASSERT_EQ(p.f.policy.calls.size(), checksBefore + 2);
  EXPECT_FALSE(p.f.policy.calls.back().includeOpenFiles);
  EXPECT_EQ(p.f.policy.calls.back().urls.size(), 2u);

  // From the view model to the rows.
  p.view->selectAllButton()->click();
  EXPECT_EQ(p.tree().selectedIDs(), p.ids({"t/big", "t/mid", "t/small"}));
  EXPECT_FALSE(p.view->selectAllButton()->isEnabled());
  p.view->deselectAllButton()->click();
  EXPECT_TRUE(p.tree().selectedIDs().empty());
  EXPECT_FALSE(side.selectionSection()->isVisible());
  EXPECT_FALSE(p.view->deselectAllButton()->isEnabled());
  // A row deep inside is shown selected too.
  p.scanner().setSelection({p.f.id("t/mid/inner/deep.bin")});
  EXPECT_EQ(p.tree().selectedIDs(), p.ids({"t/mid/inner/deep.bin"}));
}

// From the keyboard as in a file manager: the arrows move the cursor and choose nothing that
// would be moved to the Trash; Space adds the cursor's row or takes it out again; Shift with the
// arrows takes the range. A folder opened or closed there says so from its row.
TEST(ScannerPage, ArrowsMoveTheCursorAndSpaceChoosesRows) {
  test::AccessibilityOn accessibility;
  ScannerPage p;
  plantTree(p.f);
  p.showScanned("t");
  FileTreeView& tree = p.tree();
  tree.setFocus(Qt::TabFocusReason);
  tree.selectionModel()->setCurrentIndex(p.row("t/big"), QItemSelectionModel::NoUpdate);
  const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(&tree, key, modifiers);
    return p.scanner().selection();
  };
  EXPECT_TRUE(press(Qt::Key_Down).empty());
  EXPECT_EQ(tree.currentIndex(), p.row("t/mid"));
  EXPECT_FALSE(p.sidebar->selectionSection()->isVisible());
  EXPECT_EQ(press(Qt::Key_Space), p.ids({"t/mid"}));
  EXPECT_EQ(press(Qt::Key_Down), p.ids({"t/mid"}));
  EXPECT_EQ(press(Qt::Key_Space), p.ids({"t/mid", "t/small"}));
  EXPECT_EQ(press(Qt::Key_Space), p.ids({"t/mid"}));
  EXPECT_EQ(press(Qt::Key_Up, Qt::ControlModifier), p.ids({"t/mid"}));
  EXPECT_EQ(press(Qt::Key_Up, Qt::ControlModifier), p.ids({"t/mid"}));
  EXPECT_EQ(tree.currentIndex(), p.row("t/big"));
  const std::set<std::string> range = press(Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_TRUE(range.count(p.f.id("t/big")) && range.count(p.f.id("t/mid")));

  // Opening and closing the folder under the cursor.
  tree.selectionModel()->setCurrentIndex(p.row("t/mid"), QItemSelectionModel::NoUpdate);
  accessibility.clear();
  press(Qt::Key_Right);
  ASSERT_TRUE(tree.isExpanded(p.row("t/mid")));
  press(Qt::Key_Left);
  ASSERT_FALSE(tree.isExpanded(p.row("t/mid")));
  std::vector<test::Announcement> told;
  for (const test::Announcement& a : accessibility.announcements()) {
    if (a.type == QAccessible::StateChanged && a.name.startsWith(QStringLiteral("mid, "))) {
      told.push_back(a);
    }
  }
  ASSERT_EQ(told.size(), 2u);
  EXPECT_TRUE(told[0].changed.expanded && told[0].state.expanded);
  EXPECT_TRUE(told[1].changed.expanded && !told[1].state.expanded);
}

TEST(ScannerPage, SelectingEightyRowsJudgesFiftyOfThem) {
  ScannerPage p;
  for (int i = 0; i < 80; ++i) p.f.home.file("many/f" + std::to_string(100 + i), 10);
  p.showScanned("many");
  p.tree().setFocus();
  QTest::keyClick(&p.tree(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(p.scanner().selection().size(), 80u);
  p.f.settle();
  EXPECT_EQ(p.f.policy.calls.back().urls.size(), 50u);
  EXPECT_EQ(p.sidebar->selectionLine()->text(),
            ScannerTexts::selectionLine(80, p.scanner().selectedSize()));
}

TEST(ScannerPage, TheSelectionButtonFollowsTheModeReadOnlyAndARunningRemoval) {
  struct Case {
    bool readOnly;
    bool deleteImmediately;
    QString title;
    bool enabled;
  };
  for (const Case& c : {Case{false, false, QStringLiteral("Move Selected to Trash\u2026"), true},
                        Case{false, true, QStringLiteral("Delete Selected Immediately\u2026"), true},
                        Case{true, false, QStringLiteral("Read-only mode"), false}}) {
    ScannerPage p;
    plantTree(p.f);
    if (c.readOnly) p.f.services.gate = DestructiveGate{"read-only mode (-HLMReadOnly)"};
    p.f.settings->setDeleteImmediately(c.deleteImmediately);
    p.showScanned("t");
    p.click("t/small");
    EXPECT_EQ(p.sidebar->removeButton()->text(), c.title);
    // On one line, as the sidebar's other buttons, at its usual width.
    p.sidebar->resize(240, p.sidebar->height());
    QApplication::processEvents();
    const FilledButton::Label label =
        p.sidebar->removeButton()->label(p.sidebar->removeButton()->width());
    EXPECT_EQ(label.block.height(), QFontMetrics(label.font).height()) << c.title.toStdString();
    // Switched on the Settings page: read again when the page shows.
    p.sidebar->hide();
    p.f.settings->setDeleteImmediately(!c.deleteImmediately);
    p.sidebar->show();
    EXPECT_EQ(p.sidebar->removeButton()->text(),
              ScannerTexts::selectionButtonTitle(c.readOnly, !c.deleteImmediately));
    p.f.settings->setDeleteImmediately(c.deleteImmediately);
    p.sidebar->hide();
    p.sidebar->show();
    EXPECT_EQ(p.sidebar->removeButton()->isEnabled(), c.enabled) << c.title.toStdString();
    std::unique_ptr<QMenu> menu(p.view->makeContextMenu(p.scanner().selection()));
    const QString removal = QString::fromUtf8(
        c.deleteImmediately ? "Delete Immediately\u2026" : "Move to Trash\u2026");
    ASSERT_NE(menuAction(*menu, removal), nullptr);
    EXPECT_EQ(menuAction(*menu, removal)->isEnabled(), !c.readOnly);
    EXPECT_TRUE(menuAction(*menu, QStringLiteral("Open Containing Folder"))->isEnabled());
    EXPECT_TRUE(menuAction(*menu, QStringLiteral("Copy Path"))->isEnabled());
  }

  // While a removal runs, neither the button nor the menu asks for another one.
  ScannerPage p;
  plantTree(p.f);
  p.showScanned("t");
  p.click("t/small");
  p.sidebar->removeButton()->click();
  p.f.settle();
  ASSERT_TRUE(p.scanner().pendingPlan());
  std::unique_ptr<QMenu> open(p.view->makeContextMenu(p.ids({"t/big"})));
  p.f.clock.advance(2s);
  p.scanner().confirmTrash(*p.scanner().pendingPlan());
  ASSERT_TRUE(p.scanner().isTrashing());
  p.click("t/big");
  EXPECT_FALSE(p.sidebar->removeButton()->isEnabled());
  std::unique_ptr<QMenu> during(p.view->makeContextMenu(p.ids({"t/big"})));
  EXPECT_FALSE(menuAction(*during, QStringLiteral("Move to Trash\u2026"))->isEnabled());
  // A menu opened before the removal started follows it.
  EXPECT_FALSE(menuAction(*open, QStringLiteral("Move to Trash\u2026"))->isEnabled());
  p.f.settle();
  EXPECT_TRUE(menuAction(*open, QStringLiteral("Move to Trash\u2026"))->isEnabled());
  EXPECT_TRUE(p.sidebar->removeButton()->isEnabled());
}

// A selection whose rows a removal took away asks for nothing: its button is off until a row
// that exists is selected again.
TEST(ScannerPage, TheSelectionButtonIsOffWhileNoSelectedRowExists) {
  ScannerPage p;
  plantTree(p.f);
  p.showScanned("t");
  // A folder and a file inside it: removing the folder takes the file's row with it.
  p.scanner().setSelection(p.ids({"t/mid", "t/mid/inner/deep.bin"}));
  p.f.settle();
  EXPECT_TRUE(p.sidebar->removeButton()->isEnabled());
  p.sidebar->removeButton()->click();
  p.f.settle();
  ASSERT_TRUE(p.scanner().pendingPlan());
  p.f.clock.advance(2s);
  p.scanner().confirmTrash(*p.scanner().pendingPlan());
  p.f.settle();
  ASSERT_FALSE(p.scanner().isTrashing());
  // Nothing of the removed folder stays selected.
  EXPECT_TRUE(p.scanner().selection().empty());
  EXPECT_FALSE(p.sidebar->removeButton()->isEnabled());
  // An id that names no row any more turns the button on no more than an empty selection.
  p.scanner().setSelection(p.ids({"t/mid/inner/deep.bin"}));
  p.f.settle();
  EXPECT_TRUE(p.scanner().selectedNodes().empty());
  EXPECT_TRUE(p.sidebar->removeButton()->isVisibleTo(p.sidebar));
  EXPECT_FALSE(p.sidebar->removeButton()->isEnabled());
  p.click("t/big");
  EXPECT_TRUE(p.sidebar->removeButton()->isEnabled());
}

TEST(ScannerPage, ContextMenuActsOnTheSelectionOrTheClickedRow) {
  ScannerPage p;
  plantTree(p.f);
  p.showScanned("t");
  EXPECT_TRUE(p.tree().contextIDs(QModelIndex()).empty());
  p.click("t/big");
  p.click("t/small", Qt::ControlModifier);
  EXPECT_EQ(p.tree().contextIDs(p.row("t/big")), p.ids({"t/big", "t/small"}));
  EXPECT_EQ(p.tree().contextIDs(p.row("t/mid")), p.ids({"t/mid"}));

  // A right click on a row of the selection asks for a menu over the whole selection.
  QSignalSpy asked(&p.tree(), &FileTreeView::menuRequested);
  const QPoint at = p.tree().visualRect(p.row("t/small")).center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, p.tree().viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(p.tree().viewport(), &event);
  ASSERT_EQ(asked.count(), 1);
  EXPECT_EQ(asked[0][0].value<std::set<std::string>>(), p.ids({"t/big", "t/small"}));

  std::unique_ptr<QMenu> one(p.view->makeContextMenu(p.ids({"t/mid"})));
  EXPECT_EQ(menuTitles(*one), (QStringList{"Open Containing Folder", "Copy Path", "-",
                                           QStringLiteral("Move to Trash\u2026")}));
  std::unique_ptr<QMenu> two(p.view->makeContextMenu(p.ids({"t/small", "t/big"})));
  EXPECT_EQ(menuTitles(*two)[1], QStringLiteral("Copy Paths"));
  EXPECT_EQ(p.view->makeContextMenu({}), nullptr);

  menuAction(*two, QStringLiteral("Copy Paths"))->trigger();
  ASSERT_EQ(p.f.desktop.copied.size(), 1u);
  EXPECT_EQ(p.f.desktop.copied[0], p.f.id("t/big") + "\n" + p.f.id("t/small"));
  menuAction(*two, QStringLiteral("Open Containing Folder"))->trigger();
  ASSERT_EQ(p.f.desktop.revealed.size(), 1u);
  EXPECT_EQ(p.f.desktop.revealed[0].size(), 2u);

  // The removal entry makes its rows the selection and asks for their removal.
  menuAction(*one, QStringLiteral("Move to Trash\u2026"))->trigger();
  EXPECT_EQ(p.scanner().selection(), p.ids({"t/mid"}));
  EXPECT_EQ(p.tree().selectedIDs(), p.ids({"t/mid"}));
  EXPECT_TRUE(p.scanner().isCheckingPolicy());
  p.f.settle();
  EXPECT_TRUE(p.scanner().pendingPlan());
}

TEST(ScannerPage, RemovalGoesThroughTheSheetInTwoSteps) {
  ScannerPage p;
  plantTree(p.f);
  p.f.home.file("t/locked", 50);
  p.showScanned("t");
  p.f.policy.refusals[p.f.id("t/locked")] = "in use: open by vim (pid 7)";
  p.click("t/big");
  p.click("t/small", Qt::ControlModifier);
  p.click("t/locked", Qt::ControlModifier);
  p.sidebar->removeButton()->click();
  EXPECT_EQ(p.view->sheet(), nullptr);
  p.f.settle();

  ConfirmTrashSheet* sheet = p.view->sheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->isVisible());
  const auto& contents = sheet->contents();
  EXPECT_EQ(contents.title, "Move 2 items to the Trash?");
  ASSERT_EQ(contents.rows.size(), 2u);
  EXPECT_EQ(contents.rows[0].id, p.f.id("t/big"));
  EXPECT_EQ(contents.rows[0].detail, abbreviatedPath(p.f.home / "t/big", p.f.home.path()));
  EXPECT_EQ(contents.warnings, ScannerTexts::lockedWarnings(1));
  EXPECT_FALSE(contents.isReadOnly);
  // The locked row shows why.
  EXPECT_FALSE(p.row("t/locked").data(FileTreeModel::RefusalRole).isNull());

  // Not armed yet: the first step alone removes nothing.
  sheet->confirmButton()->click();
  EXPECT_TRUE(p.f.trash.calls.empty());
  p.sheetNow += 1s;
  p.f.clock.advance(1s);
  sheet->refreshArming();
  ASSERT_TRUE(sheet->confirmButton()->isEnabled());
  sheet->confirmButton()->click();
  EXPECT_FALSE(p.scanner().pendingPlan());
  EXPECT_EQ(p.view->sheet(), nullptr);
  p.f.settle();
  ASSERT_EQ(p.f.trash.calls.size(), 1u);
  EXPECT_EQ(p.f.trash.calls[0].size(), 2u);

  // The result arrives in the alert; "OK" clears it.
  ResultAlert* alert = p.view->alert();
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->isVisible());
  EXPECT_EQ(alert->text(), QStringLiteral("Cleanup finished"));
  EXPECT_EQ(alert->message().toStdString(), *p.scanner().resultMessage());
  alert->okButton()->click();
  EXPECT_EQ(p.scanner().resultMessage(), std::nullopt);
  EXPECT_EQ(p.view->alert(), nullptr);
  // The removed rows are gone; the locked one stays, still selected.
  EXPECT_FALSE(p.row("t/big").isValid());
  EXPECT_TRUE(p.row("t/locked").isValid());
  EXPECT_EQ(p.tree().selectedIDs(), p.ids({"t/locked"}));
}

TEST(ScannerPage, CancellingOrDismissingClearsWhatTheViewModelHolds) {
  ScannerPage p;
  plantTree(p.f);
  p.showScanned("t");
  p.click("t/big");
  for (int way = 0; way < 3; ++way) {
    p.scanner().requestTrash();
    p.f.settle();
    ConfirmTrashSheet* sheet = p.view->sheet();
    ASSERT_NE(sheet, nullptr);
    if (way == 0) sheet->cancelButton()->click();
    if (way == 1) QTest::keyClick(sheet, Qt::Key_Escape);
    if (way == 2) p.scanner().setPendingPlan(std::nullopt);
    EXPECT_EQ(p.scanner().pendingPlan(), std::nullopt) << way;
    EXPECT_EQ(p.view->sheet(), nullptr) << way;
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(p.f.trash.calls.empty());

  // A refused request is told in the same alert; Escape dismisses it.
  p.f.policy.refusals[p.f.id("t/big")] = "review-only location";
  p.scanner().requestTrash();
  p.f.settle();
  ASSERT_NE(p.view->alert(), nullptr);
  EXPECT_EQ(p.view->alert()->message(), QStringLiteral("Nothing can be removed: review-only location."));
  QTest::keyClick(p.view->alert(), Qt::Key_Escape);
  EXPECT_EQ(p.scanner().resultMessage(), std::nullopt);
  // A message set while none is shown opens the alert; cleared by the model, it closes.
  p.scanner().setResultMessage("<b>x</b> gone");
  ASSERT_NE(p.view->alert(), nullptr);
  EXPECT_EQ(p.view->alert()->message(), QStringLiteral("<b>x</b> gone"));
  p.scanner().setResultMessage(std::nullopt);
  EXPECT_EQ(p.view->alert(), nullptr);
}

// Ctrl+A in the focused tree selects every visible row, the locked ones too, ahead of a
// window-wide Select All; elsewhere the window's command goes on to the page's own rule.
TEST(ScannerPage, CtrlAInTheTreeSelectsEveryVisibleRow) {
  ScannerPage p;
  plantTree(p.f);
  p.f.policy.refusals[p.f.id("t/big")] = "in use: open by node (pid 9)";
  p.show();
  auto* windowSelectAll = new QAction(QStringLiteral("Select All"), p.window.get());
  windowSelectAll->setShortcut(QKeySequence::SelectAll);
  p.window->addAction(windowSelectAll);
  QSignalSpy windowTook(windowSelectAll, &QAction::triggered);
  p.scanner().scan(p.f.home / "t");
  p.f.settle();
  p.tree().expand(p.row("t/mid"));

  p.view->selectAllButton()->setFocus();
  EXPECT_FALSE(p.view->selectAll());
  EXPECT_TRUE(p.scanner().selection().empty());

  p.tree().setFocus();
  QTest::keyClick(&p.tree(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(windowTook.count(), 0);
  EXPECT_EQ(p.scanner().selection(), p.ids({"t/big", "t/mid", "t/mid/inner", "t/small"}));
  p.scanner().deselectAll();
  EXPECT_TRUE(p.view->selectAll());
  EXPECT_EQ(p.scanner().selection().size(), 4u);
}

// The real policy over a worktree that git made, with work not yet committed.
TEST(ScannerPage, AnAgentWorktreeWithUncommittedWorkIsLockedWithItsChips) {
  if (!test::gitAvailable()) GTEST_SKIP() << "git is not installed";
  ScannerPage p;
  const std::string repository = p.f.home / "proj";
  test::initRepository(repository);
  test::commitFile(repository, "readme.txt", "hi\n");
  test::git(repository, {"worktree", "add", "-q", "-b", "feat", ".claude/worktrees/feat"});
  p.f.home.text("proj/.claude/worktrees/feat/draft.txt", "unsaved\n");
  p.f.services.makePolicy = ScannerServices::standardPolicy(p.f.home.path());
  p.showScanned("proj/.claude/worktrees");

  const QModelIndex row = p.row("proj/.claude/worktrees/feat");
  ASSERT_TRUE(row.isValid());
  const QVariant refusal = row.data(FileTreeModel::RefusalRole);
  ASSERT_FALSE(refusal.isNull());
  const FileTreeRow shown(*FileTreeModel::node(row), refusal.toString().toStdString());
  EXPECT_EQ(shown.tags(), StatusGrammar::tags(refusal.toString().toStdString()));
  EXPECT_FALSE(p.view->selectAllButton()->isEnabled());

  p.click("proj/.claude/worktrees/feat");
  p.sidebar->removeButton()->click();
  p.f.settle();
  EXPECT_EQ(p.view->sheet(), nullptr);
  ASSERT_NE(p.view->alert(), nullptr);
  EXPECT_TRUE(p.view->alert()->message().startsWith(QStringLiteral("Nothing can be removed: ")));
  EXPECT_TRUE(test::existsNoFollow(p.f.home / "proj/.claude/worktrees/feat/draft.txt"));
}

TEST(ScannerPage, OpenFoldersStayOpenWhenRemovedRowsAreCutOut) {
  ScannerPage p;
  p.f.home.file("t/keep/a", 8000);
  p.f.home.file("t/keep/b", 4000);
  p.f.home.file("t/other", 100);
  p.showScanned("t");
  p.tree().expand(p.row("t/keep"));
  p.click("t/keep/a");
  p.scanner().requestTrash();
  p.f.settle();
  p.f.clock.advance(2s);
  p.scanner().confirmTrash(*p.scanner().pendingPlan());
  p.f.settle();
  ASSERT_FALSE(p.row("t/keep/a").isValid());
  EXPECT_TRUE(p.tree().isExpanded(p.row("t/keep")));
  EXPECT_TRUE(p.row("t/keep/b").isValid());

  // Another folder starts closed.
  p.scanner().scan(p.f.home / "t");
  p.f.settle();
  EXPECT_FALSE(p.tree().isExpanded(p.row("t/keep")));
}

TEST(ScannerPage, TheChooserIsAFolderDialogThatScans) {
  auto dialog = ScannerFolderChooser::makeDialog(nullptr, "/home/ada");
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Choose a folder to measure"));
  EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("Scan"));
  EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
  EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
  test::FakeHome home("chooser");
  home.dir("pick");
  dialog->setDirectory(QString::fromStdString(home.path()));
  dialog->selectFile(QString::fromStdString(home / "pick"));
  EXPECT_EQ(ScannerFolderChooser::chosenFolder(*dialog, QDialog::Rejected), std::nullopt);
  EXPECT_EQ(ScannerFolderChooser::chosenFolder(*dialog, QDialog::Accepted), home / "pick");
}

}  // namespace
}  // namespace hl

namespace hl {
namespace {

// Paths have no spaces to break at: the folder's path breaks anywhere and copies as written,
// and the walk's current path keeps both of its ends in two lines.
TEST(ScannerPage, LongPathsBreakAnywhereAndKeepTheirEnds) {
  const QString longPath = QStringLiteral("/srv/") + QString(240, QLatin1Char('x')) +
                           QStringLiteral("/end-of-path");
  SelectableText path(3);
  path.setText(longPath);
  EXPECT_EQ(path.lineCount(200), 3);
  EXPECT_EQ(path.lineCount(100000), 1);
  EXPECT_EQ(path.toPlainText(), longPath);
  EXPECT_TRUE(path.isReadOnly());
  path.setText(QStringLiteral("~/t"));
  EXPECT_EQ(path.lineCount(200), 1);

  ElidedLabel current(longPath);
  current.setMaximumLines(2);
  current.resize(200, current.sizeHint().height());
  const QStringList lines = current.shownLines();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines.front().startsWith(QStringLiteral("/srv/xx")));
  EXPECT_TRUE(lines.back().endsWith(QStringLiteral("/end-of-path")));
  EXPECT_TRUE(current.shownText().contains(QChar(0x2026)));
  for (const QString& line : lines) {
    EXPECT_LE(current.fontMetrics().horizontalAdvance(line), 200);
  }
  current.setText(QStringLiteral("/short"));
  EXPECT_EQ(current.shownLines(), QStringList{QStringLiteral("/short")});
}

}  // namespace
}  // namespace hl
