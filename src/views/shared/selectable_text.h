#pragma once

#include <QTextEdit>

namespace hl {

// Plain text the user can select and copy, never markup and never editable, broken between
// words where it can and anywhere where it must (a path has no spaces to break at), so it never
// runs past its column whatever its width; as high as its lines, at most `maximumLines` of them
// when that is above 0.
class SelectableText : public QTextEdit {
  Q_OBJECT

 public:
  explicit SelectableText(int maximumLines = 0, QWidget* parent = nullptr);

  void setText(const QString& text);
  QString text() const { return text_; }

  // From now on drawn in the secondary text colour, following palette changes.
  void useSecondaryColour();

  // The lines the text takes at `width`, at most `maximumLines` when that is above 0.
  int lineCount(int width) const;

  // Its height at `width`: the lines it takes there.
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void fitHeight();
  void applyColour();

  int maximumLines_;
  QString text_;
  bool secondary_ = false;
  int shownLines_ = 0;
};

}  // namespace hl
