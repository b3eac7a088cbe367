#include "views/home/item_row_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>

#include "models/cache_item.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/item_row_texts.h"
#include "views/home/items_table_model.h"
#include "views/shared/check_mark.h"
#include "views/shared/palette_colors.h"
#include "views/shared/size_bar.h"
#include "views/shared/spinner.h"
#include "views/shared/status_grammar.h"
#include "views/shared/status_tag.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

namespace {

constexpr double kBarWidth = 64;
constexpr double kBarHeight = 6;
constexpr double kBarGap = 8;
constexpr int kSymbolSide = 14;
constexpr int kSpinnerSide = 12;

QSizeF indicatorSize(const QWidget* widget) {
  const QStyle* style = widget ? widget->style() : QApplication::style();
  return QSizeF(style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget),
                style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, widget));
}

QRectF centred(const QRectF& box, QSizeF size) {
  return QRectF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2,
                size.width(), size.height());
}

// A one-line text shortened in the middle to fit its box.
void drawElided(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                const QColor& color, Qt::Alignment alignment,
                Qt::TextElideMode mode = Qt::ElideMiddle) {
  painter.setFont(font);
  painter.setPen(color);
  const QString shown = QFontMetrics(font).elidedText(text, mode, static_cast<int>(box.width()));
  painter.drawText(box, alignment | Qt::TextSingleLine, shown);
}

QStyleOptionButton accessHintOption(const QRectF& status, const QWidget* widget) {
  QStyleOptionButton option;
  option.text = ItemRowDelegate::accessHintTitle();
  option.state = QStyle::State_Enabled | QStyle::State_Raised;
  const QFontMetrics metrics(widget ? widget->font() : QApplication::font());
  const double width = std::min(status.width(), metrics.horizontalAdvance(option.text) + 24.0);
  option.rect = QRectF(status.left(), status.center().y() - 12, width, 24).toRect();
  return option;
}

}  // namespace

ItemRowGeometry ItemRowGeometry::of(const QRectF& row, const ColumnLayout& layout,
                                    QSizeF indicator) {
  ItemRowGeometry g;
  g.row = row;
  const double top = row.top();
  const double height = row.height();
  double x = row.left() + ColumnLayout::sidePadding;
  g.leading = QRectF(x, top, ColumnLayout::leadingColumn, height);
  g.indicator = centred(g.leading, indicator);
  x += ColumnLayout::leadingColumn + ColumnLayout::spacing;
  g.name = QRectF(x, top, layout.name, height);
  x += layout.name + ColumnLayout::spacing;
  g.status = QRectF(x, top, layout.status, height);
  x += layout.status + ColumnLayout::spacing;
  g.size = QRectF(x, top, layout.sizeColumn(), height);
  g.sizeText = QRectF(g.size.right() - layout.sizeText, top, layout.sizeText, height);
  if (layout.showSizeBar) {
    g.sizeBar = QRectF(g.size.left(), row.center().y() - kBarHeight / 2, kBarWidth, kBarHeight);
  }
  x += layout.sizeColumn();
  if (layout.showModified) {
    x += ColumnLayout::spacing;
    g.modified = QRectF(x, top, ColumnLayout::modifiedColumn, height);
  }
  return g;
}

ItemRowGeometry::Area ItemRowGeometry::hit(QPointF point, const CacheItem& item,
                                           bool needsFullDiskAccess) const {
  if (!row.contains(point)) return Area::none;
  if (leading.contains(point)) {
    // The whole leading cell takes the click, as a platform check box's label area would.
    const auto cell = ItemRowTexts::leadingCell(item, {});
    if (cell.kind == ItemRowTexts::LeadingCell::Kind::checkbox) return Area::checkbox;
    if (cell.kind == ItemRowTexts::LeadingCell::Kind::reviewButton) return Area::reviewButton;
    return Area::leading;
  }
  if (name.contains(point)) return Area::name;
  if (status.contains(point)) {
    if (ItemRowTexts::showsAccessHint(item, needsFullDiskAccess) &&
        accessHintOption(status, nullptr).rect.contains(point.toPoint())) {
      return Area::accessHint;
    }
    return Area::status;
  }
  if (size.contains(point)) return Area::size;
  if (!modified.isEmpty() && modified.contains(point)) return Area::modified;
  return Area::none;
}

ItemRowDelegate::ItemRowDelegate(CleanerViewModel& cleaner, ItemsTableModel& model,
                                 QObject* parent)
    : QAbstractItemDelegate(parent), cleaner_(cleaner), model_(model) {}

