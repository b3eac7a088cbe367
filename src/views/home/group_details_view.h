#pragma once

#include <QFrame>
#include <QScrollArea>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "models/cache_group.h"
#include "models/cache_item.h"
#include "utilities/time.h"
#include "views/home/item_evidence.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace hl {

class CleanerViewModel;
class SettingsStore;

// The details of the item last opened from the table: its name and size, where it is, its
// chips each with what it means, and the evidence gathered for it off the GUI thread. The
// evidence of an item that is no longer shown when it arrives is dropped.
class ItemDetailCard : public QFrame {
  Q_OBJECT

 public:
  ItemDetailCard(CleanerViewModel& cleaner, const CacheItem& item, QWidget* parent = nullptr);

  // Shows another state of the item or another item; a new item's evidence is gathered anew.
  void setItem(const CacheItem& item);
  const CacheItem& item() const { return item_; }
  const std::vector<std::string>& evidence() const { return evidence_; }

  void setRunner(ItemEvidence::Runner runner) { runner_ = std::move(runner); }
  void setHome(std::string home) { home_ = std::move(home); }
  void setClock(WallClock clock);
  // Gathers the shown item's evidence (again).
  void gatherEvidence();

  QPushButton* backButton() const { return back_; }
  QLabel* evidenceHeading() const { return evidenceHeading_; }

 signals:
  void evidenceChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void rebuild();
  void showEvidence();

  CleanerViewModel& cleaner_;
  CacheItem item_;
  std::vector<std::string> evidence_;
  ItemEvidence::Runner runner_;
  std::string home_;
  WallClock clock_ = systemWallClock();
  // Moves with every gathering, so an answer for an earlier one is dropped.
  std::uint64_t request_ = 0;
  QWidget* body_ = nullptr;
  QVBoxLayout* evidenceLayout_ = nullptr;
  QLabel* evidenceHeading_ = nullptr;
  QPushButton* back_ = nullptr;
};

// The explanation of one group: what it is, its risk and what that means for selection, what
// brings it back, the tools' own cleanup commands, size caveats, what is never touched and the
// locations it covers.
class GroupDetailCard : public QFrame {
  Q_OBJECT

 public:
  GroupDetailCard(CleanerViewModel& cleaner, CacheGroup group, QWidget* parent = nullptr);

  CacheGroup group() const { return group_; }
  // The first included item of the group for each tool, in the included order.
  static std::vector<CacheItem> actionItems(const std::vector<CacheItem>& included,
                                            CacheGroup group);
  // Follows the included items, the running tools and the read-only gate.
  void refreshActions();
  // Follows the included items: a location only macOS fills is listed where one was found.
  void refreshPaths();
  const std::vector<QPushButton*>& actionButtons() const { return actionButtons_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CleanerViewModel& cleaner_;
  CacheGroup group_;
  QVBoxLayout* actionsLayout_;
  QWidget* actions_ = nullptr;
  std::vector<std::pair<std::string, std::string>> shownActions_;
  std::vector<QPushButton*> actionButtons_;
  QVBoxLayout* pathsLayout_;
  QWidget* paths_ = nullptr;
  std::vector<std::string> shownPaths_;
};

// The Details tab: the opened item's card, the "All reclaimable" paragraph while no group is
// chosen, and one explanation card per group (the chosen one alone, else every group the sidebar
// lists).
class GroupDetailsView : public QScrollArea {
  Q_OBJECT

 public:
  // `cleaner` and `settings` must outlive the view.
  GroupDetailsView(CleanerViewModel& cleaner, SettingsStore& settings, QWidget* parent = nullptr);

  // The cards shown for a chosen group (none: every group the sidebar lists).
  static std::vector<CacheGroup> groups(std::optional<CacheGroup> group,
                                        const std::vector<CacheGroup>& listed);

  // Seams: where evidence is gathered, the home folder its paths are shown against, and the
  // date the chips are judged against.
  void setEvidenceRunner(ItemEvidence::Runner runner);
  void setHome(std::string home);
  void setClock(WallClock clock);
  // Scrolls back to the top, where the item's card is.
  void showItemCard();

  // None while no item is opened.
  ItemDetailCard* itemCard() const { return itemCard_; }
  QLabel* paragraph() const { return paragraph_; }
  const std::vector<GroupDetailCard*>& groupCards() const { return groupCards_; }

 private:
  void refreshItem();
  void rebuildGroups();

  CleanerViewModel& cleaner_;
  SettingsStore& settings_;
  ItemEvidence::Runner runner_ = ItemEvidence::threadPoolRunner();
  std::string home_;
  WallClock clock_ = systemWallClock();
  QVBoxLayout* column_;
  ItemDetailCard* itemCard_ = nullptr;
  QLabel* paragraph_;
  QWidget* groupsBox_ = nullptr;
  std::vector<GroupDetailCard*> groupCards_;
  bool groupsBuilt_ = false;
  std::vector<CacheGroup> shownGroups_;
  std::vector<std::string> shownExtraPaths_;
};

}  // namespace hl
