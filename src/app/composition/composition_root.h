#pragma once

#include <memory>

#include "viewmodels/app_model.h"

namespace hl {

// Where the program is put together: every interface the application model and its view
// models call on the world is wired to the real service here, and nowhere else. Tests build
// `AppModel` directly with what they inject; only the program reaches `AppModel::shared()`,
// which this file defines.
namespace CompositionRoot {

// The real services: the boot volume's reading, the history file, the desktop's file manager
// and clipboard, the real scan engine, trash service, in-use detection, git and tools for the
// cleaner, and the folder scanner's services with a file dialog as its folder chooser, over the
// user's home. The removals' gate is the one this launch reads. Worker threads and clocks are
// the models' own defaults.
AppModelDependencies production();

// A new application model over the program's settings file and `production()`: what
// `AppModel::shared()` holds, made here so that its wiring can be tried without the one model
// of the process.
std::unique_ptr<AppModel> makeModel();

}  // namespace CompositionRoot

}  // namespace hl
