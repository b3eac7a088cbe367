#pragma once

#include <QColor>
#include <optional>

#include "views/shared/hover_button.h"

class QLabel;

namespace hl {

// The tray popover's three small buttons. Each knows its own hover, so the popover keeps no
// state for them. Tab reaches each (a click does not take the keyboard), and an accent ring shows
// where the keyboard is. Each paints from a look computed by a pure function.

// The header button that opens the main window: the program's icon, its name, and "Open ›". A
// faint rounded highlight shows while the pointer is over it and a stronger one while pressed;
// the highlight reaches 8 px beyond the label at the sides and 4 px above and below, and the
// label never moves (the button's own padding holds that space, and the popover lays the row
// out so the label lines up with the rest).
class PopoverHeaderButton : public HoverButton {
  Q_OBJECT

 public:
  static constexpr int horizontalBleed = 8;
  static constexpr int verticalBleed = 4;

  explicit PopoverHeaderButton(QWidget* parent = nullptr);

  // The highlight's opacity of the primary colour.
  static double highlightOpacity(bool pressed, bool hovered);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
};

// A small bordered footer button (Rescan, Quit), 24 px high, in the accent colour or the
// primary colour; disabled, it is drawn faded in the primary colour and never lights up.
class PopoverFooterButton : public HoverButton {
  Q_OBJECT

 public:
  enum class Ink { accent, primary };
  struct Look {
    Ink ink;
    double fillOpacity;
    double borderOpacity;
    // Of the whole button.
    double opacity;
    // The label in the secondary text colour instead of the ink.
    bool secondaryLabel;
    bool operator==(const Look&) const = default;
  };
  static Look look(bool accent, bool enabled, bool pressed, bool hovered);

  PopoverFooterButton(const QString& text, bool accent, QWidget* parent = nullptr);

  bool isAccent() const { return accent_; }
  Look currentLook() const { return look(accent_, isEnabled(), isDown(), isHovered()); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QFont labelFont() const;

  bool accent_;
};

// A text link (Check for Updates) in the accent colour, in the font of its row. While the
// pointer is over an enabled link it is underlined and the pointer becomes a pointing hand; the
// hand goes when the pointer leaves, the link is disabled, or the link is hidden under the
// pointer.
class PopoverLinkButton : public HoverButton {
  Q_OBJECT

 public:
  struct Look {
    bool underlined;
    // The accent colour at this opacity; none: the secondary text colour.
    std::optional<double> accentOpacity;
    bool operator==(const Look&) const = default;
  };
  static Look look(bool enabled, bool pressed, bool hovered);

  explicit PopoverLinkButton(const QString& text, QWidget* parent = nullptr);

  Look currentLook() const { return look(isEnabled(), isDown(), isHovered()); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hoverChanged() override;
};

}  // namespace hl
