#include "views/pages/history_page.h"

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QHelpEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "utilities/byte_formatting.h"
#include "utilities/path_canonical.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/page.h"
#include "viewmodels/user_home.h"
#include "views/pages/page_column.h"
#include "views/pages/page_dates.h"
#include "views/shared/column_fit.h"
#include "views/shared/copyable_rows.h"
#include "views/shared/eliding_header.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/palette_colors.h"
#include "views/shared/placeholder_overlay.h"
#include "views/shared/status_grammar.h"
#include "views/shared/status_tag.h"
#include "views/shared/text.h"
#include "views/shared/wrapped_text.h"

namespace hl {
namespace {

enum Column { dateColumn, categoryColumn, removalColumn, itemsColumn, freedColumn, failuresColumn };

constexpr int kRemovalRole = Qt::UserRole + 10;
constexpr int kRowInset = 8;
constexpr int kRowPadding = 5;
constexpr int kCaptionPixels = 11;

QString bytes(std::int64_t count) { return qtext(ByteFormatting::string(count)); }

// With the style's own margin, cell texts line up with the header's.
constexpr int kCellPadding = 5;
constexpr int kHeaderPadding = 8;

// Gives every cell room at both ends.
class PaddedCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(2 * kCellPadding, 0);
  }

  // A text shortened to fit its cell shows whole as a tooltip.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event->type() == QEvent::ToolTip && sizeHint(option, index).width() > option.rect.width()) {
      QToolTip::showText(event->globalPos(), plainToolTip(index.data().toString()), view,
                         option.rect);
      return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem inner = option;
    initStyleOption(&inner, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The row's background across the whole cell, the text inside the padding.
    QStyleOptionViewItem background = inner;
    background.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    inner.rect = option.rect.adjusted(kCellPadding, 0, -kCellPadding, 0);
    inner.backgroundBrush = Qt::NoBrush;
    inner.features &= ~QStyleOptionViewItem::Alternate;
    style->drawControl(QStyle::CE_ItemViewItem, &inner, painter, widget);
  }
};

// Draws the "Removal" column's chip in place of its text.
class RemovalChipDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QSize chip = StatusTag::sizeFor(StatusGrammar::removalTag(index.data(kRemovalRole).toBool()),
                                          option.font);
    return {chip.width() + 16, chip.height() + 8};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, index);
    plain.text.clear();
    const QWidget* widget = option.widget;
    (widget ? widget->style() : QApplication::style())
        ->drawControl(QStyle::CE_ItemViewItem, &plain, painter, widget);
    const StatusTagModel chip = StatusGrammar::removalTag(index.data(kRemovalRole).toBool());
    const QSize size = StatusTag::sizeFor(chip, option.font);
    const QRectF box(option.rect.left() + kHeaderPadding, option.rect.center().y() - size.height() / 2.0 + 0.5,
                     size.width(), size.height());
    StatusTag::paint(*painter, box, chip, option.palette, option.font);
  }
};

