#pragma once

#include <QAbstractListModel>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "models/cache_item.h"

namespace hl {

class CleanerViewModel;

// The cleaner's visible items, one row each in display order, as the items table shows them. It
// keeps a copy read once per change of the visible list: when the same ids come back in the same
// order only the rows that changed are announced, otherwise the model is reset. Rows are never
// selectable in Qt's sense: the view model owns the highlight and the ticks. A selectable row is
// checkable, so assistive technologies can tick it.
class ItemsTableModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role { idRole = Qt::UserRole + 1 };

  explicit ItemsTableModel(CleanerViewModel& cleaner, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const std::vector<CacheItem>& items() const { return items_; }
  const CacheItem& item(int row) const { return items_[static_cast<std::size_t>(row)]; }
  // -1 when the id is not shown.
  int rowOf(const std::string& id) const;
  // The ids in display order.
  std::vector<std::string> ids() const;
  // The size the size bars are measured against: the first row's known size.
  std::int64_t largest() const;

  // Reads the visible items again.
  void refresh();
  // The check marks changed: the rows' check states are announced again.
  void checksChanged();

 private:
  CleanerViewModel& cleaner_;
  std::vector<CacheItem> items_;
  std::unordered_map<std::string, int> rows_;
};

}  // namespace hl
