#include "views/shared/app_icon.h"

#include <QApplication>
#include <QString>

namespace hl {

QIcon AppIcon::image() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const QPixmap pixmap(QStringLiteral(":/icons/harborlume-%1.png").arg(size));
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
  }
  return icon;
}

void AppIcon::install() {
  const QIcon icon = image();
  if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

}  // namespace hl
