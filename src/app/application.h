#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "app/app_delegate.h"
#include "app/updater/no_feed_notice.h"
#include "views/shell/root_view.h"

namespace hl {

class AppCommands;
class AppModel;
class MainWindow;
class MenuBarExtra;
class QuitPolicy;
class UpdaterManaging;

// The program as a whole: the launch steps, the main window with its menus, the tray icon with
// its popover, and when the program ends: closing the window leaves it in the tray; with no
// tray icon shown it quits once nothing is running. `main` makes one; tests make theirs with their own steps
// and services.
class Application : public QObject {
  Q_OBJECT

 public:
  struct Parts {
    // The launch steps; empty members take the program's own. The updater step defaults to the
    // updater of this build, whose notice opens over the main window.
    AppDelegate::Steps steps;
    // The window's clocks and services; the popover's arming and dates take the same clocks.
    RootView::Services services;
    // Ends the program. Default: the application's quit.
    std::function<void()> quit;
    // Whether the tray icon is shown now. Default: the tray icon's own answer (the setting
    // holds and the desktop has a tray).
    std::function<bool()> trayIconShown;
  };

  // `model` must outlive the application.
  explicit Application(AppModel& model, Parts parts = {}, QObject* parent = nullptr);
  ~Application() override;

  // Runs the launch steps and opens the main window. False when this process must end at once
  // (the installed copy is starting); nothing is shown then.
  bool launch();

  // Shows the main window, brings it forward and gives it the keyboard (a later launch asks for
  // this too). Nothing before `launch`.
  void showMainWindow();
  // "Open Quick Clean": the main window on the Home page with the Quick Clean candidates ticked,
  // and Quick Clean's popover beside the tray icon, or over the window when the icon is not
  // shown.
  void openQuickClean();
  // The user's Quit: at once, unless a removal is under way; then when it has ended.
  void requestQuit();

  MainWindow* window() const { return window_.get(); }
  AppCommands* commands() const { return commands_.get(); }
  MenuBarExtra* menuBarExtra() const { return extra_.get(); }
  QuitPolicy* quitPolicy() const { return quitPolicy_.get(); }
  AppDelegate& delegate() { return delegate_; }
  NoFeedNotice& noFeedNotice() { return noFeedNotice_; }

 private:
  AppModel& model_;
  Parts parts_;
  NoFeedNotice noFeedNotice_;
  AppDelegate delegate_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<AppCommands> commands_;
  std::unique_ptr<MenuBarExtra> extra_;
  std::unique_ptr<QuitPolicy> quitPolicy_;
  std::shared_ptr<UpdaterManaging> installedUpdater_;
};

}  // namespace hl
