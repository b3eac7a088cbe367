#pragma once

#include <QWidget>

namespace hl {

class PathListView;
class SettingsStore;

// The paths hidden from scans, each with an "Include" button that takes it back into the scans.
// Follows the settings' list at once; with no exclusions it shows "No exclusions" over the
// empty list. Shown by the Home page's Excluded tab and the Settings page's Excluded paths
// section. `settings` must outlive the view.
class ExcludedPathsView : public QWidget {
  Q_OBJECT

 public:
  explicit ExcludedPathsView(SettingsStore& settings, QWidget* parent = nullptr);

  PathListView* list() const { return list_; }

 private:
  void refresh();

  SettingsStore& settings_;
  PathListView* list_;
};

}  // namespace hl
