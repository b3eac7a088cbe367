#pragma once

#include <QWidget>
#include <memory>

#include "utilities/time.h"

class QStackedWidget;

namespace hl {

class CleanerViewModel;
class EmptyStateView;
class ExcludedPathsView;
class GroupDetailsView;
class HomeHeader;
class HomeModals;
class ItemsTable;
class SegmentedControl;
class SelectionSummaryCard;
class SettingsStore;
class SkeletonRows;
class UnavailableBanner;

// The Home page's main pane: the tab picker, the header and the tab's content (placeholder rows
// while the first results are measured, the unavailable banner over the table, the table, the
// group details or the excluded paths), and the selection summary at the bottom of the Items
// tab. Before any scan the Items tab is one "Not scanned yet" state; when a scan found nothing
// to show, the picker and the header stay above the empty state, so a filter such as the
// projects' Stale/All switch can still be changed. It also owns the page's modal surfaces.
class HomeMainView : public QWidget {
  Q_OBJECT

 public:
  // What fills the pane.
  enum class Shown {
    notScanned,
    skeleton,
    unavailable,
    table,
    nothingFound,
    noStaleProjects,
    details,
    excluded
  };

  // `cleaner` and `settings` must outlive the view.
  HomeMainView(CleanerViewModel& cleaner, SettingsStore& settings, QWidget* parent = nullptr);
  ~HomeMainView() override;

  Shown shown() const;

  SegmentedControl* tabPicker() const { return tabs_; }
  HomeHeader* header() const { return header_; }
  ItemsTable* table() const { return table_; }
  SkeletonRows* skeleton() const { return skeleton_; }
  UnavailableBanner* unavailableBanner() const { return banner_; }
  // The whole pane before any scan.
  EmptyStateView* notScannedState() const { return notScanned_; }
  // Under the header when a scan found nothing to show.
  EmptyStateView* nothingFoundState() const { return nothingFound_; }
  // In its place when the Projects group's "Stale" filter hides every project.
  EmptyStateView* noStaleProjectsState() const { return noStaleProjects_; }
  GroupDetailsView* details() const { return details_; }
  ExcludedPathsView* excluded() const { return excluded_; }
  SelectionSummaryCard* summaryCard() const { return summary_; }
  HomeModals* modals() const { return modals_; }
  // Whether the summary card is part of the pane now.
  bool showsSummaryCard() const;

  // Seams for the clocks: the sheet's arming (monotonic) and the dates of chips and
  // confirmations (wall clock).
  void setClocks(MonotonicClock sheetClock, WallClock wallClock);

 private:
  void refresh();
  void makeModals(MonotonicClock sheetClock, WallClock wallClock);

  CleanerViewModel& cleaner_;
  SettingsStore& settings_;
  QWidget* column_;
  QWidget* summaryBox_;
  QStackedWidget* tabStack_;
  QWidget* itemsPage_;
  SegmentedControl* tabs_;
  HomeHeader* header_;
  ItemsTable* table_;
  SkeletonRows* skeleton_;
  UnavailableBanner* banner_;
  EmptyStateView* notScanned_;
  EmptyStateView* nothingFound_;
  EmptyStateView* noStaleProjects_;
  GroupDetailsView* details_;
  ExcludedPathsView* excluded_;
  SelectionSummaryCard* summary_;
  HomeModals* modals_;
};

}  // namespace hl
