#pragma once

#include <QWidget>

namespace hl {

// One line of plain text that is shortened with an ellipsis where it does not fit (in the
// middle by default, so both ends of a path stay readable). The full text is its accessible
// name.
class ElidedLabel : public QWidget {
  Q_OBJECT

 public:
  explicit ElidedLabel(const QString& text = {}, Qt::TextElideMode mode = Qt::ElideMiddle,
                       QWidget* parent = nullptr);

  void setText(const QString& text);
  // Leading by default.
  void setAlignment(Qt::Alignment alignment);
  QString text() const { return text_; }
  // The text as drawn at the current width.
  QString shownText() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  Qt::TextElideMode mode_;
  Qt::Alignment alignment_ = Qt::AlignLeft;
};

}  // namespace hl
