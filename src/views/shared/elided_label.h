#pragma once

#include <QWidget>

namespace hl {

// Plain text on one line (or up to `maximumLines`, broken anywhere) that is shortened with an
// ellipsis where it does not fit (in the middle by default, so both ends of a path stay
// readable). The full text is its accessible name.
class ElidedLabel : public QWidget {
  Q_OBJECT

 public:
  explicit ElidedLabel(const QString& text = {}, Qt::TextElideMode mode = Qt::ElideMiddle,
                       QWidget* parent = nullptr);

  void setText(const QString& text);
  // Leading by default.
  void setAlignment(Qt::Alignment alignment);
  QString text() const { return text_; }
  // The text as drawn at the current width, its lines joined.
  QString shownText() const;
  // The lines as drawn at the current width.
  QStringList shownLines() const;

  // How many lines the text may take; the label is as high as that many lines.
  void setMaximumLines(int lines);
  int maximumLines() const { return maximumLines_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  Qt::TextElideMode mode_;
  Qt::Alignment alignment_ = Qt::AlignLeft;
  int maximumLines_ = 1;
};

}  // namespace hl