// The detail list: section titles in secondary semibold, paths wrapped to the width, a
// failure's message in red under its path.
class DetailRowDelegate : public QStyledItemDelegate {
 public:
  explicit DetailRowDelegate(QListWidget* list) : QStyledItemDelegate(list), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int width = list_->viewport()->width();
    const double text = width - 2.0 * kRowInset;
    const QString shown = index.data(Qt::DisplayRole).toString();
    switch (kind(index)) {
      case HistoryView::RowKind::section: {
        const int above = index.row() == 0 ? 4 : 14;
        return {width, above + static_cast<int>(QFontMetricsF(sectionFont(option.font)).height()) + 4};
      }
      case HistoryView::RowKind::path:
        return {width, static_cast<int>(std::ceil(WrappedText::height(shown, option.font, text))) +
                           2 * kRowPadding};
      case HistoryView::RowKind::failure: {
        const double path = WrappedText::height(shown, option.font, text);
        const double message = WrappedText::height(index.data(HistoryView::messageRole).toString(),
                                                   captionFont(option.font), text);
        return {width, static_cast<int>(std::ceil(path + 2 + message)) + 2 * kRowPadding};
      }
    }
    return {width, 24};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QPalette& palette = option.palette;
    const QRect row = option.rect;
    const QString shown = index.data(Qt::DisplayRole).toString();
    const double width = row.width() - 2.0 * kRowInset;
    painter->save();
    if (kind(index) == HistoryView::RowKind::section) {
      const QFont font = sectionFont(option.font);
      painter->setFont(font);
      painter->setPen(PaletteColors::secondaryText(palette));
      const QFontMetricsF metrics(font);
      painter->drawText(QRectF(row.left() + kRowInset, row.bottom() - 3 - metrics.height(), width,
                               metrics.height()),
                        Qt::AlignLeft | Qt::AlignVCenter, shown);
      painter->restore();
      return;
    }
    if (option.state & QStyle::State_Selected) {
      painter->fillRect(row, PaletteColors::withOpacity(PaletteColors::accent(palette), 0.22));
    }
    const QPointF start(row.left() + kRowInset, row.top() + kRowPadding);
    painter->setPen(palette.color(QPalette::Text));
    WrappedText::draw(*painter, shown, option.font, start, width);
    if (kind(index) == HistoryView::RowKind::failure) {
      const double below = WrappedText::height(shown, option.font, width) + 2;
      painter->setPen(PaletteColors::textOn(PaletteColors::red(palette), palette));
      WrappedText::draw(*painter, index.data(HistoryView::messageRole).toString(),
                        captionFont(option.font), start + QPointF(0, below), width);
    }
    painter->restore();
  }

 private:
  static HistoryView::RowKind kind(const QModelIndex& index) {
    return static_cast<HistoryView::RowKind>(index.data(HistoryView::rowKindRole).toInt());
  }
  static QFont sectionFont(const QFont& base) { return sizedFont(base, 12, QFont::DemiBold); }
  static QFont captionFont(const QFont& base) { return sizedFont(base, kCaptionPixels); }

  QListWidget* list_;
};

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(alignment | Qt::AlignVCenter);
  item->setFlags(Qt::ItemIsEnabled);
  return item;
}

QListWidgetItem* detailRow(QListWidget* list, HistoryView::RowKind kind, const QString& text) {
  auto* item = new QListWidgetItem(text, list);
  item->setData(HistoryView::rowKindRole, static_cast<int>(kind));
  if (kind == HistoryView::RowKind::section) item->setFlags(Qt::ItemIsEnabled);
  return item;
}

std::optional<QString> keyOf(const std::optional<UUID>& id) {
  if (!id) return std::nullopt;
  return qtext(id->uuidString());
}

}  // namespace

HistorySidebar::HistorySidebar(HistoryViewModel& history, QWidget* parent)
    : PageSidebar(qtext(title(Page::history)), QStringLiteral("Cleanups"),
                  SidebarList::Selection::deselectable, parent),
      history_(history) {
  setEmptyText(QStringLiteral("No cleanups yet"));
  connect(&history_, &HistoryViewModel::entriesChanged, this, &HistorySidebar::refresh);
  connect(&history_, &HistoryViewModel::selectedEntryIDChanged, this,
          &HistorySidebar::showSelected);
  connect(list(), &SidebarList::chosen, this, [this](const std::optional<QString>& key) {
    history_.setSelectedEntryID(key ? UUID::parse(key->toStdString()) : std::nullopt);
  });
  refresh();
}

void HistorySidebar::refresh() {
  const auto& entries = history_.entries();
  std::vector<SidebarList::Row> rows;
  rows.reserve(entries.size());
  // Newest first by the file's order, whatever the dates say.
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    rows.push_back({qtext(entry->id.uuidString()), qtext(entry->category), {},
                    HistoryView::sidebarCaption(*entry), 0});
  }
  list()->setRows(std::move(rows));
  setEmptyTextShown(entries.empty());
  showSelected();
}

void HistorySidebar::showSelected() { list()->showSelection(keyOf(history_.selectedEntryID())); }

HistoryView::HistoryView(HistoryViewModel& history, QWidget* parent)
    : QWidget(parent), history_(history) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  stack_ = new QStackedWidget(this);
  stack_->addWidget(buildTable());
  stack_->addWidget(buildDetails());
  layout->addWidget(stack_);
  connect(&history_, &HistoryViewModel::entriesChanged, this, [this] {
    refreshTable();
    refreshMode();
  });
  connect(&history_, &HistoryViewModel::selectedEntryIDChanged, this, &HistoryView::refreshMode);
  refreshTable();
  refreshMode();
}

