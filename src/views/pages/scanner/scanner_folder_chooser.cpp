#include "views/pages/scanner/scanner_folder_chooser.h"

#include <QFile>

#include "viewmodels/user_home.h"
#include "views/shared/text.h"

namespace hl::ScannerFolderChooser {

std::unique_ptr<QFileDialog> makeDialog(QWidget* parent, const std::string& home) {
  // A window title is not a sentence: no full stop, and the desktop adds " — Harbor Lume".
  auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Choose a folder to measure"),
                                              QFile::decodeName(QByteArray::fromStdString(home)));
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  // The program's own dialog, so that the accept button reads "Scan" on every desktop.
  dialog->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Scan"));
  return dialog;
}

std::optional<std::string> chosenFolder(const QFileDialog& dialog, int result) {
  if (result != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return QFile::encodeName(files.front()).toStdString();
}

ScannerServices::FolderChooser dialogChooser(std::function<QWidget*()> parent) {
  return [parent = std::move(parent)]() -> std::optional<std::string> {
    std::unique_ptr<QFileDialog> dialog = makeDialog(parent ? parent() : nullptr, userHomeFolder());
    const int result = dialog->exec();
    return chosenFolder(*dialog, result);
  };
}

}  // namespace hl::ScannerFolderChooser
