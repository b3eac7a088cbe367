#include "views/pages/scanner/file_tree_model.h"

#include <QThreadPool>

#include "utilities/byte_formatting.h"
#include "viewmodels/scanner/scanner_view_model.h"
#include "views/pages/scanner/file_tree_row.h"
#include "views/shared/text.h"

namespace hl {

namespace {

void disposeOnThreadPool(std::shared_ptr<const FileNode> tree) {
  if (!tree) return;
  // A tree of a few hundred thousand nodes takes a while to free: not on the GUI thread.
  QThreadPool::globalInstance()->start([tree = std::move(tree)]() mutable { tree.reset(); });
}

}  // namespace

FileTreeModel::FileTreeModel(ScannerViewModel& scanner, Disposer disposer, QObject* parent)
    : QAbstractItemModel(parent),
      scanner_(scanner),
      disposer_(disposer ? std::move(disposer) : Disposer(disposeOnThreadPool)) {
  root_ = scanner_.rootNode();
  shownRefusals_ = scanner_.refusals();
  connect(&scanner_, &ScannerViewModel::rootChanged, this, &FileTreeModel::replaceTree);
  connect(&scanner_, &ScannerViewModel::refusalsChanged, this, &FileTreeModel::refusalsChanged);
}

FileTreeModel::~FileTreeModel() {
  if (root_) disposer_(std::move(root_));
}

const std::vector<FileNode>* FileTreeModel::rows(const FileNode* node) {
  return node ? node->outlineChildren() : nullptr;
}

const FileNode* FileTreeModel::node(const QModelIndex& index) {
  return index.isValid() ? static_cast<const FileNode*>(index.internalPointer()) : nullptr;
}

QModelIndex FileTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const FileNode* parentNode = parent.isValid() ? node(parent) : root_.get();
  const std::vector<FileNode>* children = rows(parentNode);
  if (!children || row >= static_cast<int>(children->size())) return {};
  const FileNode* child = &(*children)[static_cast<std::size_t>(row)];
  return createIndex(row, 0, const_cast<FileNode*>(child));
}

QModelIndex FileTreeModel::parent(const QModelIndex& child) const {
  const FileNode* childNode = node(child);
  if (!childNode || childNode->parent() == root_.get()) return {};
  return indexOf(childNode->parent());
}

QModelIndex FileTreeModel::indexOf(const FileNode* node) const {
  // A node knows its folder, and its row is its place among the folder's children.
  const std::vector<FileNode>* siblings = node ? rows(node->parent()) : nullptr;
  if (!siblings) return {};
  const auto row = node - siblings->data();
  return createIndex(static_cast<int>(row), 0, const_cast<FileNode*>(node));
}

int FileTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const std::vector<FileNode>* children = rows(parent.isValid() ? node(parent) : root_.get());
  return children ? static_cast<int>(children->size()) : 0;
}

int FileTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool FileTreeModel::hasChildren(const QModelIndex& parent) const {
  return rows(parent.isValid() ? node(parent) : root_.get()) != nullptr;
}

QVariant FileTreeModel::data(const QModelIndex& index, int role) const {
  const FileNode* shown = node(index);
  if (!shown) return {};
  switch (role) {
    case Qt::DisplayRole:
      return qtext(shown->name());
    case Qt::ToolTipRole:
      return plainToolTip(shown->id());
    case Qt::AccessibleTextRole:
      return FileTreeRow(*shown, scanner_.refusal(shown->id())).accessibleText();
    case Qt::SizeHintRole:
      return QSize(0, FileTreeRow::height);
    case NodeRole:
      return QVariant::fromValue(reinterpret_cast<quintptr>(shown));
    case RefusalRole: {
      const auto refusal = scanner_.refusal(shown->id());
      return refusal ? QVariant(qtext(*refusal)) : QVariant();
    }
    case IDRole:
      return qtext(shown->id());
    default:
      return {};
  }
}

QModelIndex FileTreeModel::indexForID(const std::string& id) const {
  const FileNode* target = scanner_.node(id);
  if (!target || !root_ || target == root_.get() || scanner_.rootNode() != root_) return {};
  return indexOf(target);
}

void FileTreeModel::replaceTree() {
  std::shared_ptr<const FileNode> next = scanner_.rootNode();
  if (next == root_) return;
  beginResetModel();
  std::shared_ptr<const FileNode> old = std::exchange(root_, std::move(next));
  shownRefusals_ = scanner_.refusals();
  endResetModel();
  if (old) disposer_(std::move(old));
  emit treeReplaced();
}

void FileTreeModel::refusalsChanged() {
  const std::map<std::string, std::string>& current = scanner_.refusals();
  std::vector<std::string> changed;
  // Both maps are ordered by id: one pass finds the ids added, removed or changed.
  auto a = shownRefusals_.begin();
  auto b = current.begin();
  while (a != shownRefusals_.end() || b != current.end()) {
    if (b == current.end() || (a != shownRefusals_.end() && a->first < b->first)) {
      changed.push_back((a++)->first);
    } else if (a == shownRefusals_.end() || b->first < a->first) {
      changed.push_back((b++)->first);
    } else {
      if (a->second != b->second) changed.push_back(a->first);
      ++a;
      ++b;
    }
  }
  shownRefusals_ = current;
  // Row by row while there are few; beyond that one range of rows per folder: a view looks each
  // single row up among all the rows it shows, where a range is simply repainted.
  constexpr std::size_t kSingleRows = 64;
  std::map<const FileNode*, std::pair<int, int>> ranges;
  for (const std::string& id : changed) {
    const QModelIndex row = indexForID(id);
    if (!row.isValid()) continue;
    if (changed.size() <= kSingleRows) {
      emit dataChanged(row, row, {RefusalRole, Qt::AccessibleTextRole});
      continue;
    }
    auto [range, added] = ranges.try_emplace(node(row)->parent(), row.row(), row.row());
    if (!added) {
      range->second.first = std::min(range->second.first, row.row());
      range->second.second = std::max(range->second.second, row.row());
    }
  }
  for (const auto& [folder, range] : ranges) {
    const QModelIndex parent = folder == root_.get() ? QModelIndex() : indexOf(folder);
    emit dataChanged(index(range.first, 0, parent), index(range.second, 0, parent),
                     {RefusalRole, Qt::AccessibleTextRole});
  }
}

}  // namespace hl
