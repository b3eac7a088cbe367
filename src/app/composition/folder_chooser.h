#pragma once

#include <optional>
#include <string>

namespace hl {

// Asks the user for one folder to measure, in a file dialog over the active window: the dialog
// says "Choose a folder to measure." and its button "Scan". None when the user cancels. Blocks
// in the dialog's own event loop; GUI thread only.
std::optional<std::string> chooseFolderToMeasure();

}  // namespace hl
