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

}  // namespace hl
