#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "views/pages/folder_chooser.h"

namespace hl {
namespace {

// Answers the chooser as a user would, once it is on screen.
void whenTheDialogShows(std::function<void(QFileDialog*)> answer) {
  QTimer::singleShot(0, [answer = std::move(answer)] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    answer(dialog);
  });
}

QAbstractItemView* listOf(QFileDialog* dialog) {
  return dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
}

TEST(FolderChooser, TakesSeveralFoldersAtOnceWithAddAsItsPrompt) {
  const QString home = QDir::homePath();
  for (const char* name : {"alpha", "beta", "gamma"}) ASSERT_TRUE(QDir(home).mkpath(QLatin1String(name)));

  whenTheDialogShows([home](QFileDialog* dialog) {
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("Add"));
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(home).canonicalPath());
    QAbstractItemView* list = listOf(dialog);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);

    // The folder is listed once the dialog's model has read it.
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    if (model->rowCount(model->index(home)) < 3) {
      QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
      ASSERT_TRUE(loaded.wait(5000));
    }
    // Ctrl+click order: gamma, then alpha.
    for (const char* name : {"gamma", "alpha"}) {
      const QModelIndex index = model->index(home + QLatin1Char('/') + QLatin1String(name));
      ASSERT_TRUE(index.isValid()) << name;
      list->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Open)->click();
  });
  const std::optional<QStringList> chosen = chooseFoldersToAdd(nullptr);
  ASSERT_TRUE(chosen.has_value());
  QStringList names;
  for (const QString& path : *chosen) names << QDir(path).dirName();
  names.sort();
  EXPECT_EQ(names, (QStringList{"alpha", "gamma"}));
}

TEST(FolderChooser, ACancelledDialogChoosesNothing) {
  whenTheDialogShows([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(chooseFoldersToAdd(nullptr), std::nullopt);
}

}  // namespace
}  // namespace hl
