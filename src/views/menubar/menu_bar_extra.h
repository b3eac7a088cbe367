#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>

#include "utilities/time.h"

class QWidget;

namespace hl {

class SettingsStore;

// The tray icon and its popover. The icon is shown while the "showInMenuBar" setting holds and
// follows every change of it at once; clicking it opens the popover next to the icon when the
// tray tells where the icon is, otherwise at the pointer (a StatusNotifier tray tells nothing),
// and a second click closes it again. The window's menu opens the same popover through
// `showPopover()`.
//
// The popover is a frameless tool window that stays above the others, not a Qt popup: a popup
// has no place in the tree assistive tools read, and keeps the keyboard from moving through it.
// It closes as a popup does, when another window (or another program) becomes the active one,
// and on Escape.
class MenuBarExtra : public QObject {
  Q_OBJECT

 public:
  // Takes `popover` over and makes it a popup window. `clock` tells a click on the icon that
  // closed the popover from one that opens it.
  MenuBarExtra(SettingsStore& settings, QWidget* popover,
               MonotonicClock clock = systemMonotonicClock(), QObject* parent = nullptr);
  ~MenuBarExtra() override;

  // The icon in the tray is shown now: the setting holds and the desktop has a tray to show it
  // in. The program quits on its last window's close only while this is false.
  bool isTrayIconShown() const;

  // Opens the popover next to the tray icon, or at the pointer when the icon's place is not
  // known; raises it when it is open already. The keyboard starts on its Quick Clean control;
  // `reason` says how it was opened (a shortcut shows where the keyboard is).
  void showPopover(Qt::FocusReason reason = Qt::PopupFocusReason);
  // Opens the popover with its top-left corner placed for this anchor rectangle.
  void showPopover(const QRect& anchor, Qt::FocusReason reason = Qt::PopupFocusReason);
  void hidePopover();
  bool isPopoverShown() const;

  QSystemTrayIcon& trayIcon() { return tray_; }
  QWidget* popover() const { return popover_; }

  // How soon after the popover closed a click on the icon counts as the click that closed it.
  static constexpr std::chrono::milliseconds closingClick{300};

 signals:
  // `isTrayIconShown()` may have changed.
  void trayIconShownChanged();
  // The popover was shown for the first time in this process.
  void popoverFirstShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void followSetting();
  void activated(QSystemTrayIcon::ActivationReason reason);
  void place();

  SettingsStore& settings_;
  QPointer<QWidget> popover_;
  MonotonicClock clock_;
  QSystemTrayIcon tray_;
  QRect anchor_;
  std::optional<Instant> hiddenAt_;
  bool everShown_ = false;
};

}  // namespace hl
