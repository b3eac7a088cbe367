#include "views/home/items_table_model.h"

#include <QStringList>

#include "utilities/byte_formatting.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/item_row_texts.h"
#include "views/shared/text.h"

namespace hl {

ItemsTableModel::ItemsTableModel(CleanerViewModel& cleaner, QObject* parent)
    : QAbstractListModel(parent), cleaner_(cleaner) {
  refresh();
}

int ItemsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

QVariant ItemsTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const CacheItem& shown = item(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return qtext(shown.name);
    case Qt::AccessibleDescriptionRole: {
      // What a sighted user reads across the row: where it is, what it is and how large.
      QStringList parts{qtext(shown.subtitle)};
      const auto size = ItemRowTexts::sizeCell(shown, cleaner_.needsFullDiskAccess());
      if (!size.text.empty()) parts.append(qtext(size.text));
      if (!shown.isSelectable()) {
        parts.append(qtext(ItemRowTexts::leadingCell(shown, {}).text));
      }
      return parts.join(QStringLiteral(", "));
    }
    case Qt::CheckStateRole:
      if (!shown.isSelectable()) return {};
      return cleaner_.isChecked(shown.id) ? Qt::Checked : Qt::Unchecked;
    case idRole:
      return qtext(shown.id);
    default:
      return {};
  }
}

bool ItemsTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= rowCount()) return false;
  const CacheItem& shown = item(index.row());
  if (!shown.isSelectable()) return false;
  cleaner_.setChecked(shown.id, value.value<Qt::CheckState>() == Qt::Checked);
  return true;
}

Qt::ItemFlags ItemsTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= rowCount()) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled;
  if (item(index.row()).isSelectable()) result |= Qt::ItemIsUserCheckable;
  return result;
}

int ItemsTableModel::rowOf(const std::string& id) const {
  const auto found = rows_.find(id);
  return found == rows_.end() ? -1 : found->second;
}

std::vector<std::string> ItemsTableModel::ids() const {
  std::vector<std::string> result;
  result.reserve(items_.size());
  for (const CacheItem& shown : items_) result.push_back(shown.id);
  return result;
}

std::int64_t ItemsTableModel::largest() const {
  return items_.empty() ? 0 : items_.front().knownSize();
}

void ItemsTableModel::refresh() {
  std::vector<CacheItem> next = cleaner_.visibleItems();
  bool sameRows = next.size() == items_.size();
  for (std::size_t i = 0; sameRows && i < next.size(); ++i) {
    sameRows = next[i].id == items_[i].id;
  }
  if (!sameRows) {
    beginResetModel();
    items_ = std::move(next);
    rows_.clear();
    rows_.reserve(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) rows_.emplace(items_[i].id, static_cast<int>(i));
    endResetModel();
    return;
  }
  const std::int64_t largestBefore = largest();
  int first = -1;
  int last = -1;
  for (std::size_t i = 0; i < next.size(); ++i) {
    if (next[i] == items_[i]) continue;
    items_[i] = std::move(next[i]);
    if (first < 0) first = static_cast<int>(i);
    last = static_cast<int>(i);
  }
  // Every size bar is measured against the first row.
  if (largest() != largestBefore && !items_.empty()) {
    first = 0;
    last = rowCount() - 1;
  }
  if (first >= 0) emit dataChanged(index(first), index(last));
}

void ItemsTableModel::checksChanged() {
  if (items_.empty()) return;
  emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
}

}  // namespace hl
