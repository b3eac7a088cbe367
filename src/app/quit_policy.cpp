#include "app/quit_policy.h"

#include "viewmodels/app_model.h"

namespace hl {

bool QuitPolicy::shouldQuit(const Facts& facts) {
  if (facts.quitRequested) return !facts.removing;
  return facts.windowClosed && !facts.windowShown && !facts.trayIconShown && !facts.busy;
}

QuitPolicy::QuitPolicy(Inputs inputs, QObject* parent)
    : QObject(parent), inputs_(std::move(inputs)) {}

QuitPolicy::Facts QuitPolicy::facts() const {
  const auto ask = [](const std::function<bool()>& input) { return input && input(); };
  Facts facts;
  facts.quitRequested = quitRequested_;
  facts.windowClosed = windowClosed_;
  facts.windowShown = ask(inputs_.anyWindowShown);
  facts.trayIconShown = ask(inputs_.trayIconShown);
  facts.busy = ask(inputs_.isBusy);
  facts.removing = ask(inputs_.isRemoving);
  return facts;
}

QuitPolicy::Inputs QuitPolicy::inputs(AppModel& model, std::function<bool()> anyWindowShown,
                                      std::function<bool()> trayIconShown,
                                      std::function<void()> quit) {
  Inputs inputs;
  inputs.anyWindowShown = std::move(anyWindowShown);
  inputs.trayIconShown = std::move(trayIconShown);
  inputs.isBusy = [&model] { return model.isBusy(); };
  inputs.isRemoving = [&model] {
    return model.cleaner().isTrashing() || model.scanner().isTrashing();
  };
  inputs.quit = std::move(quit);
  return inputs;
}

void QuitPolicy::watch(AppModel& model) {
  connect(&model, &AppModel::isBusyChanged, this, &QuitPolicy::reconsider);
  connect(&model.cleaner(), &CleanerViewModel::isTrashingChanged, this, &QuitPolicy::reconsider);
  connect(&model.scanner(), &ScannerViewModel::isTrashingChanged, this, &QuitPolicy::reconsider);
}

void QuitPolicy::lastWindowClosed() {
  windowClosed_ = true;
  reconsider();
}

void QuitPolicy::requestQuit() {
  quitRequested_ = true;
  reconsider();
}

void QuitPolicy::reconsider() {
  if (quit_) return;
  Facts now = facts();
  // A window shown again ends the windowless wait; a later close starts it anew.
  if (now.windowShown) windowClosed_ = now.windowClosed = false;
  if (!shouldQuit(now)) return;
  quit_ = true;
  if (inputs_.quit) inputs_.quit();
}

}  // namespace hl
