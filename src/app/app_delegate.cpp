#include "app/app_delegate.h"

#include "app/launch_steps.h"
#include "viewmodels/app_model.h"
#include "views/shared/app_icon.h"

namespace hl {

AppDelegate::AppDelegate(AppModel& model, Steps steps) : model_(model), steps_(std::move(steps)) {
  if (!steps_.installIcon) steps_.installIcon = &AppIcon::install;
  if (!steps_.relocate) steps_.relocate = &LaunchSteps::relocateIfNeeded;
  if (!steps_.hostingTests) steps_.hostingTests = &LaunchSteps::hostingTests;
  if (!steps_.clock) steps_.clock = systemWallClock();
}

bool AppDelegate::autoScan() const { return !steps_.hostingTests(); }

bool AppDelegate::willFinishLaunching() {
  steps_.installIcon();
  if (steps_.hostingTests()) return true;
  return !steps_.relocate();
}

void AppDelegate::didFinishLaunching() {
  // A test host starts from its window, without a scan, and gets no updater.
  if (steps_.hostingTests()) return;
  model_.start(autoScan());
  if (steps_.installUpdater) steps_.installUpdater();
}

void AppDelegate::windowAppeared() {
  model_.windowAppeared(steps_.clock());
  model_.start(autoScan());
}

void AppDelegate::popoverFirstShown() { model_.start(autoScan()); }

}  // namespace hl
