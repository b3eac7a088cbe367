#include "views/shared/status_tag.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>

#include "views/shared/accessibility.h"
#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

namespace {

constexpr int kPadding = 7;
constexpr int kGap = 3;
constexpr int kSymbolSide = 11;

QFont titleFont(const QFont& base) { return sizedFont(base, 11, QFont::Medium); }

}  // namespace

StatusTag::StatusTag(StatusTagModel model, QWidget* parent) : QWidget(parent) {
  Accessibility::declare(this, Accessibility::Kind::text);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setFocusPolicy(Qt::NoFocus);
  setModel(std::move(model));
}

void StatusTag::setModel(StatusTagModel model) {
  model_ = std::move(model);
  describe();
  updateGeometry();
  update();
}

void StatusTag::describe() {
  setAccessibleName(qtext(model_.title));
  setHelp(this, model_.help);
}

QSize StatusTag::sizeHint() const { return sizeFor(model_, font()); }

QSize StatusTag::sizeFor(const StatusTagModel& model, const QFont& base) {
  const QFontMetrics metrics(titleFont(base));
  int width = 2 * kPadding + metrics.horizontalAdvance(qtext(model.title));
  if (model.symbol) width += kSymbolSide + kGap;
  return {width, chipHeight};
}

void StatusTag::paint(QPainter& painter, const QRectF& rect, const StatusTagModel& model,
                      const QPalette& palette, const QFont& base) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor color = PaletteColors::tint(model.tint, palette);
  const QRectF capsule = rect.adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = capsule.height() / 2;
  painter.setPen(QPen(PaletteColors::withOpacity(color, borderOpacity), 1));
  painter.setBrush(PaletteColors::withOpacity(color, fillOpacity(PaletteColors::isDark(palette))));
  painter.drawRoundedRect(capsule, radius, radius);

  double x = rect.left() + kPadding;
  if (model.symbol) {
    const QRectF box(x, rect.center().y() - kSymbolSide / 2.0, kSymbolSide, kSymbolSide);
    symbolIcon(*model.symbol, color).paint(&painter, box.toAlignedRect());
    x += kSymbolSide + kGap;
  }
  painter.setFont(titleFont(base));
  // The title keeps the tint's hue, as dark (or light) as it must be to read on the capsule.
  painter.setPen(PaletteColors::tintText(model.tint, palette));
  painter.drawText(QRectF(x, rect.top(), rect.right() - x, rect.height()),
                   Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   qtext(model.title));
  painter.restore();
}

void StatusTag::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QSize size = sizeHint();
  paint(painter, QRectF(0, (height() - size.height()) / 2.0, size.width(), size.height()), model_,
        palette(), font());
}

void StatusTag::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) updateGeometry();
  QWidget::changeEvent(event);
}

StatusTagRow::StatusTagRow(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

StatusTagRow::StatusTagRow(std::vector<StatusTagModel> full,
                           std::optional<std::vector<StatusTagModel>> compact, QWidget* parent)
    : StatusTagRow(parent) {
  setTags(std::move(full), std::move(compact));
}

void StatusTagRow::setTags(std::vector<StatusTagModel> full,
                           std::optional<std::vector<StatusTagModel>> compact) {
  compact_ = compact ? std::move(*compact) : defaultCompact(full);
  full_ = std::move(full);
  rebuild();
}

std::vector<StatusTagModel> StatusTagRow::defaultCompact(const std::vector<StatusTagModel>& full) {
  if (full.empty()) return {};
  return {full.front()};
}

int StatusTagRow::rowWidth(const std::vector<StatusTagModel>& tags, const QFont& base) {
  int width = 0;
  for (const auto& tag : tags) width += StatusTag::sizeFor(tag, base).width();
  if (tags.size() > 1) width += spacing * static_cast<int>(tags.size() - 1);
  return width;
}

bool StatusTagRow::showsFull() const { return rowWidth(full_, font()) <= width(); }

const std::vector<StatusTagModel>& StatusTagRow::shownTags() const {
  return showsFull() ? full_ : compact_;
}

QWidget* StatusTagRow::makeStrip(const std::vector<StatusTagModel>& tags) {
  auto* strip = new QWidget(this);
  auto* layout = new QHBoxLayout(strip);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  for (const auto& tag : tags) layout->addWidget(new StatusTag(tag, strip));
  layout->addStretch(1);
  return strip;
}

void StatusTagRow::rebuild() {
  delete fullStrip_;
  delete compactStrip_;
  fullStrip_ = makeStrip(full_);
  compactStrip_ = makeStrip(compact_);
  updateGeometry();
  choose();
}

void StatusTagRow::choose() {
  const bool full = showsFull();
  fullStrip_->setGeometry(rect());
  compactStrip_->setGeometry(rect());
  fullStrip_->setVisible(full);
  compactStrip_->setVisible(!full);
}

QSize StatusTagRow::sizeHint() const { return {rowWidth(full_, font()), StatusTag::chipHeight}; }

QSize StatusTagRow::minimumSizeHint() const {
  return {rowWidth(compact_, font()), StatusTag::chipHeight};
}

void StatusTagRow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  choose();
}

}  // namespace hl
