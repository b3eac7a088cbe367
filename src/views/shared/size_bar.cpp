#include "views/shared/size_bar.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "views/shared/accessibility.h"
#include "views/shared/palette_colors.h"

namespace hl {

SizeBar::SizeBar(double fraction, std::optional<QColor> tint, QWidget* parent)
    : QWidget(parent), tint_(tint) {
  Accessibility::declare(this, Accessibility::Kind::bar);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setFraction(fraction);
}

void SizeBar::setFraction(double fraction) {
  if (fraction_ != fraction) {
    fraction_ = fraction;
    Accessibility::announceValue(this, accessibilityValue(fraction));
  }
  update();
}

void SizeBar::setTint(std::optional<QColor> tint) {
  tint_ = tint;
  update();
}

double SizeBar::fillWidth(double fraction, double trackWidth) {
  if (!(fraction > 0) || trackWidth <= 0) return 0;
  return std::min(trackWidth, std::max(2.0, trackWidth * std::min(fraction, 1.0)));
}

QString SizeBar::accessibilityValue(double fraction) {
  const double percent = std::isfinite(fraction) ? std::round(fraction * 100) : 0;
  return QStringLiteral("%1 percent").arg(static_cast<long long>(percent));
}

void SizeBar::paint(QPainter& painter, const QRectF& rect, double fraction, const QColor& fill,
                    const QPalette& palette) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const double radius = rect.height() / 2;
  painter.setBrush(PaletteColors::primary(palette, 0.08));
  painter.drawRoundedRect(rect, radius, radius);
  const double width = fillWidth(fraction, rect.width());
  if (width > 0) {
    const QRectF bar(rect.left(), rect.top(), width, rect.height());
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    gradient.setColorAt(0, fill.lighter(118));
    gradient.setColorAt(1, fill);
    painter.setBrush(gradient);
    painter.drawRoundedRect(bar, std::min(radius, width / 2), radius);
  }
  painter.restore();
}

void SizeBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint(painter, QRectF(rect()), fraction_, tint_.value_or(PaletteColors::accent(palette())),
        palette());
}

}  // namespace hl
