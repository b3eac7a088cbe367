#pragma once

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/app_commands.h"
#include "app/application.h"
#include "state/app_model_fixture.h"
#include "views/shell/main_window.h"

namespace hl::test {

// The program over an application model whose outside answers the test decides, with launch
// steps that only record that they ran. `hostingTests` stands for the test-host variable.
struct ProgramHarness : AppHarness {
  bool hostingTests = true;
  bool relocationRelaunches = false;
  std::vector<std::string> steps;
  // Whether a tray shows the icon, as the desktop would answer; the setting must hold too.
  bool trayAvailable = false;
  int quits = 0;
  std::unique_ptr<Application> program;

  Application::Parts parts() {
    Application::Parts p;
    p.steps.installIcon = [this] { steps.push_back("icon"); };
    p.steps.relocate = [this] {
      steps.push_back("relocation");
      return relocationRelaunches;
    };
    p.steps.installUpdater = [this] { steps.push_back("updater"); };
    p.steps.hostingTests = [this] { return hostingTests; };
    p.steps.clock = wall.clock();
    p.services.wallClock = wall.clock();
    p.services.sheetClock = monotonic.clock();
    p.quit = [this] { ++quits; };
    p.trayIconShown = [this] { return trayAvailable && model->settings().showInMenuBar(); };
    return p;
  }

  // Makes the program and runs its launch; the result of `launch`.
  bool launch() {
    program = std::make_unique<Application>(*model, parts());
    const bool launched = program->launch();
    QApplication::processEvents();
    return launched;
  }

  MainWindow& window() { return *program->window(); }
  AppCommands& commands() { return *program->commands(); }

  // The main window is the active window, as after a click on it.
  void activate() {
    window().activateWindow();
    QApplication::setActiveWindow(&window());
    QApplication::processEvents();
  }

  // Presses a shortcut in the main window.
  void press(QKeyCombination keys) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window(),
                    keys.key(), keys.keyboardModifiers());
    QApplication::processEvents();
  }
};

}  // namespace hl::test
