#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QString>
#include <functional>
#include <string_view>

namespace hl {

// A text shown as a tooltip exactly as written: tooltips take markup, so the text is escaped
// (a folder named "<b>x" reads "<b>x"). Empty stays empty, so no tooltip shows.
QString plainToolTip(std::string_view text);
QString plainToolTip(const QString& text);

// A label that shows its text as written, never as markup.
QLabel* plainLabel(const QString& text, QWidget* parent = nullptr);

// Draws the label in the secondary text colour of whatever palette it is shown in (the
// palette's placeholder-text role), so it follows light and dark.
void makeSecondary(QLabel* label);

// Draws the label's text in a colour taken from its palette (red, orange…), again whenever the
// palette changes, so it follows light and dark. A later call replaces the tint.
void setTextTint(QLabel* label, std::function<QColor(const QPalette&)> tint);

// Gives a bordered push button room around its title, whatever the style's own padding.
void padButton(QAbstractButton* button, int minimumHeight = 24);

// The width of the widest size text in `font`: an approximate size of each unit with its widest
// digits, and "No access". A column of sizes is laid out for it, so no size is ever cut.
double widestSizeText(const QFont& font);

// Text from the program's UTF-8 strings.
inline QString qtext(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace hl
