#include "views/shared/sidebar_list.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "views/shared/palette_colors.h"
#include "views/shared/placeholder_overlay.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {
namespace {

enum Role { keyRole = Qt::UserRole + 1, symbolRole, captionRole, badgeRole };

constexpr int kInset = 8;

QFont titleFont(const QFont& base, bool twoLines) {
  return sizedFont(base, 13, twoLines ? QFont::Medium : QFont::Normal);
}

QFont captionFont(const QFont& base) { return sizedFont(base, 11); }

// Draws a row as a sidebar does: no lines, a rounded highlight for the selected row, the
// symbol in the accent colour, the badge at the trailing edge.
class SidebarRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool twoLines = !index.data(captionRole).toString().isEmpty();
    return {option.rect.width(), twoLines ? SidebarList::twoLineHeight
                                          : SidebarList::singleLineHeight};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QPalette& palette = option.palette;
    const QRectF row = QRectF(option.rect).adjusted(kInset, 1, -kInset, -1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (option.state & QStyle::State_Selected) {
      const bool focused = option.state & QStyle::State_HasFocus ||
                           (option.widget && option.widget->hasFocus());
      QPainterPath shape;
      shape.addRoundedRect(row, 6, 6);
      painter->fillPath(shape, focused ? PaletteColors::withOpacity(PaletteColors::accent(palette), 0.22)
                                       : PaletteColors::primary(palette, 0.09));
    }

    double x = row.left() + 8;
    const double right = row.right() - 8;
    const std::string symbol = index.data(symbolRole).toString().toStdString();
    if (!symbol.empty()) {
      const QRectF box(x, row.center().y() - 8, 16, 16);
      symbolIcon(symbol, PaletteColors::accent(palette)).paint(painter, box.toRect());
      x += 16 + 8;
    }

    double textRight = right;
    const int badge = index.data(badgeRole).toInt();
    if (badge > 0) {
      const QFont font = captionFont(option.font);
      const QString text = QString::number(badge);
      const double width =
          std::max<double>(20, QFontMetricsF(font).horizontalAdvance(text) + 12);
      const QRectF pill(right - width, row.center().y() - 8, width, 16);
      QPainterPath capsule;
      capsule.addRoundedRect(pill, 8, 8);
      painter->fillPath(capsule, PaletteColors::primary(palette, 0.08));
      painter->setFont(font);
      painter->setPen(PaletteColors::secondaryText(palette));
      painter->drawText(pill, Qt::AlignCenter, text);
      textRight = pill.left() - 6;
    }

    const QString title = index.data(Qt::DisplayRole).toString();
    const QString caption = index.data(captionRole).toString();
    const double width = std::max(0.0, textRight - x);
    painter->setPen(palette.color(QPalette::WindowText));
    if (caption.isEmpty()) {
      const QFont font = titleFont(option.font, false);
      painter->setFont(font);
      painter->drawText(QRectF(x, row.top(), width, row.height()), Qt::AlignVCenter | Qt::AlignLeft,
                        QFontMetricsF(font).elidedText(title, Qt::ElideRight, width));
    } else {
      const QFont top = titleFont(option.font, true);
      const QFont bottom = captionFont(option.font);
      const double topHeight = QFontMetricsF(top).height();
      const double bottomHeight = QFontMetricsF(bottom).height();
      const double y = row.center().y() - (topHeight + 2 + bottomHeight) / 2;
      painter->setFont(top);
      painter->drawText(QRectF(x, y, width, topHeight), Qt::AlignVCenter | Qt::AlignLeft,
                        QFontMetricsF(top).elidedText(title, Qt::ElideRight, width));
      painter->setFont(bottom);
      painter->setPen(PaletteColors::secondaryText(palette));
      painter->drawText(QRectF(x, y + topHeight + 2, width, bottomHeight),
                        Qt::AlignVCenter | Qt::AlignLeft,
                        QFontMetricsF(bottom).elidedText(caption, Qt::ElideRight, width));
    }
    painter->restore();
  }
};

}  // namespace

SidebarList::SidebarList(Selection selection, QWidget* parent)
    : QListWidget(parent), selection_(selection) {
  setItemDelegate(new SidebarRowDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The sidebar's own background shows through.
  viewport()->setAutoFillBackground(false);
  setAutoFillBackground(false);
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (!quiet_) emit chosen(selectedKey());
  });
}

void SidebarList::describe(QListWidgetItem* item, const Row& row) const {
  item->setData(Qt::DisplayRole, row.title);
  item->setData(keyRole, row.key);
  item->setData(symbolRole, QString::fromStdString(row.symbol));
  item->setData(captionRole, row.caption);
  item->setData(badgeRole, row.badge);
  QString spoken = row.title;
  if (!row.caption.isEmpty()) spoken += QStringLiteral(", ") + row.caption;
  if (row.badge > 0) spoken += QStringLiteral(", ") + QString::number(row.badge);
  item->setData(Qt::AccessibleTextRole, spoken);
}

