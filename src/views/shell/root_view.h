#pragma once

#include <QWidget>
#include <memory>

#include "utilities/time.h"
#include "viewmodels/page.h"
#include "views/pages/settings_page.h"

class QStackedWidget;

namespace hl {

class ActivitySidebar;
class ActivityView;
class AppModel;
class ContentCard;
class HistorySidebar;
class HistoryView;
class HomeMainView;
class LeftRail;
class RightPanel;
class ScannerView;
class SidebarResizeHandle;
class StatusBar;
class WindowDragArea;

// The main window's content: the left rail, the current page's sidebar, the content card with
// the page's main view and the right panel, and the status bar under them. The page shown, the
// top bar's height, the rail's width and the sidebar's width come from the model; below 1180
// wide the sidebar and the right panel take 220 each, whatever width is stored.
class RootView : public QWidget {
  Q_OBJECT

 public:
  struct Services {
    // Dates the status bar's line and the Home page's chips and confirmations. Default: the
    // system's.
    WallClock wallClock;
    // Arms the confirmation sheets the pages show. Default: the system's.
    MonotonicClock sheetClock;
    // The Settings page's folder chooser and warnings; empty members take the page's own. The
    // rescan action is always the cleaner's.
    SettingsView::Actions settings;
  };

  // `model` must outlive the view.
  explicit RootView(AppModel& model, Services services = {}, QWidget* parent = nullptr);
  ~RootView() override;

  // The page's sidebar and main view, built once and kept while the window lives.
  QWidget* sidebar(Page page) const;
  QWidget* mainView(Page page) const;
  QWidget* currentSidebar() const;
  QWidget* currentMainView() const;

  // The window's Select All, taken by the focused view of the page shown when it selects rows
  // of its own (the folder scanner's tree); false when the command is left to the page's rule.
  bool selectFocusedRows();

  LeftRail* rail() const { return rail_; }
  StatusBar* statusBar() const { return statusBar_; }
  RightPanel* rightPanel() const { return rightPanel_; }
  ContentCard* card() const { return card_; }
  QWidget* sidebarColumn() const { return sidebarColumn_; }
  SidebarResizeHandle* resizeHandle() const { return handle_; }

  SettingsSidebar* settingsSidebar() const { return settingsSidebar_; }
  SettingsView* settingsView() const { return settingsView_; }
  ScannerView* scannerView() const { return scannerView_; }
  HomeMainView* homeView() const { return homeView_; }

 protected:
  // Tab and Backtab go through the window in reading order (see `FocusOrder`).
  bool focusNextPrevChild(bool next) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPages(Services& services);
  void addPage(Page page, QWidget* sidebar, QWidget* main);
  void showPage();
  void layOutColumns();
  void placeHandle();

  AppModel& model_;
  WallClock wallClock_;
  LeftRail* rail_;
  QWidget* sidebarColumn_;
  WindowDragArea* sidebarTopBar_;
  QStackedWidget* sidebars_;
  WindowDragArea* contentTopBar_;
  ContentCard* card_;
  QStackedWidget* mains_;
  RightPanel* rightPanel_;
  StatusBar* statusBar_;
  SidebarResizeHandle* handle_;
  SettingsSidebar* settingsSidebar_ = nullptr;
  SettingsView* settingsView_ = nullptr;
  ScannerView* scannerView_ = nullptr;
  HomeMainView* homeView_ = nullptr;
};

}  // namespace hl
