#pragma once

#include <QAbstractButton>
#include <QScrollArea>
#include <map>
#include <string>

#include "models/cache_group.h"

class QLabel;
class QVBoxLayout;

namespace hl {

class CleanerViewModel;
class CoalescedUpdate;
class Spinner;
class SymbolView;

// The card at the top of the Home sidebar: everything that can be reclaimed, and a click that
// shows all groups and ticks every safe item.
class AllReclaimableCard : public QAbstractButton {
  Q_OBJECT

 public:
  explicit AllReclaimableCard(QWidget* parent = nullptr);

  void setValues(const QString& headline, const QString& detail, bool highlighted);
  bool isHighlighted() const { return highlighted_; }
  QLabel* headlineLabel() const { return headline_; }
  QLabel* detailLabel() const { return detail_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* headline_;
  QLabel* detail_;
  bool highlighted_ = false;
};

// One group in the Home sidebar: its symbol on a faint disc, its name over its size, a spinner
// while it is measured.
class GroupRow : public QAbstractButton {
  Q_OBJECT

 public:
  explicit GroupRow(CacheGroup group, QWidget* parent = nullptr);

  CacheGroup group() const { return group_; }
  void setState(const QString& sizeText, bool isMeasuring, bool isSelected);
  bool isSelected() const { return selected_; }
  bool isMeasuring() const;
  QLabel* sizeLabel() const { return size_; }

  static constexpr int rowHeight = 56;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The arrows move along the groups and choose the one they reach.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  CacheGroup group_;
  SymbolView* symbol_;
  QLabel* size_;
  Spinner* spinner_;
  bool selected_ = false;
};

// The Home page's sidebar: "Caches", the "All reclaimable" card and one row per group with its
// size. A row narrows the page to its group; the card shows all groups again and ticks every
// safe item.
class HomeSidebar : public QScrollArea {
  Q_OBJECT

 public:
  // `cleaner` must outlive the sidebar.
  explicit HomeSidebar(CleanerViewModel& cleaner, QWidget* parent = nullptr);

  AllReclaimableCard* card() const { return card_; }
  // None when the group is not listed.
  GroupRow* row(CacheGroup group) const;
  std::vector<CacheGroup> listedGroups() const;

 private:
  void rebuildRows();
  void refresh();

  CleanerViewModel& cleaner_;
  CoalescedUpdate* refresh_;
  AllReclaimableCard* card_;
  QVBoxLayout* rowsLayout_;
  std::map<CacheGroup, GroupRow*> rows_;
  std::vector<CacheGroup> order_;
};

}  // namespace hl
