#pragma once

#include <QByteArray>
#include <QObject>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "models/removal_mode.h"
#include "platform/settings_file.h"
#include "services/discovery/exclusion_list.h"
#include "utilities/time.h"

namespace hl {

// The program's settings: eight values in the settings file, read once when the store is made
// and written back at once on every assignment. GUI thread only.
//
// Every stored value is read strictly: a value of the wrong type reads as the default, so a
// garbled "deleteImmediately" never switches on permanent deletion. An assignment notifies only
// when the value changed, but is written in every case. Paths are kept byte for byte, also
// those that are not UTF-8.
//
// A write that fails (a full disk) leaves the file as it was and is reported through `errorOccurred`;
// the value holds for the rest of the session and is written again with the next assignment.
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
  // The program's settings file ($XDG_CONFIG_HOME/Harborlume/Harborlume.conf) and the files
  // read after it (the organisation's and the system's).
  static SettingsFile::Location standardDefaults();

  // Reads every value from the settings files of `location`, each key from the first that holds
  // it; writes to its first file only from then on. `clock` dates the copy kept of a damaged
  // file.
  explicit SettingsStore(SettingsFile::Location location, QObject* parent = nullptr,
                         WallClock clock = systemWallClock());

  // The stored "checkForUpdatesAutomatically" under the same reading rule (true when missing or
  // not a Boolean), without making a store.
  static bool storedCheckForUpdatesAutomatically(const SettingsFile::Location& location);

  const std::string& path() const { return path_; }

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

  // The main window's saved frame ("Main"), as read when the store was made or last saved.
  const QByteArray& windowFrame() const { return windowFrame_; }
  void setWindowFrame(const QByteArray& frame);

 signals:
  void extraPathsChanged();
  void excludedPathsChanged();
  void pruneWorktreesAfterTrashChanged();
  void showInMenuBarChanged();
  void quickCleanIncludesModerateChanged();
  void deleteImmediatelyChanged();
  void checkForUpdatesAutomaticallyChanged();
  void sidebarWidthChanged();
  // A line for the activity log: the file could not be written, or a damaged file was kept
  // aside before it was rewritten.
  void errorOccurred(const std::string& message);

 private:
  void writeBool(const char* key, bool value);
  void writeList(const char* key, const std::vector<std::string>& list);
  void writeNumber(const char* key, double value);
  // Writes `encoded` under `key`, with every earlier value that could not be written.
  void write(const char* key, std::string encoded);

  const std::string path_;
  const WallClock clock_;
  // Stored forms not yet on disk, by key.
  std::map<std::string, std::string> unsaved_;
  QByteArray windowFrame_;
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
