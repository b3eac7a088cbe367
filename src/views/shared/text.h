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

// The widget's help: shown as its tooltip (see `plainToolTip`) and given to assistive tools as its
// description in plain words, never as the tooltip's markup.
void setHelp(QWidget* widget, const QString& help);
void setHelp(QWidget* widget, std::string_view help);

// A label that shows its text as written, never as markup.
QLabel* plainLabel(const QString& text, QWidget* parent = nullptr);

// Draws the text (of a label, or of a widget that paints its text in its foreground role) in the
// secondary text colour of whatever palette it is shown in, so it follows light and dark.
void makeSecondary(QWidget* label);

// Draws the text in a colour taken from the palette it is shown in (red, orange…), again whenever
// that palette changes, so it follows light and dark; the colour is made to read on the program's
// grounds (`PaletteColors::textOn`). A later call replaces the tint.
void setTextTint(QWidget* label, std::function<QColor(const QPalette&)> tint);

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
