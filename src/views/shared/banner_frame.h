#pragma once

#include <QColor>
#include <QFrame>
#include <functional>

class QHBoxLayout;

namespace hl {

// The frame the Home page's banners share: a row 12 in from the sides and 8 from top and
// bottom, on a rounded rectangle (radius 8) filled with a tint at a low opacity.
class BannerFrame : public QFrame {
  Q_OBJECT

 public:
  // `tint` is asked for its colour at each paint, so it follows the palette.
  BannerFrame(std::function<QColor(const QPalette&)> tint, double opacity,
              QWidget* parent = nullptr);

  QHBoxLayout* row() const { return row_; }
  QColor fillColor() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<QColor(const QPalette&)> tint_;
  double opacity_;
  QHBoxLayout* row_;
};

}  // namespace hl