void SidebarList::setRows(std::vector<Row> rows) {
  bool sameKeys = rows.size() == rows_.size();
  for (std::size_t i = 0; sameKeys && i < rows.size(); ++i) sameKeys = rows[i].key == rows_[i].key;
  quiet_ = true;
  if (sameKeys) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] == rows_[i]) continue;
      describe(item(static_cast<int>(i)), rows[i]);
    }
  } else {
    clear();
    for (const Row& row : rows) {
      auto* entry = new QListWidgetItem(this);
      describe(entry, row);
    }
  }
  quiet_ = false;
  rows_ = std::move(rows);
}

void SidebarList::showSelection(const std::optional<QString>& key) {
  if (selectedKey() == key) return;
  quiet_ = true;
  const int row = key ? rowOf(*key) : -1;
  if (row >= 0) {
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
  } else {
    clearSelection();
  }
  quiet_ = false;
}

std::optional<QString> SidebarList::selectedKey() const {
  const auto items = selectedItems();
  if (items.isEmpty()) return std::nullopt;
  return items.first()->data(keyRole).toString();
}

int SidebarList::rowOf(const QString& key) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].key == key) return static_cast<int>(i);
  }
  return -1;
}

QItemSelectionModel::SelectionFlags SidebarList::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
  if (selection_ == Selection::alwaysOne) {
    if (!index.isValid()) return QItemSelectionModel::NoUpdate;
    if (event && event->type() == QEvent::MouseButtonRelease) return QItemSelectionModel::NoUpdate;
    return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
  }
  return QListWidget::selectionCommand(index, event);
}

void SidebarList::mousePressEvent(QMouseEvent* event) {
  if (selection_ == Selection::deselectable && !indexAt(event->position().toPoint()).isValid() &&
      !selectedItems().isEmpty()) {
    clearSelection();
  }
  QListWidget::mousePressEvent(event);
}

void SidebarList::keyPressEvent(QKeyEvent* event) {
  if (selection_ == Selection::deselectable && event->key() == Qt::Key_Escape &&
      event->modifiers() == Qt::NoModifier && !selectedItems().isEmpty()) {
    clearSelection();
    leaveNoCurrentRow();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier &&
      selectedItems().isEmpty() && count() > 0) {
    // The keyboard is on the list itself, on no row: the first Down chooses the first row.
    setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void SidebarList::paintEvent(QPaintEvent* event) {
  QListWidget::paintEvent(event);
  if (!hasFocus() || !selectedItems().isEmpty()) return;
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::Antialiasing);
  PaletteColors::drawFocusRing(painter, palette(),
                               QRectF(viewport()->rect()).adjusted(kInset - 3, 1, 3 - kInset, -1), 6);
}

void SidebarList::focusInEvent(QFocusEvent* event) {
  QListWidget::focusInEvent(event);
  // Qt makes the first row current as the keyboard comes in; with nothing chosen that row would
  // read as the one the keyboard is on (a screen reader says it) while the ring shows the whole
  // list, and the first Down would choose it without moving.
  leaveNoCurrentRow();
  viewport()->update();
}

void SidebarList::leaveNoCurrentRow() {
  if (!selectedItems().isEmpty() || !currentIndex().isValid()) return;
  selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void SidebarList::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  viewport()->update();
}

PageSidebar::PageSidebar(const QString& title, const QString& sectionTitle,
                         SidebarList::Selection selection, QWidget* parent)
    : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(new SidebarHeader(title, this));

  section_ = plainLabel(sectionTitle, this);
  section_->setFont(sizedFont(font(), 11, QFont::DemiBold));
  makeSecondary(section_);
  section_->setContentsMargins(16, 4, 16, 4);
  layout->addWidget(section_);

  list_ = new SidebarList(selection, this);
  list_->setAccessibleName(sectionTitle);
  layout->addWidget(list_, 1);
}

void PageSidebar::setEmptyText(const QString& text) {
  if (!emptyText_) {
    emptyText_ = plainLabel(text);
    emptyText_->setAlignment(Qt::AlignCenter);
    emptyText_->setWordWrap(true);
    emptyText_->setFont(sizedFont(font(), 13));
    makeSecondary(emptyText_);
    overlay_ = new PlaceholderOverlay(list_, emptyText_);
  }
  emptyText_->setText(text);
}

void PageSidebar::setEmptyTextShown(bool shown) {
  if (overlay_) overlay_->setShown(shown);
}

bool PageSidebar::isEmptyTextShown() const { return overlay_ && overlay_->isShown(); }

}  // namespace hl