QWidget* HistoryView::buildTable() {
  auto* page = new QWidget(this);
  QVBoxLayout* column = pageColumnLayout(page, 10);
  column->addWidget(pageTitleLabel(QStringLiteral("History"), page));
  location_ = plainLabel(QStringLiteral("Every cleanup is appended to ") +
                             qtext(abbreviatedPath(history_.fileURL(), userHomeFolder())) +
                             QStringLiteral("."),
                         page);
  location_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  location_->setWordWrap(true);
  makeSecondary(location_);
  column->addWidget(location_);

  table_ = new QTableWidget(0, 6, page);
  table_->setHorizontalHeader(new ElidingHeader(Qt::Horizontal, kHeaderPadding, table_));
  table_->setAccessibleName(QStringLiteral("Cleanups"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Category"),
                                     QStringLiteral("Removal"), QStringLiteral("Items"),
                                     QStringLiteral("Freed"), QStringLiteral("Failures")});
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  // Tab leaves the table, as it leaves every list; the arrows move between its cells.
  table_->setTabKeyNavigation(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSortingEnabled(false);
  table_->setShowGrid(false);
  table_->setAlternatingRowColors(true);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideRight);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(28);
  table_->setItemDelegate(new PaddedCellDelegate(table_));
  table_->setItemDelegateForColumn(removalColumn, new RemovalChipDelegate(table_));
  QHeaderView* header = table_->horizontalHeader();
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setStyleSheet(
      QStringLiteral("QHeaderView::section { padding-left: %1px; padding-right: %1px; }")
          .arg(kHeaderPadding));
  for (int column : {itemsColumn, freedColumn, failuresColumn}) {
    table_->horizontalHeaderItem(column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  // Sized by `fitColumns` to the width the table has, never past it while that can be helped.
  header->setSectionResizeMode(QHeaderView::Fixed);
  header->setMinimumSectionSize(1);
  table_->viewport()->installEventFilter(this);
  overlay_ = new PlaceholderOverlay(table_,
                                    new EmptyStateView("doc.text", QStringLiteral("No cleanups yet")));
  column->addWidget(table_, 1);
  return page;
}

QWidget* HistoryView::buildDetails() {
  auto* page = new QWidget(this);
  QVBoxLayout* column = pageColumnLayout(page, 10);
  auto* heading = new QHBoxLayout;
  heading->setSpacing(8);
  category_ = pageTitleLabel(QString(), page);
  heading->addWidget(category_, 0, Qt::AlignVCenter);
  removal_ = new StatusTag(StatusGrammar::removalTag(false), page);
  heading->addWidget(removal_, 0, Qt::AlignVCenter);
  heading->addStretch(1);
  column->addLayout(heading);

  summary_ = plainLabel(QString(), page);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  summary_->setWordWrap(true);
  makeSecondary(summary_);
  column->addWidget(summary_);

  details_ = new QListWidget(page);
  details_->setAccessibleName(QStringLiteral("Items"));
  details_->setItemDelegate(new DetailRowDelegate(details_));
  details_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  details_->setUniformItemSizes(false);
  details_->setResizeMode(QListView::Adjust);
  details_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  details_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  CopyableRows::install(details_);
  column->addWidget(details_, 1);
  return page;
}

void HistoryView::refreshTable() {
  const auto& entries = history_.entries();
  table_->setRowCount(static_cast<int>(entries.size()));
  int row = 0;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry, ++row) {
    const Qt::Alignment digits = Qt::AlignRight;
    table_->setItem(row, dateColumn, cell(PageDates::abbreviated(entry->date)));
    auto* category = cell(qtext(entry->category));
    category->setToolTip(plainToolTip(entry->category));
    table_->setItem(row, categoryColumn, category);
    const StatusTagModel chip = StatusGrammar::removalTag(entry->permanent);
    auto* removal = cell(qtext(chip.title));
    removal->setData(kRemovalRole, entry->permanent);
    removal->setToolTip(plainToolTip(chip.help));
    table_->setItem(row, removalColumn, removal);
    table_->setItem(row, itemsColumn, cell(QString::number(entry->itemPaths.size()), digits));
    table_->setItem(row, freedColumn, cell(bytes(entry->bytesFreed), digits));
    table_->setItem(row, failuresColumn, cell(QString::number(entry->failures.size()), digits));
  }
  overlay_->setShown(entries.empty());
  fitColumns();
}

void HistoryView::fitColumns() {
  QHeaderView* header = table_->horizontalHeader();
  const QFontMetrics metrics(table_->font());
  // Enough for a letter or two and the ellipsis.
  const int least = metrics.horizontalAdvance(QStringLiteral("Mm\u2026")) + 4 * kCellPadding;
  const int ellipsis = QFontMetrics(header->font()).horizontalAdvance(QChar(0x2026)) +
                       2 * kHeaderPadding + 2;
  std::vector<ColumnFit::Column> columns;
  for (int column = 0; column < table_->columnCount(); ++column) {
    const int title = header->sectionSizeHint(column);
    // Public where the table declares it protected; the table's own answer all the same.
    const int cells = std::max(0, static_cast<QAbstractItemView*>(table_)->sizeHintForColumn(column));
    ColumnFit::Column fit;
    fit.natural = std::max(title, cells);
    if (column == removalColumn) {
      // A chip is never shortened.
      fit.whole = fit.least = cells;
    } else if (column == categoryColumn) {
      // Its cells carry their category as a tooltip: it gives way with the titles, before any
      // other cell is shortened.
      fit.whole = fit.least = std::min(fit.natural, least);
    } else {
      fit.whole = cells;
      fit.least = std::min(cells, least);
    }
    // A shortened title shows its ellipsis at the least.
    fit.least = std::max(fit.least, std::min(fit.natural, ellipsis));
    fit.whole = std::max(fit.whole, fit.least);
    columns.push_back(fit);
  }
  const std::vector<int> widths =
      ColumnFit::widths(columns, table_->viewport()->width(), categoryColumn);
  for (int column = 0; column < table_->columnCount(); ++column) {
    header->resizeSection(column, widths[static_cast<std::size_t>(column)]);
  }
}

bool HistoryView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_->viewport() && event->type() == QEvent::Resize) fitColumns();
  return QWidget::eventFilter(watched, event);
}

