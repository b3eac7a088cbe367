#include "views/pages/scanner/file_tree_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <map>

#include "viewmodels/scanner/scanner_view_model.h"
#include "views/home/table_interactions.h"
#include "views/pages/scanner/file_tree_model.h"
#include "views/pages/scanner/file_tree_row.h"
#include "views/shared/accessibility.h"
#include "views/shared/palette_colors.h"
#include "views/shared/text.h"

namespace hl {

namespace {

std::optional<FileTreeRow> rowAt(const QModelIndex& index) {
  const FileNode* node = FileTreeModel::node(index);
  if (!node) return std::nullopt;
  const QVariant refusal = index.data(FileTreeModel::RefusalRole);
  return FileTreeRow(*node, refusal.isNull() ? std::nullopt
                                             : std::optional(refusal.toString().toStdString()));
}

}  // namespace

void FileTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  // A chosen row in white on the accent, deep enough for white to read.
  for (const auto group : {QPalette::Active, QPalette::Inactive}) {
    const QColor accent = option.palette.color(group, QPalette::Highlight);
    item.palette.setColor(group, QPalette::Highlight, PaletteColors::fillUnderWhite(accent));
    item.palette.setColor(group, QPalette::HighlightedText, Qt::white);
  }
  // The style draws the selection and hover background; the row draws everything on it.
  item.text.clear();
  item.icon = QIcon();
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
  if (const auto row = rowAt(index)) {
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    row->paint(*painter, option.rect, item.palette, option.font, selected);
  }
}

QSize FileTreeDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
  return {FileTreeRow::iconWidth + FileTreeRow::barWidth + FileTreeRow::sizeWidth +
              4 * FileTreeRow::spacing,
          FileTreeRow::height};
}

bool FileTreeDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip) {
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  }
  const auto row = rowAt(index);
  if (!row) return false;
  QToolTip::showText(event->globalPos(),
                     plainToolTip(row->helpAt(event->pos(), option.rect, option.font)), view,
                     option.rect);
  return true;
}

FileTreeView::FileTreeView(ScannerViewModel& scanner, QWidget* parent)
    : QTreeView(parent), scanner_(scanner), model_(new FileTreeModel(scanner, {}, this)) {
  setModel(model_);
  setItemDelegate(&delegate_);
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setAnimated(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFrameShape(QFrame::NoFrame);
  setMouseTracking(true);
  setTextElideMode(Qt::ElideMiddle);

  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &FileTreeView::takeSelectionFromRows);
  connect(&scanner_, &ScannerViewModel::selectionChanged, this,
          &FileTreeView::showSelectionOfModel);
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &FileTreeView::rememberCurrent);
  connect(model_, &FileTreeModel::treeReplaced, this, &FileTreeView::treeReplaced);
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
    if (const FileNode* node = FileTreeModel::node(index)) expanded_.insert(node->id());
    announceOpened(index);
  });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
    if (const FileNode* node = FileTreeModel::node(index)) expanded_.erase(node->id());
    announceOpened(index);
  });
  if (model_->root()) shownRootID_ = model_->root()->id();
  showSelectionOfModel();
}

std::set<std::string> FileTreeView::selectedIDs() const {
  std::set<std::string> ids;
  for (const QModelIndex& row : selectionModel()->selectedRows()) {
    if (const FileNode* node = FileTreeModel::node(row)) ids.insert(node->id());
  }
  return ids;
}

std::set<std::string> FileTreeView::contextIDs(const QModelIndex& row) const {
  const FileNode* node = FileTreeModel::node(row);
  if (!node) return {};
  return TableInteractions::contextIDs(node->id(), scanner_.selection());
}

void FileTreeView::takeSelectionFromRows() {
  if (syncing_) return;
  scanner_.setSelection(selectedIDs());
}

