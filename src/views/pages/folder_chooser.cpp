#include "views/pages/folder_chooser.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>

namespace hl {

std::optional<QStringList> chooseFoldersToAdd(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Add Folder"), QDir::homePath());
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Add"));
  for (auto* view : dialog.findChildren<QAbstractItemView*>()) {
    // The sidebar of places keeps its single choice.
    if (view->objectName() == QLatin1String("listView") ||
        view->objectName() == QLatin1String("treeView")) {
      view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedFiles();
}

}  // namespace hl
