#pragma once

#include <QObject>
#include <QSettings>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "models/removal_mode.h"
#include "services/discovery/exclusion_list.h"

namespace hl {

// The program's settings: eight values in the settings file, read once when the store is made
// and written back at once on every assignment. GUI thread only.
//
// Every stored value is read strictly: a value of the wrong type reads as the default, so a
// garbled "deleteImmediately" never switches on permanent deletion. An assignment notifies only
// when the value changed, but is written in every case.
class SettingsStore : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::vector<std::string> extraPaths READ extraPaths WRITE setExtraPaths NOTIFY
                 extraPathsChanged)
  Q_PROPERTY(std::vector<std::string> excludedPaths READ excludedPaths WRITE setExcludedPaths
                 NOTIFY excludedPathsChanged)
  Q_PROPERTY(bool pruneWorktreesAfterTrash READ pruneWorktreesAfterTrash WRITE
                 setPruneWorktreesAfterTrash NOTIFY pruneWorktreesAfterTrashChanged)
  Q_PROPERTY(bool showInMenuBar READ showInMenuBar WRITE setShowInMenuBar NOTIFY
                 showInMenuBarChanged)
  Q_PROPERTY(bool quickCleanIncludesModerate READ quickCleanIncludesModerate WRITE
                 setQuickCleanIncludesModerate NOTIFY quickCleanIncludesModerateChanged)
  Q_PROPERTY(bool deleteImmediately READ deleteImmediately WRITE setDeleteImmediately NOTIFY
                 deleteImmediatelyChanged)
  Q_PROPERTY(bool checkForUpdatesAutomatically READ checkForUpdatesAutomatically WRITE
                 setCheckForUpdatesAutomatically NOTIFY checkForUpdatesAutomaticallyChanged)
  Q_PROPERTY(double sidebarWidth READ sidebarWidth WRITE setSidebarWidth NOTIFY
                 sidebarWidthChanged)

 public:
  // The program's settings file ($XDG_CONFIG_HOME/Harborlume/Harborlume.conf).
  static std::unique_ptr<QSettings> standardDefaults();

  // Reads every value from `defaults` and keeps it for writing.
  explicit SettingsStore(std::unique_ptr<QSettings> defaults, QObject* parent = nullptr);

  // The stored "checkForUpdatesAutomatically" under the same reading rule (true when missing or
  // not a Boolean), without making a store.
  static bool storedCheckForUpdatesAutomatically(QSettings& defaults);

  QSettings& defaults() const { return *defaults_; }

  const std::vector<std::string>& extraPaths() const { return extraPaths_; }
  const std::vector<std::string>& excludedPaths() const { return excludedPaths_; }
  bool pruneWorktreesAfterTrash() const { return pruneWorktreesAfterTrash_; }
  bool showInMenuBar() const { return showInMenuBar_; }
  bool quickCleanIncludesModerate() const { return quickCleanIncludesModerate_; }
  bool deleteImmediately() const { return deleteImmediately_; }
  bool checkForUpdatesAutomatically() const { return checkForUpdatesAutomatically_; }
  // Clamped to 220…300 when read from the file; an assigned width is kept as assigned.
  double sidebarWidth() const { return sidebarWidth_; }

  void setExtraPaths(std::vector<std::string> paths);
  void setExcludedPaths(std::vector<std::string> paths);
  void setPruneWorktreesAfterTrash(bool value);
  void setShowInMenuBar(bool value);
  void setQuickCleanIncludesModerate(bool value);
  void setDeleteImmediately(bool value);
  // Also passed on to the running updater, when there is one.
  void setCheckForUpdatesAutomatically(bool value);
  void setSidebarWidth(double width);

  // Permanent deletion exactly when `deleteImmediately` is on.
  RemovalMode removalMode() const;
  ExclusionList exclusions() const;

  // Appends a path not yet listed (no change, no write otherwise).
  void addExtraPath(const std::string& path);
  // Removes every equal entry; notifies and writes even when there was none.
  void removeExtraPath(const std::string& path);
  // Adds the paths not yet excluded and sorts the list; assigned by the assignment rule.
  void exclude(const std::set<std::string>& paths);
  // Removes every equal entry from the excluded paths; notifies and writes in every case.
  void include(const std::string& path);

 signals:
  void extraPathsChanged();
  void excludedPathsChanged();
  void pruneWorktreesAfterTrashChanged();
  void showInMenuBarChanged();
  void quickCleanIncludesModerateChanged();
  void deleteImmediatelyChanged();
  void checkForUpdatesAutomaticallyChanged();
  void sidebarWidthChanged();

 private:
  void writeBool(const char* key, bool value);
  void writeList(const char* key, const std::vector<std::string>& list);
  void writeNumber(const char* key, double value);

  std::unique_ptr<QSettings> defaults_;
  std::vector<std::string> extraPaths_;
  std::vector<std::string> excludedPaths_;
  bool pruneWorktreesAfterTrash_ = true;
  bool showInMenuBar_ = true;
  bool quickCleanIncludesModerate_ = false;
  bool deleteImmediately_ = false;
  bool checkForUpdatesAutomatically_ = true;
  double sidebarWidth_ = 240;
};

}  // namespace hl
