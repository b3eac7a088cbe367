#pragma once

#include <QObject>
#include <functional>
#include <map>

#include "viewmodels/page.h"

class QAction;
class QMainWindow;
class QMenu;
class QWidget;

namespace hl {

class AppModel;

// The main window's menus and their shortcuts (Ctrl stands where another desktop writes
// Command). Each command forwards to one model operation or one action it is handed:
//   Harbor Lume: "Check for Updates…", "Open Quick Clean" (Ctrl+Shift+C), "Quit Harbor Lume"
//   Edit: "Select All" (Ctrl+A), "Deselect All" (Ctrl+Alt+A)
//   View: "Rescan" (Ctrl+R), then one command per page, Ctrl+1 to Ctrl+5 in the pages' order;
//   the keyboard follows into the page shown.
// Select All goes to the focused view: a text field keeps its own; on the folder scanner a
// focused tree selects its rows; otherwise the page's own rule applies. It is enabled only while
// the main window is the active one and there is something to select.
class AppCommands : public QObject {
  Q_OBJECT

 public:
  struct Actions {
    // Asks the updater for a check. Default: the updater box's.
    std::function<void()> checkForUpdates;
    // Brings the main window forward on the Home page with the Quick Clean candidates ticked,
    // and opens Quick Clean.
    std::function<void()> openQuickClean;
    // The user asked to quit.
    std::function<void()> quit;
    // Puts the keyboard in the page a page command just showed.
    std::function<void()> focusPage;
    // The focused view's own Select All, where a page's view selects its rows itself; true when
    // it took the command. Otherwise, or when none is given, the page's rule applies.
    std::function<bool()> selectFocusedRows;
  };

  // Fills `window`'s menu bar. `model` and `window` must outlive the commands.
  AppCommands(AppModel& model, QMainWindow& window, Actions actions, QObject* parent = nullptr);

  QAction* checkForUpdatesAction() const { return checkForUpdates_; }
  QAction* openQuickCleanAction() const { return openQuickClean_; }
  QAction* quitAction() const { return quit_; }
  QAction* selectAllAction() const { return selectAll_; }
  QAction* deselectAllAction() const { return deselectAll_; }
  QAction* rescanAction() const { return rescan_; }
  QAction* pageAction(Page page) const { return pages_.at(page); }
  QMenu* applicationMenu() const { return applicationMenu_; }
  QMenu* editMenu() const { return editMenu_; }
  QMenu* viewMenu() const { return viewMenu_; }

  // A widget that edits text and so keeps Select All to itself.
  static bool isTextField(const QWidget* widget);
  // Whether Select All is offered: only in the active main window, and then for a text field
  // or when the page has something to select.
  static bool selectAllEnabled(bool mainWindowIsActive, bool textFieldFocused,
                               bool pageCanSelectAll);

  void selectAll();
  void deselectAll();

 private:
  void refreshSelectAll();

  AppModel& model_;
  QMainWindow& window_;
  Actions actions_;
  QMenu* applicationMenu_;
  QMenu* editMenu_;
  QMenu* viewMenu_;
  QAction* checkForUpdates_;
  QAction* openQuickClean_;
  QAction* quit_;
  QAction* selectAll_;
  QAction* deselectAll_;
  QAction* rescan_;
  std::map<Page, QAction*> pages_;
};

}  // namespace hl
