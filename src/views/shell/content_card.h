#pragma once

#include <QWidget>

class QHBoxLayout;

namespace hl {

// The rounded card that holds a page's main view and the right panel: filled with the panel
// colour, radius 10, a faint border inside its edge, and a faint shadow under it on a light
// palette. Its corners are drawn over its children, so a list reaching a corner is rounded too.
class ContentCard : public QWidget {
  Q_OBJECT

 public:
  explicit ContentCard(QWidget* parent = nullptr);

  QHBoxLayout* row() const { return row_; }

  static constexpr double radius = 10;
  // The shadow's opacity: none on a dark palette.
  static double shadowOpacity(bool dark) { return dark ? 0 : 0.04; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QHBoxLayout* row_;
  QWidget* corners_;
};

// The 1-wide rule between the main view and the right panel.
class VerticalRule : public QWidget {
  Q_OBJECT

 public:
  explicit VerticalRule(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace hl
