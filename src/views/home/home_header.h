#pragma once

#include <QWidget>
#include <functional>

#include "views/home/home_texts.h"

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace hl {

class CleanerViewModel;
class CoalescedUpdate;
class ElidedLabel;
class FullDiskAccessHint;
class LiveNowStrip;
class ProminentButton;
class SegmentedControl;

// The Home page's header: the title with the reclaimable size, a line on what the scope holds,
// and the selection controls (the projects' Stale/All picker, "Select all safe", "Deselect").
// From 820 pixels of its own width the controls end the title row, below it they take a row of
// their own; from 760 the size stands beside the title, below it the subtitle starts with it.
// Under them, the Full Disk Access hint for the Trash and the live strip for AI worktrees.
class HomeHeader : public QWidget {
  Q_OBJECT

 public:
  // `cleaner` must outlive the header. `openAccessSettings` is the hint's button.
  HomeHeader(CleanerViewModel& cleaner, std::function<void()> openAccessSettings,
             QWidget* parent = nullptr);

  // What the header shows now.
  HomeTexts::HeaderLayout headerLayout() const;
  QLabel* titleLabel() const { return title_; }
  QLabel* sizeLabel() const { return size_; }
  ElidedLabel* subtitleLabel() const { return subtitle_; }
  QWidget* actions() const { return actions_; }
  // Whether the controls end the title row (else they are on their own row).
  bool actionsInTitleRow() const;
  SegmentedControl* projectsPicker() const { return projects_; }
  ProminentButton* selectSafeButton() const { return selectSafe_; }
  QPushButton* deselectButton() const { return deselect_; }
  FullDiskAccessHint* accessHint() const { return hint_; }
  LiveNowStrip* liveStrip() const { return live_; }
  bool showsAccessHint() const { return !hintBox_->isHidden(); }
  bool showsLiveStrip() const { return !liveBox_->isHidden(); }

  void refresh();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  CleanerViewModel& cleaner_;
  CoalescedUpdate* refresh_;
  // The width last measured; the first layout is the wide one.
  double width_ = 1000;
  QLabel* title_;
  QLabel* size_;
  ElidedLabel* subtitle_;
  QHBoxLayout* titleRow_;
  QHBoxLayout* actionsRow_;
  QWidget* actionsRowBox_;
  QWidget* actions_;
  SegmentedControl* projects_;
  ProminentButton* selectSafe_;
  QPushButton* deselect_;
  FullDiskAccessHint* hint_;
  QWidget* hintBox_;
  LiveNowStrip* live_;
  QWidget* liveBox_;
};

}  // namespace hl
