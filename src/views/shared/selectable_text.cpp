#include "views/shared/selectable_text.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

#include "views/shared/palette_colors.h"

namespace hl {

SelectableText::SelectableText(int maximumLines, QWidget* parent)
    : QTextEdit(parent), maximumLines_(std::max(0, maximumLines)) {
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

void SelectableText::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  setPlainText(text);
  setAccessibleName(text);
  shownLines_ = lineCount(width());
  setFixedHeight(heightForWidth(width()));
}

void SelectableText::useSecondaryColour() {
  secondary_ = true;
  applyColour();
}

void SelectableText::applyColour() {
  if (!secondary_) return;
  // The text's role takes the secondary colour of the palette the widget is given.
  QPalette colours = palette();
  const QColor wanted = PaletteColors::secondaryText(colours);
  if (colours.color(QPalette::Text) == wanted) return;
  colours.setColor(QPalette::Text, wanted);
  setPalette(colours);
}

void SelectableText::changeEvent(QEvent* event) {
  QTextEdit::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) applyColour();
  if (event->type() == QEvent::FontChange) fitHeight();
}

int SelectableText::lineCount(int width) const {
  if (text_.isEmpty() || width <= 0) return 1;
  QString paragraph = text_;
  paragraph.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(paragraph, font());
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
  return maximumLines_ > 0 ? std::clamp(lines, 1, maximumLines_) : std::max(lines, 1);
}

int SelectableText::heightForWidth(int width) const {
  return lineCount(width) * QFontMetrics(font()).lineSpacing() + 2;
}

QSize SelectableText::sizeHint() const {
  return {QFontMetrics(font()).horizontalAdvance(text_), heightForWidth(width())};
}

QSize SelectableText::minimumSizeHint() const {
  return {0, QFontMetrics(font()).lineSpacing() + 2};
}

void SelectableText::fitHeight() {
  shownLines_ = lineCount(width());
  setFixedHeight(heightForWidth(width()));
}

void SelectableText::resizeEvent(QResizeEvent* event) {
  QTextEdit::resizeEvent(event);
  // The height follows the width; the width never follows the height, so this settles.
  if (lineCount(width()) != shownLines_) fitHeight();
}

}  // namespace hl
