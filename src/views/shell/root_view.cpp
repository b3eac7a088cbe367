#include "views/shell/root_view.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cmath>

#include "viewmodels/app_model.h"
#include "views/home/home_main_view.h"
#include "views/home/home_sidebar.h"
#include "views/pages/activity_page.h"
#include "views/pages/history_page.h"
#include "views/pages/scanner/scanner_sidebar.h"
#include "views/pages/scanner/scanner_view.h"
#include "views/shared/focus_keys.h"
#include "views/shared/palette_colors.h"
#include "views/shell/content_card.h"
#include "views/shell/focus_order.h"
#include "views/shell/keyboard_return.h"
#include "views/shell/left_rail.h"
#include "views/shell/right_panel.h"
#include "views/shell/sidebar_resize_handle.h"
#include "views/shell/status_bar.h"
#include "views/shell/window_drag_area.h"
#include "views/shell/window_sizing.h"

namespace hl {

namespace {

int pageIndex(Page page) {
  for (std::size_t i = 0; i < allPages.size(); ++i) {
    if (allPages[i] == page) return static_cast<int>(i);
  }
  return 0;
}

// The column under the content card: draws the card's faint shadow, half a point down.
class CardColumn : public QWidget {
 public:
  explicit CardColumn(QWidget* parent) : QWidget(parent) {}
  void setCard(QWidget* card) { card_ = card; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!card_) return;
    const double opacity = ContentCard::shadowOpacity(PaletteColors::isDark(palette()));
    if (opacity <= 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shadow;
    shadow.addRoundedRect(QRectF(card_->geometry()).adjusted(-0.5, 0, 0.5, 1.5),
                          ContentCard::radius + 1, ContentCard::radius + 1);
    painter.fillPath(shadow, QColor::fromRgbF(0, 0, 0, static_cast<float>(opacity)));
  }

 private:
  QWidget* card_ = nullptr;
};

}  // namespace

RootView::RootView(AppModel& model, Services services, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("rootView"));
  // The window's own colour ("Chrome") lies behind the columns.
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Window);
  wallClock_ = services.wallClock ? services.wallClock : systemWallClock();

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* mainRow = new QHBoxLayout;
  mainRow->setContentsMargins(0, 0, 0, 0);
  mainRow->setSpacing(0);
  outer->addLayout(mainRow, 1);

  rail_ = new LeftRail(model_, this);
  mainRow->addWidget(rail_);

  sidebarColumn_ = new QWidget(this);
  sidebarColumn_->setObjectName(QStringLiteral("sidebarColumn"));
  auto* sidebarLayout = new QVBoxLayout(sidebarColumn_);
  sidebarLayout->setContentsMargins(0, 0, 0, 0);
  sidebarLayout->setSpacing(0);
  sidebarTopBar_ = new WindowDragArea(sidebarColumn_);
  sidebarLayout->addWidget(sidebarTopBar_);
  sidebars_ = new QStackedWidget(sidebarColumn_);
  sidebarLayout->addWidget(sidebars_, 1);
  mainRow->addWidget(sidebarColumn_);
  sidebarColumn_->installEventFilter(this);

  auto* contentColumn = new CardColumn(this);
  auto* contentLayout = new QVBoxLayout(contentColumn);
  contentLayout->setContentsMargins(8, 0, 8, 8);
  contentLayout->setSpacing(0);
  contentTopBar_ = new WindowDragArea(contentColumn);
  contentLayout->addWidget(contentTopBar_);
  card_ = new ContentCard(contentColumn);
  contentColumn->setCard(card_);
  contentLayout->addWidget(card_, 1);
  mainRow->addWidget(contentColumn, 1);
  // The top bar runs across the whole column, over the card's side margins too.
  contentTopBar_->setContentsMargins(0, 0, 0, 0);

  mains_ = new QStackedWidget(card_);
  mains_->setMinimumWidth(360);
  card_->row()->addWidget(mains_, 1);
  card_->row()->addWidget(new VerticalRule(card_));
  rightPanel_ = new RightPanel(model_, card_);
  card_->row()->addWidget(rightPanel_);

  statusBar_ = new StatusBar(model_, wallClock_, this);
  outer->addWidget(statusBar_);

  buildPages(services);

  handle_ = new SidebarResizeHandle(model_.settings(), this);
  handle_->raise();

  // What measuring the title bar's buttons would set on a window that draws its own title bar.
  model_.setTopBarHeight(WindowSizing::topMargin);
  connect(&model_, &AppModel::pageChanged, this, &RootView::showPage);
  connect(&model_, &AppModel::topBarHeightChanged, this, &RootView::layOutColumns);
  connect(&model_.settings(), &SettingsStore::sidebarWidthChanged, this,
          &RootView::layOutColumns);
  showPage();
  layOutColumns();
}

RootView::~RootView() = default;

