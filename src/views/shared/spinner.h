#pragma once

#include <QObject>
#include <QSet>
#include <QTimer>
#include <QWidget>

namespace hl {

// The one timer behind every spinner. It runs only while some client (a visible spinner, or a
// table showing unmeasured rows) is attached, and repaints the attached widgets on each tick.
class SpinnerTicker : public QObject {
  Q_OBJECT

 public:
  static SpinnerTicker& shared();

  // `widget` is repainted on every tick until it is detached or destroyed.
  void attach(QWidget* widget);
  void detach(QWidget* widget);

  bool isRunning() const { return timer_.isActive(); }
  // 0…11: which of the twelve spokes is brightest now.
  int phase() const { return phase_; }
  int clientCount() const { return static_cast<int>(clients_.size()); }

  // Moves one step, as the timer does (tests step it by hand).
  void tick();

  static constexpr int intervalMs = 80;

 private:
  SpinnerTicker();

  QTimer timer_;
  QSet<QWidget*> clients_;
  int phase_ = 0;
};

// A small indeterminate progress indicator: twelve spokes, the brightest turning.
class Spinner : public QWidget {
  Q_OBJECT

 public:
  explicit Spinner(QWidget* parent = nullptr, int side = 14);
  ~Spinner() override;

  QSize sizeHint() const override { return {side_, side_}; }

  // Draws the spinner at `phase` into `rect` (also used by table delegates).
  static void paint(QPainter& painter, const QRectF& rect, int phase, const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  int side_;
};

}  // namespace hl
