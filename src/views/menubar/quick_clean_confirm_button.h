#pragma once

#include <cstdint>
#include <functional>

#include "utilities/time.h"
#include "views/shared/arming_delay.h"
#include "views/shared/destructive_button.h"

namespace hl {

// Quick Clean's second step: "Confirm — move 12 MB to Trash" (or "… delete … permanently"). It
// can be pressed only one second after it was shown (on the injected monotonic clock), and
// every time it is shown again the second starts over, so a popover opened under the pointer
// never offers an armed removal. Tab reaches it, and the keyboard that waited on the Quick Clean
// control comes to it only once it is armed: a key pressed twice, or held, within the second
// presses nothing.
class QuickCleanConfirmButton : public DestructiveButton {
  Q_OBJECT

 public:
  QuickCleanConfirmButton(std::int64_t size, bool permanent, bool enabled,
                          std::function<void()> action, MonotonicClock clock,
                          QWidget* parent = nullptr);

  // New values for the same confirmation; the arming goes on.
  void setValues(std::int64_t size, bool permanent, bool enabled);
  bool isArmed() const { return arming_.isArmed(); }
  // Arms it once a second has passed since it was shown; its timer calls it, tests call it
  // after moving their clock.
  void refreshArming() { arming_.refresh(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void refreshEnabled();

  bool enabled_;
  std::function<void()> action_;
  ArmingDelay arming_;
};

}  // namespace hl
