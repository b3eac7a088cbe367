#include "views/shell/content_card.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "views/shared/palette_colors.h"

namespace hl {

namespace {

QPainterPath cardShape(const QRectF& rect) {
  QPainterPath path;
  path.addRoundedRect(rect, ContentCard::radius, ContentCard::radius);
  return path;
}

// Lies over the card's children: paints the window's colour outside the rounded shape and the
// border along it, and lets every click through.
class CardCorners : public QWidget {
 public:
  explicit CardCorners(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    QPainterPath outside;
    outside.addRect(box);
    painter.fillPath(outside.subtracted(cardShape(box)), PaletteColors::chrome(palette()));
    painter.setPen(QPen(PaletteColors::primary(palette(), 0.06), 1));
    painter.drawPath(cardShape(box.adjusted(0.5, 0.5, -0.5, -0.5)));
  }
};

}  // namespace

ContentCard::ContentCard(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("contentCard"));
  row_ = new QHBoxLayout(this);
  row_->setContentsMargins(0, 0, 0, 0);
  row_->setSpacing(0);
  corners_ = new CardCorners(this);
}

void ContentCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(cardShape(QRectF(rect())), PaletteColors::panel(palette()));
}

void ContentCard::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  corners_->setGeometry(rect());
  corners_->raise();
}

VerticalRule::VerticalRule(QWidget* parent) : QWidget(parent) { setFixedWidth(1); }

void VerticalRule::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), PaletteColors::primary(palette(), 0.08));
}

}  // namespace hl
