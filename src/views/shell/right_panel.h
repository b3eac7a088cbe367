#pragma once

#include <QScrollArea>
#include <vector>

#include "models/cache_item.h"
#include "views/shared/hover_button.h"

class QLabel;
class QVBoxLayout;

namespace hl {

class AppModel;
class ElidedLabel;
class PanelSection;
class SizeBar;
class SymbolView;

// One of the largest items in the right panel: the group's symbol, the item's name over the
// group's name, and the size at the trailing edge, which keeps its width while the name is
// shortened. The whole row is one button.
class LargestItemRow : public HoverButton {
  Q_OBJECT

 public:
  explicit LargestItemRow(const CacheItem& item, QWidget* parent = nullptr);

  const std::string& itemID() const { return id_; }
  ElidedLabel* nameLabel() const { return name_; }
  ElidedLabel* groupLabel() const { return group_; }
  QLabel* sizeLabel() const { return size_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string id_;
  ElidedLabel* name_;
  ElidedLabel* group_;
  QLabel* size_;
};

// The summary column at the right of the content card, the same on every page: the boot
// volume's use, the cleaner's totals, its largest selectable items (each a way into the Home
// page's table) and the last cleanup. It follows the model and writes only when a largest item
// is chosen.
class RightPanel : public QScrollArea {
  Q_OBJECT

 public:
  // `model` must outlive the panel.
  explicit RightPanel(AppModel& model, QWidget* parent = nullptr);

  // What choosing a largest item does: the Home page, the item's group, its Items tab, and that
  // one row selected. Ticks and the details shown stay as they were.
  static void showInTable(AppModel& model, const CacheItem& item);

  PanelSection* diskSection() const { return disk_; }
  PanelSection* reclaimableSection() const { return reclaimable_; }
  PanelSection* largestSection() const { return largest_; }
  PanelSection* lastCleanupSection() const { return lastCleanup_; }

  QLabel* diskUnavailableLabel() const { return diskUnavailable_; }
  QLabel* volumeNameLabel() const { return volumeName_; }
  SizeBar* diskBar() const { return diskBar_; }
  QLabel* usedLabel() const { return used_; }
  QLabel* freeLabel() const { return free_; }
  QLabel* totalLabel() const { return total_; }

  QWidget* reclaimablePlaceholder() const { return placeholder_; }
  QWidget* reclaimableRows() const { return figures_; }
  QLabel* totalFoundValue() const { return totalFound_; }
  QLabel* reclaimableValue() const { return reclaimableValue_; }
  QLabel* selectedValue() const { return selected_; }

  QLabel* largestEmptyLabel() const { return largestEmpty_; }
  const std::vector<LargestItemRow*>& largestRows() const { return rows_; }

  QLabel* neverLabel() const { return never_; }
  QLabel* cleanupDateLabel() const { return cleanupDate_; }
  QLabel* cleanupBytesLabel() const { return cleanupBytes_; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  QWidget* buildDisk();
  QWidget* buildReclaimable();
  QWidget* buildLargest();
  QWidget* buildLastCleanup();
  void showDisk();
  void showTotals();
  void showLargest();
  void showLastCleanup();

  AppModel& model_;
  PanelSection* disk_ = nullptr;
  QLabel* diskUnavailable_ = nullptr;
  QWidget* volume_ = nullptr;
  QLabel* volumeName_ = nullptr;
  SizeBar* diskBar_ = nullptr;
  QLabel* used_ = nullptr;
  QLabel* free_ = nullptr;
  QLabel* total_ = nullptr;

  PanelSection* reclaimable_ = nullptr;
  QWidget* placeholder_ = nullptr;
  QWidget* figures_ = nullptr;
  QLabel* totalFound_ = nullptr;
  QLabel* reclaimableValue_ = nullptr;
  QLabel* selected_ = nullptr;

  PanelSection* largest_ = nullptr;
  QLabel* largestEmpty_ = nullptr;
  QWidget* rowsBox_ = nullptr;
  QVBoxLayout* rowsLayout_ = nullptr;
  std::vector<LargestItemRow*> rows_;
  std::vector<CacheItem> shownLargest_;

  PanelSection* lastCleanup_ = nullptr;
  QLabel* never_ = nullptr;
  QLabel* cleanupDate_ = nullptr;
  QLabel* cleanupBytes_ = nullptr;
};

}  // namespace hl