QString ItemRowDelegate::accessHintTitle() {
  return QStringLiteral("Open Full Disk Access Settings\u2026");
}

ItemRowGeometry ItemRowDelegate::geometry(const QRectF& row, const QWidget* widget) const {
  return ItemRowGeometry::of(QRectF(row.left(), row.top(), row.width(), rowHeight), layout_,
                             indicatorSize(widget));
}

std::vector<std::pair<QRectF, StatusTagModel>> ItemRowDelegate::chips(const CacheItem& item,
                                                                      const QRectF& status,
                                                                      const QFont& base) const {
  const Date now = clock_();
  std::vector<StatusTagModel> shown =
      StatusGrammar::tags(item, layout_.maxTags, now, cleaner_.home());
  if (StatusTagRow::rowWidth(shown, base) > status.width()) {
    shown = StatusGrammar::tags(item, 1, now, cleaner_.home());
  }
  std::vector<std::pair<QRectF, StatusTagModel>> placed;
  double x = status.left();
  for (StatusTagModel& tag : shown) {
    const QSize size = StatusTag::sizeFor(tag, base);
    placed.emplace_back(QRectF(x, status.center().y() - size.height() / 2.0, size.width(),
                               size.height()),
                        std::move(tag));
    x += size.width() + StatusTagRow::spacing;
  }
  return placed;
}

QSize ItemRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
  return QSize(static_cast<int>(layout_.width), rowPitch);
}

void ItemRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const std::optional<CacheItem> shown = model_.item(index.isValid() ? index.row() : -1);
  if (!shown) return;
  const CacheItem& item = *shown;
  const QPalette& palette = option.palette;
  const QRectF rowRect(option.rect.left(), option.rect.top(), option.rect.width(), rowHeight);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);

  const bool highlighted = cleaner_.tableSelection().contains(item.id);
  if (highlighted) {
    painter->fillRect(rowRect, PaletteColors::withOpacity(PaletteColors::accent(palette), 0.10));
  } else if (index.row() == hoveredRow_) {
    painter->fillRect(rowRect, PaletteColors::primary(palette, 0.04));
  }
  // The divider under the row.
  painter->fillRect(QRectF(option.rect.left(), rowRect.bottom(), option.rect.width(), 1),
                    PaletteColors::primary(palette, 0.06));
  if (option.state & QStyle::State_HasFocus) {
    // The keyboard's current row.
    painter->setPen(QPen(PaletteColors::withOpacity(PaletteColors::accent(palette), 0.7), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(rowRect.adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
  }

  const ItemRowGeometry g = geometry(rowRect, option.widget);
  paintLeading(*painter, g, item, option);
  paintName(*painter, g, item, option);
  paintStatus(*painter, g, item, option);
  paintSize(*painter, g, item, option);
  if (layout_.showModified) {
    drawElided(*painter, g.modified, ItemRowTexts::modifiedText(item),
               sizedFont(option.font, 12), PaletteColors::secondaryText(palette),
               Qt::AlignLeft | Qt::AlignVCenter, Qt::ElideRight);
  }
  painter->restore();
}

void ItemRowDelegate::paintLeading(QPainter& painter, const ItemRowGeometry& g,
                                   const CacheItem& item,
                                   const QStyleOptionViewItem& option) const {
  const auto cell = ItemRowTexts::leadingCell(item, cleaner_.home());
  using Kind = ItemRowTexts::LeadingCell::Kind;
  if (cell.kind == Kind::checkbox) {
    CheckMark::paint(painter, g.indicator,
                     cleaner_.isChecked(item.id) ? Qt::Checked : Qt::Unchecked, option.palette,
                     true);
    return;
  }
  const QRectF symbolBox = centred(g.leading, QSizeF(kSymbolSide, kSymbolSide));
  QColor color = PaletteColors::secondaryText(option.palette);
  if (cell.kind == Kind::reviewButton) {
    color = PaletteColors::tint(StatusTint::review, option.palette);
    if (hoveredRow_ >= 0 && hoveredRow_ < model_.rowCount() && model_.id(hoveredRow_) == item.id) {
      // A borderless button shows where it can be pressed.
      painter.setPen(Qt::NoPen);
      painter.setBrush(PaletteColors::withOpacity(color, 0.12));
      painter.drawRoundedRect(symbolBox.adjusted(-4, -4, 4, 4), 5, 5);
    }
  }
  symbolIcon(*cell.symbol, color).paint(&painter, symbolBox.toRect());
}

void ItemRowDelegate::paintName(QPainter& painter, const ItemRowGeometry& g,
                                const CacheItem& item, const QStyleOptionViewItem& option) const {
  const QFont nameFont = sizedFont(option.font, 13, QFont::Medium);
  const QFont subtitleFont = sizedFont(option.font, 11);
  const double nameHeight = QFontMetricsF(nameFont).height();
  const double subtitleHeight = QFontMetricsF(subtitleFont).height();
  const double top = g.name.center().y() - (nameHeight + 2 + subtitleHeight) / 2;
  drawElided(painter, QRectF(g.name.left(), top, g.name.width(), nameHeight), qtext(item.name),
             nameFont, option.palette.color(QPalette::Text), Qt::AlignLeft | Qt::AlignVCenter);
  const QString subtitle = ItemRowTexts::subtitle(item, cleaner_.selectedGroup().has_value(),
                                                  layout_.showModified);
  drawElided(painter, QRectF(g.name.left(), top + nameHeight + 2, g.name.width(), subtitleHeight),
             subtitle, subtitleFont, PaletteColors::secondaryText(option.palette),
             Qt::AlignLeft | Qt::AlignVCenter);
}

void ItemRowDelegate::paintStatus(QPainter& painter, const ItemRowGeometry& g,
                                  const CacheItem& item,
                                  const QStyleOptionViewItem& option) const {
  if (g.status.width() <= 0) return;
  painter.save();
  painter.setClipRect(g.status);
  if (ItemRowTexts::showsAccessHint(item, cleaner_.needsFullDiskAccess())) {
    QStyleOptionButton button = accessHintOption(g.status, option.widget);
    button.palette = option.palette;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, &painter, option.widget);
  } else {
    for (const auto& [rect, tag] : chips(item, g.status, option.font)) {
      StatusTag::paint(painter, rect, tag, option.palette, option.font);
    }
  }
  painter.restore();
}

void ItemRowDelegate::paintSize(QPainter& painter, const ItemRowGeometry& g,
                                const CacheItem& item, const QStyleOptionViewItem& option) const {
  const QPalette& palette = option.palette;
  if (!g.sizeBar.isEmpty()) {
    SizeBar::paint(painter, g.sizeBar, ItemRowTexts::sizeFraction(item, model_.largest()),
                   PaletteColors::accent(palette), palette);
  }
  const auto cell = ItemRowTexts::sizeCell(item, cleaner_.needsFullDiskAccess());
  if (cell.kind == ItemRowTexts::SizeCell::Kind::spinner) {
    const QRectF box(g.sizeText.right() - kSpinnerSide, g.sizeText.center().y() - kSpinnerSide / 2.0,
                     kSpinnerSide, kSpinnerSide);
    Spinner::paint(painter, box, SpinnerTicker::shared().phase(),
                   PaletteColors::secondaryText(palette));
    drewSpinner_ = true;
    return;
  }
  drawElided(painter, g.sizeText, qtext(cell.text), sizedFont(option.font, 13),
             cell.secondary ? PaletteColors::secondaryText(palette) : palette.color(QPalette::Text),
             Qt::AlignRight | Qt::AlignVCenter, Qt::ElideRight);
}

QString ItemRowDelegate::helpAt(QPointF point, const QRectF& row, int modelRow,
                                const QWidget* widget) const {
  const std::optional<CacheItem> shown = model_.item(modelRow);
  if (!shown) return {};
  const CacheItem& item = *shown;
  const ItemRowGeometry g = geometry(row, widget);
  using Area = ItemRowGeometry::Area;
  switch (g.hit(point, item, cleaner_.needsFullDiskAccess())) {
    case Area::reviewButton:
    case Area::leading:
      return qtext(ItemRowTexts::leadingCell(item, cleaner_.home()).text);
    case Area::name:
      return qtext(ItemRowTexts::nameHelp(item));
    case Area::accessHint:
      return QStringLiteral("System Settings \u203a Privacy & Security \u203a Full Disk Access");
    case Area::status:
      for (const auto& [rect, tag] : chips(item, g.status, widget ? widget->font() : QFont())) {
        if (rect.contains(point) && rect.right() <= g.status.right() + 0.5) return qtext(tag.help);
      }
      return {};
    default:
      return {};
  }
}

bool ItemRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (!event || !view || event->type() != QEvent::ToolTip) return false;
  const QString help = helpAt(event->pos(), QRectF(option.rect), index.row(), view);
  if (help.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(event->globalPos(), plainToolTip(help), view->viewport());
  }
  return true;
}

}  // namespace hl
