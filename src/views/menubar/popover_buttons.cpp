#include "views/menubar/popover_buttons.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include "views/menubar/popover_fonts.h"
#include "views/menubar/popover_texts.h"
#include "views/shared/app_icon.h"
#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

namespace {

constexpr double kHeaderRadius = 8;
constexpr double kFooterRadius = 6;
constexpr int kFooterHeight = 24;
constexpr int kFooterPadding = 12;
constexpr int kIconSide = 20;

QRectF shapeRect(const QWidget& widget) {
  return QRectF(widget.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
}

QPainterPath roundedShape(const QRectF& rect, double radius) {
  QPainterPath path;
  path.addRoundedRect(rect, radius, radius);
  return path;
}

// A label drawn by the button: it never takes the pointer's events from it.
QLabel* passive(QLabel* label) {
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

// Where the keyboard is: an accent ring just inside the button's shape.
void drawFocusRing(QPainter& painter, const HoverButton& button, double radius) {
  if (!button.showsFocusRing()) return;
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(PaletteColors::focusRing(button.palette()), 2));
  painter.drawPath(roundedShape(QRectF(button.rect()).adjusted(1, 1, -1, -1), radius - 1));
}

}  // namespace

// --- Header --------------------------------------------------------------------------------------

PopoverHeaderButton::PopoverHeaderButton(QWidget* parent) : HoverButton(parent) {
  setFocusPolicy(Qt::TabFocus);
  // The tooltip's words as the plain description: Qt would hand out the tooltip's markup.
  setHelp(this, PopoverTexts::openWindowToolTip);
  setText(qtext(PopoverTexts::title));
  setAccessibleName(qtext(PopoverTexts::openWindowToolTip));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(horizontalBleed, verticalBleed, horizontalBleed, verticalBleed);
  row->setSpacing(8);

  auto* icon = passive(new QLabel(this));
  icon->setObjectName(QStringLiteral("headerIcon"));
  icon->setFixedSize(kIconSide, kIconSide);
  const QIcon appIcon = AppIcon::image();
  if (!appIcon.isNull()) icon->setPixmap(appIcon.pixmap(QSize(kIconSide, kIconSide)));
  icon->setScaledContents(true);
  row->addWidget(icon);

  auto* title = passive(plainLabel(qtext(PopoverTexts::title), this));
  title->setObjectName(QStringLiteral("headerTitle"));
  title->setFont(sizedFont(font(), PopoverFonts::body, QFont::DemiBold));
  row->addWidget(title);
  row->addStretch(1);

  auto* open = new QHBoxLayout;
  open->setSpacing(4);
  auto* openText = passive(plainLabel(qtext(PopoverTexts::open), this));
  openText->setObjectName(QStringLiteral("headerOpen"));
  openText->setFont(sizedFont(font(), PopoverFonts::caption));
  makeSecondary(openText);
  open->addWidget(openText);
  auto* chevron = passive(new QLabel(this));
  const int chevronSide = 10;
  chevron->setFixedSize(chevronSide, chevronSide);
  chevron->setPixmap(symbolIcon("chevron.right", PaletteColors::secondaryText(palette()))
                         .pixmap(QSize(chevronSide, chevronSide)));
  open->addWidget(chevron);
  row->addLayout(open);
}

double PopoverHeaderButton::highlightOpacity(bool pressed, bool hovered) {
  if (pressed) return 0.12;
  if (hovered) return 0.07;
  return 0;
}

void PopoverHeaderButton::paintEvent(QPaintEvent*) {
  const double opacity = highlightOpacity(isDown(), isHovered());
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (opacity > 0) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(PaletteColors::primary(palette(), opacity));
    painter.drawPath(roundedShape(shapeRect(*this), kHeaderRadius));
  }
  drawFocusRing(painter, *this, kHeaderRadius);
}

bool PopoverHeaderButton::hitButton(const QPoint& pos) const {
  return roundedShape(shapeRect(*this), kHeaderRadius).contains(pos);
}

// --- Footer --------------------------------------------------------------------------------------

PopoverFooterButton::Look PopoverFooterButton::look(bool accent, bool enabled, bool pressed,
                                                    bool hovered) {
  if (!enabled) return {Ink::primary, 0.04, 0.1, 0.55, true};
  double fill = 0.05;
  if (pressed) {
    fill = 0.22;
  } else if (hovered) {
    fill = 0.16;
  } else if (accent) {
    fill = 0.1;
  }
  return {accent ? Ink::accent : Ink::primary, fill, accent ? 0.35 : 0.18, 1.0, false};
}

PopoverFooterButton::PopoverFooterButton(const QString& text, bool accent, QWidget* parent)
    : HoverButton(parent), accent_(accent) {
  setText(text);
  setAccessibleName(text);
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QFont PopoverFooterButton::labelFont() const { return sizedFont(font(), 12, QFont::Medium); }

QSize PopoverFooterButton::sizeHint() const {
  const QFontMetrics metrics(labelFont());
  return {2 * kFooterPadding + metrics.horizontalAdvance(text()), kFooterHeight};
}

void PopoverFooterButton::paintEvent(QPaintEvent*) {
  const Look current = currentLook();
  const QPalette& pal = palette();
  const QColor ink = current.ink == Ink::accent ? PaletteColors::accent(pal)
                                                : PaletteColors::primary(pal, 1.0);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(current.opacity);
  // The border is stroked inside the edge.
  const QRectF outer = QRectF(rect());
  painter.setPen(Qt::NoPen);
  painter.setBrush(PaletteColors::withOpacity(ink, current.fillOpacity));
  painter.drawPath(roundedShape(outer, kFooterRadius));
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(PaletteColors::withOpacity(ink, current.borderOpacity), 1));
  painter.drawPath(roundedShape(outer.adjusted(0.5, 0.5, -0.5, -0.5), kFooterRadius - 0.5));

  painter.setFont(labelFont());
  painter.setPen(current.secondaryLabel ? PaletteColors::secondaryText(pal)
                                        : PaletteColors::textOn(ink, pal, current.fillOpacity));
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
  painter.setOpacity(1);
  drawFocusRing(painter, *this, kFooterRadius);
}


// --- Link ----------------------------------------------------------------------------------------

PopoverLinkButton::Look PopoverLinkButton::look(bool enabled, bool pressed, bool hovered) {
  if (!enabled) return {false, std::nullopt};
  return {hovered, pressed ? 0.7 : 1.0};
}

PopoverLinkButton::PopoverLinkButton(const QString& text, QWidget* parent)
    : HoverButton(parent) {
  setText(text);
  setAccessibleName(text);
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize PopoverLinkButton::sizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(text()) + 1, metrics.height()};
}

void PopoverLinkButton::paintEvent(QPaintEvent*) {
  const Look current = currentLook();
  QPainter painter(this);
  QFont textFont = font();
  textFont.setUnderline(current.underlined);
  painter.setFont(textFont);
  const QColor accent = PaletteColors::textOn(PaletteColors::accent(palette()), palette());
  painter.setPen(current.accentOpacity ? PaletteColors::withOpacity(accent, *current.accentOpacity)
                                       : PaletteColors::secondaryText(palette()));
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
  painter.setRenderHint(QPainter::Antialiasing);
  drawFocusRing(painter, *this, 3);
}

void PopoverLinkButton::hoverChanged() {
  // The hand belongs to the hover: it comes and goes with it, never left behind.
  if (isHovered()) {
    setCursor(Qt::PointingHandCursor);
  } else {
    unsetCursor();
  }
  update();
}

}  // namespace hl
