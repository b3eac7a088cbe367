#include "views/home/items_table.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/item_row_texts.h"
#include "views/home/items_table_header.h"
#include "views/home/items_table_model.h"
#include "views/home/table_interactions.h"
#include "views/shared/accessibility.h"
#include "views/shared/coalesced_update.h"
#include "views/shared/palette_colors.h"
#include "views/shared/scroll_bar_look.h"
#include "views/shared/spinner.h"
#include "views/shared/text.h"

namespace hl {

namespace {

bool actsOnRelease(ItemRowGeometry::Area area) {
  using Area = ItemRowGeometry::Area;
  return area == Area::checkbox || area == Area::reviewButton || area == Area::accessHint;
}

}  // namespace

// --- The list ------------------------------------------------------------------------------------

ItemsListView::ItemsListView(ItemsTable& table, QWidget* parent)
    : QListView(parent), table_(table) {
  setSelectionMode(QAbstractItemView::NoSelection);
  setUniformItemSizes(true);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setMouseTracking(true);
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  verticalScrollBar()->setSingleStep(ItemRowDelegate::rowPitch / 2);
  ScrollBarLook::apply(verticalScrollBar());
}

void ItemsListView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const QModelIndex index = indexAt(event->position().toPoint());
  press_.reset();
  if (!index.isValid()) return;
  // The keyboard goes to the row clicked, also by a right click: what the row's menu does (an
  // Exclude, say) then leaves it on the row's neighbour, not on the first row.
  setCurrentIndex(index);
  if (event->button() != Qt::LeftButton) {
    // A right click only opens the menu; the highlight stays.
    return;
  }
  const auto area = table_.hitArea(index.row(), event->position());
  if (actsOnRelease(area)) {
    press_ = Press{index.row(), area};
    return;
  }
  table_.clickRow(index.row(), event->modifiers());
}

void ItemsListView::mouseReleaseEvent(QMouseEvent* event) {
  const std::optional<Press> press = std::exchange(press_, std::nullopt);
  if (!press || event->button() != Qt::LeftButton) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid() || index.row() != press->row) return;
  if (table_.hitArea(index.row(), event->position()) == press->area) {
    table_.pressArea(index.row(), press->area, event->modifiers());
  }
}

void ItemsListView::mouseDoubleClickEvent(QMouseEvent* event) {
  // A quick second click is a click of its own: a check box ticks and unticks again.
  mousePressEvent(event);
}

void ItemsListView::mouseMoveEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  setHovered(index.isValid() ? index.row() : -1);
}

void ItemsListView::setHovered(int row) {
  ItemRowDelegate* delegate = table_.delegate();
  const int before = delegate->hoveredRow();
  if (before == row) return;
  delegate->setHoveredRow(row);
  if (before >= 0) update(model()->index(before, 0));
  if (row >= 0) update(model()->index(row, 0));
}

bool ItemsListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) setHovered(-1);
  return QListView::viewportEvent(event);
}

void ItemsListView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::SelectAll)) {
    table_.selectAll();
    return;
  }
  const QModelIndex current = currentIndex();
  if (current.isValid()) {
    switch (event->key()) {
      case Qt::Key_Space:
        table_.pressArea(current.row(), ItemRowGeometry::Area::checkbox, event->modifiers());
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        table_.clickRow(current.row(), event->modifiers());
        return;
      default:
        break;
    }
  }
  QListView::keyPressEvent(event);
}

void ItemsListView::contextMenuEvent(QContextMenuEvent* event) {
  QModelIndex index;
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Mouse) {
    index = indexAt(event->pos());
  } else {
    index = currentIndex();
    if (index.isValid()) at = viewport()->mapToGlobal(visualRect(index).center());
  }
  if (!index.isValid()) return;
  table_.openContextMenu(index.row(), at);
}

void ItemsListView::paintEvent(QPaintEvent* event) {
  ItemRowDelegate* delegate = table_.delegate();
  delegate->clearDrewSpinner();
  QListView::paintEvent(event);
  // The shared timer turns the spinners while one is on screen; only a paint of the whole
  // viewport can tell that none is left.
  if (delegate->drewSpinner()) {
    SpinnerTicker::shared().attach(viewport());
  } else if (event->rect().contains(viewport()->rect())) {
    SpinnerTicker::shared().detach(viewport());
  }
}

// --- The table -----------------------------------------------------------------------------------

