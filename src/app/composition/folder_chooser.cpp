#include "app/composition/folder_chooser.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace hl {

std::optional<std::string> chooseFolderToMeasure() {
  QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Choose a folder to measure."));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Scan"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  // Back to the file system's bytes: a path never round-trips through text.
  return QFile::encodeName(chosen.front()).toStdString();
}

}  // namespace hl
