#pragma once

#include <functional>
#include <optional>

namespace hl {

class SingleInstance;

// The launch steps of the application's own platform layers, in the order `main` runs them.
// Steps that must not run in a process that hosts tests read "XCTestConfigurationFilePath"
// afresh each time.
namespace LaunchSteps {

// Whether this process hosts tests.
bool hostingTests();

// Names the application (its settings folder, window titles, desktop entry and version). Needs
// the application object.
void identifyApplication();

// Hands over to an instance that runs already. The exit status when this launch ends here
// (after printing why, when it is an error); none when it goes on.
std::optional<int> claimSingleInstance(SingleInstance& instance);

// Offers to move the program into the Applications folder, where the system has one. True when
// the installed copy is about to start and this process must end at once, with status 0.
bool relocateIfNeeded();

// Creates the updater, with the stored automatic-check switch, and puts it into the box. Nothing
// in a process that hosts tests: the box stays empty. `tellNoFeed` shows the user that this
// build has no update feed.
void installUpdater(std::function<void()> tellNoFeed);

}  // namespace LaunchSteps

}  // namespace hl
