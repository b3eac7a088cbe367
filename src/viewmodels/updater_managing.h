#pragma once

#include <QObject>

namespace hl {

// The program's updater as the rest of the program sees it: a switch for checking on its own,
// whether a check can start now, and starting one. Lives on the GUI thread; each signal follows a
// real change of its value only.
class UpdaterManaging : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                 setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
  Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

 public:
  using QObject::QObject;

  virtual bool automaticallyChecksForUpdates() const = 0;
  // Takes effect at once.
  virtual void setAutomaticallyChecksForUpdates(bool enabled) = 0;
  virtual bool canCheckForUpdates() const = 0;
  // A check the user asked for. Whatever it shows is the updater's own; nothing comes back.
  virtual void checkForUpdates() = 0;

 signals:
  void automaticallyChecksForUpdatesChanged();
  void canCheckForUpdatesChanged();
};

}  // namespace hl
