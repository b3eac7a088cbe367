#include <QApplication>

#include "app/application.h"
#include "app/launch_steps.h"
#include "app/single_instance/single_instance.h"
#include "platform/launch_arguments.h"
#include "platform/memory_release.h"
#include "services/removal/destructive_gate.h"
#include "viewmodels/app_model.h"

int main(int argc, char** argv) {
  // Before any thread starts.
  hl::MemoryRelease::configure();
  // Before Qt sees them: it removes the arguments it understands.
  hl::recordLaunchArguments(argc, argv);
  QApplication app(argc, argv);
  hl::LaunchSteps::identifyApplication();

  hl::Application* application = nullptr;
  hl::SingleInstance instance(
      hl::SingleInstance::Environment::current(),
      [] { return hl::DestructiveGate::current().isReadOnly(); },
      [&application] {
        if (application) application->showMainWindow();
      });
  if (const auto status = hl::LaunchSteps::claimSingleInstance(instance)) return *status;

  hl::Application program(hl::AppModel::shared());
  application = &program;
  // The installed copy is starting: this one ends here.
  if (!program.launch()) return 0;
  return QApplication::exec();
}
