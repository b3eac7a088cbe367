#include "app/application.h"

#include <QApplication>

#include "app/app_commands.h"
#include "app/launch_steps.h"
#include "viewmodels/app_model.h"
#include "viewmodels/updater_box.h"
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

  window_ = std::make_unique<MainWindow>(model_, std::move(parts_.services));
  connect(window_.get(), &MainWindow::appeared, this, [this] { delegate_.windowAppeared(); });
  AppCommands::Actions actions;
  actions.openQuickClean = [this] { openQuickClean(); };
  actions.quit = [] { QApplication::quit(); };
  actions.selectFocusedRows = [this] { return window_->rootView()->selectFocusedRows(); };
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
  showMainWindow();
  model_.setPage(Page::home);
  model_.cleaner().selectQuickCleanCandidates();
}

}  // namespace hl
