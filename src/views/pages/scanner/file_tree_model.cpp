#include "views/pages/scanner/file_tree_model.h"

#include <QThreadPool>

#include "utilities/byte_formatting.h"
#include "utilities/path_relation.h"
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
  parents_.try_emplace(child, parentNode);
  return createIndex(row, 0, const_cast<FileNode*>(child));
}

QModelIndex FileTreeModel::parent(const QModelIndex& child) const {
  const FileNode* childNode = node(child);
  if (!childNode) return {};
  const auto found = parents_.find(childNode);
  if (found == parents_.end() || found->second == root_.get()) return {};
  const FileNode* parentNode = found->second;
  const auto grand = parents_.find(parentNode);
  if (grand == parents_.end()) return {};
  return indexOf(parentNode, grand->second);
}

QModelIndex FileTreeModel::indexOf(const FileNode* node, const FileNode* parent) const {
  const std::vector<FileNode>* siblings = rows(parent);
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
  if (!target || !root_ || target == root_.get()) return {};
  if (const auto known = parents_.find(target); known != parents_.end()) {
    return indexOf(target, known->second);
  }
  // Not handed out yet: go down from the measured folder by whole path components.
  const FileNode* parent = root_.get();
  while (const std::vector<FileNode>* children = rows(parent)) {
    const FileNode* next = nullptr;
    for (const FileNode& child : *children) {
      if (PathRelation::isSameOrDescendant(target->id(), child.id())) {
        next = &child;
        break;
      }
    }
    if (!next) return {};
    parents_.try_emplace(next, parent);
    if (next == target) return indexOf(target, parent);
    parent = next;
  }
  return {};
}

void FileTreeModel::replaceTree() {
  std::shared_ptr<const FileNode> next = scanner_.rootNode();
  if (next == root_) return;
  beginResetModel();
  std::shared_ptr<const FileNode> old = std::exchange(root_, std::move(next));
  parents_.clear();
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
  for (const std::string& id : changed) {
    // Only rows the view has asked for can be on screen.
    const FileNode* target = scanner_.node(id);
    const auto known = target ? parents_.find(target) : parents_.end();
    if (known == parents_.end()) continue;
    const QModelIndex row = indexOf(target, known->second);
    emit dataChanged(row, row, {RefusalRole, Qt::AccessibleTextRole});
  }
}

}  // namespace hl
