#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "models/volume_info.h"

class QLabel;
class QVBoxLayout;

namespace hl {

class CleanerViewModel;
class PopoverFooterButton;
class PopoverHeaderButton;
class PopoverLinkButton;
class SizeBar;
class Spinner;
class UpdaterBox;

// The parts of the tray popover above and below its Quick Clean control. Each reads what it is
// given and calls what it is handed; none keeps a copy of a model value beyond what it shows.

// The header: the button that opens the main window and, while the program is busy, a spinner
// after it.
class PopoverHeader : public QWidget {
  Q_OBJECT

 public:
  explicit PopoverHeader(std::function<void()> openMainWindow, QWidget* parent = nullptr);

  void setBusy(bool busy);
  PopoverHeaderButton* button() const { return button_; }
  Spinner* spinner() const { return spinner_; }

 private:
  PopoverHeaderButton* button_ = nullptr;
  QWidget* spinnerSlot_ = nullptr;
  Spinner* spinner_ = nullptr;
};

// The boot volume's name, its free space and a bar of its used share (red above nine tenths).
// Hidden while there is no reading.
class VolumeBlock : public QWidget {
  Q_OBJECT

 public:
  explicit VolumeBlock(QWidget* parent = nullptr);

  void setVolume(const std::optional<VolumeInfo>& volume);
  QLabel* nameLabel() const { return name_; }
  QLabel* freeLabel() const { return free_; }
  SizeBar* bar() const { return bar_; }

 private:
  QLabel* name_ = nullptr;
  QLabel* free_ = nullptr;
  SizeBar* bar_ = nullptr;
};

// What Quick Clean could reclaim now: the total, one row per group (largest first), the count
// held back because something uses it, and the policy in one sentence.
class CandidatesBlock : public QWidget {
  Q_OBJECT

 public:
  explicit CandidatesBlock(CleanerViewModel& cleaner, QWidget* parent = nullptr);

  void refresh();
  QLabel* totalLabel() const { return total_; }
  QLabel* emptyLabel() const { return empty_; }
  // One row per group, in order; each row's texts are its labels.
  QWidget* groupRows() const { return rows_; }
  QLabel* skippedLabel() const { return skipped_; }
  QLabel* policyLabel() const { return policy_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  CleanerViewModel& cleaner_;
  QLabel* total_ = nullptr;
  QLabel* empty_ = nullptr;
  QWidget* rows_ = nullptr;
  QVBoxLayout* rowsLayout_ = nullptr;
  QLabel* skipped_ = nullptr;
  QLabel* policy_ = nullptr;
};

// Rescan and Quit, then Check for Updates and the version.
class PopoverFooter : public QWidget {
  Q_OBJECT

 public:
  struct Actions {
    // After the cleaner's forced rescan has started: re-read the boot volume.
    std::function<void()> refreshVolume;
    std::function<void()> quit;
  };

  PopoverFooter(CleanerViewModel& cleaner, UpdaterBox& updater, Actions actions,
                QWidget* parent = nullptr);

  void refresh();
  PopoverFooterButton* rescanButton() const { return rescan_; }
  PopoverFooterButton* quitButton() const { return quit_; }
  PopoverLinkButton* updatesButton() const { return updates_; }
  QLabel* versionLabel() const { return version_; }

 private:
  CleanerViewModel& cleaner_;
  UpdaterBox& updater_;
  Actions actions_;
  PopoverFooterButton* rescan_ = nullptr;
  PopoverFooterButton* quit_ = nullptr;
  PopoverLinkButton* updates_ = nullptr;
  QLabel* version_ = nullptr;
};

}  // namespace hl
