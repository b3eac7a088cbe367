#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>

namespace hl {

// A proportional bar: a faint track across the whole width and a fill of `fraction` (clamped to
// 0…1) in the tint, at least 2 wide when the fraction is above 0. The tint defaults to the
// accent colour. Assistive tools read it as a bar named by its owner whose value is "<n> percent".
class SizeBar : public QWidget {
  Q_OBJECT

 public:
  explicit SizeBar(double fraction = 0, std::optional<QColor> tint = std::nullopt,
                   QWidget* parent = nullptr);

  void setFraction(double fraction);
  double fraction() const { return fraction_; }
  void setTint(std::optional<QColor> tint);

  QSize sizeHint() const override { return {64, 6}; }

  // The fill's width in a track of `trackWidth`.
  static double fillWidth(double fraction, double trackWidth);
  // "N percent" of the unclamped fraction, rounded; a fraction that is not a number reads 0.
  static QString accessibilityValue(double fraction);
  // Draws the bar into `rect` (also used by table delegates).
  static void paint(QPainter& painter, const QRectF& rect, double fraction, const QColor& fill,
                    const QPalette& palette);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double fraction_ = 0;
  std::optional<QColor> tint_;
};

}  // namespace hl