void HistoryView::refreshMode() {
  const std::optional<HistoryEntry> entry = history_.selectedEntry();
  if (entry) showEntry(*entry);
  stack_->setCurrentIndex(entry ? 1 : 0);
}

void HistoryView::showEntry(const HistoryEntry& entry) {
  category_->setText(qtext(entry.category));
  removal_->setModel(StatusGrammar::removalTag(entry.permanent));
  summary_->setText(summaryLine(entry));

  details_->clear();
  detailRow(details_, RowKind::section,
            (entry.permanent ? QStringLiteral("Deleted") : QStringLiteral("Trashed")) +
                QStringLiteral(" (") + QString::number(entry.itemPaths.size()) +
                QStringLiteral(")"));
  for (const std::string& path : entry.itemPaths) {
    detailRow(details_, RowKind::path, qtext(path));
  }
  if (!entry.failures.empty()) {
    detailRow(details_, RowKind::section,
              QStringLiteral("Failed (") + QString::number(entry.failures.size()) +
                  QStringLiteral(")"));
    for (const HistoryEntry::Failure& failure : entry.failures) {
      QListWidgetItem* item = detailRow(details_, RowKind::failure, qtext(failure.path));
      item->setData(messageRole, qtext(failure.message));
      item->setData(CopyableRows::copyRole,
                    qtext(failure.path) + QStringLiteral(": ") + qtext(failure.message));
      item->setData(Qt::AccessibleTextRole, item->data(CopyableRows::copyRole));
    }
  }
}

bool HistoryView::showsDetails() const { return stack_->currentIndex() == 1; }

bool HistoryView::isPlaceholderShown() const { return overlay_->isShown(); }

QWidget* HistoryView::placeholder() const { return overlay_->placeholder(); }

QString HistoryView::sidebarCaption(const HistoryEntry& entry) {
  return PageDates::abbreviated(entry.date) + QStringLiteral(" \u00b7 ") + bytes(entry.bytesFreed);
}

QString HistoryView::summaryLine(const HistoryEntry& entry) {
  return PageDates::complete(entry.date) + QStringLiteral(" \u00b7 ") + bytes(entry.bytesFreed) +
         QStringLiteral(" ") +
         (entry.permanent ? QStringLiteral("deleted permanently") : QStringLiteral("moved to Trash"));
}

}  // namespace hl
