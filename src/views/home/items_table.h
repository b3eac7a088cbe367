#pragma once

#include <QListView>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "utilities/time.h"
#include "views/home/column_layout.h"
#include "views/home/item_row_delegate.h"

class QMenu;

namespace hl {

class CleanerViewModel;
class CoalescedUpdate;
class ItemsTable;
class ItemsTableHeader;
class ItemsTableModel;

// The list under the items table's header. Qt's own selection is off: a click on a row's check
// box ticks it (Shift extends from the last ticked row), the eye reveals a review row, and any
// other click highlights rows and opens details as the view model's rules say. The keyboard
// moves a current row: Space ticks it, Return acts as a click, Ctrl+A ticks every selectable
// row, the menu key opens its context menu.
class ItemsListView : public QListView {
  Q_OBJECT

 public:
  ItemsListView(ItemsTable& table, QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void setHovered(int row);

  ItemsTable& table_;
  struct Press {
    int row;
    ItemRowGeometry::Area area;
  };
  std::optional<Press> press_;
};

// The Home page's items table: a header with the select-all box and the column titles over one
// row per visible item of the cleaner, in display order. Which columns show and how wide they
// are follows the width inside the list (its scroll bar left out). The highlight, the ticks and
// the details item live in the view model; so does every action of the context menu.
class ItemsTable : public QWidget {
  Q_OBJECT

 public:
  // `cleaner` must outlive the table.
  explicit ItemsTable(CleanerViewModel& cleaner, QWidget* parent = nullptr);
  ~ItemsTable() override;

  // Shows a built context menu at a screen position; by default it runs the menu there. Tests
  // give their own and pick an entry.
  using MenuPresenter = std::function<void(QMenu& menu, QPoint globalPosition)>;
  void setMenuPresenter(MenuPresenter presenter);
  // The compact Full Disk Access hint's button (a Trash row while access is denied).
  void setOpenAccessSettings(std::function<void()> open);
  // The date the chips are judged against.
  void setClock(WallClock clock);

  CleanerViewModel& cleaner() const { return cleaner_; }
  ItemsTableHeader* header() const { return header_; }
  ItemsListView* listView() const { return list_; }
  ItemsTableModel* model() const { return model_; }
  ItemRowDelegate* delegate() const { return delegate_; }
  const ColumnLayout& columnLayout() const;

  // Where the parts of a shown row lie, in the list's viewport coordinates.
  ItemRowGeometry rowGeometry(int row) const;
  // Which part of a shown row a point (in viewport coordinates) falls in.
  ItemRowGeometry::Area hitArea(int row, QPointF point) const;

  // A click on a row (not on its check box or eye) with these modifier keys.
  void clickRow(int row, Qt::KeyboardModifiers modifiers);
  // A click on a row's check box or eye, or the access hint's button.
  void pressArea(int row, ItemRowGeometry::Area area, Qt::KeyboardModifiers modifiers);
  // The context menu of a row, presented at a screen position.
  void openContextMenu(int row, QPoint globalPosition);
  // The context menu for these ids, as it opens now; the caller shows and owns it.
  std::unique_ptr<QMenu> buildMenu(const std::set<std::string>& ids);
  // Ctrl+A: ticks every selectable visible row; never unticks.
  void selectAll();
  // Gives the list the keyboard, on this item's row when it is listed.
  void putKeyboardOn(const std::optional<std::string>& id);

 signals:
  // A click opened the Details tab for a row's item.
  void detailsOpened();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void updateColumnLayout();
  void updateHeaderState();
  void rememberScroll();
  void restoreScroll();
  // The current row's id and whether it is ticked; none without a current row.
  std::optional<std::pair<std::string, bool>> currentCheck() const;
  void announceCurrentCheck();

  CleanerViewModel& cleaner_;
  ItemsTableModel* model_;
  ItemRowDelegate* delegate_;
  ItemsTableHeader* header_;
  ItemsListView* list_;
  MenuPresenter presenter_;
  std::function<void()> openAccessSettings_;
  // Kept across a reset of the model, so a new order does not move the view.
  CoalescedUpdate* headerState_;
  int savedScroll_ = 0;
  struct SavedCurrent {
    std::string id;
    int row;
  };
  std::optional<SavedCurrent> savedCurrent_;
  std::optional<std::pair<std::string, bool>> currentCheck_;
};

}  // namespace hl
