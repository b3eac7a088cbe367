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
// The smallest size a label is set in before a word would have to be cut.
constexpr int kSmallestLabelPixels = 9;
constexpr int kWrapFlags = Qt::TextWordWrap | Qt::AlignHCenter;

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

void FilledButton::setKeepsLabelOnOneLine(bool keeps) {
  keepsLabelOnOneLine_ = keeps;
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

int FilledButton::iconSlot() const {
  if (!hasIconSlot()) return 0;
  return kIconSide + (text().isEmpty() ? 0 : kIconGap);
}

int FilledButton::lineHeight() const {
  return std::max(metrics(controlSize_).minimumHeight, QFontMetrics(labelFont()).height() + 8);
}

QSize FilledButton::sizeHint() const {
  const Metrics m = metrics(controlSize_);
  const QFontMetrics fm(labelFont());
  const int width = 2 * m.horizontalPadding + fm.horizontalAdvance(text()) + iconSlot();
  // Layouts that do not ask for the height at a width still get the height of the label as it
  // is set at the width the button has now.
  const int height = testAttribute(Qt::WA_Resized) && this->width() < width
                         ? heightForWidth(this->width())
                         : lineHeight();
  return {width, height};
}

void FilledButton::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  if (heightForWidth(width()) != height()) updateGeometry();
}

QSize FilledButton::minimumSizeHint() const {
  // Room for the widest word in the smallest size: anything narrower would cut it.
  const Metrics m = metrics(controlSize_);
  QFont smallest = labelFont();
  smallest.setPixelSize(std::min(smallest.pixelSize(), kSmallestLabelPixels));
  const QFontMetrics fm(smallest);
  int word = 0;
  for (const QString& part : text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    word = std::max(word, fm.horizontalAdvance(part));
  }
  return {2 * m.horizontalPadding + word + iconSlot() + 1, lineHeight()};
}

FilledButton::Label FilledButton::label(int width) const {
  const Metrics m = metrics(controlSize_);
  const int room = std::max(1, width - 2 * m.horizontalPadding - iconSlot());
  QFont font = labelFont();
  for (;;) {
    const QFontMetrics fm(font);
    const int line = fm.horizontalAdvance(text());
    if (line <= room) return {font, QSize(line, fm.height())};
    const bool smallest = font.pixelSize() <= kSmallestLabelPixels;
    if (!keepsLabelOnOneLine_ || smallest) {
      const QRect block = fm.boundingRect(QRect(0, 0, room, 1 << 16), kWrapFlags, text());
      if (block.width() <= room || smallest) return {font, block.size()};
    }
    font.setPixelSize(font.pixelSize() - 1);
  }
}

int FilledButton::heightForWidth(int width) const {
  return std::max(lineHeight(), label(width).block.height() + 8);
}

void FilledButton::paintEvent(QPaintEvent*) {
  const Metrics m = metrics(controlSize_);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();
  const bool enabled = isEnabled();

  const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor ink;
  if (enabled) {
    // Deep enough for the white label to read.
    const QColor base = PaletteColors::fillUnderWhite(
        role_ == Role::destructive ? PaletteColors::red(pal) : PaletteColors::accent(pal));
    painter.setPen(Qt::NoPen);
    painter.setBrush(PaletteColors::withOpacity(base, isDown() ? 0.85 : 1.0));
    painter.drawRoundedRect(shape, m.cornerRadius, m.cornerRadius);
    ink = Qt::white;
  } else {
    // Turned off, it looks as every other turned-off button does, faded in the desktop's own
    // way: the style's face and the palette's turned-off label. A filled face with a strong
    // label would read as a button to press, or one held down.
    QStyleOptionButton option;
    initStyleOption(&option);
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    ink = pal.color(QPalette::Disabled, QPalette::ButtonText);
  }

  if (hasFocus() && enabled) {
    painter.setBrush(Qt::NoBrush);
    // White as the label, so it reads on the fill in light and dark windows alike.
    painter.setPen(QPen(QColor(255, 255, 255, 230), 1.5));
    painter.drawRoundedRect(shape.adjusted(1, 1, -1, -1), m.cornerRadius - 1, m.cornerRadius - 1);
  }

  const Label set = label(width());
  const int slot = iconSlot();
  double x = (width() - (set.block.width() + slot)) / 2.0;
  if (showsSpinner_) {
    Spinner::paint(painter, QRectF(x, (height() - kIconSide) / 2.0, kIconSide, kIconSide),
                   SpinnerTicker::shared().phase(), ink);
  } else if (slot > 0) {
    // The icon is drawn in the label's colour: a removal symbol in white on red.
    QIcon tinted = icon();
    QPixmap pixmap = tinted.pixmap(QSize(kIconSide, kIconSide), devicePixelRatioF());
    QImage image = pixmap.toImage();
    QPainter recolor(&image);
    recolor.setCompositionMode(QPainter::CompositionMode_SourceIn);
    recolor.fillRect(image.rect(), ink);
    recolor.end();
    painter.drawImage(QRectF(x, (height() - kIconSide) / 2.0, kIconSide, kIconSide), image);
  }
  x += slot;
  painter.setFont(set.font);
  painter.setPen(ink);
  painter.drawText(QRectF(x, (height() - set.block.height()) / 2.0, set.block.width() + 1,
                          set.block.height()),
                   kWrapFlags, text());
}

}  // namespace hl