ItemsTable::ItemsTable(CleanerViewModel& cleaner, QWidget* parent)
    : QWidget(parent), cleaner_(cleaner) {
  model_ = new ItemsTableModel(cleaner_, this);
  // A scan step announces the visible list and the ticks together: the box follows once.
  headerState_ = new CoalescedUpdate(this, [this] { updateHeaderState(); });
  delegate_ = new ItemRowDelegate(cleaner_, *model_, this);
  header_ = new ItemsTableHeader(this);
  list_ = new ItemsListView(*this, this);
  list_->setModel(model_);
  list_->setItemDelegate(delegate_);
  list_->setAccessibleName(QStringLiteral("Items"));
  list_->viewport()->installEventFilter(this);
  setFocusProxy(list_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header_);
  layout->addWidget(list_, 1);

  header_->checkBox()->setAction([this] {
    cleaner_.toggleAllVisible();
    return cleaner_.visibleCheckState();
  });
  presenter_ = [](QMenu& menu, QPoint at) { menu.exec(at); };

  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &ItemsTable::rememberScroll);
  connect(model_, &QAbstractItemModel::modelReset, this, &ItemsTable::restoreScroll);
  connect(&cleaner_, &CleanerViewModel::visibleItemsChanged, this, [this] {
    model_->refresh();
    headerState_->request();
  });
  connect(&cleaner_, &CleanerViewModel::checkStateChanged, this, [this] {
    model_->checksChanged();
    headerState_->request();
    announceCurrentCheck();
  });
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { currentCheck_ = currentCheck(); });
  const auto repaint = [this] { list_->viewport()->update(); };
  connect(&cleaner_, &CleanerViewModel::tableSelectionChanged, this, repaint);
  connect(&cleaner_, &CleanerViewModel::selectedGroupChanged, this, repaint);
  connect(&cleaner_, &CleanerViewModel::fullDiskAccessChanged, this, repaint);
  updateColumnLayout();
  updateHeaderState();
}

ItemsTable::~ItemsTable() { SpinnerTicker::shared().detach(list_->viewport()); }

void ItemsTable::setMenuPresenter(MenuPresenter presenter) { presenter_ = std::move(presenter); }

void ItemsTable::setOpenAccessSettings(std::function<void()> open) {
  openAccessSettings_ = std::move(open);
}

void ItemsTable::setClock(WallClock clock) {
  model_->setClock(clock);
  delegate_->setClock(std::move(clock));
  list_->viewport()->update();
}

const ColumnLayout& ItemsTable::columnLayout() const { return delegate_->columnLayout(); }

ItemRowGeometry ItemsTable::rowGeometry(int row) const {
  return delegate_->geometry(QRectF(list_->visualRect(model_->index(row, 0))), list_);
}

ItemRowGeometry::Area ItemsTable::hitArea(int row, QPointF point) const {
  const std::optional<CacheItem> item = model_->item(row);
  if (!item) return ItemRowGeometry::Area::none;
  return rowGeometry(row).hit(point, *item, cleaner_.needsFullDiskAccess());
}

bool ItemsTable::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize) updateColumnLayout();
  return QWidget::eventFilter(watched, event);
}

std::optional<std::pair<std::string, bool>> ItemsTable::currentCheck() const {
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid() || current.row() >= model_->rowCount()) return std::nullopt;
  const std::string& id = model_->id(current.row());
  return std::pair{id, cleaner_.isChecked(id)};
}

void ItemsTable::announceCurrentCheck() {
  // The row the keyboard is on says its new state itself, as a check box does when ticked.
  const auto now = currentCheck();
  if (now == currentCheck_) return;
  const bool sameRow = now && currentCheck_ && now->first == currentCheck_->first;
  currentCheck_ = now;
  if (!sameRow) return;
  QAccessible::State changed;
  changed.checked = true;
  Accessibility::announceCurrentRow(list_, changed);
}

void ItemsTable::updateColumnLayout() {
  // The width inside the list wins over the table's own: a scroll bar takes its share.
  // The Size column fits the widest size text in the font the rows draw it in.
  const ColumnLayout layout(std::min(width(), list_->viewport()->width()),
                            widestSizeText(sizedFont(list_->font(), 13)));
  if (layout == delegate_->columnLayout()) return;
  delegate_->setColumnLayout(layout);
  header_->setColumnLayout(layout);
  list_->viewport()->update();
}

void ItemsTable::updateHeaderState() {
  const CleanerViewModel::BulkCheckState state = cleaner_.visibleCheckState();
  header_->checkBox()->setBulkState(state);
  // Some row can be ticked: one is ticked already, or one can still be.
  header_->checkBox()->setEnabled(state != CleanerViewModel::BulkCheckState::none ||
                                  cleaner_.canSelectAllVisible());
}

void ItemsTable::rememberScroll() {
  savedScroll_ = list_->verticalScrollBar()->value();
  const QModelIndex current = list_->currentIndex();
  savedCurrent_.reset();
  if (current.isValid() && current.row() < model_->rowCount()) {
    savedCurrent_ = SavedCurrent{model_->id(current.row()), current.row()};
  }
}

