#include "views/home/home_main_view.h"

#include <QStackedWidget>
#include <QToolButton>
#include <algorithm>
#include <QVBoxLayout>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"
#include "views/home/group_details_view.h"
#include "views/home/home_header.h"
#include "views/home/home_modals.h"
#include "views/home/home_texts.h"
#include "views/home/items_table.h"
#include "views/home/selection_summary_card.h"
#include "views/home/state_views.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/excluded_paths_view.h"
#include "views/shared/path_list_view.h"
#include "views/shared/segmented_control.h"
#include "views/shared/text.h"
#include "views/shell/keyboard_return.h"

namespace hl {

namespace {

int tabIndex(HomeTab tab) {
  return static_cast<int>(std::find(allHomeTabs.begin(), allHomeTabs.end(), tab) -
                          allHomeTabs.begin());
}

}  // namespace

HomeMainView::HomeMainView(CleanerViewModel& cleaner, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), cleaner_(cleaner), settings_(settings) {
  const auto openAccessSettings = [this] { cleaner_.openFullDiskAccessSettings(); };
  const auto rescan = [this] { cleaner_.rescan(true); };

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  notScanned_ = EmptyStateView::make(EmptyStateView::Kind::notScanned, rescan, this);
  root->addWidget(notScanned_, 1);

  column_ = new QWidget(this);
  auto* column = new QVBoxLayout(column_);
  column->setContentsMargins(24, 16, 24, 16);
  column->setSpacing(16);
  QStringList tabTitles;
  for (HomeTab tab : allHomeTabs) tabTitles.append(qtext(rawValue(tab)));
  tabs_ = new SegmentedControl(QString::fromUtf8(HomeTexts::viewPickerLabel), tabTitles,
                               SegmentedControl::Size::regular, column_);
  connect(tabs_, &SegmentedControl::chosen, this, [this](int index) {
    cleaner_.setTab(allHomeTabs[static_cast<std::size_t>(index)]);
  });
  column->addWidget(tabs_, 0, Qt::AlignLeft);
  header_ = new HomeHeader(cleaner_, openAccessSettings, column_);
  column->addWidget(header_);

  tabStack_ = new QStackedWidget(column_);
  itemsPage_ = new QWidget(tabStack_);
  auto* items = new QVBoxLayout(itemsPage_);
  items->setContentsMargins(0, 0, 0, 0);
  items->setSpacing(12);
  skeleton_ = new SkeletonRows(8, itemsPage_);
  items->addWidget(skeleton_, 1);
  banner_ = new UnavailableBanner(rescan, itemsPage_);
  items->addWidget(banner_);
  table_ = new ItemsTable(cleaner_, itemsPage_);
  table_->setOpenAccessSettings(openAccessSettings);
  items->addWidget(table_, 1);
  nothingFound_ = EmptyStateView::make(EmptyStateView::Kind::nothingFound, rescan, itemsPage_);
  items->addWidget(nothingFound_, 1);
  noStaleProjects_ = new EmptyStateView("checkmark",
                                        QString::fromUtf8(HomeTexts::noStaleProjectsTitle),
                                        QString::fromUtf8(HomeTexts::noStaleProjectsMessage),
                                        std::nullopt, itemsPage_);
  items->addWidget(noStaleProjects_, 1);
  tabStack_->addWidget(itemsPage_);
  details_ = new GroupDetailsView(cleaner_, settings_, tabStack_);
  tabStack_->addWidget(details_);
  connect(table_, &ItemsTable::detailsOpened, details_, &GroupDetailsView::showItemCard);
  excluded_ = new ExcludedPathsView(settings_, tabStack_);
  excluded_->list()->setKeyboardFallback(tabs_->segment(tabIndex(HomeTab::excluded)));
  tabStack_->addWidget(excluded_);
  column->addWidget(tabStack_, 1);
  root->addWidget(column_, 1);

  summaryBox_ = new QWidget(this);
  auto* summaryLayout = new QVBoxLayout(summaryBox_);
  summaryLayout->setContentsMargins(16, 16, 16, 16);
  summary_ = new SelectionSummaryCard(cleaner_, summaryBox_);
  summaryLayout->addWidget(summary_);
  root->addWidget(summaryBox_);

  makeModals(systemMonotonicClock(), systemWallClock());

  connect(&cleaner_, &CleanerViewModel::contentStateChanged, this, &HomeMainView::refresh);
  connect(&cleaner_, &CleanerViewModel::tabChanged, this, &HomeMainView::refresh);
  refresh();
}

HomeMainView::~HomeMainView() = default;

void HomeMainView::setClocks(MonotonicClock sheetClock, WallClock wallClock) {
  delete modals_;
  makeModals(std::move(sheetClock), wallClock);
  table_->setClock(wallClock);
  details_->setClock(wallClock);
}

void HomeMainView::makeModals(MonotonicClock sheetClock, WallClock wallClock) {
  modals_ = new HomeModals(cleaner_, settings_, this, std::move(sheetClock), std::move(wallClock));
  // A removal that leaves the button it was started from off: its list, on the removed row's
  // neighbour; with no row left, the empty state's button, else the tab that chose the list.
  modals_->keyboardReturn()->setFallbacks({table_->listView(), nothingFound_->button(),
                                           tabs_->segment(tabIndex(HomeTab::items))});
}

HomeMainView::Shown HomeMainView::shown() const {
  using State = CleanerViewModel::ContentState;
  switch (cleaner_.tab()) {
    case HomeTab::details: return Shown::details;
    case HomeTab::excluded: return Shown::excluded;
    case HomeTab::items: break;
  }
  switch (cleaner_.contentState()) {
    case State::notScanned: return Shown::notScanned;
    case State::nothingFound:
      return cleaner_.staleFilterHidesEveryProject() ? Shown::noStaleProjects
                                                     : Shown::nothingFound;
    case State::scanning: return Shown::skeleton;
    case State::unavailable: return Shown::unavailable;
    case State::results: return Shown::table;
  }
  return Shown::table;
}

bool HomeMainView::showsSummaryCard() const {
  const Shown now = shown();
  return now == Shown::unavailable || now == Shown::table;
}

void HomeMainView::refresh() {
  const Shown now = shown();
  // Back from an item's details by the keyboard: it goes to the item's row, where it came from.
  const bool keyboardLeavesDetails = cleaner_.tab() == HomeTab::items && details_->isVisible() &&
                                     details_->isAncestorOf(window()->focusWidget());
  notScanned_->setVisible(now == Shown::notScanned);
  column_->setVisible(now != Shown::notScanned);
  tabs_->setCurrentIndex(tabIndex(cleaner_.tab()));
  switch (cleaner_.tab()) {
    case HomeTab::items: tabStack_->setCurrentWidget(itemsPage_); break;
    case HomeTab::details: tabStack_->setCurrentWidget(details_); break;
    case HomeTab::excluded: tabStack_->setCurrentWidget(excluded_); break;
  }
  // What comes is shown before what goes is hidden: a control that goes with the keyboard on it
  // hands it to the next control in its place, which must be there already.
  nothingFound_->setVisible(now == Shown::nothingFound);
  noStaleProjects_->setVisible(now == Shown::noStaleProjects);
  skeleton_->setVisible(now == Shown::skeleton);
  banner_->setVisible(now == Shown::unavailable);
  table_->setVisible(now == Shown::unavailable || now == Shown::table);
  summaryBox_->setVisible(showsSummaryCard());
  // The summary card keeps its own margin above the pane's edge; without it the tab keeps the
  // page's.
  QMargins margins = column_->layout()->contentsMargins();
  margins.setBottom(showsSummaryCard() ? 0 : 16);
  column_->layout()->setContentsMargins(margins);
  if (keyboardLeavesDetails && table_->isVisible()) table_->putKeyboardOn(cleaner_.detailItemID());
}

}  // namespace hl
