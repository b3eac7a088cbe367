#include <QApplication>
#include <memory>

#include "app/composition/composition_root.h"
#include "app/launch_steps.h"
#include "app/single_instance/single_instance.h"
#include "app/updater/no_feed_notice.h"
#include "platform/launch_arguments.h"
#include "services/removal/destructive_gate.h"
#include "viewmodels/updater_box.h"
#include "views/shell/main_window.h"

int main(int argc, char** argv) {
  // Before Qt sees them: it removes the arguments it understands.
  hl::recordLaunchArguments(argc, argv);
  QApplication app(argc, argv);
  hl::LaunchSteps::identifyApplication();

  std::unique_ptr<hl::MainWindow> window;
  hl::SingleInstance instance(
      hl::SingleInstance::Environment::current(),
      [] { return hl::DestructiveGate::current().isReadOnly(); },
      [&window] {
        if (!window) return;
        window->show();
        window->raise();
        window->activateWindow();
      });
  if (const auto status = hl::LaunchSteps::claimSingleInstance(instance)) return *status;
  if (hl::LaunchSteps::relocateIfNeeded()) return 0;
  hl::NoFeedNotice noFeedNotice([&window] { return window.get(); });
  hl::LaunchSteps::installUpdater([&noFeedNotice] { noFeedNotice.present(); });

  hl::AppModel& model = hl::AppModel::shared();
  window = std::make_unique<hl::MainWindow>();
  window->show();
  // A process that hosts tests starts without a scan.
  model.start(!hl::LaunchSteps::hostingTests());
  const int status = QApplication::exec();
  // The updater's notice refers to this frame; it must not outlive it in the box.
  hl::Updater::box().setCurrent(nullptr);
  return status;
}
