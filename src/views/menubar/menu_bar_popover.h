#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "utilities/time.h"

namespace hl {

class AppModel;
class CandidatesBlock;
class PopoverFooter;
class PopoverHeader;
class QuickCleanControl;
class UpdaterBox;
class VolumeBlock;

// The tray popover: a header that opens the main window, the boot volume's free space, what
// Quick Clean could reclaim now by group, the Quick Clean control, and Rescan, Quit, Check for
// Updates and the version. It keeps no model state of its own; it reads the application model
// and the cleaner and calls their operations. 320 px wide; its height follows its contents.
//
// The keyboard starts on the Quick Clean control and Tab goes through every control in reading
// order; Space and Return press the focused one, Escape closes the popover. After a press the
// keyboard stays on the button, or goes to the Quick Clean control when the button went off.
// When the control then offers nothing to press once the work is over (a rescan that found
// nothing to clean), the keyboard goes back to that button, or to Rescan when it is gone (OK
// after Quick Clean), so that it rests where its ring shows.
class MenuBarPopover : public QWidget {
  Q_OBJECT

 public:
  struct Environment {
    // Shows the main window (opening it again when it was closed), raises and activates it.
    std::function<void()> openMainWindow;
    // The user's Quit.
    std::function<void()> quit;
    // Default: the program's one updater box.
    UpdaterBox* updater = nullptr;
    // Arms the second-step button; default: the clock that keeps counting through sleep.
    MonotonicClock clock;
    // The date handed to the confirmation; default: the system's.
    WallClock now;
  };

  static constexpr int popoverWidth = 320;

  MenuBarPopover(AppModel& model, Environment environment, QWidget* parent = nullptr);

  PopoverHeader* header() const { return header_; }
  VolumeBlock* volume() const { return volume_; }
  CandidatesBlock* candidates() const { return candidates_; }
  QuickCleanControl* quickClean() const { return quickClean_; }
  PopoverFooter* footer() const { return footer_; }

  // Puts the keyboard on the Quick Clean control (on the first control that takes it when that
  // one is off).
  void startKeyboard(Qt::FocusReason reason);

  QSize sizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Tab goes in reading order, also to a button a new state made. A button that loses the
  // keyboard because it was turned off or hidden hands it to the Quick Clean control.
  bool focusNextPrevChild(bool next) override;

 private:
  void fitHeight();
  void giveKeyboardToQuickClean();
  // The keyboard that waited on the Quick Clean control for nothing goes back to a control.
  void takeKeyboardBackFromQuickClean();

  AppModel& model_;
  PopoverHeader* header_ = nullptr;
  VolumeBlock* volume_ = nullptr;
  CandidatesBlock* candidates_ = nullptr;
  QuickCleanControl* quickClean_ = nullptr;
  PopoverFooter* footer_ = nullptr;
  // The button that last handed the keyboard to the Quick Clean control as it turned off.
  QPointer<QWidget> handedOver_;
  // How the popover was opened, until its window is active.
  std::optional<Qt::FocusReason> startReason_;
};

}  // namespace hl
