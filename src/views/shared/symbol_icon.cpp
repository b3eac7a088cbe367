#include "views/shared/symbol_icon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <optional>
#include <utility>

namespace hl {

namespace {

QPainterPath polygonPath(std::initializer_list<QPointF> points, bool closed) {
  QPainterPath path;
  bool first = true;
  for (const QPointF& point : points) {
    if (first) path.moveTo(point); else path.lineTo(point);
    first = false;
  }
  if (closed) path.closeSubpath();
  return path;
}

// Draws on a 24 × 24 grid with a pen of text weight; every drawing is monochrome.
class Pen {
 public:
  Pen(QPainter& painter, QColor color) : p_(painter), color_(color) { stroke(); }

  void stroke(double width = 1.8) {
    QPen pen(color_, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p_.setPen(pen);
    p_.setBrush(Qt::NoBrush);
  }
  void fill() {
    p_.setPen(Qt::NoPen);
    p_.setBrush(color_);
  }
  // Filled, with the outline's rounded joins.
  void solid(double width = 1.8) {
    stroke(width);
    p_.setBrush(color_);
  }
  // Paints what follows as holes in what is already drawn.
  void knockOut(bool on) {
    p_.setCompositionMode(on ? QPainter::CompositionMode_DestinationOut
                             : QPainter::CompositionMode_SourceOver);
  }

  void line(double x1, double y1, double x2, double y2) {
    p_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
  }
  void poly(std::initializer_list<QPointF> points, bool closed = false) {
    p_.drawPath(polygonPath(points, closed));
  }
  void circle(double cx, double cy, double r) { p_.drawEllipse(QPointF(cx, cy), r, r); }
  void dot(double cx, double cy, double r = 1.15) {
    const QPen saved = p_.pen();
    const QBrush brush = p_.brush();
    fill();
    circle(cx, cy, r);
    p_.setPen(saved);
    p_.setBrush(brush);
  }
  void rect(double x, double y, double w, double h, double radius) {
    p_.drawRoundedRect(QRectF(x, y, w, h), radius, radius);
  }
  void path(const QPainterPath& path) { p_.drawPath(path); }
  // An arc in degrees, counter-clockwise from three o'clock as on a clock face turned maths-wise.
  void arc(double cx, double cy, double r, double startDegrees, double spanDegrees) {
    QPainterPath path;
    const QRectF box(cx - r, cy - r, 2 * r, 2 * r);
    path.arcMoveTo(box, startDegrees);
    path.arcTo(box, startDegrees, spanDegrees);
    p_.drawPath(path);
  }
  // A filled arrow head whose tip is at `tip`, pointing along (dx, dy).
  void head(QPointF tip, double dx, double dy, double size = 3.4) {
    const double length = std::hypot(dx, dy);
    const QPointF d(dx / length, dy / length);
    const QPointF n(-d.y(), d.x());
    const QPointF back = tip - d * size;
    const QBrush brush = p_.brush();
    const QPen saved = p_.pen();
    fill();
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(back + n * (size * 0.75));
    path.lineTo(back - n * (size * 0.75));
    path.closeSubpath();
    p_.drawPath(path);
    p_.setPen(saved);
    p_.setBrush(brush);
  }

 private:
  QPainter& p_;
  QColor color_;
};

QPainterPath shieldPath() {
  QPainterPath path;
  path.moveTo(12, 2.8);
  path.lineTo(19.5, 5.6);
  path.lineTo(19.5, 11);
  path.cubicTo(19.5, 16, 16.2, 19.5, 12, 21.2);
  path.cubicTo(7.8, 19.5, 4.5, 16, 4.5, 11);
  path.lineTo(4.5, 5.6);
  path.closeSubpath();
  return path;
}

QPainterPath eyePath() {
  QPainterPath path;
  path.moveTo(2.5, 12);
  path.cubicTo(5, 7.5, 8.5, 5.5, 12, 5.5);
  path.cubicTo(15.5, 5.5, 19, 7.5, 21.5, 12);
  path.cubicTo(19, 16.5, 15.5, 18.5, 12, 18.5);
  path.cubicTo(8.5, 18.5, 5, 16.5, 2.5, 12);
  path.closeSubpath();
  return path;
}

QPainterPath trianglePath() { return polygonPath({{12, 3.6}, {21.2, 19.6}, {2.8, 19.6}}, true); }

QPainterPath housePath() {
  return polygonPath({{3.5, 11.2}, {12, 4}, {20.5, 11.2}, {18.5, 11.2}, {18.5, 20}, {5.5, 20},
                      {5.5, 11.2}},
                     true);
}

QPainterPath bellPath() {
  QPainterPath path;
  path.moveTo(6, 16.3);
  path.lineTo(6, 11);
  path.cubicTo(6, 7.7, 8.7, 5, 12, 5);
  path.cubicTo(15.3, 5, 18, 7.7, 18, 11);
  path.lineTo(18, 16.3);
  path.lineTo(19.6, 18);
  path.lineTo(4.4, 18);
  path.closeSubpath();
  return path;
}

QPainterPath docPath() {
  return polygonPath({{6, 3}, {14, 3}, {18.5, 7.5}, {18.5, 21}, {6, 21}}, true);
}

QPainterPath gearPath(double cx, double cy, double outer, double inner, int teeth) {
  QPainterPath path;
  const double step = 2 * std::numbers::pi / teeth;
  for (int i = 0; i < teeth; ++i) {
    const double a = i * step;
    const double points[4][2] = {{a - step * 0.36, inner}, {a - step * 0.2, outer},
                                 {a + step * 0.2, outer}, {a + step * 0.36, inner}};
    for (int k = 0; k < 4; ++k) {
      const QPointF point(cx + points[k][1] * std::cos(points[k][0]),
                          cy + points[k][1] * std::sin(points[k][0]));
      if (i == 0 && k == 0) path.moveTo(point); else path.lineTo(point);
    }
  }
  path.closeSubpath();
  return path;
}

QPainterPath sparklePath(double cx, double cy, double r) {
  QPainterPath path;
  path.moveTo(cx, cy - r);
  path.quadTo(cx + r * 0.12, cy - r * 0.12, cx + r, cy);
  path.quadTo(cx + r * 0.12, cy + r * 0.12, cx, cy + r);
  path.quadTo(cx - r * 0.12, cy + r * 0.12, cx - r, cy);
  path.quadTo(cx - r * 0.12, cy - r * 0.12, cx, cy - r);
  path.closeSubpath();
  return path;
}

void folderOutline(Pen& pen) {
  pen.poly({{3, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 19}, {3, 19}}, true);
}

// Clears a round place at the folder's lower right corner for a badge.
void badgeSpace(Pen& pen) {
  pen.knockOut(true);
  pen.fill();
  pen.circle(18, 17, 5.6);
  pen.knockOut(false);
  pen.stroke(1.6);
}

void lockBody(Pen& pen, bool filled) {
  pen.arc(12, 8, 3.6, 0, 180);
  pen.line(8.4, 8, 8.4, 10.5);
  pen.line(15.6, 8, 15.6, 10.5);
  if (filled) {
    pen.fill();
    pen.rect(5.2, 10.2, 13.6, 10.3, 2.2);
    pen.stroke();
  } else {
    pen.rect(5.8, 10.8, 12.4, 9.3, 2);
    pen.dot(12, 15.4, 1.2);
  }
}

void questionMark(Pen& pen, double cx, double cy, double scale) {
  QPainterPath path;
  path.moveTo(cx - 2.4 * scale, cy - 2.6 * scale);
  path.cubicTo(cx - 2.4 * scale, cy - 4.1 * scale, cx - 1.3 * scale, cy - 5 * scale, cx,
               cy - 5 * scale);
  path.cubicTo(cx + 1.4 * scale, cy - 5 * scale, cx + 2.5 * scale, cy - 4 * scale,
               cx + 2.5 * scale, cy - 2.7 * scale);
  path.cubicTo(cx + 2.5 * scale, cy - 1.1 * scale, cx, cy - 0.8 * scale, cx, cy + 1.2 * scale);
  pen.path(path);
  pen.dot(cx, cy + 4.4 * scale, 1.15 * scale);
}

using Drawing = void (*)(Pen&);

struct Symbol {
  std::string_view name;
  Drawing draw;
};

// One drawing per symbol name the program uses: chips, groups, pages, activity kinds, buttons
// and placeholders.
const std::vector<Symbol>& table() {
  static const std::vector<Symbol> symbols = {
      {"questionmark.circle",
       [](Pen& p) {
         p.circle(12, 12, 9.2);
         questionMark(p, 12, 11.4, 0.92);
       }},
      {"info.circle",
       [](Pen& p) {
         p.circle(12, 12, 9.2);
         p.line(12, 11, 12, 16.6);
         p.dot(12, 7.7);
       }},
      {"checkmark.circle",
       [](Pen& p) {
         p.circle(12, 12, 9.2);
         p.poly({{8, 12.4}, {10.8, 15.2}, {16.2, 9.2}});
       }},
      {"arrow.up.circle",
       [](Pen& p) {
         p.circle(12, 12, 9.2);
         p.line(12, 16.6, 12, 8);
         p.poly({{8.6, 11.2}, {12, 7.8}, {15.4, 11.2}});
       }},
      {"play.circle",
       [](Pen& p) {
         p.circle(12, 12, 9.2);
         p.fill();
         p.poly({{10, 8.2}, {16.2, 12}, {10, 15.8}}, true);
       }},
      {"arrow.uturn.backward.circle",
       [](Pen& p) {
         p.circle(12, 12, 9.2);
         QPainterPath path;
         path.moveTo(8.4, 10);
         path.lineTo(13.2, 10);
         path.cubicTo(15.1, 10, 16.4, 11.4, 16.4, 13.1);
         path.cubicTo(16.4, 14.8, 15.1, 16.2, 13.2, 16.2);
         path.lineTo(11, 16.2);
         p.path(path);
         p.poly({{10.6, 7.4}, {8, 10}, {10.6, 12.6}});
       }},
      {"lock.fill", [](Pen& p) { lockBody(p, true); }},
      {"lock", [](Pen& p) { lockBody(p, false); }},
      {"lock.shield",
       [](Pen& p) {
         p.path(shieldPath());
         p.arc(12, 9.8, 2, 0, 180);
         p.line(10, 9.8, 10, 11);
         p.line(14, 9.8, 14, 11);
         p.fill();
         p.rect(8.6, 10.8, 6.8, 5.4, 1.2);
       }},
      {"checkmark.shield",
       [](Pen& p) {
         p.path(shieldPath());
         p.poly({{8.6, 11.8}, {11, 14.2}, {15.4, 9.4}});
       }},
      {"eye",
       [](Pen& p) {
         p.path(eyePath());
         p.fill();
         p.circle(12, 12, 3.1);
       }},
      {"eye.slash",
       [](Pen& p) {
         p.path(eyePath());
         p.fill();
         p.circle(12, 12, 3.1);
         p.knockOut(true);
         p.stroke(4.2);
         p.line(4, 3.5, 20, 20.5);
         p.knockOut(false);
         p.stroke();
         p.line(4, 3.5, 20, 20.5);
       }},
      {"exclamationmark.triangle",
       [](Pen& p) {
         p.path(trianglePath());
         p.line(12, 9.4, 12, 13.8);
         p.dot(12, 16.7);
       }},
      {"exclamationmark.triangle.fill",
       [](Pen& p) {
         p.solid(2.4);
         p.path(trianglePath());
         p.knockOut(true);
         p.stroke(2);
         p.line(12, 9.2, 12, 13.6);
         p.dot(12, 16.6, 1.25);
         p.knockOut(false);
       }},
      {"checkmark", [](Pen& p) { p.poly({{5, 12.6}, {9.8, 17.4}, {19, 6.8}}); }},
      {"chevron.right", [](Pen& p) { p.poly({{9, 5}, {16, 12}, {9, 19}}); }},
      {"pencil",
       [](Pen& p) {
         p.poly({{4.5, 19.5}, {5.4, 15.6}, {15.6, 5.4}, {18.6, 8.4}, {8.4, 18.6}}, true);
         p.line(13.6, 7.4, 16.6, 10.4);
       }},
      {"clock",
       [](Pen& p) {
         p.circle(12, 12, 9.2);
         p.poly({{12, 6.8}, {12, 12}, {15.6, 14.2}});
       }},
      {"trash",
       [](Pen& p) {
         p.line(3.8, 6.4, 20.2, 6.4);
         p.poly({{9.4, 6.4}, {9.4, 3.8}, {14.6, 3.8}, {14.6, 6.4}});
         p.poly({{6, 6.4}, {7, 20.2}, {17, 20.2}, {18, 6.4}});
         p.line(10.1, 10, 10.3, 16.6);
         p.line(13.9, 10, 13.7, 16.6);
       }},
      {"sparkles",
       [](Pen& p) {
         p.fill();
         p.path(sparklePath(10, 13.5, 7.5));
         p.path(sparklePath(18.3, 5.8, 3.4));
         p.path(sparklePath(18.6, 18.4, 2.2));
       }},
      {"folder", [](Pen& p) { folderOutline(p); }},
      {"folder.badge.plus",
       [](Pen& p) {
         folderOutline(p);
         badgeSpace(p);
         p.line(18, 14, 18, 20);
         p.line(15, 17, 21, 17);
       }},
      {"folder.badge.gearshape",
       [](Pen& p) {
         folderOutline(p);
         badgeSpace(p);
         p.stroke(1.3);
         p.path(gearPath(18, 17, 4.4, 3.2, 6));
         p.circle(18, 17, 1.2);
       }},
      {"folder.badge.questionmark",
       [](Pen& p) {
         folderOutline(p);
         badgeSpace(p);
         p.stroke(1.5);
         questionMark(p, 18, 16.4, 0.62);
       }},
      {"shippingbox",
       [](Pen& p) {
         p.poly({{12, 3}, {20.5, 7.5}, {20.5, 16.5}, {12, 21}, {3.5, 16.5}, {3.5, 7.5}}, true);
         p.poly({{3.5, 7.5}, {12, 12}, {20.5, 7.5}});
         p.line(12, 12, 12, 21);
         p.line(7.8, 5.3, 16.2, 9.7);
       }},
      {"wrench.and.screwdriver",
       [](Pen& p) {
         // The screwdriver: shaft from the upper left, handle at the lower right.
         p.line(4.5, 4.5, 12, 12);
         p.stroke(3.6);
         p.line(13.6, 13.6, 19, 19);
         // The wrench: handle from the lower left to an open jaw at the upper right.
         p.stroke(2.6);
         p.line(5, 19, 13.4, 10.6);
         p.stroke(1.9);
         p.arc(16.2, 7.8, 3.6, 120, 270);
       }},
      {"hammer",
       [](Pen& p) {
         p.poly({{4, 5}, {15, 5}, {18.5, 7}, {15, 9}, {4, 9}}, true);
         p.rect(10, 9, 3, 11.5, 1.2);
       }},
      {"internaldrive",
       [](Pen& p) {
         p.rect(3, 8, 18, 9, 2.6);
         p.line(6.2, 12.5, 10.8, 12.5);
         p.dot(17, 12.5, 1.1);
       }},
      {"externaldrive",
       [](Pen& p) {
         p.rect(3, 5.5, 18, 13, 2.6);
         p.line(3, 13.4, 21, 13.4);
         p.dot(17, 16, 1.1);
       }},
      {"magnifyingglass",
       [](Pen& p) {
         p.circle(10.4, 10.4, 6.2);
         p.stroke(2.4);
         p.line(15, 15, 20.2, 20.2);
       }},
      {"terminal",
       [](Pen& p) {
         p.rect(3, 4.5, 18, 15, 2.6);
         p.poly({{7, 9.4}, {10, 12}, {7, 14.6}});
         p.line(12, 15, 16.6, 15);
       }},
      {"house",
       [](Pen& p) {
         p.poly({{3.5, 11.2}, {12, 4}, {20.5, 11.2}});
         p.poly({{5.8, 9.6}, {5.8, 20}, {18.2, 20}, {18.2, 9.6}});
         p.poly({{10, 20}, {10, 14.5}, {14, 14.5}, {14, 20}});
       }},
      {"house.fill",
       [](Pen& p) {
         p.solid();
         p.path(housePath());
         p.knockOut(true);
         p.fill();
         p.rect(10, 14.2, 4, 6.8, 0.8);
         p.knockOut(false);
       }},
      {"bell",
       [](Pen& p) {
         p.path(bellPath());
         p.arc(12, 19.2, 2, 200, 140);
         p.line(12, 3.2, 12, 5);
       }},
      {"bell.fill",
       [](Pen& p) {
         p.solid();
         p.path(bellPath());
         p.fill();
         p.arc(12, 19.6, 2.2, 180, 180);
         p.stroke();
         p.line(12, 3.2, 12, 5);
       }},
      {"doc",
       [](Pen& p) {
         p.path(docPath());
         p.poly({{14, 3}, {14, 7.5}, {18.5, 7.5}});
       }},
      {"doc.text",
       [](Pen& p) {
         p.path(docPath());
         p.poly({{14, 3}, {14, 7.5}, {18.5, 7.5}});
         p.line(9, 11.5, 15.5, 11.5);
         p.line(9, 14.5, 15.5, 14.5);
         p.line(9, 17.5, 13, 17.5);
       }},
      {"doc.text.fill",
       [](Pen& p) {
         p.solid();
         p.path(docPath());
         p.knockOut(true);
         p.stroke(1.5);
         p.line(9, 11.5, 15.5, 11.5);
         p.line(9, 14.5, 15.5, 14.5);
         p.line(9, 17.5, 13, 17.5);
         p.knockOut(false);
       }},
      {"gearshape",
       [](Pen& p) {
         p.path(gearPath(12, 12, 9.4, 7.2, 8));
         p.circle(12, 12, 3);
       }},
      {"gearshape.fill",
       [](Pen& p) {
         p.fill();
         p.path(gearPath(12, 12, 9.6, 7.4, 8));
         p.knockOut(true);
         p.circle(12, 12, 3.1);
         p.knockOut(false);
       }},
      {"slider.horizontal.3",
       [](Pen& p) {
         p.line(3.5, 6, 20.5, 6);
         p.line(3.5, 12, 20.5, 12);
         p.line(3.5, 18, 20.5, 18);
         p.fill();
         p.circle(15, 6, 2.4);
         p.circle(8, 12, 2.4);
         p.circle(13, 18, 2.4);
       }},
      {"chart.bar",
       [](Pen& p) {
         p.rect(4, 12, 4, 8, 1);
         p.rect(10, 7.5, 4, 12.5, 1);
         p.rect(16, 4, 4, 16, 1);
       }},
      {"dot.radiowaves.left.and.right",
       [](Pen& p) {
         p.dot(12, 12, 1.9);
         p.arc(12, 12, 5, -40, 80);
         p.arc(12, 12, 5, 140, 80);
         p.arc(12, 12, 8.8, -40, 80);
         p.arc(12, 12, 8.8, 140, 80);
       }},
      {"arrow.turn.up.right",
       [](Pen& p) {
         QPainterPath path;
         path.moveTo(6, 20);
         path.lineTo(6, 13.4);
         path.cubicTo(6, 11, 7.8, 9.4, 10.2, 9.4);
         path.lineTo(17.6, 9.4);
         p.path(path);
         p.poly({{14.2, 5.8}, {17.8, 9.4}, {14.2, 13}});
       }},
      {"arrow.clockwise",
       [](Pen& p) {
         p.arc(12, 12, 7.4, 110, -290);
         // The sweep ends at 180°: the head points up, the way a clockwise turn goes there.
         p.head(QPointF(4.6, 9.2), 0, -1, 4);
       }},
  };
  return symbols;
}

const Symbol* find(std::string_view name) {
  for (const Symbol& symbol : table()) {
    if (symbol.name == name) return &symbol;
  }
  return nullptr;
}

// An unknown name: a dashed circle with the name's first letter, so a missing drawing shows.
void drawPlaceholder(QPainter& painter, QColor color, QChar letter) {
  painter.setPen(QPen(color, 1.6, Qt::DashLine));
  painter.drawEllipse(QRectF(2.5, 2.5, 19, 19));
  QFont font = painter.font();
  font.setPixelSize(11);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QString(letter).toUpper());
}

class SymbolEngine : public QIconEngine {
 public:
  SymbolEngine(std::string name, std::optional<QColor> color)
      : name_(std::move(name)), color_(color) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
             QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawImage(rect, render(rect.size(), ratio, mode, state));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return QPixmap::fromImage(render(size, 1.0, mode, state));
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    QPixmap result = QPixmap::fromImage(render(size, scale, mode, state));
    return result;
  }

