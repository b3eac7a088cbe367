#include "views/pages/activity_page.h"

#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "viewmodels/activity_log.h"
#include "views/pages/page_column.h"
#include "views/pages/page_dates.h"
#include "views/shared/copyable_rows.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/palette_colors.h"
#include "views/shared/placeholder_overlay.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"
#include "views/shared/wrapped_text.h"

namespace hl {
namespace {

constexpr int kVerticalPadding = 6;
constexpr int kSideInset = 10;
constexpr int kSymbolWidth = 16;
constexpr int kSpacing = 10;

QFont timeFont(const QFont& base) { return sizedFont(base, 11); }

// One line of the log: the kind's symbol in a 16 wide frame, the message wrapped to the width
// left, the time of day at the trailing edge on the message's first line.
class ActivityRowDelegate : public QStyledItemDelegate {
 public:
  explicit ActivityRowDelegate(QListView* view) : QStyledItemDelegate(view), view_(view) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int width = view_->viewport()->width();
    const double height = WrappedText::height(index.data(Qt::DisplayRole).toString(), option.font,
                                              messageWidth(width, option.font, index));
    return {width, static_cast<int>(std::ceil(height)) + 2 * kVerticalPadding};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QPalette& palette = option.palette;
    const QRect row = option.rect;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (option.state & QStyle::State_Selected) {
      QPainterPath shape;
      shape.addRoundedRect(QRectF(row).adjusted(4, 1, -4, -1), 5, 5);
      painter->fillPath(shape, PaletteColors::withOpacity(PaletteColors::accent(palette), 0.22));
    }

    const auto kind = static_cast<ActivityEvent::Kind>(index.data(ActivityEventsModel::kindRole).toInt());
    const QFontMetricsF metrics(option.font);
    const double firstLine = row.top() + kVerticalPadding;
    const double lineCenter = firstLine + metrics.height() / 2;
    const QColor symbolColor = ActivityView::symbolColor(kind, palette);
    const int x = row.left() + kSideInset;
    symbolIcon(systemImage(kind), symbolColor)
        .paint(painter, QRect(x, static_cast<int>(lineCenter - 7), kSymbolWidth, 14));

    const QString time = index.data(ActivityEventsModel::timeRole).toString();
    const QFont small = timeFont(option.font);
    const QFontMetricsF smallMetrics(small);
    const double timeWidth = smallMetrics.horizontalAdvance(time);
    const double timeLeft = row.right() - kSideInset - timeWidth;
    painter->setFont(small);
    painter->setPen(PaletteColors::secondaryText(palette));
    // On the first line's baseline.
    painter->drawText(QPointF(timeLeft, firstLine + metrics.ascent()), time);

    painter->setPen(palette.color(QPalette::Text));
    WrappedText::draw(*painter, index.data(Qt::DisplayRole).toString(), option.font,
                      QPointF(x + kSymbolWidth + kSpacing, firstLine),
                      messageWidth(row.width(), option.font, index));
    painter->restore();
  }

 private:
  static double messageWidth(int rowWidth, const QFont& font, const QModelIndex& index) {
    const double time =
        QFontMetricsF(timeFont(font)).horizontalAdvance(index.data(ActivityEventsModel::timeRole).toString());
    return std::max(40.0, rowWidth - 2.0 * kSideInset - kSymbolWidth - 2.0 * kSpacing - time);
  }

  QListView* view_;
};

}  // namespace

ActivitySidebar::ActivitySidebar(ActivityLog& activity, QWidget* parent)
    : PageSidebar(QStringLiteral("Activity"), QStringLiteral("Filter"),
                  SidebarList::Selection::alwaysOne, parent),
      activity_(activity) {
  connect(&activity_, &ActivityLog::eventsChanged, this, &ActivitySidebar::refresh);
  connect(&activity_, &ActivityLog::filterChanged, this, &ActivitySidebar::refresh);
  connect(list(), &SidebarList::chosen, this, [this](const std::optional<QString>& key) {
    if (!key) return;
    activity_.setFilter(key->isEmpty() ? std::nullopt
                                       : activityKindFromRaw(key->toStdString()));
  });
  refresh();
}

