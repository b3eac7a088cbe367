#pragma once

#include <QTextEdit>

namespace hl {

// A path the user can select and copy, broken anywhere (paths have no spaces to break at) and
// at most `maximumLines` high; plain text, never markup, and never editable.
class SelectablePath : public QTextEdit {
  Q_OBJECT

 public:
  explicit SelectablePath(int maximumLines, QWidget* parent = nullptr);

  void setPath(const QString& path);
  QString path() const { return path_; }

  // The lines the path takes at `width`, at most `maximumLines`.
  int lineCount(int width) const;

  // Its height at `width`: the lines it takes there.
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  int maximumLines_;
  QString path_;
  int shownLines_ = 0;
};

}  // namespace hl
