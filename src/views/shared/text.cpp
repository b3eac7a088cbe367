#include "views/shared/text.h"

#include <QTextDocument>

namespace hl {

QString plainToolTip(std::string_view text) { return plainToolTip(qtext(text)); }

QString plainToolTip(const QString& text) {
  if (text.isEmpty()) return {};
  return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

QLabel* plainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

void makeSecondary(QLabel* label) { label->setForegroundRole(QPalette::PlaceholderText); }

void padButton(QAbstractButton* button, int minimumHeight) {
  const QFontMetrics metrics(button->font());
  int width = metrics.horizontalAdvance(button->text()) + 28;
  if (!button->icon().isNull()) width += button->iconSize().width() + 6;
  button->setMinimumSize(width, minimumHeight);
}

}  // namespace hl
