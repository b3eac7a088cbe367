#pragma once

#include <QIcon>
#include <string_view>

namespace hl {

// The icon for a symbol name as the program's texts use them ("lock.fill", "folder.badge.plus").
// Every name the program uses has an icon of its own; an unknown name still gets a drawn
// placeholder, never an empty icon.
QIcon symbolIcon(std::string_view symbolName);

}  // namespace hl
