#pragma once

#include <QStringList>
#include <optional>

class QWidget;

namespace hl {

// Asks the user for one or more folders, modally: folders only, several at once (Ctrl- or
// Shift-click in the dialog's list), accepted with "Add". The chosen paths in the dialog's
// order; none when the user cancels. The platform's native dialog cannot take several folders,
// so this is Qt's own.
std::optional<QStringList> chooseFoldersToAdd(QWidget* parent);

}  // namespace hl
