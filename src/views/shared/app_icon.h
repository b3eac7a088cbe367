#pragma once

#include <QIcon>

namespace hl {

// The program's own icon, built into the program in several sizes.
namespace AppIcon {

// Null when the built-in images cannot be loaded; callers then keep the platform's default.
QIcon image();
// Makes it the icon of every window of the program, when there is one.
void install();

}  // namespace AppIcon

}  // namespace hl
