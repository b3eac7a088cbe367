#include "views/menubar/quick_clean_confirm_button.h"

#include "views/menubar/popover_texts.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

QuickCleanConfirmButton::QuickCleanConfirmButton(std::int64_t size, bool permanent, bool enabled,
                                                 std::function<void()> action,
                                                 MonotonicClock clock, QWidget* parent)
    : DestructiveButton(QString(), parent),
      enabled_(enabled),
      action_(std::move(action)),
      arming_(std::move(clock), [this] { refreshEnabled(); }) {
  setObjectName(QStringLiteral("quickCleanConfirm"));
  setIcon(symbolIcon("trash"));
  setControlSize(ControlSize::large);
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  connect(this, &QPushButton::clicked, this, [this] {
    if (enabled_ && arming_.isArmed() && action_) action_();
  });
  setValues(size, permanent, enabled);
}

void QuickCleanConfirmButton::setValues(std::int64_t size, bool permanent, bool enabled) {
  const QString label = qtext(PopoverTexts::confirmLabel(size, permanent));
  setText(label);
  setAccessibleName(label);
  enabled_ = enabled;
  refreshEnabled();
}

void QuickCleanConfirmButton::showEvent(QShowEvent* event) {
  DestructiveButton::showEvent(event);
  arming_.start();
  refreshEnabled();
}

void QuickCleanConfirmButton::hideEvent(QHideEvent* event) {
  DestructiveButton::hideEvent(event);
  arming_.stop();
  refreshEnabled();
}

void QuickCleanConfirmButton::refreshEnabled() { setEnabled(enabled_ && arming_.isArmed()); }

}  // namespace hl
