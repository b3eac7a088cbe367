#pragma once

#include <QLabel>
#include <QString>
#include <string_view>

namespace hl {

// A text shown as a tooltip exactly as written: tooltips take markup, so the text is escaped
// (a folder named "<b>x" reads "<b>x"). Empty stays empty, so no tooltip shows.
QString plainToolTip(std::string_view text);
QString plainToolTip(const QString& text);

// A label that shows its text as written, never as markup.
QLabel* plainLabel(const QString& text, QWidget* parent = nullptr);

// Text from the program's UTF-8 strings.
inline QString qtext(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace hl
