#pragma once

#include <QWidget>

namespace hl {

class CleanerViewModel;
class HomeMainView;
class HomeSidebar;
class SettingsStore;

// The Home page: the sidebar of cache groups beside the main pane. The window shell places it
// (or its two halves) and routes the Select All command to `selectAll()`.
//
// `cleaner` is the page's one view model (reveal, copy and the Full Disk Access settings go
// through its desktop services); `settings` gives the sidebar's width, the excluded paths, the
// extra paths and the pruning setting. Both must outlive the page.
class HomePage : public QWidget {
  Q_OBJECT

 public:
  HomePage(CleanerViewModel& cleaner, SettingsStore& settings, QWidget* parent = nullptr);

  HomeSidebar* sidebar() const { return sidebar_; }
  HomeMainView* mainView() const { return main_; }

  // Select All (Ctrl+A) applies on the Items tab while some visible selectable row is not
  // ticked; it ticks them all and never unticks.
  bool canSelectAll() const;
  void selectAll();

 private:
  CleanerViewModel& cleaner_;
  HomeSidebar* sidebar_;
  HomeMainView* main_;
};

}  // namespace hl
