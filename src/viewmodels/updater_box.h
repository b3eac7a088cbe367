#pragma once

#include <QMetaObject>
#include <QObject>
#include <memory>

#include "viewmodels/updater_managing.h"

namespace hl {

// Holds the running updater once the application has created one; empty before that, and for
// the whole of a process that hosts tests. Lives on the GUI thread.
class UpdaterBox : public QObject {
  Q_OBJECT

 public:
  std::shared_ptr<UpdaterManaging> current() const { return current_; }
  // Notifies only when a different updater (or none) is put in.
  void setCurrent(std::shared_ptr<UpdaterManaging> updater);

  // Whether a check can start now: false while the box is empty.
  bool canCheckForUpdates() const;

 signals:
  void currentChanged();
  // `canCheckForUpdates()` changed, by a new updater or by the current one. Check buttons
  // follow this one signal.
  void canCheckForUpdatesChanged();

 private:
  void refreshCanCheck();

  std::shared_ptr<UpdaterManaging> current_;
  QMetaObject::Connection currentCanCheck_;
  bool canCheck_ = false;
};

namespace Updater {

// The one box of the process.
UpdaterBox& box();

// Shortcuts to the box's updater.
std::shared_ptr<UpdaterManaging> current();
bool canCheckForUpdates();
// Asks the current updater for a check; does nothing when there is none.
void checkForUpdates();

}  // namespace Updater

}  // namespace hl
