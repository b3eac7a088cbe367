#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include "views/shared/symbol_icon.h"

namespace hl {
namespace {

// Saves into the build folder's "screenshots" for a look at what was built.
void save(const QImage& image, const char* name) {
  QDir().mkpath(QStringLiteral(HL_SCREENSHOT_DIR));
  const QString path = QStringLiteral(HL_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name));
  ASSERT_TRUE(image.save(path)) << path.toStdString();
}

TEST(Screenshots, Symbols) {
  const auto& names = symbolNames();
  const int columns = 8;
  const int cell = 96;
  const int rows = static_cast<int>((names.size() + columns - 1) / columns);
  QImage sheet(columns * cell, rows * cell, QImage::Format_ARGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  QFont font = painter.font();
  font.setPixelSize(9);
  painter.setFont(font);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int x = static_cast<int>(i % columns) * cell;
    const int y = static_cast<int>(i / columns) * cell;
    symbolIcon(names[i], QColor(40, 40, 40)).paint(&painter, QRect(x + 24, y + 10, 48, 48));
    symbolIcon(names[i], QColor(40, 40, 40)).paint(&painter, QRect(x + 8, y + 62, 16, 16));
    painter.setPen(Qt::darkGray);
    painter.drawText(QRect(x, y + 80, cell, 14), Qt::AlignCenter,
                     QString::fromUtf8(names[i].data(), static_cast<qsizetype>(names[i].size())));
  }
  painter.end();
  save(sheet, "symbols");
}

}  // namespace
}  // namespace hl
