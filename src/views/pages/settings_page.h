#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <string_view>

#include "viewmodels/page.h"
#include "views/shared/sidebar_list.h"

class QLabel;
class QStackedWidget;

namespace hl {

class PathListView;
class SettingsStore;

// The Settings page's sidebar: its three sections, one always selected. It shows the section it
// is given and reports the one the user picks; the window shell passes both on between it, the
// main column and the application's current section.
class SettingsSidebar : public PageSidebar {
  Q_OBJECT

 public:
  explicit SettingsSidebar(QWidget* parent = nullptr);

  // Selects the section's row without reporting a choice.
  void setSection(SettingsSection section);
  SettingsSection section() const { return section_; }

 signals:
  void sectionChosen(hl::SettingsSection section);

 private:
  SettingsSection section_ = SettingsSection::general;
};

// The Settings page's main column: the selected section's title and content. Every control
// writes through to the settings at once; nothing waits for an Apply.
//
// What belongs to other objects comes in through small seams the window shell wires: the
// current section (`setSection`) and the actions of `Actions`. The update controls follow the
// updater box. There is no Full Disk Access section: the permission does not exist here, and the
// status bar keeps the rescan.
class SettingsView : public QWidget {
  Q_OBJECT

 public:
  struct Actions {
    // Asks the cleaner for an unforced rescan, from the Custom paths section ("Rescan Now").
    std::function<void(bool force)> rescan;
    // Asks the user for folders to measure; none when cancelled. `chooseFoldersToAdd` when not
    // given.
    std::function<std::optional<QStringList>(QWidget* parent)> chooseFolders;
    // Tells the user why some chosen folders were not added. A warning box when not given.
    std::function<void(QWidget* parent, const QString& title, const QString& message)> warn;
  };

  // `settings` must outlive the view.
  SettingsView(SettingsStore& settings, Actions actions, QWidget* parent = nullptr);

  void setSection(SettingsSection section);
  SettingsSection section() const { return section_; }

  // Where the keyboard goes when the excluded paths' last row goes: the control that chose the
  // section (the custom paths' goes to "Add Folder…", beside it).
  void setKeyboardFallback(QWidget* fallback);

  // The "Add Folder…" flow: asks for folders and adds each one not yet listed, in the order
  // chosen, in canonical form. Starts no scan.
  void addFolder();

  // "2.1" when the short version and the build are equal, else "2.1 (57)"; a missing one reads
  // "?".
  static QString versionText(std::optional<std::string_view> shortVersion,
                             std::optional<std::string_view> build);
  // This build's.
  static QString versionText();

  QLabel* titleLabel() const { return title_; }

 private:
  QWidget* buildGeneral();
  QWidget* buildCustomPaths();
  void refreshCustomPaths();
  void showRemovalMode();

  SettingsStore& settings_;
  Actions actions_;
  SettingsSection section_ = SettingsSection::general;
  QLabel* title_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QWidget* permanentWarning_ = nullptr;
  QLabel* permanentWarningText_ = nullptr;
  QLabel* trashOnlyNote_ = nullptr;
  PathListView* customPaths_ = nullptr;
  PathListView* excludedPaths_ = nullptr;
};

}  // namespace hl
