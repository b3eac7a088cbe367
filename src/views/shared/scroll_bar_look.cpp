#include "views/shared/scroll_bar_look.h"

#include <QEvent>
#include <QScrollBar>

#include "views/shared/palette_colors.h"

namespace hl::ScrollBarLook {

namespace {

QString rgba(const QColor& colour) {
  return QStringLiteral("rgba(%1, %2, %3, %4)")
      .arg(colour.red())
      .arg(colour.green())
      .arg(colour.blue())
      .arg(colour.alpha());
}

// Applies the sheet again whenever the bar's palette changes.
class Follower : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::PaletteChange) restyle(static_cast<QScrollBar*>(watched));
    return false;
  }

 public:
  static void restyle(QScrollBar* bar) {
    const QString sheet = styleSheet(bar->palette());
    // A new sheet repolishes the bar; an equal one would only ask for the same again.
    if (bar->styleSheet() != sheet) bar->setStyleSheet(sheet);
  }
};

}  // namespace

QString styleSheet(const QPalette& palette) {
  const QString groove = rgba(PaletteColors::primary(palette, 0.04));
  const QString handle = rgba(PaletteColors::primary(palette, 0.28));
  const QString pressed = rgba(PaletteColors::primary(palette, 0.45));
  return QStringLiteral(
             "QScrollBar:vertical { background: %1; width: 10px; margin: 0; border: none; }"
             "QScrollBar:horizontal { background: %1; height: 10px; margin: 0; border: none; }"
             "QScrollBar::handle { background: %2; border-radius: 3px; margin: 2px; }"
             "QScrollBar::handle:vertical { min-height: 24px; }"
             "QScrollBar::handle:horizontal { min-width: 24px; }"
             "QScrollBar::handle:hover, QScrollBar::handle:pressed { background: %3; }"
             "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }"
             "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
      .arg(groove, handle, pressed);
}

void apply(QScrollBar* bar) {
  bar->installEventFilter(new Follower(bar));
  Follower::restyle(bar);
}

}  // namespace hl::ScrollBarLook