void ActivitySidebar::refresh() {
  // "All" is a row of its own, so that some row is always selected.
  std::vector<SidebarList::Row> rows;
  rows.push_back({QString(), QStringLiteral("All"), "bell", {}, activity_.count(std::nullopt)});
  for (ActivityEvent::Kind kind : allActivityKinds) {
    rows.push_back({qtext(rawValue(kind)), qtext(rawValue(kind)), std::string(systemImage(kind)),
                    {}, activity_.count(kind)});
  }
  list()->setRows(std::move(rows));
  const auto filter = activity_.filter();
  list()->showSelection(filter ? qtext(rawValue(*filter)) : QString());
}

ActivityEventsModel::ActivityEventsModel(ActivityLog& activity, QObject* parent)
    : QAbstractListModel(parent), activity_(activity), rows_(activity.filteredEvents()) {
  connect(&activity_, &ActivityLog::eventsChanged, this, &ActivityEventsModel::sync);
  connect(&activity_, &ActivityLog::filterChanged, this, &ActivityEventsModel::sync);
}

void ActivityEventsModel::sync() {
  std::vector<ActivityEvent> now = activity_.filteredEvents();
  const std::size_t added = now.size() >= rows_.size() ? now.size() - rows_.size() : 0;
  // The usual change: lines logged since, on top of the same rows.
  const bool onTop = now.size() >= rows_.size() &&
                     std::equal(rows_.begin(), rows_.end(), now.begin() + static_cast<std::ptrdiff_t>(added));
  if (onTop) {
    if (added == 0) return;
    beginInsertRows({}, 0, static_cast<int>(added) - 1);
    rows_ = std::move(now);
    endInsertRows();
    return;
  }
  beginResetModel();
  rows_ = std::move(now);
  endResetModel();
}

int ActivityEventsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ActivityEventsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const ActivityEvent& event = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case CopyableRows::copyRole: return qtext(event.message);
    case Qt::AccessibleTextRole:
      return qtext(rawValue(event.kind)) + QStringLiteral(", ") + qtext(event.message) +
             QStringLiteral(", ") + PageDates::timeOfDay(event.date);
    case kindRole: return static_cast<int>(event.kind);
    case timeRole: return PageDates::timeOfDay(event.date);
    default: return {};
  }
}

ActivityView::ActivityView(ActivityLog& activity, QWidget* parent) : QWidget(parent) {
  QVBoxLayout* layout = pageColumnLayout(this, 10);
  layout->addWidget(pageTitleLabel(QStringLiteral("Activity"), this));
  QLabel* about =
      plainLabel(QStringLiteral("This session only. Cleanups are also kept in History."), this);
  makeSecondary(about);
  about->setWordWrap(true);
  layout->addWidget(about);

  list_ = new QListView(this);
  list_->setAccessibleName(QStringLiteral("Activity"));
  model_ = new ActivityEventsModel(activity, list_);
  list_->setModel(model_);
  list_->setItemDelegate(new ActivityRowDelegate(list_));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setUniformItemSizes(false);
  list_->setResizeMode(QListView::Adjust);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  CopyableRows::install(list_);
  overlay_ = new PlaceholderOverlay(list_, new EmptyStateView("bell", QStringLiteral("No activity yet")));
  layout->addWidget(list_, 1);

  auto refreshPlaceholder = [this] { overlay_->setShown(model_->rowCount() == 0); };
  connect(model_, &QAbstractItemModel::rowsInserted, this, refreshPlaceholder);
  connect(model_, &QAbstractItemModel::modelReset, this, refreshPlaceholder);
  refreshPlaceholder();
}

QColor ActivityView::symbolColor(ActivityEvent::Kind kind, const QPalette& palette) {
  return kind == ActivityEvent::Kind::error ? PaletteColors::red(palette)
                                            : PaletteColors::secondaryText(palette);
}

bool ActivityView::isPlaceholderShown() const { return overlay_->isShown(); }

QWidget* ActivityView::placeholder() const { return overlay_->placeholder(); }

}  // namespace hl
