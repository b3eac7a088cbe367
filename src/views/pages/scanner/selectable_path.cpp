#include "views/pages/scanner/selectable_path.h"

#include <QFontMetrics>
#include <QTextLayout>
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
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  setFixedHeight(heightForWidth(width()));
  // Selectable text takes the focus by mouse only, so Tab does not stop on it.
  setFocusPolicy(Qt::ClickFocus);
}

void SelectablePath::setPath(const QString& path) {
  if (path == path_) return;
  path_ = path;
  setPlainText(path);
  setAccessibleName(path);
  shownLines_ = lineCount(width());
  setFixedHeight(heightForWidth(width()));
}

int SelectablePath::lineCount(int width) const {
  if (path_.isEmpty() || width <= 0) return 1;
  QTextLayout layout(path_, font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  int lines = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    ++lines;
  }
  layout.endLayout();
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
  const int lines = lineCount(width());
  if (lines != shownLines_) {
    shownLines_ = lines;
    // The height follows the width; the width never follows the height, so this settles.
    setFixedHeight(heightForWidth(width()));
  }
}

}  // namespace hl
