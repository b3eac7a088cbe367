#pragma once

#include <QWidget>
#include <optional>

namespace hl {

class SettingsStore;

// The grip over the page sidebar's trailing edge: a transparent strip 8 wide that shows the
// left-right resize cursor and, dragged, stores the sidebar's width, kept between 220 and 300.
// Each drag starts from the width stored when it begins; the width is written as it moves.
class SidebarResizeHandle : public QWidget {
  Q_OBJECT

 public:
  // `settings` must outlive the handle.
  explicit SidebarResizeHandle(SettingsStore& settings, QWidget* parent = nullptr);

  // The width a drag that began at `startWidth` stores after moving `dx` to the right.
  static double draggedWidth(double startWidth, double dx);

  static constexpr int stripWidth = 8;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  SettingsStore& settings_;
  std::optional<double> pressX_;
  std::optional<double> startWidth_;
};

}  // namespace hl