  QIconEngine* clone() const override { return new SymbolEngine(name_, color_); }
  QString key() const override { return QStringLiteral("hl-symbol"); }

 private:
  QColor colorFor(QIcon::Mode mode) const {
    const QPalette palette = QGuiApplication::palette();
    if (mode == QIcon::Disabled) return palette.color(QPalette::Disabled, QPalette::WindowText);
    if (mode == QIcon::Selected && !color_) return palette.color(QPalette::HighlightedText);
    return color_.value_or(palette.color(QPalette::Active, QPalette::WindowText));
  }

  // Drawn into an image of its own first, so the drawings' holes never cut into what lies
  // under the icon.
  QImage render(const QSize& size, qreal ratio, QIcon::Mode mode, QIcon::State) const {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size.isEmpty()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(image.width(), image.height());
    painter.translate((image.width() - side) / 2.0, (image.height() - side) / 2.0);
    painter.scale(side / 24.0, side / 24.0);
    const QColor color = colorFor(mode);
    if (const Symbol* symbol = find(name_)) {
      Pen pen(painter, color);
      symbol->draw(pen);
    } else {
      drawPlaceholder(painter, color, name_.empty() ? QChar('?') : QChar(name_.front()));
    }
    painter.end();
    if (ratio != 1.0) image.setDevicePixelRatio(ratio);
    return image;
  }

  std::string name_;
  std::optional<QColor> color_;
};

}  // namespace

QIcon symbolIcon(std::string_view symbolName) {
  return QIcon(new SymbolEngine(std::string(symbolName), std::nullopt));
}

QIcon symbolIcon(std::string_view symbolName, const QColor& color) {
  return QIcon(new SymbolEngine(std::string(symbolName), color));
}

bool hasSymbol(std::string_view symbolName) { return find(symbolName) != nullptr; }

const std::vector<std::string_view>& symbolNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> result;
    for (const Symbol& symbol : table()) result.push_back(symbol.name);
    return result;
  }();
  return names;
}

}  // namespace hl
