#include "views/shared/banner_frame.h"

#include <QHBoxLayout>
#include <QPainter>

#include "views/shared/palette_colors.h"

namespace hl {

BannerFrame::BannerFrame(std::function<QColor(const QPalette&)> tint, double opacity,
                         QWidget* parent)
    : QFrame(parent), tint_(std::move(tint)), opacity_(opacity) {
  setFont(sizedFont(font(), 12));
  row_ = new QHBoxLayout(this);
  row_->setContentsMargins(12, 8, 12, 8);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

QColor BannerFrame::fillColor() const {
  return PaletteColors::withOpacity(tint_(palette()), opacity_);
}

void BannerFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fillColor());
  painter.drawRoundedRect(QRectF(rect()), 8, 8);
}

}  // namespace hl