void ItemsTable::restoreScroll() {
  delegate_->setHoveredRow(-1);
  if (savedCurrent_ && model_->rowCount() > 0) {
    // A row that left (excluded, removed) leaves the keyboard on the row that took its place,
    // or on the one above when it was the last, not on no row at all.
    int row = model_->rowOf(savedCurrent_->id);
    if (row < 0) row = std::min(savedCurrent_->row, model_->rowCount() - 1);
    list_->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
  }
  // The list lays its rows out later; the bar's range is right once it has.
  list_->doItemsLayout();
  list_->verticalScrollBar()->setValue(savedScroll_);
}

void ItemsTable::clickRow(int row, Qt::KeyboardModifiers modifiers) {
  if (row < 0 || row >= model_->rowCount()) return;
  const std::string id = model_->id(row);
  const auto result = TableInteractions::select(id, model_->ids(), cleaner_.tableSelection(),
                                                modifiers.testFlag(Qt::ControlModifier),
                                                modifiers.testFlag(Qt::ShiftModifier));
  cleaner_.setTableSelection(result.selection);
  if (result.showDetails) {
    cleaner_.setDetailItemID(*result.showDetails);
    cleaner_.setTab(HomeTab::details);
    emit detailsOpened();
  }
}

void ItemsTable::pressArea(int row, ItemRowGeometry::Area area, Qt::KeyboardModifiers modifiers) {
  const std::optional<CacheItem> found = model_->item(row);
  if (!found) return;
  const CacheItem& item = *found;
  using Area = ItemRowGeometry::Area;
  switch (area) {
    case Area::checkbox:
      if (!item.isSelectable()) return;
      cleaner_.setChecked(item.id, !cleaner_.isChecked(item.id),
                          modifiers.testFlag(Qt::ShiftModifier));
      return;
    case Area::reviewButton:
      cleaner_.revealInFinder(std::vector<std::string>{item.id});
      return;
    case Area::accessHint:
      if (openAccessSettings_) openAccessSettings_();
      return;
    default:
      return;
  }
}

void ItemsTable::openContextMenu(int row, QPoint globalPosition) {
  if (row < 0 || row >= model_->rowCount()) return;
  const auto ids = TableInteractions::contextIDs(model_->id(row), cleaner_.tableSelection());
  const std::unique_ptr<QMenu> menu = buildMenu(ids);
  presenter_(*menu, globalPosition);
}

std::unique_ptr<QMenu> ItemsTable::buildMenu(const std::set<std::string>& ids) {
  std::vector<CacheItem> found;
  for (const std::string& id : ids) {
    if (auto item = cleaner_.item(id)) found.push_back(std::move(*item));
  }
  TableInteractions::MenuFacts facts;
  facts.isReadOnly = cleaner_.isReadOnly();
  facts.removalBusy = cleaner_.isRemovalBusy();
  facts.removalMode = cleaner_.removalMode();
  facts.runningActions = cleaner_.runningActions();

  auto menu = std::make_unique<QMenu>(this);
  using Action = TableInteractions::MenuEntry::Action;
  for (const auto& entry : TableInteractions::menu(ids.size(), found, facts)) {
    if (entry.action == Action::divider) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(qtext(entry.title));
    action->setEnabled(entry.enabled);
    // The menu lives only while it is shown; the actions run on the view model as it is then.
    connect(action, &QAction::triggered, this, [this, kind = entry.action, ids, found] {
      switch (kind) {
        case Action::reveal: cleaner_.revealInFinder(ids); break;
        case Action::copyPaths: cleaner_.copyPaths(ids); break;
        case Action::check:
          for (const std::string& id : ids) cleaner_.setChecked(id, true);
          break;
        case Action::uncheck:
          for (const std::string& id : ids) cleaner_.setChecked(id, false);
          break;
        case Action::nativeAction:
          if (found.size() == 1) cleaner_.requestAction(found.front());
          break;
        case Action::exclude: cleaner_.exclude(ids); break;
        case Action::remove: cleaner_.requestTrash(ids); break;
        case Action::divider: break;
      }
    });
  }
  return menu;
}

void ItemsTable::putKeyboardOn(const std::optional<std::string>& id) {
  const int row = id ? model_->rowOf(*id) : -1;
  if (row >= 0) {
    list_->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
  }
  list_->setFocus(Qt::OtherFocusReason);
}

void ItemsTable::selectAll() {
  if (cleaner_.canSelectAllVisible()) cleaner_.selectAllVisible();
}

}  // namespace hl
