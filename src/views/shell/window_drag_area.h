#pragma once

#include <QWidget>

namespace hl {

// A transparent strip that moves its window when dragged, as a title bar does: a press hands
// the move to the window system. Where the window system cannot move windows for us nothing
// happens, and the window keeps its own title bar for that.
class WindowDragArea : public QWidget {
  Q_OBJECT

 public:
  explicit WindowDragArea(QWidget* parent = nullptr);

  // Whether the last press started a move (tests read it).
  bool startedMove() const { return startedMove_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool startedMove_ = false;
};

}  // namespace hl