void FileTreeView::showSelectionOfModel() {
  const std::set<std::string>& wanted = scanner_.selection();
  if (wanted == selectedIDs()) return;
  // Rows of one parent in runs of neighbours, so that selecting thousands of rows stays cheap.
  std::map<QModelIndex, std::vector<int>> rowsByParent;
  for (const std::string& id : wanted) {
    const QModelIndex row = model_->indexForID(id);
    if (row.isValid()) rowsByParent[row.parent()].push_back(row.row());
  }
  QItemSelection selection;
  for (auto& [parent, rows] : rowsByParent) {
    std::sort(rows.begin(), rows.end());
    for (std::size_t start = 0; start < rows.size();) {
      std::size_t end = start;
      while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1) ++end;
      selection.select(model_->index(rows[start], 0, parent), model_->index(rows[end], 0, parent));
      start = end + 1;
    }
  }
  syncing_ = true;
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
  syncing_ = false;
}

void FileTreeView::rememberCurrent() {
  savedCurrent_.reset();
  const QModelIndex current = currentIndex();
  const FileNode* node = FileTreeModel::node(current);
  if (!node) return;
  const FileNode* parent = FileTreeModel::node(current.parent());
  savedCurrent_ = SavedCurrent{node->id(), parent ? parent->id() : std::string(), current.row()};
}

void FileTreeView::treeReplaced() {
  const FileNode* root = model_->root();
  const std::string rootID = root ? root->id() : std::string();
  // The same folder cut after a removal keeps its open folders; another tree starts closed.
  const bool sameTree = rootID == shownRootID_ && !rootID.empty();
  if (!sameTree) expanded_.clear();
  shownRootID_ = rootID;
  const std::set<std::string> reopen = std::exchange(expanded_, {});
  // Ordered by path, so a folder opens before the folders inside it.
  for (const std::string& id : reopen) {
    const QModelIndex row = model_->indexForID(id);
    if (row.isValid()) expand(row);
  }
  showSelectionOfModel();
  const std::optional<SavedCurrent> saved = std::exchange(savedCurrent_, std::nullopt);
  if (sameTree && saved) restoreCurrent(*saved);
}

void FileTreeView::restoreCurrent(const SavedCurrent& saved) {
  // The keyboard's row stays; a row that went leaves it on the row that took its place in the
  // same folder, the one above when it was the last, or on the folder when none is left.
  QModelIndex row = model_->indexForID(saved.id);
  if (!row.isValid()) {
    const QModelIndex parent = saved.parentID.empty() ? QModelIndex()
                                                      : model_->indexForID(saved.parentID);
    if (!saved.parentID.empty() && !parent.isValid()) return;
    const int count = model_->rowCount(parent);
    row = count > 0 ? model_->index(std::min(saved.row, count - 1), 0, parent) : parent;
  }
  if (row.isValid()) selectionModel()->setCurrentIndex(row, QItemSelectionModel::NoUpdate);
}

bool FileTreeView::event(QEvent* event) {
  // Ctrl+A belongs to the list while it has the focus, before any window-wide Select All.
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll)) {
    event->accept();
    return true;
  }
  return QTreeView::event(event);
}

void FileTreeView::announceOpened(const QModelIndex& index) {
  if (index != currentIndex()) return;
  QAccessible::State changed;
  changed.expanded = true;
  Accessibility::announceCurrentRow(this, changed);
}

QItemSelectionModel::SelectionFlags FileTreeView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
  if (!event || event->type() != QEvent::KeyPress) {
    return QTreeView::selectionCommand(index, event);
  }
  const auto* key = static_cast<const QKeyEvent*>(event);
  const bool shift = key->modifiers().testFlag(Qt::ShiftModifier);
  switch (key->key()) {
    case Qt::Key_Space:
    case Qt::Key_Select:
      if (shift) break;
      return QItemSelectionModel::Toggle | QItemSelectionModel::Rows;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      if (!shift) return QItemSelectionModel::NoUpdate;
      break;
    default:
      break;
  }
  return QTreeView::selectionCommand(index, event);
}

void FileTreeView::contextMenuEvent(QContextMenuEvent* event) {
  const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
  const QModelIndex row = fromKeyboard ? currentIndex() : indexAt(event->pos());
  const std::set<std::string> ids = contextIDs(row);
  if (ids.empty()) return;
  const QPoint at = fromKeyboard ? viewport()->mapToGlobal(visualRect(row).bottomLeft())
                                 : event->globalPos();
  emit menuRequested(ids, at);
}

}  // namespace hl
