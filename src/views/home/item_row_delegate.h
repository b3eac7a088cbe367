#pragma once

#include <QAbstractItemDelegate>
#include <QFont>
#include <QRectF>
#include <utility>
#include <vector>

#include "utilities/time.h"
#include "views/home/column_layout.h"
#include "views/shared/status_tag_model.h"

namespace hl {

struct CacheItem;
class CleanerViewModel;
class ItemsTableModel;

// Where the parts of one row of the items table lie, from the row's rectangle and the column
// layout: the same rectangles serve painting and the hit test of clicks and tooltips.
struct ItemRowGeometry {
  enum class Area { none, checkbox, reviewButton, leading, name, status, accessHint, size, modified };

  QRectF row;
  QRectF leading;
  // The check box indicator (or the eye button), centred in the leading cell.
  QRectF indicator;
  QRectF name;
  QRectF status;
  QRectF size;
  // Empty without the size bar.
  QRectF sizeBar;
  QRectF sizeText;
  // Empty without the Modified column.
  QRectF modified;

  // `row` without the divider below it.
  static ItemRowGeometry of(const QRectF& row, const ColumnLayout& layout, QSizeF indicator);
  // Which part a point falls in, for a row showing `item` (the check box only on selectable rows,
  // the eye only on review rows, the access hint only where it shows).
  Area hit(QPointF point, const CacheItem& item, bool needsFullDiskAccess) const;
};

// Paints the rows of the items table: the highlight and hover, the leading check box, eye or
// symbol, the name over its subtitle, the status chips (or the compact access hint), the size bar
// and size (or a spinner while unmeasured), and the date. It reads the ticks and the highlight
// from the view model as it paints, so a change of either needs only a repaint.
class ItemRowDelegate : public QAbstractItemDelegate {
  Q_OBJECT

 public:
  ItemRowDelegate(CleanerViewModel& cleaner, ItemsTableModel& model, QObject* parent = nullptr);

  static constexpr int rowHeight = 52;
  // Each row is followed by a one-pixel divider.
  static constexpr int rowPitch = rowHeight + 1;

  void setColumnLayout(const ColumnLayout& layout) { layout_ = layout; }
  const ColumnLayout& columnLayout() const { return layout_; }
  // The row under the pointer, -1 for none.
  void setHoveredRow(int row) { hoveredRow_ = row; }
  int hoveredRow() const { return hoveredRow_; }
  // The date the chips are judged against ("recent" and the like).
  void setClock(WallClock clock) { clock_ = std::move(clock); }

  // Set while painting when a row drew a spinner; the view clears it before each paint.
  bool drewSpinner() const { return drewSpinner_; }
  void clearDrewSpinner() { drewSpinner_ = false; }

  ItemRowGeometry geometry(const QRectF& row, const QWidget* widget) const;
  // The chips the Status cell shows and where: the full row when it fits, else the compact one.
  std::vector<std::pair<QRectF, StatusTagModel>> chips(const CacheItem& item, const QRectF& status,
                                                       const QFont& base) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  // The help shown over a point of a row; empty for none.
  QString helpAt(QPointF point, const QRectF& row, int modelRow, const QWidget* widget) const;

  static QString accessHintTitle();

 private:
  void paintLeading(QPainter& painter, const ItemRowGeometry& g, const CacheItem& item,
                    const QStyleOptionViewItem& option) const;
  void paintName(QPainter& painter, const ItemRowGeometry& g, const CacheItem& item,
                 const QStyleOptionViewItem& option) const;
  void paintStatus(QPainter& painter, const ItemRowGeometry& g, const CacheItem& item,
                   const QStyleOptionViewItem& option) const;
  void paintSize(QPainter& painter, const ItemRowGeometry& g, const CacheItem& item,
                 const QStyleOptionViewItem& option) const;

  CleanerViewModel& cleaner_;
  ItemsTableModel& model_;
  ColumnLayout layout_{0};
  int hoveredRow_ = -1;
  WallClock clock_ = systemWallClock();
  mutable bool drewSpinner_ = false;
};

}  // namespace hl
