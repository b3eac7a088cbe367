#include "views/menubar/menu_bar_extra.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "viewmodels/settings_store.h"
#include "views/menubar/menu_bar_popover.h"
#include "views/menubar/popover_placement.h"
#include "views/menubar/popover_texts.h"
#include "views/shared/app_icon.h"
#include "views/shared/text.h"

namespace hl {

MenuBarExtra::MenuBarExtra(SettingsStore& settings, QWidget* popover, MonotonicClock clock,
                           QObject* parent)
    : QObject(parent), settings_(settings), popover_(popover), clock_(std::move(clock)) {
  popover_->setParent(nullptr,
                      Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  popover_->setAttribute(Qt::WA_DeleteOnClose, false);
  popover_->installEventFilter(this);

  tray_.setIcon(AppIcon::image());
  tray_.setToolTip(qtext(PopoverTexts::title));
  connect(&tray_, &QSystemTrayIcon::activated, this, &MenuBarExtra::activated);
  connect(&settings_, &SettingsStore::showInMenuBarChanged, this, &MenuBarExtra::followSetting);
  followSetting();
}

MenuBarExtra::~MenuBarExtra() {
  tray_.hide();
  delete popover_;
}

bool MenuBarExtra::isTrayIconShown() const {
  return settings_.showInMenuBar() && tray_.isVisible() &&
         QSystemTrayIcon::isSystemTrayAvailable();
}

void MenuBarExtra::followSetting() {
  tray_.setVisible(settings_.showInMenuBar());
  emit trayIconShownChanged();
}

void MenuBarExtra::activated(QSystemTrayIcon::ActivationReason reason) {
  if (reason != QSystemTrayIcon::Trigger) return;
  if (isPopoverShown()) {
    hidePopover();
    return;
  }
  // The press on the icon already closed the open popover: this click was meant to close it.
  if (hiddenAt_ && clock_() - *hiddenAt_ < closingClick) return;
  showPopover();
}

void MenuBarExtra::showPopover(Qt::FocusReason reason) {
  QRect anchor;
  if (isTrayIconShown()) anchor = tray_.geometry();
  if (!anchor.isValid() || anchor.isEmpty()) anchor = QRect(QCursor::pos(), QSize(1, 1));
  showPopover(anchor, reason);
}

void MenuBarExtra::showPopover(const QRect& anchor, Qt::FocusReason reason) {
  anchor_ = anchor;
  if (!everShown_) {
    everShown_ = true;
    emit popoverFirstShown();
  }
  popover_->adjustSize();
  place();
  popover_->show();
  popover_->raise();
  popover_->activateWindow();
  if (auto* popover = qobject_cast<MenuBarPopover*>(popover_)) popover->startKeyboard(reason);
}

void MenuBarExtra::hidePopover() { popover_->hide(); }

bool MenuBarExtra::isPopoverShown() const { return popover_ && popover_->isVisible(); }

void MenuBarExtra::place() {
  QScreen* screen = QGuiApplication::screenAt(anchor_.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  popover_->move(
      PopoverPlacement::topLeft(anchor_, popover_->size(), screen->availableGeometry()));
}

bool MenuBarExtra::eventFilter(QObject* watched, QEvent* event) {
  if (watched == popover_) {
    if (event->type() == QEvent::Hide) hiddenAt_ = clock_();
    // Another window took the keyboard: the popover goes, as a popup would.
    if (event->type() == QEvent::WindowDeactivate && popover_->isVisible()) hidePopover();
    // The popover grows and shrinks with its contents: it stays beside its anchor.
    if (event->type() == QEvent::Resize && popover_->isVisible()) place();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace hl
