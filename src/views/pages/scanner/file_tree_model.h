#pragma once

#include <QAbstractItemModel>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "models/file_node.h"

namespace hl {

class ScannerViewModel;

// The folder scanner's tree as an item model: the measured folder's children are the top-level
// rows and each folder with contents has its children below it. The model reads the view
// model's nodes where they are and keeps nothing per row: a node knows its folder, and its row
// is its place there. It shares the tree it shows, so the nodes stay valid until the next tree
// replaces them, and lets go of a replaced tree off the GUI thread.
class FileTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  enum Role {
    // The row's node (`const FileNode*` as a quintptr).
    NodeRole = Qt::UserRole + 1,
    // The policy's refusal of the row's node, a null variant when it has none.
    RefusalRole,
    // The node's id.
    IDRole,
  };

  // Frees a replaced tree; by default on the application's thread pool.
  using Disposer = std::function<void(std::shared_ptr<const FileNode>)>;

  explicit FileTreeModel(ScannerViewModel& scanner, Disposer disposer = {},
                         QObject* parent = nullptr);
  ~FileTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // The tree on show; null before the first tree and while a scan runs.
  const FileNode* root() const { return root_.get(); }
  static const FileNode* node(const QModelIndex& index);
  // The row of the node with this id; invalid when the tree holds no such node (or it is the
  // measured folder itself).
  QModelIndex indexForID(const std::string& id) const;

 signals:
  // The view model installed another tree; the model has been reset to it.
  void treeReplaced();

 private:
  void replaceTree();
  void refusalsChanged();
  // The children of `node` as rows: a folder's contents when it has any.
  static const std::vector<FileNode>* rows(const FileNode* node);
  QModelIndex indexOf(const FileNode* node) const;

  ScannerViewModel& scanner_;
  Disposer disposer_;
  std::shared_ptr<const FileNode> root_;
  // The refusals the rows showed last, to tell the view which rows changed.
  std::map<std::string, std::string> shownRefusals_;
};

}  // namespace hl
