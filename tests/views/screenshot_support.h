#pragma once

#include <cstdlib>
#include <utility>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QWidget>
#include <QString>
#include <gtest/gtest.h>

namespace hl::test {

// Saves into the build folder's "screenshots" for a look at what was built.
inline void saveScreenshot(const QImage& image, const QString& name) {
  QDir().mkpath(QStringLiteral(HL_SCREENSHOT_DIR));
  const QString path = QStringLiteral(HL_SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
  ASSERT_TRUE(image.save(path)) << path.toStdString();
}

// Lets every pending layout pass, deferred update and posted event run until no widget in the
// tree moves any more, then grabs it: a card whose height comes from a later pass is grabbed at
// that height.
inline QImage grabSettled(QWidget& widget) {
  QList<QRect> last;
  for (int pass = 0; pass < 20; ++pass) {
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
    QList<QRect> now{widget.geometry()};
    for (const QWidget* child : widget.findChildren<QWidget*>()) now.append(child->geometry());
    if (now == last) break;
    last = std::move(now);
  }
  return widget.grab().toImage();
}

// True when `colour` runs along all four sides of `rect` in `image`: at a quarter, a half and
// three quarters of each side, within three pixels across it. It finds the ring that marks
// where the keyboard is around a list, which nothing else there is drawn in.
inline bool ringsAround(const QImage& image, const QRect& rect, const QColor& colour) {
  const auto near = [&](QPoint at) {
    for (int dx = -3; dx <= 3; ++dx) {
      for (int dy = -3; dy <= 3; ++dy) {
        const QPoint p = at + QPoint(dx, dy);
        if (!image.rect().contains(p)) continue;
        const QColor seen = image.pixelColor(p);
        if (std::abs(seen.red() - colour.red()) + std::abs(seen.green() - colour.green()) +
                std::abs(seen.blue() - colour.blue()) <= 30) {
          return true;
        }
      }
    }
    return false;
  };
  for (const double along : {0.25, 0.5, 0.75}) {
    const int x = rect.left() + static_cast<int>(along * rect.width());
    const int y = rect.top() + static_cast<int>(along * rect.height());
    for (const QPoint side : {QPoint(x, rect.top()), QPoint(x, rect.bottom()),
                              QPoint(rect.left(), y), QPoint(rect.right(), y)}) {
      if (!near(side)) return false;
    }
  }
  return true;
}

// What a desktop's palette gives turned-off controls: their texts in a faded shade of their own.
inline void fadeWhenTurnedOff(QPalette& palette, const QColor& faded) {
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, faded);
  }
}

// A light and a dark palette of the kind a desktop gives the program.
inline QPalette lightPalette() {
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Window, QColor(246, 246, 247));
  palette.setColor(QPalette::WindowText, QColor(28, 28, 30));
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::AlternateBase, QColor(244, 245, 247));
  palette.setColor(QPalette::Text, QColor(28, 28, 30));
  palette.setColor(QPalette::Highlight, QColor(0, 122, 255));
  palette.setColor(QPalette::PlaceholderText, QColor(60, 60, 67, 158));
  fadeWhenTurnedOff(palette, QColor(170, 170, 174));
  return palette;
}

inline QPalette darkPalette() {
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Window, QColor(30, 30, 32));
  palette.setColor(QPalette::WindowText, QColor(235, 235, 240));
  palette.setColor(QPalette::Base, QColor(44, 44, 46));
  palette.setColor(QPalette::AlternateBase, QColor(50, 50, 53));
  palette.setColor(QPalette::Text, QColor(235, 235, 240));
  palette.setColor(QPalette::Button, QColor(58, 58, 60));
  palette.setColor(QPalette::ButtonText, QColor(235, 235, 240));
  palette.setColor(QPalette::Highlight, QColor(10, 132, 255));
  palette.setColor(QPalette::PlaceholderText, QColor(235, 235, 245, 153));
  fadeWhenTurnedOff(palette, QColor(100, 100, 106));
  return palette;
}

// Both palettes, each with the suffix its screenshots are saved under.
inline std::vector<std::pair<QPalette, const char*>> lightAndDark() {
  return {{lightPalette(), "light"}, {darkPalette(), "dark"}};
}

// Shown as the program shows it: built and painted under the application's palette.
class AppPalette {
 public:
  explicit AppPalette(const QPalette& palette) : saved_(QApplication::palette()) {
    QApplication::setPalette(palette);
  }
  ~AppPalette() { QApplication::setPalette(saved_); }
  AppPalette(const AppPalette&) = delete;
  AppPalette& operator=(const AppPalette&) = delete;

 private:
  QPalette saved_;
};

}  // namespace hl::test
