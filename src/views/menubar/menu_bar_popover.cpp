#include "views/menubar/menu_bar_popover.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "viewmodels/app_model.h"
#include "viewmodels/updater_box.h"
#include "views/menubar/popover_buttons.h"
#include "views/menubar/popover_parts.h"
#include "views/menubar/quick_clean_control.h"
#include "views/shared/accessibility.h"
#include "views/shared/focus_keys.h"
#include "views/shared/palette_colors.h"
#include "views/shell/focus_order.h"

namespace hl {

namespace {

constexpr int kPadding = 14;
constexpr int kSpacing = 12;

QFrame* divider(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Plain);
  line->setFixedHeight(1);
  line->setForegroundRole(QPalette::Mid);
  return line;
}

}  // namespace

MenuBarPopover::MenuBarPopover(AppModel& model, Environment environment, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("menuBarPopover"));
  Accessibility::declare(this, Accessibility::Kind::window);
  setAccessibleName(QStringLiteral("Harbor Lume"));
  setFixedWidth(popoverWidth);
  setAutoFillBackground(false);
  UpdaterBox& updater = environment.updater ? *environment.updater : Updater::box();
  if (!environment.clock) environment.clock = continuousClock();
  if (!environment.now) environment.now = systemWallClock();

  // The header's highlight reaches past its label: its row stands that much further out.
  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetNoConstraint);
  outer->setContentsMargins(kPadding - PopoverHeaderButton::horizontalBleed,
                            kPadding - PopoverHeaderButton::verticalBleed,
                            kPadding - PopoverHeaderButton::horizontalBleed, kPadding);
  outer->setSpacing(0);
  header_ = new PopoverHeader(
      [this, open = std::move(environment.openMainWindow)] {
        if (open) open();
        if (isWindow()) hide();
      },
      this);
  outer->addWidget(header_);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(PopoverHeaderButton::horizontalBleed,
                           kSpacing - PopoverHeaderButton::verticalBleed,
                           PopoverHeaderButton::horizontalBleed, 0);
  body->setSpacing(kSpacing);
  volume_ = new VolumeBlock(this);
  body->addWidget(volume_);
  body->addWidget(divider(this));
  CleanerViewModel& cleaner = model_.cleaner();
  candidates_ = new CandidatesBlock(cleaner, this);
  body->addWidget(candidates_);
  quickClean_ = new QuickCleanControl(cleaner, environment.clock, environment.now, this);
  body->addWidget(quickClean_);
  // Queued: the footer turns Rescan on again only after the control has followed the scan's end.
  connect(quickClean_, &QuickCleanControl::keyboardHasNothingToPress, this,
          &MenuBarPopover::takeKeyboardBackFromQuickClean, Qt::QueuedConnection);
  body->addWidget(divider(this));
  footer_ = new PopoverFooter(cleaner, updater,
                              {[this] { model_.refreshVolume(); }, std::move(environment.quit)},
                              this);
  body->addWidget(footer_);
  outer->addLayout(body);

  header_->setBusy(model_.isBusy());
  volume_->setVolume(model_.bootVolume());
  connect(&model_, &AppModel::isBusyChanged, this, [this] { header_->setBusy(model_.isBusy()); });
  connect(&model_, &AppModel::bootVolumeChanged, this,
          [this] { volume_->setVolume(model_.bootVolume()); });
  fitHeight();
}

int MenuBarPopover::heightForWidth(int width) const {
  QLayout* column = layout();
  return column->hasHeightForWidth() ? column->totalHeightForWidth(width)
                                     : column->totalSizeHint().height();
}

QSize MenuBarPopover::sizeHint() const { return {popoverWidth, heightForWidth(popoverWidth)}; }

bool MenuBarPopover::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::LayoutRequest) fitHeight();
  if (event->type() == QEvent::WindowActivate && startReason_) {
    // Given again with the reason it was opened by, so a shortcut shows where the keyboard is.
    if (QWidget* focus = focusWidget()) {
      focus->clearFocus();
      focus->setFocus(*startReason_);
    }
    startReason_.reset();
  }
  if (event->type() == QEvent::Hide) startReason_.reset();
  return handled;
}

void MenuBarPopover::fitHeight() {
  const int height = heightForWidth(popoverWidth);
  if (height > 0 && height != this->height()) resize(popoverWidth, height);
}

void MenuBarPopover::giveKeyboardToQuickClean() {
  // The control keeps the keyboard while its state offers nothing to press, and hands it to
  // the button the next state offers.
  QWidget* target = quickClean_->keyboardTarget();
  (target ? target : static_cast<QWidget*>(quickClean_))->setFocus(Qt::OtherFocusReason);
}

void MenuBarPopover::takeKeyboardBackFromQuickClean() {
  if (window()->focusWidget() != quickClean_ || quickClean_->keyboardTarget()) return;
  QWidget* target = handedOver_ && FocusOrder::isStop(handedOver_) ? handedOver_.data() : nullptr;
  // A button that went with the state it belonged to (OK after Quick Clean): Rescan, which looks
  // again, else the first control in reading order.
  if (!target && FocusOrder::isStop(footer_->rescanButton())) target = footer_->rescanButton();
  if (!target) {
    const std::vector<QWidget*> stops = FocusOrder::stops({this});
    if (stops.empty()) return;
    target = stops.front();
  }
  handedOver_.clear();
  target->setFocus(Qt::TabFocusReason);
}

void MenuBarPopover::startKeyboard(Qt::FocusReason reason) {
  // A window manager activates the window later: the focus is given again then, with its reason.
  startReason_ = isActiveWindow() ? std::nullopt : std::optional(reason);
  if (QWidget* target = quickClean_->keyboardTarget()) {
    target->setFocus(reason);
    return;
  }
  // The control offers nothing to press now: the first control that does, in reading order.
  const std::vector<QWidget*> stops = FocusOrder::stops({this});
  if (!stops.empty()) stops.front()->setFocus(reason);
}

bool MenuBarPopover::focusNextPrevChild(bool next) {
  QWidget* focus = QApplication::focusWidget();
  if (focus && isAncestorOf(focus) && (!focus->isEnabled() || !focus->isVisibleTo(this))) {
    // A button turned off or taken away by its own press (Rescan while the scan runs): the
    // keyboard goes to Quick Clean, never on to the next button, which may be Quit.
    handedOver_ = focus;
    giveKeyboardToQuickClean();
    return true;
  }
  QWidget* target = FocusOrder::next({this}, focus, next);
  if (!target) return QWidget::focusNextPrevChild(next);
  target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

void MenuBarPopover::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (isWindow()) hide();
    return;
  }
  if (FocusKeys::pressFocusedButton(*event)) return;
  QWidget::keyPressEvent(event);
}

void MenuBarPopover::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& pal = palette();
  painter.fillRect(rect(), pal.color(QPalette::Window));
  painter.setPen(PaletteColors::primary(pal, 0.18));
  painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace hl
