#include "views/shared/destructive_button.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "views/shared/palette_colors.h"
#include "views/shared/spinner.h"

namespace hl {

namespace {

constexpr int kIconSide = 14;
constexpr int kIconGap = 6;

}  // namespace

FilledButton::Metrics FilledButton::metrics(ControlSize size) {
  if (size == ControlSize::large || size == ControlSize::extraLarge) return {13, 14, 30, 8};
  return {12, 10, 22, 6};
}

FilledButton::FilledButton(Role role, const QString& text, QWidget* parent)
    : QPushButton(text, parent), role_(role) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
}

void FilledButton::setControlSize(ControlSize size) {
  controlSize_ = size;
  updateGeometry();
  update();
}

void FilledButton::setShowsSpinner(bool shows) {
  if (showsSpinner_ == shows) return;
  showsSpinner_ = shows;
  if (shows && isVisible()) {
    SpinnerTicker::shared().attach(this);
  } else if (!shows) {
    SpinnerTicker::shared().detach(this);
  }
  updateGeometry();
  update();
}

void FilledButton::showEvent(QShowEvent* event) {
  QPushButton::showEvent(event);
  if (showsSpinner_) SpinnerTicker::shared().attach(this);
}

void FilledButton::hideEvent(QHideEvent* event) {
  QPushButton::hideEvent(event);
  SpinnerTicker::shared().detach(this);
}

QFont FilledButton::labelFont() const {
  return sizedFont(font(), metrics(controlSize_).fontPixels, QFont::DemiBold);
}

QSize FilledButton::sizeHint() const {
  const Metrics m = metrics(controlSize_);
  const QFontMetrics fm(labelFont());
  int width = 2 * m.horizontalPadding + fm.horizontalAdvance(text());
  if (hasIconSlot()) width += kIconSide + (text().isEmpty() ? 0 : kIconGap);
  return {width, std::max(m.minimumHeight, fm.height() + 8)};
}

void FilledButton::paintEvent(QPaintEvent*) {
  const Metrics m = metrics(controlSize_);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();
  const bool enabled = isEnabled();

  const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor fill;
  QColor label;
  if (enabled) {
    const QColor base =
        role_ == Role::destructive ? PaletteColors::red(pal) : PaletteColors::accent(pal);
    fill = PaletteColors::withOpacity(base, isDown() ? 0.85 : 1.0);
    label = Qt::white;
  } else {
    fill = PaletteColors::primary(pal, 0.12);
    label = PaletteColors::secondaryText(pal);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(shape, m.cornerRadius, m.cornerRadius);

  if (hasFocus() && enabled) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(PaletteColors::withOpacity(pal.color(QPalette::Base), 0.9), 1.5));
    painter.drawRoundedRect(shape.adjusted(1, 1, -1, -1), m.cornerRadius - 1, m.cornerRadius - 1);
  }

  const QFontMetrics fm(labelFont());
  const int textWidth = fm.horizontalAdvance(text());
  const bool hasIcon = hasIconSlot();
  const int contentWidth =
      textWidth + (hasIcon ? kIconSide + (text().isEmpty() ? 0 : kIconGap) : 0);
  double x = (width() - contentWidth) / 2.0;
  if (showsSpinner_) {
    Spinner::paint(painter, QRectF(x, (height() - kIconSide) / 2.0, kIconSide, kIconSide),
                   SpinnerTicker::shared().phase(), label);
    x += kIconSide + kIconGap;
  } else if (hasIcon) {
    // The icon is drawn in the label's colour: a removal symbol in white on red.
    QIcon tinted = icon();
    QPixmap pixmap = tinted.pixmap(QSize(kIconSide, kIconSide), devicePixelRatioF());
    QImage image = pixmap.toImage();
    QPainter recolor(&image);
    recolor.setCompositionMode(QPainter::CompositionMode_SourceIn);
    recolor.fillRect(image.rect(), label);
    recolor.end();
    painter.drawImage(QRectF(x, (height() - kIconSide) / 2.0, kIconSide, kIconSide), image);
    x += kIconSide + kIconGap;
  }
  painter.setFont(labelFont());
  painter.setPen(label);
  painter.drawText(QRectF(x, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft,
                   text());
}

}  // namespace hl
