#pragma once

#include <functional>

#include "utilities/time.h"

namespace hl {

class AppModel;

// The launch-time steps of the program, in the order they run, and the start-up calls of the
// window and the tray popover. Whatever must not run in a process that hosts tests asks
// `hostingTests` afresh each time: no relocation, no updater, no automatic first scan there.
class AppDelegate {
 public:
  struct Steps {
    // Sets the program's icon. Default: the built-in icon, when it loads.
    std::function<void()> installIcon;
    // Offers to move the program where it belongs; true when the installed copy is starting
    // and this process must end. Default: the launch step of this system.
    std::function<bool()> relocate;
    // Creates the updater with the stored automatic-check setting and puts it into the box.
    // Default: none is created.
    std::function<void()> installUpdater;
    // Default: whether "XCTestConfigurationFilePath" is in the environment.
    std::function<bool()> hostingTests;
    // Dates the window's appearance. Default: the system's.
    WallClock clock;
  };

  // `model` must outlive the delegate.
  AppDelegate(AppModel& model, Steps steps = {});

  // Before anything shows: the icon, then the relocation. False when this process must end at
  // once (the installed copy is starting).
  bool willFinishLaunching();
  // Then: the start-up with its first scan and the updater, neither in a test host.
  void didFinishLaunching();
  // The main window was shown: a rescan when the last one is old, then the start-up (which does
  // nothing once it ran).
  void windowAppeared();
  // The tray popover was shown for the first time: the start-up.
  void popoverFirstShown();

  // Whether a start-up scans: everywhere but in a test host.
  bool autoScan() const;

 private:
  AppModel& model_;
  Steps steps_;
};

}  // namespace hl
