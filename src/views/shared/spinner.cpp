#include "views/shared/spinner.h"

#include <QPainter>
#include <cmath>
#include <numbers>

#include "views/shared/palette_colors.h"

namespace hl {

SpinnerTicker& SpinnerTicker::shared() {
  static SpinnerTicker* ticker = new SpinnerTicker;
  return *ticker;
}

SpinnerTicker::SpinnerTicker() {
  timer_.setInterval(intervalMs);
  connect(&timer_, &QTimer::timeout, this, &SpinnerTicker::tick);
}

void SpinnerTicker::attach(QWidget* widget) {
  if (!widget || clients_.contains(widget)) return;
  clients_.insert(widget);
  connect(widget, &QObject::destroyed, this, [this, widget] { detach(widget); });
  if (!timer_.isActive()) timer_.start();
}

void SpinnerTicker::detach(QWidget* widget) {
  if (!clients_.remove(widget)) return;
  disconnect(widget, &QObject::destroyed, this, nullptr);
  if (clients_.isEmpty()) timer_.stop();
}

void SpinnerTicker::tick() {
  phase_ = (phase_ + 1) % 12;
  for (QWidget* widget : std::as_const(clients_)) widget->update();
}

Spinner::Spinner(QWidget* parent, int side) : QWidget(parent), side_(side) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setAccessibleName(QStringLiteral("Measuring"));
}

Spinner::~Spinner() { SpinnerTicker::shared().detach(this); }

void Spinner::paint(QPainter& painter, const QRectF& rect, int phase, const QColor& color) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const double side = std::min(rect.width(), rect.height());
  const QPointF center = rect.center();
  const double outer = side / 2;
  const double inner = outer * 0.45;
  QPen pen(color, std::max(1.2, side / 9), Qt::SolidLine, Qt::RoundCap);
  for (int i = 0; i < 12; ++i) {
    // Spokes behind the brightest one fade out.
    const int age = (phase - i + 12) % 12;
    pen.setColor(PaletteColors::withOpacity(color, 1.0 - age * 0.07));
    painter.setPen(pen);
    const double angle = i * std::numbers::pi / 6 - std::numbers::pi / 2;
    const QPointF direction(std::cos(angle), std::sin(angle));
    painter.drawLine(center + direction * inner, center + direction * (outer - pen.widthF() / 2));
  }
  painter.restore();
}

void Spinner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint(painter, QRectF(0, 0, side_, side_), SpinnerTicker::shared().phase(),
        PaletteColors::secondaryText(palette()));
}

void Spinner::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  SpinnerTicker::shared().attach(this);
}

void Spinner::hideEvent(QHideEvent* event) {
  SpinnerTicker::shared().detach(this);
  QWidget::hideEvent(event);
}

}  // namespace hl
