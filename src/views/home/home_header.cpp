#include "views/home/home_header.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/state_views.h"
#include "views/shared/button_pair.h"
#include "views/shared/coalesced_update.h"
#include "views/shared/destructive_button.h"
#include "views/shared/elided_label.h"
#include "views/shared/full_disk_access_hint.h"
#include "views/shared/palette_colors.h"
#include "views/shared/segmented_control.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/text.h"

namespace hl {

HomeHeader::HomeHeader(CleanerViewModel& cleaner, std::function<void()> openAccessSettings,
                       QWidget* parent)
    : QWidget(parent), cleaner_(cleaner) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  titleRow_ = new QHBoxLayout;
  titleRow_->setSpacing(8);
  title_ = new HeadingLabel({}, this);
  title_->setFont(sizedFont(font(), 22, QFont::DemiBold));
  titleRow_->addWidget(title_, 0, Qt::AlignBaseline);
  size_ = plainLabel({}, this);
  size_->setFont(sizedFont(font(), 22));
  makeSecondary(size_);
  titleRow_->addWidget(size_, 0, Qt::AlignBaseline);
  titleRow_->addSpacing(12);
  titleRow_->addStretch(1);
  column->addLayout(titleRow_);

  subtitle_ = new ElidedLabel({}, Qt::ElideRight, this);
  subtitle_->setFont(sizedFont(font(), 13));
  makeSecondary(subtitle_);
  column->addSpacing(4);
  column->addWidget(subtitle_);

  actionsRowBox_ = new QWidget(this);
  actionsRow_ = new QHBoxLayout(actionsRowBox_);
  actionsRow_->setContentsMargins(0, 8, 0, 0);
  actionsRow_->addStretch(1);
  column->addWidget(actionsRowBox_);

  actions_ = new QWidget(this);
  auto* controls = new QHBoxLayout(actions_);
  controls->setContentsMargins(0, 0, 0, 0);
  controls->setSpacing(8);
  projects_ = new SegmentedControl(QString::fromUtf8(HomeTexts::projectsPickerLabel),
                                   {QStringLiteral("Stale"), QStringLiteral("All")},
                                   SegmentedControl::Size::small, actions_);
  setHelp(projects_, std::string_view(HomeTexts::projectsPickerHelp));
  connect(projects_, &SegmentedControl::chosen, this,
          [this](int index) { cleaner_.setShowAllProjects(index == 1); });
  controls->addWidget(projects_, 0, Qt::AlignVCenter);
  selectSafe_ = new ProminentButton(QString::fromUtf8(HomeTexts::selectSafeTitle), actions_);
  selectSafe_->setControlSize(FilledButton::ControlSize::small);
  setHelp(selectSafe_, std::string_view(HomeTexts::selectSafeHelp));
  connect(selectSafe_, &QPushButton::clicked, this, [this] { cleaner_.selectAllSafe(); });
  controls->addWidget(selectSafe_, 0, Qt::AlignVCenter);
  deselect_ = new QPushButton(QString::fromUtf8(HomeTexts::deselectTitle), actions_);
  deselect_->setFont(sizedFont(font(), 12));
  padButton(deselect_, 24);
  connect(deselect_, &QPushButton::clicked, this, [this] { cleaner_.deselectAll(); });
  controls->addWidget(deselect_, 0, Qt::AlignVCenter);
  titleRow_->addWidget(actions_, 0, Qt::AlignVCenter);

  // Each strip stands 16 below what is above it, and takes no room while hidden.
  const auto strip = [&](QWidget* content) {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 16, 0, 0);
    content->setParent(box);
    layout->addWidget(content);
    column->addWidget(box);
    return box;
  };
  hint_ = new FullDiskAccessHint(false, std::move(openAccessSettings), this);
  hintBox_ = strip(hint_);
  live_ = new LiveNowStrip({}, this);
  liveBox_ = strip(live_);

  // One step of the view model announces several of these together: the header follows once.
  refresh_ = new CoalescedUpdate(this, [this] { refresh(); });
  for (auto signal : {&CleanerViewModel::contentStateChanged, &CleanerViewModel::tabChanged,
                      &CleanerViewModel::selectedGroupChanged,
                      &CleanerViewModel::scanningGroupChanged, &CleanerViewModel::totalsChanged,
                      &CleanerViewModel::checkStateChanged, &CleanerViewModel::visibleItemsChanged,
                      &CleanerViewModel::showAllProjectsChanged,
                      &CleanerViewModel::fullDiskAccessChanged,
                      &CleanerViewModel::liveSummaryChanged}) {
    connect(&cleaner_, signal, refresh_, &CoalescedUpdate::request);
  }
  refresh();
}

HomeTexts::HeaderLayout HomeHeader::headerLayout() const {
  return HomeTexts::headerLayout(width_, cleaner_.contentState(), cleaner_.tab());
}

bool HomeHeader::actionsInTitleRow() const { return titleRow_->indexOf(actions_) >= 0; }

void HomeHeader::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (width_ == event->size().width()) return;
  width_ = event->size().width();
  refresh();
}

void HomeHeader::refresh() {
  const auto state = cleaner_.contentState();
  const auto group = cleaner_.selectedGroup();
  const HomeTexts::HeaderLayout layout = headerLayout();

  title_->setText(qtext(HomeTexts::title(state, group, cleaner_.scanningGroup())));
  const std::int64_t size = group ? cleaner_.totalSize(group) : cleaner_.totalSelectable();
  const std::string sizeText = HomeTexts::headingSizeText(
      state, cleaner_.totalSize(group),
      HomeTexts::headingSize(size, cleaner_.isApproximate(group)));
  size_->setText(qtext(sizeText));
  size_->setVisible(layout.medium);
  subtitle_->setText(qtext(HomeTexts::subtitle(layout.medium, sizeText, group, state)));

  // The controls end the title row when wide, else stand on a row of their own.
  const bool inTitle = actionsInTitleRow();
  if (layout.wide && !inTitle) {
    actionsRow_->removeWidget(actions_);
    titleRow_->addWidget(actions_, 0, Qt::AlignVCenter);
  } else if (!layout.wide && inTitle) {
    titleRow_->removeWidget(actions_);
    actionsRow_->addWidget(actions_, 0, Qt::AlignVCenter);
  }
  actions_->setVisible(layout.showActions);
  actionsRowBox_->setVisible(layout.showActions && !layout.wide);
  projects_->setVisible(group == CacheGroup::projects);
  projects_->setCurrentIndex(cleaner_.showAllProjects() ? 1 : 0);
  setEnabledHandingOver(selectSafe_, cleaner_.canSelectSafe(), deselect_, cleaner_.canDeselect());

  hintBox_->setVisible(group == CacheGroup::trash &&
                       FullDiskAccessHint::isShown(cleaner_.fullDiskAccess()));
  liveBox_->setVisible(group == CacheGroup::aiWorktrees && cleaner_.tab() == HomeTab::items);
  live_->setSummary(cleaner_.liveSummary());
}

}  // namespace hl
