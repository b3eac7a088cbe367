#include "views/shared/eliding_header.h"

#include <algorithm>

#include <QHelpEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QToolTip>

#include "views/shared/text.h"

namespace hl {

ElidingHeader::ElidingHeader(Qt::Orientation orientation, int padding, QWidget* parent)
    : QHeaderView(orientation, parent), padding_(padding) {}

QString ElidingHeader::title(int logicalIndex) const {
  return model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString()
                 : QString();
}

int ElidingHeader::titleRoom(int sectionSize) const { return std::max(0, sectionSize - 2 * padding_); }

QString ElidingHeader::shownTitle(int logicalIndex) const {
  return fontMetrics().elidedText(title(logicalIndex), Qt::ElideRight,
                                  titleRoom(sectionSize(logicalIndex)));
}

void ElidingHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
  QHeaderView::initStyleOptionForIndex(option, logicalIndex);
  if (painting_) option->text.clear();
}

void ElidingHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  // The style draws the section's ground and lines without a title, then the title goes inside
  // the padding, shortened to fit there: the style would cut it off at the section's edge.
  painting_ = true;
  QHeaderView::paintSection(painter, rect, logicalIndex);
  painting_ = false;
  const QVariant alignment = model() ? model()->headerData(logicalIndex, orientation(),
                                                           Qt::TextAlignmentRole)
                                     : QVariant();
  const int flags = alignment.isValid() ? alignment.toInt()
                                        : static_cast<int>(defaultAlignment());
  painter->save();
  // The style leaves the painter clipped to nothing once it drew the section.
  painter->setClipRect(rect);
  painter->setFont(font());
  painter->setPen(palette().color(QPalette::ButtonText));
  painter->drawText(QRect(rect.left() + padding_, rect.top(), titleRoom(rect.width()), rect.height()),
                    flags, fontMetrics().elidedText(title(logicalIndex), Qt::ElideRight,
                                                    titleRoom(rect.width())));
  painter->restore();
}

bool ElidingHeader::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int logicalIndex = logicalIndexAt(help->pos());
    if (logicalIndex >= 0 && shownTitle(logicalIndex) != title(logicalIndex)) {
      QToolTip::showText(help->globalPos(), plainToolTip(title(logicalIndex)), viewport());
      return true;
    }
  }
  return QHeaderView::viewportEvent(event);
}

}  // namespace hl
