#include "views/pages/activity_page.h"

#include <QHash>
#include <QLabel>
#include <QPair>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "viewmodels/activity_log.h"
#include "viewmodels/page.h"
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
    // Every row is measured again whenever the list lays itself out (a new line, a resize); a
    // long log must not be laid out as text each time.
    refreshFont(option.font);
    const int width = view_->viewport()->width();
    const int available = messageWidth(width);
    const QString message = index.data(Qt::DisplayRole).toString();
    const QPair<QString, int> key(message, available);
    auto found = heights_.constFind(key);
    if (found == heights_.constEnd()) {
      if (heights_.size() > 20000) heights_.clear();
      const double height = WrappedText::height(message, option.font, available);
      found = heights_.insert(key, static_cast<int>(std::ceil(height)));
    }
    return {width, *found + 2 * kVerticalPadding};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    refreshFont(option.font);
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
                      messageWidth(row.width()));
    painter->restore();
  }

 private:
  // The message's width beside the widest time of day, so every row wraps at the same width.
  int messageWidth(int rowWidth) const {
    return std::max(40, rowWidth - 2 * kSideInset - kSymbolWidth - 2 * kSpacing - timeWidth_);
  }

  void refreshFont(const QFont& font) const {
    if (font == cachedFont_ && timeWidth_ > 0) return;
    cachedFont_ = font;
    heights_.clear();
    const QFontMetricsF metrics(timeFont(font));
    double widest = 0;
    // Morning and afternoon, with the widest digits, in the locale's own form.
    for (int hour : {10, 22}) {
      const Date sample = Date{} + std::chrono::hours(24 * 365 * 30 + hour) +
                          std::chrono::minutes(58) + std::chrono::seconds(58);
      widest = std::max(widest, metrics.horizontalAdvance(PageDates::timeOfDay(sample, QLocale(), QTimeZone::utc())));
    }
    timeWidth_ = static_cast<int>(std::ceil(widest));
  }

  QListView* view_;
  mutable QHash<QPair<QString, int>, int> heights_;
  mutable QFont cachedFont_;
  mutable int timeWidth_ = 0;
};

}  // namespace

ActivitySidebar::ActivitySidebar(ActivityLog& activity, QWidget* parent)
    : PageSidebar(qtext(title(Page::activity)), QStringLiteral("Filter"),
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
  texts_.reserve(rows_.size());
  for (const ActivityEvent& event : rows_) texts_.push_back(textsOf(event));
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
    std::vector<Texts> texts;
    texts.reserve(now.size());
    for (std::size_t i = 0; i < added; ++i) texts.push_back(textsOf(now[i]));
    // The rows below stay readable until the insertion begins: views ask for them just before.
    beginInsertRows({}, 0, static_cast<int>(added) - 1);
    texts.insert(texts.end(), std::make_move_iterator(texts_.begin()),
                 std::make_move_iterator(texts_.end()));
    rows_ = std::move(now);
    texts_ = std::move(texts);
    endInsertRows();
    return;
  }
  std::vector<Texts> texts;
  texts.reserve(now.size());
  for (const ActivityEvent& event : now) texts.push_back(textsOf(event));
  beginResetModel();
  rows_ = std::move(now);
  texts_ = std::move(texts);
  endResetModel();
}

ActivityEventsModel::Texts ActivityEventsModel::textsOf(const ActivityEvent& event) {
  return {qtext(event.message), PageDates::timeOfDay(event.date)};
}

int ActivityEventsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ActivityEventsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const auto row = static_cast<std::size_t>(index.row());
  const Texts& texts = texts_[row];
  switch (role) {
    case Qt::DisplayRole:
    case CopyableRows::copyRole: return texts.message;
    case Qt::AccessibleTextRole:
      return qtext(rawValue(rows_[row].kind)) + QStringLiteral(", ") + texts.message +
             QStringLiteral(", ") + texts.time;
    case kindRole: return static_cast<int>(rows_[row].kind);
    case timeRole: return texts.time;
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