void RootView::buildPages(Services& services) {
  const MonotonicClock sheetClock =
      services.sheetClock ? services.sheetClock : systemMonotonicClock();
  homeView_ = new HomeMainView(model_.cleaner(), model_.settings());
  homeView_->setClocks(sheetClock, wallClock_);
  addPage(Page::home, new HomeSidebar(model_.cleaner()), homeView_);
  scannerView_ = new ScannerView(model_.scanner(), sheetClock);
  auto* scannerSidebar = new ScannerSidebar(model_.scanner());
  // "Move Selected to Trash…" lives in the sidebar.
  scannerView_->keyboardReturn()->addArea(scannerSidebar);
  connect(scannerSidebar, &ScannerSidebar::scanChosen, scannerView_,
          [this, scannerSidebar] { scannerView_->treeTakesKeyboardAfterScanFrom(scannerSidebar); });
  addPage(Page::search, scannerSidebar, scannerView_);

  addPage(Page::activity, new ActivitySidebar(model_.activity()),
          new ActivityView(model_.activity()));
  addPage(Page::history, new HistorySidebar(model_.history()), new HistoryView(model_.history()));

  SettingsView::Actions actions = std::move(services.settings);
  actions.rescan = [this](bool force) { model_.cleaner().rescan(force); };
  settingsSidebar_ = new SettingsSidebar;
  settingsView_ = new SettingsView(model_.settings(), std::move(actions));
  settingsView_->setKeyboardFallback(settingsSidebar_->list());
  addPage(Page::settings, settingsSidebar_, settingsView_);
  // The section chosen last is the model's, so it outlives a page switch.
  const auto showSection = [this] {
    settingsSidebar_->setSection(model_.settingsSection());
    settingsView_->setSection(model_.settingsSection());
  };
  connect(settingsSidebar_, &SettingsSidebar::sectionChosen, &model_,
          &AppModel::setSettingsSection);
  connect(&model_, &AppModel::settingsSectionChanged, this, showSection);
  showSection();
}

void RootView::addPage(Page page, QWidget* sidebar, QWidget* main) {
  sidebar->setProperty("hlPage", QString::fromLatin1(id(page).data(), id(page).size()));
  main->setProperty("hlPage", QString::fromLatin1(id(page).data(), id(page).size()));
  sidebars_->insertWidget(pageIndex(page), sidebar);
  mains_->insertWidget(pageIndex(page), main);
}

QWidget* RootView::sidebar(Page page) const { return sidebars_->widget(pageIndex(page)); }

QWidget* RootView::mainView(Page page) const { return mains_->widget(pageIndex(page)); }

QWidget* RootView::currentSidebar() const { return sidebars_->currentWidget(); }

QWidget* RootView::currentMainView() const { return mains_->currentWidget(); }

bool RootView::selectFocusedRows() {
  // Only the folder scanner's tree selects its own rows; the Home page's rule is the model's.
  return model_.page() == Page::search && scannerView_->selectAll();
}

void RootView::showPage() {
  const int index = pageIndex(model_.page());
  sidebars_->setCurrentIndex(index);
  mains_->setCurrentIndex(index);
}

void RootView::layOutColumns() {
  const WindowSizing::ColumnWidths widths =
      WindowSizing::columnWidths(width(), model_.settings().sidebarWidth());
  sidebarColumn_->setFixedWidth(static_cast<int>(std::lround(widths.sidebar)));
  rightPanel_->setFixedWidth(static_cast<int>(std::lround(widths.rightPanel)));
  const int barHeight = static_cast<int>(std::lround(model_.topBarHeight()));
  sidebarTopBar_->setFixedHeight(barHeight);
  contentTopBar_->setFixedHeight(barHeight);
  placeHandle();
}

void RootView::placeHandle() {
  // Straddles the sidebar's trailing edge, from the top bar down to the status bar.
  const QRect column = sidebarColumn_->geometry();
  const int top = static_cast<int>(std::lround(model_.topBarHeight()));
  handle_->setGeometry(column.right() + 1 - SidebarResizeHandle::stripWidth / 2, top,
                       SidebarResizeHandle::stripWidth, std::max(0, column.bottom() + 1 - top));
  handle_->raise();
}

std::vector<QWidget*> RootView::regions() const {
  return {rail_, sidebars_->currentWidget(), mains_->currentWidget(), rightPanel_, statusBar_};
}

void RootView::focusPage() {
  const std::vector<QWidget*> page =
      FocusOrder::stops({sidebars_->currentWidget(), mains_->currentWidget()});
  QWidget* target = page.empty() ? mains_->currentWidget() : page.front();
  target->setFocus(Qt::ShortcutFocusReason);
}

bool RootView::focusNextPrevChild(bool next) {
  // The window's own focus widget, not the application's: a control turned off while a dialog
  // holds the keyboard (the folder chooser, until the window manager activates the window
  // again) still hands it on from where it is.
  QWidget* target = FocusOrder::next(regions(), window()->focusWidget(), next);
  if (!target) return QWidget::focusNextPrevChild(next);
  target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  // A stop scrolled out of its column comes into view, as it would by Qt's own chain.
  for (QWidget* above = target->parentWidget(); above && above != this;
       above = above->parentWidget()) {
    if (auto* scroll = qobject_cast<QScrollArea*>(above)) scroll->ensureWidgetVisible(target);
  }
  return true;
}

void RootView::keyPressEvent(QKeyEvent* event) {
  // Ctrl+Tab leaves a control that keeps Tab for itself, as on the desktop.
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier) {
    focusNextPrevChild(true);
    return;
  }
  if ((event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Tab) &&
      modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
    focusNextPrevChild(false);
    return;
  }
  if (FocusKeys::pressFocusedButton(*event) || FocusKeys::openFocusedMenu(*event)) return;
  QWidget::keyPressEvent(event);
}

void RootView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layOutColumns();
}

bool RootView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sidebarColumn_ &&
      (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
    placeHandle();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace hl
