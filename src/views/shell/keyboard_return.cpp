#include "views/shell/keyboard_return.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>

#include "views/shell/focus_order.h"

namespace hl {

KeyboardReturn::KeyboardReturn(std::vector<QWidget*> areas, std::function<bool()> isFlowOpen,
                               QObject* parent)
    : QObject(parent), isFlowOpen_(std::move(isFlowOpen)) {
  for (QWidget* area : areas) addArea(area);
  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { follow(now); });
}

void KeyboardReturn::addArea(QWidget* area) {
  areas_.emplace_back(area);
  // The keyboard may be in the area already.
  follow(area->window()->focusWidget());
}

void KeyboardReturn::setFallbacks(std::vector<QWidget*> fallbacks) {
  fallbacks_.assign(fallbacks.begin(), fallbacks.end());
}

bool KeyboardReturn::inAreas(const QWidget* widget) const {
  return widget && std::any_of(areas_.begin(), areas_.end(), [widget](const QPointer<QWidget>& a) {
           return a && (a == widget || a->isAncestorOf(widget));
         });
}

void KeyboardReturn::follow(QWidget* now) {
  if (closing_ || !inAreas(now) || (isFlowOpen_ && isFlowOpen_())) return;
  origin_ = now;
}

void KeyboardReturn::giveBack() {
  QWidget* target = origin_ && FocusOrder::isStop(origin_) ? origin_.data() : nullptr;
  for (const QPointer<QWidget>& fallback : fallbacks_) {
    if (target) break;
    if (fallback && FocusOrder::isStop(fallback)) target = fallback;
  }
  if (!target) return;
  target->setFocus(Qt::OtherFocusReason);
  if (!isFlowOpen_ || !isFlowOpen_()) origin_ = target;
}

void KeyboardReturn::closeAndGiveBack(const std::function<void()>& close) {
  closing_ = true;
  close();
  closing_ = false;
  giveBack();
}

}  // namespace hl
