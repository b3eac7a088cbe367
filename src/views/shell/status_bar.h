#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <string>

#include "utilities/time.h"

class QToolButton;

namespace hl {

class AppModel;
class ElidedLabel;
class Spinner;
class SymbolView;

// The "READ-ONLY" capsule: bold red text on the same red, faint.
class ReadOnlyBadge : public QLabel {
  Q_OBJECT

 public:
  explicit ReadOnlyBadge(QWidget* parent = nullptr);

  // Why removals are blocked, as its help and accessible description say it: the settings file
  // that switched read-only mode on and what is wrong with it or what it says; none when the
  // launch argument or a test host did.
  void setSettingsCause(const std::optional<std::string>& cause);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The bar along the window's bottom edge: whether removals are blocked, whether anything runs
// and what, when the last scan ran, the boot volume's free space, and "Rescan" for the page
// shown. It keeps nothing of its own: it follows the model, and re-reads its line every 30
// seconds so "last scan" keeps its age.
class StatusBar : public QWidget {
  Q_OBJECT

 public:
  // `model` must outlive the bar; `clock` dates the line.
  explicit StatusBar(AppModel& model, WallClock clock = systemWallClock(),
                     QWidget* parent = nullptr);

  // The line at `now`: the folder scanner's while it scans or removes and its page is shown;
  // else the cleaner's while it scans, removes or cannot verify what is in use; else "Idle",
  // with the last scan's age once there was one.
  std::string statusText(Date now) const;

  ReadOnlyBadge* readOnlyBadge() const { return badge_; }
  Spinner* spinner() const { return spinner_; }
  SymbolView* idleMark() const { return idle_; }
  ElidedLabel* textLabel() const { return text_; }
  QLabel* freeSpaceLabel() const { return free_; }
  QToolButton* rescanButton() const { return rescan_; }
  QTimer& ticker() { return ticker_; }
  // Shows the model as it is now, with the line dated now; the ticker calls it every 30
  // seconds.
  void refresh();

  static constexpr int barHeight = 28;
  static constexpr std::chrono::seconds tick{30};

 private:
  AppModel& model_;
  WallClock clock_;
  QTimer ticker_;
  ReadOnlyBadge* badge_;
  Spinner* spinner_;
  SymbolView* idle_;
  ElidedLabel* text_;
  QLabel* free_;
  QToolButton* rescan_;
};

}  // namespace hl
