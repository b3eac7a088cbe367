#pragma once

#include <QAbstractListModel>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "utilities/time.h"

namespace hl {

class CleanerViewModel;

// The cleaner's visible items, one row each in display order, as the items table shows them.
// It keeps the ids, read once per change of the visible list, and reads each item from the view
// model when it is drawn, so a long list is never copied. When the same ids come back in the
// same order the rows are announced as changed, otherwise the model is reset. Rows are never
// selectable in Qt's sense: the view model owns the highlight and the ticks. A selectable row is
// checkable, so assistive technologies can tick it.
//
// As a screen reader reads a row: a row that can be ticked is named as its check box is,
// "Include " and the item's name, with its check state; any other row by the item's name. Its
// description is what a sighted user reads across it: the status chips' titles, the size and
// where the item is, and, when it cannot be ticked, why (the state chip's help).
class ItemsTableModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role { idRole = Qt::UserRole + 1 };

  explicit ItemsTableModel(CleanerViewModel& cleaner, QObject* parent = nullptr);

  // The date the chips of the rows' descriptions are judged against.
  void setClock(WallClock clock) { clock_ = std::move(clock); }

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The ids in display order.
  const std::vector<std::string>& ids() const { return ids_; }
  const std::string& id(int row) const { return ids_[static_cast<std::size_t>(row)]; }
  // The row's item as the view model holds it now; none when it left the list since.
  std::optional<CacheItem> item(int row) const;
  // -1 when the id is not shown.
  int rowOf(const std::string& id) const;
  // The size the size bars are measured against: the first row's known size.
  std::int64_t largest() const { return largest_; }

  // Reads the visible items again.
  void refresh();
  // The check marks changed: the rows' check states are announced again.
  void checksChanged();

 private:
  QString description(const CacheItem& item) const;

  CleanerViewModel& cleaner_;
  WallClock clock_ = systemWallClock();
  std::vector<std::string> ids_;
  std::int64_t largest_ = 0;
};

}  // namespace hl
