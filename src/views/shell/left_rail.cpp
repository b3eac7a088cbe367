#include "views/shell/left_rail.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

#include "viewmodels/app_model.h"
#include "views/shared/accessibility.h"
#include "views/shared/app_icon.h"
#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/tab_list.h"
#include "views/shared/text.h"
#include "views/shell/window_drag_area.h"

namespace hl {

RailButton::RailButton(Page page, QWidget* parent) : HoverButton(parent), page_(page) {
  Accessibility::declare(this, Accessibility::Kind::tab);
  setCheckable(true);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::ArrowCursor);
  const QString title = qtext(hl::title(page));
  setToolTip(plainToolTip(title));
  setAccessibleName(title);
  setFixedSize(side, side);
}

void RailButton::setSelected(bool selected) {
  Accessibility::setSelected(this, selected);
  if (selected == isChecked()) return;
  setChecked(selected);
  update();
}

void RailButton::keyPressEvent(QKeyEvent* event) {
  if (TabList::moveByArrow(this, *event)) return;
  HoverButton::keyPressEvent(event);
}

std::string RailButton::symbolFor(Page page, bool selected) {
  const std::string plain(systemImage(page));
  if (!selected) return plain;
  const std::string filled = plain + ".fill";
  return hasSymbol(filled) ? filled : plain;
}

RailButton::Fill RailButton::fillFor(bool selected, bool hovered) {
  if (selected) return Fill::selected;
  return hovered ? Fill::hovered : Fill::none;
}

void RailButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette& colors = palette();
  const bool selected = isSelected();
  QPainterPath square;
  square.addRoundedRect(QRectF(rect()), 8, 8);
  switch (fillFor(selected, isHovered())) {
    case Fill::selected:
      painter.fillPath(square, PaletteColors::withOpacity(PaletteColors::accent(colors), 0.18));
      break;
    case Fill::hovered:
      painter.fillPath(square, PaletteColors::primary(colors, 0.06));
      break;
    case Fill::none:
      break;
  }
  if (showsFocusRing()) {
    // The keyboard's place: an accent ring just inside the square.
    QPainterPath ring;
    ring.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 7, 7);
    painter.setPen(QPen(PaletteColors::focusRing(colors), 2));
    painter.drawPath(ring);
  }
  const QColor tint =
      selected ? PaletteColors::accent(colors) : PaletteColors::secondaryText(colors);
  constexpr int symbolSide = 18;
  const QRect symbolRect((width() - symbolSide) / 2, (height() - symbolSide) / 2, symbolSide,
                         symbolSide);
  symbolIcon(symbolFor(page_, selected), tint).paint(&painter, symbolRect);
}

LeftRail::LeftRail(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("leftRail"));
  Accessibility::declare(this, Accessibility::Kind::tabList);
  column_ = new QVBoxLayout(this);
  column_->setSpacing(8);
  for (Page page : allPages) {
    auto* button = new RailButton(page, this);
    connect(button, &QAbstractButton::clicked, this, [this, page] { model_.setPage(page); });
    column_->addWidget(button, 0, Qt::AlignHCenter);
    buttons_.push_back(button);
  }
  column_->addStretch(1);
  mark_ = new QLabel(this);
  mark_->setFixedSize(28, 28);
  mark_->setScaledContents(true);
  const QIcon icon = AppIcon::image();
  if (!icon.isNull()) mark_->setPixmap(icon.pixmap(QSize(28, 28), devicePixelRatioF()));
  mark_->setAccessibleName(QStringLiteral("Harbor Lume"));
  column_->addWidget(mark_, 0, Qt::AlignHCenter);
  drag_ = new WindowDragArea(this);

  connect(&model_, &AppModel::pageChanged, this, &LeftRail::follow);
  connect(&model_, &AppModel::topBarHeightChanged, this, &LeftRail::follow);
  connect(&model_, &AppModel::railWidthChanged, this, &LeftRail::follow);
  follow();
}

RailButton* LeftRail::button(Page page) const {
  for (RailButton* button : buttons_) {
    if (button->page() == page) return button;
  }
  return nullptr;
}

void LeftRail::follow() {
  for (RailButton* button : buttons_) button->setSelected(button->page() == model_.page());
  const int barHeight = static_cast<int>(std::lround(model_.topBarHeight()));
  column_->setContentsMargins(0, barHeight + 12, 0, 16);
  setFixedWidth(static_cast<int>(std::ceil(model_.railWidth())));
  drag_->setGeometry(0, 0, width(), barHeight);
  drag_->raise();
}

void LeftRail::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  drag_->setGeometry(0, 0, width(), static_cast<int>(std::lround(model_.topBarHeight())));
}

}  // namespace hl
