#include "app/app_commands.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWindow>

#include "viewmodels/app_model.h"
#include "viewmodels/updater_box.h"
#include "views/shared/text.h"

namespace hl {

AppCommands::AppCommands(AppModel& model, QMainWindow& window, Actions actions, QObject* parent)
    : QObject(parent), model_(model), window_(window), actions_(std::move(actions)) {
  if (!actions_.checkForUpdates) actions_.checkForUpdates = &Updater::checkForUpdates;
  QMenuBar* bar = window_.menuBar();

  applicationMenu_ = bar->addMenu(QStringLiteral("&Harbor Lume"));
  checkForUpdates_ = applicationMenu_->addAction(QStringLiteral("Check for Updates…"));
  connect(checkForUpdates_, &QAction::triggered, this, [this] { actions_.checkForUpdates(); });
  openQuickClean_ = applicationMenu_->addAction(QStringLiteral("Open Quick Clean"));
  openQuickClean_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  connect(openQuickClean_, &QAction::triggered, this, [this] {
    if (actions_.openQuickClean) actions_.openQuickClean();
  });
  applicationMenu_->addSeparator();
  quit_ = applicationMenu_->addAction(QStringLiteral("Quit Harbor Lume"));
  quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit_->setMenuRole(QAction::QuitRole);
  connect(quit_, &QAction::triggered, this, [this] {
    if (actions_.quit) actions_.quit();
  });

  editMenu_ = bar->addMenu(QStringLiteral("&Edit"));
  selectAll_ = editMenu_->addAction(QStringLiteral("Select All"));
  selectAll_->setShortcut(QKeySequence::SelectAll);
  connect(selectAll_, &QAction::triggered, this, &AppCommands::selectAll);
  deselectAll_ = editMenu_->addAction(QStringLiteral("Deselect All"));
  deselectAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A));
  connect(deselectAll_, &QAction::triggered, this, &AppCommands::deselectAll);

  viewMenu_ = bar->addMenu(QStringLiteral("&View"));
  rescan_ = viewMenu_->addAction(QStringLiteral("Rescan"));
  rescan_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  connect(rescan_, &QAction::triggered, &model_, &AppModel::rescanCurrentPage);
  viewMenu_->addSeparator();
  for (std::size_t offset = 0; offset < allPages.size(); ++offset) {
    const Page page = allPages[offset];
    QAction* action = viewMenu_->addAction(qtext(title(page)));
    action->setShortcut(QKeySequence(QStringLiteral("Ctrl+%1").arg(offset + 1)));
    connect(action, &QAction::triggered, this, [this, page] {
      model_.setPage(page);
      if (actions_.focusPage) actions_.focusPage();
    });
    pages_[page] = action;
  }

  connect(&model_, &AppModel::canSelectAllOnCurrentPageChanged, this,
          &AppCommands::refreshSelectAll);
  connect(&model_, &AppModel::pageChanged, this, &AppCommands::refreshSelectAll);
  connect(qApp, &QApplication::focusChanged, this, &AppCommands::refreshSelectAll);
  connect(qApp, &QGuiApplication::focusWindowChanged, this, &AppCommands::refreshSelectAll);
  connect(editMenu_, &QMenu::aboutToShow, this, &AppCommands::refreshSelectAll);
  refreshSelectAll();
}

bool AppCommands::isTextField(const QWidget* widget) {
  return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
         qobject_cast<const QAbstractSpinBox*>(widget);
}

bool AppCommands::selectAllEnabled(bool mainWindowIsActive, bool textFieldFocused,
                                   bool pageCanSelectAll) {
  return mainWindowIsActive && (textFieldFocused || pageCanSelectAll);
}

void AppCommands::refreshSelectAll() {
  const bool active = QApplication::activeWindow() == &window_;
  QWidget* focus = QApplication::focusWidget();
  const bool textField = isTextField(focus) && window_.isAncestorOf(focus);
  // The page's answer is read only for the active main window.
  selectAll_->setEnabled(selectAllEnabled(
      active, textField, active && !textField && model_.canSelectAllOnCurrentPage()));
}

void AppCommands::selectAll() {
  if (QApplication::activeWindow() != &window_) return;
  QWidget* focus = QApplication::focusWidget();
  if (isTextField(focus) && window_.isAncestorOf(focus)) {
    QMetaObject::invokeMethod(focus, "selectAll");
    return;
  }
  if (actions_.selectFocusedRows && actions_.selectFocusedRows()) return;
  model_.selectAllOnCurrentPage();
}

void AppCommands::deselectAll() {
  switch (model_.page()) {
    case Page::search:
      model_.scanner().setSelection({});
      return;
    case Page::home:
      model_.cleaner().deselectAll();
      return;
    case Page::activity:
    case Page::history:
    case Page::settings:
      return;
  }
}

}  // namespace hl
