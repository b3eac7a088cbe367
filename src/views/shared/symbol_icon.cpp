#include "views/shared/symbol_icon.h"

#include <QPainter>
#include <QPixmap>

namespace hl {

QIcon symbolIcon(std::string_view symbolName) {
  // Placeholder until the symbol table exists: a circle with the name's first letter.
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::gray, 2));
  painter.drawEllipse(QRectF(2, 2, 28, 28));
  const QString letter =
      symbolName.empty() ? QStringLiteral("?") : QString(QChar(symbolName.front())).toUpper();
  painter.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, letter);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace hl
