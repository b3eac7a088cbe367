#include "views/home/items_table_model.h"

#include <QStringList>
#include <algorithm>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/item_row_texts.h"
#include "views/shared/text.h"

namespace hl {

ItemsTableModel::ItemsTableModel(CleanerViewModel& cleaner, QObject* parent)
    : QAbstractListModel(parent), cleaner_(cleaner) {
  refresh();
}

int ItemsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(ids_.size());
}

std::optional<CacheItem> ItemsTableModel::item(int row) const {
  if (row < 0 || row >= rowCount()) return std::nullopt;
  return cleaner_.item(id(row));
}

QVariant ItemsTableModel::data(const QModelIndex& index, int role) const {
  if (role == idRole && index.isValid() && index.row() < rowCount()) return qtext(id(index.row()));
  const std::optional<CacheItem> shown = item(index.isValid() ? index.row() : -1);
  if (!shown) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return qtext(shown->name);
    case Qt::AccessibleDescriptionRole: {
      // What a sighted user reads across the row: where it is, how large, and why it cannot be
      // ticked when it cannot.
      QStringList parts{qtext(shown->subtitle)};
      const auto size = ItemRowTexts::sizeCell(*shown, cleaner_.needsFullDiskAccess());
      if (!size.text.empty()) parts.append(qtext(size.text));
      if (!shown->isSelectable()) {
        parts.append(qtext(ItemRowTexts::leadingCell(*shown, cleaner_.home()).text));
      }
      return parts.join(QStringLiteral(", "));
    }
    case Qt::CheckStateRole:
      if (!shown->isSelectable()) return {};
      return cleaner_.isChecked(shown->id) ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

bool ItemsTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid()) return false;
  const std::optional<CacheItem> shown = item(index.row());
  if (!shown || !shown->isSelectable()) return false;
  cleaner_.setChecked(shown->id, value.value<Qt::CheckState>() == Qt::Checked);
  return true;
}

Qt::ItemFlags ItemsTableModel::flags(const QModelIndex& index) const {
  const std::optional<CacheItem> shown = item(index.isValid() ? index.row() : -1);
  if (!shown) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled;
  if (shown->isSelectable()) result |= Qt::ItemIsUserCheckable;
  return result;
}

int ItemsTableModel::rowOf(const std::string& wanted) const {
  const auto found = std::find(ids_.begin(), ids_.end(), wanted);
  return found == ids_.end() ? -1 : static_cast<int>(found - ids_.begin());
}

void ItemsTableModel::refresh() {
  std::vector<std::string> next = cleaner_.visibleIDs();
  const std::optional<CacheItem> first = next.empty() ? std::nullopt : cleaner_.item(next.front());
  largest_ = first ? first->knownSize() : 0;
  if (next != ids_) {
    beginResetModel();
    ids_ = std::move(next);
    endResetModel();
    return;
  }
  // The same rows: any of them may show something new (a size, a chip, the bars' scale).
  if (!ids_.empty()) emit dataChanged(index(0), index(rowCount() - 1));
}

void ItemsTableModel::checksChanged() {
  if (ids_.empty()) return;
  emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
}

}  // namespace hl
