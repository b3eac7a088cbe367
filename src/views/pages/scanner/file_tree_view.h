#pragma once

#include <QStyledItemDelegate>
#include <QTreeView>
#include <optional>
#include <set>
#include <string>

namespace hl {

class FileTreeModel;
class ScannerViewModel;

// Paints each row of the folder scanner's tree as a `FileTreeRow`, and shows a chip's help over
// the chip and the node's path anywhere else on the row.
class FileTreeDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;
};

// The outline of the measured folder: multiple selection kept in step with the view model's
// `selection` both ways, a context menu request for the rows it applies to, and Ctrl+A taken
// while it has the focus (it selects every visible row, as a list does).
//
// From the keyboard, as in a file manager: the arrows (and Ctrl with them) move the cursor and
// change nothing that would be moved to the Trash; Space (and Ctrl+Space) adds the cursor's row
// to the selection or takes it out; Shift with the arrows selects the range. A folder opened or
// closed from the keyboard says so from its row.
class FileTreeView : public QTreeView {
  Q_OBJECT

 public:
  explicit FileTreeView(ScannerViewModel& scanner, QWidget* parent = nullptr);

  FileTreeModel* treeModel() const { return model_; }
  // The ids of the selected rows.
  std::set<std::string> selectedIDs() const;
  // The ids of the rows a context menu at this row applies to: the whole selection when the row
  // is in it, else the row alone; none for no row.
  std::set<std::string> contextIDs(const QModelIndex& row) const;
  // The ids of the expanded folders.
  const std::set<std::string>& expandedIDs() const { return expanded_; }

 signals:
  // A context menu was asked for at `globalPos` for `ids` (never empty).
  void menuRequested(const std::set<std::string>& ids, const QPoint& globalPos);

 protected:
  bool event(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  struct SavedCurrent {
    std::string id;
    // None for a row of the top level.
    std::string parentID;
    int row;
  };
  void showSelectionOfModel();
  void takeSelectionFromRows();
  void rememberCurrent();
  void treeReplaced();
  void restoreCurrent(const SavedCurrent& saved);
  // A folder of the cursor's row was opened or closed: its row tells assistive tools.
  void announceOpened(const QModelIndex& index);

  ScannerViewModel& scanner_;
  FileTreeModel* model_;
  FileTreeDelegate delegate_;
  // Set while the rows are being made to match the view model, so that it is not echoed back.
  bool syncing_ = false;
  std::set<std::string> expanded_;
  // The keyboard's row across a new tree of the same folder (after a removal).
  std::optional<SavedCurrent> savedCurrent_;
  std::string shownRootID_;
};

}  // namespace hl
