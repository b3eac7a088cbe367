#pragma once

#include <QPushButton>

namespace hl {

// The red, prominent button of every removal action. Disabled, it keeps its size and shows a
// grey fill with a secondary label and no pressed look. Callers set the enabled state
// themselves.
class DestructiveButton : public QPushButton {
  Q_OBJECT

 public:
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

  explicit DestructiveButton(const QString& text = {}, QWidget* parent = nullptr);

  void setControlSize(ControlSize size);
  ControlSize controlSize() const { return controlSize_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QFont labelFont() const;

  ControlSize controlSize_ = ControlSize::regular;
};

}  // namespace hl
