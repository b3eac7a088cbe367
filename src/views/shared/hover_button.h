#pragma once

#include <QAbstractButton>

namespace hl {

// A button its subclass draws, which knows whether the pointer is over it and whether the
// keyboard put the focus on it. A disabled or hidden button is never hovered, so nothing it
// shows for the pointer (a highlight, a hand) can stay behind. A focus ring marks where the
// keyboard is, so it shows for focus moved by Tab or a shortcut, not for a click or a window that
// opens. Repaints when either changes.
class HoverButton : public QAbstractButton {
  Q_OBJECT

 public:
  using QAbstractButton::QAbstractButton;

  bool isHovered() const { return hovered_; }
  // Has the focus, and got it from the keyboard.
  bool showsFocusRing() const { return keyboardFocus_ && hasFocus(); }

  static bool isKeyboardReason(Qt::FocusReason reason);

 protected:
  // After the hover changed; the default repaints.
  virtual void hoverChanged() { update(); }

  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void setHovered(bool hovered);

  bool hovered_ = false;
  bool keyboardFocus_ = false;
};

}  // namespace hl
