#include "views/pages/scanner/selectable_path.h"

#include <QFontMetrics>
#include <QTextOption>
#include <algorithm>

namespace hl {

SelectablePath::SelectablePath(int maximumLines, QWidget* parent)
    : QTextEdit(parent), maximumLines_(std::max(1, maximumLines)) {
  setReadOnly(true);
  setAcceptRichText(false);
  setFrameShape(QFrame::NoFrame);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  document()->setDocumentMargin(0);
  viewport()->setAutoFillBackground(false);
  setAutoFillBackground(false);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  // Selectable text takes the focus by mouse only, so Tab does not stop on it.
  setFocusPolicy(Qt::ClickFocus);
}

void SelectablePath::setPath(const QString& path) {
  if (path == path_) return;
  path_ = path;
  setPlainText(path);
  setAccessibleName(path);
  updateGeometry();
}

int SelectablePath::lineCount(int width) const {
  if (path_.isEmpty() || width <= 0) return 1;
  const QFontMetrics metrics(font());
  const QRect bounds = metrics.boundingRect(QRect(0, 0, width, 1 << 20),
                                            Qt::TextWrapAnywhere | Qt::AlignLeft, path_);
  const int lines = (bounds.height() + metrics.lineSpacing() - 1) / metrics.lineSpacing();
  return std::clamp(lines, 1, maximumLines_);
}

int SelectablePath::heightForWidth(int width) const {
  return lineCount(width) * QFontMetrics(font()).lineSpacing() + 2;
}

QSize SelectablePath::sizeHint() const {
  return {QFontMetrics(font()).horizontalAdvance(path_), heightForWidth(width())};
}

QSize SelectablePath::minimumSizeHint() const {
  return {0, QFontMetrics(font()).lineSpacing() + 2};
}

void SelectablePath::resizeEvent(QResizeEvent* event) {
  QTextEdit::resizeEvent(event);
  // Only a change in the number of lines changes the height the layout should give.
  const int lines = lineCount(width());
  if (lines != shownLines_) {
    shownLines_ = lines;
    updateGeometry();
  }
}

}  // namespace hl
