#pragma once

#include <QPushButton>

namespace hl {

// A button filled with a colour and labelled in white: the red one of every removal action and
// the accent-coloured prominent one. Disabled, it keeps its size and looks as any other disabled
// button of the desktop's style: its face and its faded label. Callers set the enabled state
// themselves.
//
// Given less width than its label needs on one line, the label wraps between words and the
// button grows taller; a word wider than the button is set in a smaller size. A button asked to
// keep its label on one line sets it in a smaller size first, and wraps it only when even the
// smallest size does not fit. It is never cut.
class FilledButton : public QPushButton {
  Q_OBJECT

 public:
  enum class Role { destructive, prominent };

  // The platform's control sizes; `large` and `extraLarge` take the large metrics, every other
  // size the small ones.
  enum class ControlSize { mini, small, regular, large, extraLarge };

  struct Metrics {
    int fontPixels;
    int horizontalPadding;
    int minimumHeight;
    int cornerRadius;
    bool operator==(const Metrics&) const = default;
  };
  static Metrics metrics(ControlSize size);

  FilledButton(Role role, const QString& text, QWidget* parent = nullptr);

  Role role() const { return role_; }

  void setControlSize(ControlSize size);
  ControlSize controlSize() const { return controlSize_; }

  // Smaller rather than on two lines (a button in a narrow sidebar beside one-line buttons).
  void setKeepsLabelOnOneLine(bool keeps);

  // A turning spinner in the icon's place, in the label's colour, while the button is shown.
  void setShowsSpinner(bool shows);
  bool showsSpinner() const { return showsSpinner_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

  // The label as it is set in a button `width` wide: its font and the block its lines take.
  struct Label {
    QFont font;
    QSize block;
  };
  Label label(int width) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QFont labelFont() const;
  bool hasIconSlot() const { return showsSpinner_ || !icon().isNull(); }
  // The icon's width and its gap before the label; 0 without an icon.
  int iconSlot() const;
  // The height with the label on one line.
  int lineHeight() const;

  Role role_;
  ControlSize controlSize_ = ControlSize::regular;
  bool showsSpinner_ = false;
  bool keepsLabelOnOneLine_ = false;
};

// The red, prominent style of destructive buttons.
class DestructiveButton : public FilledButton {
  Q_OBJECT

 public:
  explicit DestructiveButton(const QString& text = {}, QWidget* parent = nullptr)
      : FilledButton(Role::destructive, text, parent) {}
};

// The prominent (accent-filled) style of a page's main action.
class ProminentButton : public FilledButton {
  Q_OBJECT

 public:
  explicit ProminentButton(const QString& text = {}, QWidget* parent = nullptr)
      : FilledButton(Role::prominent, text, parent) {}
};

}  // namespace hl
