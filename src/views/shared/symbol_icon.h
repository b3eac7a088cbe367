#pragma once

#include <QColor>
#include <QIcon>
#include <string_view>
#include <vector>

namespace hl {

// The icon for a symbol name as the program's texts use them ("lock.fill", "folder.badge.plus").
// Every name the program uses has a drawing of its own, monochrome like text: without a colour
// it takes the palette's text colour when painted (so it follows light and dark), with one it is
// drawn in that colour; the disabled mode is greyed. An unknown name still gets a drawn
// placeholder, never an empty icon.
QIcon symbolIcon(std::string_view symbolName);
QIcon symbolIcon(std::string_view symbolName, const QColor& color);

// Whether the name has a drawing of its own.
bool hasSymbol(std::string_view symbolName);

// Every name that has a drawing, in the table's order.
const std::vector<std::string_view>& symbolNames();

}  // namespace hl
