#include "views/shared/check_box.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "views/shared/check_mark.h"
#include "views/shared/palette_colors.h"

namespace hl {

namespace {

constexpr int kRingRoom = 2;

}  // namespace

CheckBox::CheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

QSize CheckBox::sizeHint() const {
  return QCheckBox::sizeHint() + QSize(2 * kRingRoom, 2 * kRingRoom);
}

QSize CheckBox::minimumSizeHint() const {
  return QCheckBox::minimumSizeHint() + QSize(2 * kRingRoom, 2 * kRingRoom);
}

bool CheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void CheckBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.rect = rect().adjusted(kRingRoom, kRingRoom, -kRingRoom, -kRingRoom);
  const QRectF box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
  CheckMark::paint(painter, box, checkState(), palette(), isEnabled());
  if (!text().isEmpty()) {
    const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    style()->drawItemText(&painter, contents, Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), text(), foregroundRole());
  }
  if (option.state.testFlag(QStyle::State_HasFocus) &&
      option.state.testFlag(QStyle::State_KeyboardFocusChange)) {
    painter.setRenderHint(QPainter::Antialiasing);
    PaletteColors::drawFocusRing(painter, palette(),
                                 box.adjusted(-kRingRoom, -kRingRoom, kRingRoom, kRingRoom), 4);
  }
}

}  // namespace hl
