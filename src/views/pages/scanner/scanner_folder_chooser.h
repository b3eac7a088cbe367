#pragma once

#include <QFileDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "viewmodels/scanner/scanner_services.h"

class QWidget;

namespace hl {

// The program's folder chooser for the folder scanner: a window-modal dialog for one existing
// folder, opening in the home folder, whose accept button reads "Scan" and whose title asks
// "Choose a folder to measure".
namespace ScannerFolderChooser {

// The dialog, set up but not shown.
std::unique_ptr<QFileDialog> makeDialog(QWidget* parent, const std::string& home);

// The chosen folder of a dialog that was accepted; none when it was cancelled or holds no
// folder.
std::optional<std::string> chosenFolder(const QFileDialog& dialog, int result);

// What the view model calls to ask for a folder: the dialog above, run over the window that
// `parent` gives at the time of asking.
ScannerServices::FolderChooser dialogChooser(std::function<QWidget*()> parent);

}  // namespace ScannerFolderChooser

}  // namespace hl
