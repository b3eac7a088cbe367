#include "app/application.h"

#include <QApplication>

#include "app/app_commands.h"
#include "app/launch_steps.h"
#include "app/quit_policy.h"
#include "viewmodels/app_model.h"
#include "viewmodels/updater_box.h"
#include "views/menubar/menu_bar_extra.h"
#include "views/menubar/menu_bar_popover.h"
#include "views/menubar/popover_placement.h"
#include "views/shell/main_window.h"

namespace hl {

namespace {

AppDelegate::Steps withUpdater(AppDelegate::Steps steps, NoFeedNotice& notice) {
  if (!steps.installUpdater) {
    steps.installUpdater = [&notice] {
      LaunchSteps::installUpdater([&notice] { notice.present(); });
    };
  }
  return steps;
}

}  // namespace

Application::Application(AppModel& model, Parts parts, QObject* parent)
    : QObject(parent),
      model_(model),
      parts_(std::move(parts)),
      noFeedNotice_([this]() -> QWidget* { return window_.get(); }),
      delegate_(model_, withUpdater(std::move(parts_.steps), noFeedNotice_)) {}

Application::~Application() {
  // The tray's popover calls into the window's program: it goes first.
  extra_.reset();
  // The updater this launch installed tells its news over this window: it goes with it.
  if (installedUpdater_ && Updater::current() == installedUpdater_) {
    Updater::box().setCurrent(nullptr);
  }
}

bool Application::launch() {
  if (!delegate_.willFinishLaunching()) return false;
  const auto before = Updater::current();
  delegate_.didFinishLaunching();
  if (Updater::current() != before) installedUpdater_ = Updater::current();

  window_ = std::make_unique<MainWindow>(model_, parts_.services);
  connect(window_.get(), &MainWindow::appeared, this, [this] { delegate_.windowAppeared(); });

  MenuBarPopover::Environment environment;
  environment.openMainWindow = [this] { showMainWindow(); };
  environment.quit = [this] { requestQuit(); };
  environment.clock = parts_.services.sheetClock;
  environment.now = parts_.services.wallClock;
  extra_ = std::make_unique<MenuBarExtra>(
      model_.settings(), new MenuBarPopover(model_, std::move(environment)));
  connect(extra_.get(), &MenuBarExtra::popoverFirstShown, this,
          [this] { delegate_.popoverFirstShown(); });

  // The program does not end with its window: the policy decides.
  QApplication::setQuitOnLastWindowClosed(false);
  std::function<bool()> trayIconShown = parts_.trayIconShown;
  if (!trayIconShown) trayIconShown = [this] { return extra_->isTrayIconShown(); };
  std::function<void()> quit = parts_.quit;
  if (!quit) quit = [] { QApplication::quit(); };
  quitPolicy_ = std::make_unique<QuitPolicy>(QuitPolicy::inputs(
      model_, [this] { return window_->isVisible(); }, std::move(trayIconShown),
      std::move(quit)));
  quitPolicy_->watch(model_);
  connect(extra_.get(), &MenuBarExtra::trayIconShownChanged, quitPolicy_.get(),
          &QuitPolicy::reconsider);
  connect(window_.get(), &MainWindow::closed, quitPolicy_.get(), &QuitPolicy::lastWindowClosed);
  connect(window_.get(), &MainWindow::appeared, quitPolicy_.get(), &QuitPolicy::reconsider);

  AppCommands::Actions actions;
  actions.openQuickClean = [this] { openQuickClean(); };
  actions.quit = [this] { requestQuit(); };
  actions.selectFocusedRows = [this] { return window_->rootView()->selectFocusedRows(); };
  actions.focusPage = [this] { window_->rootView()->focusPage(); };
  commands_ = std::make_unique<AppCommands>(model_, *window_, std::move(actions));
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { window_->saveFrame(); });
  showMainWindow();
  return true;
}

void Application::showMainWindow() {
  if (!window_) return;
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void Application::openQuickClean() {
  if (!window_) return;
  showMainWindow();
  model_.setPage(Page::home);
  model_.cleaner().selectQuickCleanCandidates();
  const QRect tray = extra_->isTrayIconShown() ? extra_->trayIcon().geometry() : QRect();
  if (tray.isValid() && !tray.isEmpty()) {
    extra_->showPopover(tray, Qt::ShortcutFocusReason);
    return;
  }
  // Without a tray icon to point at, the popover opens under the window's top bar, above the
  // right panel.
  const QPoint corner = window_->rootView()->mapToGlobal(
      QPoint(window_->rootView()->width() - 8 - MenuBarPopover::popoverWidth / 2 - 12, 0));
  extra_->showPopover(
      QRect(corner, QSize(1, static_cast<int>(model_.topBarHeight()) - PopoverPlacement::gap)),
      Qt::ShortcutFocusReason);
}

void Application::requestQuit() {
  if (quitPolicy_) quitPolicy_->requestQuit();
}

}  // namespace hl
