#pragma once

#include <QObject>
#include <memory>

#include "viewmodels/updater_managing.h"

namespace hl {

// Holds the running updater once the application has created one; empty before that. Lives on
// the GUI thread.
class UpdaterBox : public QObject {
  Q_OBJECT

 public:
  std::shared_ptr<UpdaterManaging> current() const { return current_; }
  // Notifies only when a different updater (or none) is put in.
  void setCurrent(std::shared_ptr<UpdaterManaging> updater);

 signals:
  void currentChanged();

 private:
  std::shared_ptr<UpdaterManaging> current_;
};

namespace Updater {

// The one box of the process.
UpdaterBox& box();

}  // namespace Updater

}  // namespace hl
